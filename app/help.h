#pragma once

#include <QString>
#include <QWidget>

class QPushButton;
class QTextBrowser;

// The guide to the daily work, shipped with the program, with this machine's folders in it.
// Made once and hidden like the other windows.
class Formguida : public QWidget {
    Q_OBJECT
public:
    Formguida();

    QTextBrowser *guida;
    QPushButton *cmdesci;

    void cmdesci_Click();
};

namespace Help {
// The text of "Informazioni su Sentaro": version, licence, the licences of the components, the working folder.
QString aboutText();
} // namespace Help
