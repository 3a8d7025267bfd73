#pragma once

#include <QWidget>

class QComboBox;

// The volunteer window. It exists, hidden, from the main window's load on, holding the
// municipality list for the place of birth.
class Formvol : public QWidget {
    Q_OBJECT
public:
    Formvol();

    QComboBox *fvluogona;
};
