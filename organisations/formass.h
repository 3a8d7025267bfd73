#pragma once

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

    void Form_Activate();
    void cmbassdenom_Click();
    void cmbassdenom_LostFocus();
    void cmdassregistra_Click();
    void cmdassesci_Click();

private:
    void clearBoxes();
    // The organisation as the boxes hold it, ready to be stored.
    Organisation entered() const;
    // The organisation the name box names, the source standing on it; none, said, when missing.
    std::optional<Organisation> findTyped(DataSource *organisations);
    void insert();
    void modify();
    void remove();
};

// Fills Formass's list of organisation names.
void caricaorganizzazioni();
