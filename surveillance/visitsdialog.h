#pragma once

#include "store/surveillance.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

// One volunteer's visits: listed oldest first, added, changed and deleted.
class VisitsDialog : public QDialog {
    Q_OBJECT
public:
    VisitsDialog(QWidget *parent, const QString &surname, const QString &name,
                 const Surveillance::Thresholds &thresholds);

    // Reads the visits and opens over the window; says why and closes when they cannot be read.
    void start();

    QTableWidget *tabvisite;
    QLineEdit *visdata;
    QComboBox *vistipo;
    QComboBox *visesito;
    QLineEdit *visscadenza;
    QLineEdit *visnote;
    QPushButton *cmdaggiungi;
    QPushButton *cmdmodifica;
    QPushButton *cmdelimina;
    QPushButton *cmdesci;

    void cmdaggiungi_Click();
    void cmdmodifica_Click();
    void cmdelimina_Click();

signals:
    // A visit was written: the evaluation is out of date.
    void changed();

private:
    bool load();
    void showSelected();
    // The visit as the boxes hold it; none when a date is refused (already said).
    std::optional<Visit> entered();
    // The visit chosen in the list; none, said, when no visit is chosen.
    std::optional<Visit> chosen();
    // Shows the visits as they are now, and says a refused write.
    void written(const Store::Result &result, const QString &what);

    QString m_surname;
    QString m_name;
    Surveillance::Thresholds m_thresholds;
    QList<Visit> m_visits;
};
