#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct Volunteer;
namespace Volunteers {
struct Shown;
}

// The volunteer window: enters, shows, changes and deletes one volunteer, as tipoopvol says.
class Formvol : public QWidget {
    Q_OBJECT
public:
    Formvol();

    QLabel *Label1;
    QComboBox *cmbassdenom;
    QLabel *Label2;
    QLineEdit *fvcogn;
    QLineEdit *fvnome;
    QLabel *Label3;
    QLineEdit *fvindir;
    QLabel *Label4;
    QLineEdit *fvcap;
    QLineEdit *fvcitta;
    QLineEdit *fvprov;
    QPushButton *cmdcfisc;
    QLineEdit *fvcfisc;
    QLabel *Label5;
    QLineEdit *fvdatana;
    QLabel *Label6;
    QComboBox *fvluogona;
    QLabel *Label7;
    QLineEdit *fvprovna;
    QLabel *Label8;
    QLineEdit *fvsesso;
    QLabel *Label9;
    QComboBox *cmbspec;
    QLabel *Label10;
    QLineEdit *fvnote;
    QLabel *Label11;
    QLineEdit *fvnote2;
    QLabel *Label12;
    QLineEdit *fvnote3;
    QPushButton *cmdregistra;
    QPushButton *cmdesci;

    void Form_Activate();
    void cmdregistra_Click();
    void cmdcfisc_Click();
    void cmdesci_Click();
    void cmbassdenom_Click();
    void fvluogona_Click();
    void fvsesso_LostFocus();

private:
    // The volunteer as the boxes hold it, ready to be stored.
    Volunteer entered() const;
    void clearWindow();
    void showVolunteer(const Volunteers::Shown &shown);

    // The surname and first name of the volunteer the activation showed: a modification
    // may rewrite that record, never another one.
    bool m_shown = false;
    QString m_shownSurname;
    QString m_shownName;
};

// Fills the organisation list of Formvol.
void caricaassformvol();
// Fills the specialisation list of Formvol from specializzazioni.dat.
void caricaspecializzazioni();
// Builds the tax code of the volunteer in Formvol and offers it for fvcfisc.
void calcolacodicefiscale();
