#pragma once

#include "store/records.h"

#include <QWidget>

#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class DataSource;
struct Organisation;

// The organisation window: inserts, modifies or deletes one member organisation, as tipoopass says.
class Formass : public QWidget {
    Q_OBJECT
public:
    Formass();

    QLabel *Label1;
    QLabel *Label2;
    QComboBox *cmbassdenom;
    QLabel *Label3;
    QLineEdit *assindir;
    QLabel *Label4;
    QLineEdit *asscap;
    QLineEdit *asscomune;
    QLabel *Label5;
    QLineEdit *assprov;
    QLabel *Label6;
    QLineEdit *asstel;
    QLabel *Label7;
    QLineEdit *assfax;
    QLabel *Label8;
    QLineEdit *assemail;
    QLabel *Label12;
    QLineEdit *assresp;
    QLabel *Label13;
    QLineEdit *asstelresp;
    QLabel *Label11;
    QLineEdit *fasscodass;
    QPushButton *cmdassregistra;
    QPushButton *cmdassesci;
    QPushButton *cmdcercaass;

    // Opened by a menu command: the next activation empties it for that command.
    void openedByCommand() { m_shownAnew = true; }
    void Form_Activate();
    void cmbassdenom_Click();
    void cmbassdenom_LostFocus();
    void cmdassregistra_Click();
    void cmdassesci_Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void clearBoxes();
    // Fills the boxes with an organisation as read, which a modification then writes over alone.
    void showOrganisation(const Organisation &organisation);
    // The organisation as the boxes hold it, ready to be stored.
    Organisation entered() const;
    // The organisation the name box names, the source standing on it; none, said, when missing.
    std::optional<Organisation> findTyped(DataSource *organisations);
    void insert();
    void modify();
    void remove();

    // Shown by a command since the last activation, and for which operation: coming back to the
    // window from another one keeps what the user typed.
    bool m_shownAnew = true;
    QString m_openedFor;
    std::optional<Organisation> m_shown; // as read when chosen from the list
};

// Fills Formass's list of organisation names.
void caricaorganizzazioni();
