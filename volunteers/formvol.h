#pragma once

#include "store/records.h"

#include <QWidget>

#include <optional>
#include <utility>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct Volunteer;

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
    QLabel *lblvisita; // the shown volunteer's last visit and next due date
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

    // The entry of the place of birth list that the box names: the entry chosen, or the one
    // municipality whose name was typed (letter case aside); none for a name of no
    // municipality or of several.
    std::optional<QString> placeEntry() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    // The volunteer as the boxes hold it, ready to be stored, of the organisation of that code.
    Volunteer entered(const QString &organisationCode) const;
    // The code of the organisation the box names, given it when it has none; none, having said
    // why, when the box names no organisation.
    std::optional<QString> chosenOrganisation();
    // Deletes the volunteer shown once the user confirms him and his visits, asking again when
    // another PC changed their count meanwhile.
    void removeShown(const Volunteer &found);
    // Empties every box but the organisation, for the next volunteer.
    void clearWindow();
    void showVolunteer(const Volunteer &v);
    // The last visit and the latest due date of the volunteer `surname` `name`; nothing when
    // the role may not read the visits.
    void showVisits(const QString &surname, const QString &name);
    // A place of birth that names one municipality gives the province of birth.
    void takeProvinceOfPlace();

    // Shown by a command since the last activation: an insertion then starts empty.
    bool m_shownAnew = true;
    // The operation and volunteer the window was last opened for: coming back to it for the same
    // keeps what the user typed.
    std::pair<QString, QString> m_openedFor;
    // The surname and first name of the volunteer the activation showed: a modification
    // or deletion acts on that record, never another one.
    bool m_shown = false;
    QString m_shownSurname;
    QString m_shownName;
    QString m_shownCode;                // his organisation's, kept when it was deleted
    std::optional<Volunteer> m_asShown; // as read, which a modification writes over alone
};

// Fills the organisation list of Formvol.
void caricaassformvol();
// Fills the specialisation list of Formvol from specializzazioni.dat.
void caricaspecializzazioni();
// Builds the tax code of the volunteer in Formvol and offers it for fvcfisc.
void calcolacodicefiscale();
