#pragma once

#include <QWidget>

class MemoBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
struct Activity;

// The activity details window: one activity, the volunteers present with their hours
// by risk class, and the archive of volunteers.
class Form3 : public QWidget {
    Q_OBJECT
public:
    Form3();

    QLabel *Label1;
    QComboBox *f3datain;
    QLabel *Label2;
    QLineEdit *f3datafi;
    QLabel *Label3;
    QComboBox *f3descr;
    QPushButton *cmdcerca;
    QLabel *Label4;
    QLineEdit *f3loc;
    QLabel *Label5;
    QLineEdit *f3prov;
    QLabel *Label6;
    QLineEdit *f3oretot;
    QLabel *Label7;
    QLineEdit *f3oreuomo;
    QLabel *Label8;
    MemoBox *f3note1;
    QLabel *Label9;
    MemoBox *f3note2;
    QLabel *Labelpresenti;
    QListWidget *List1;
    QLabel *Labelstandard;
    QLineEdit *orestandard;
    QPushButton *cmdr0;
    QPushButton *cmdr6;
    QPushButton *cmdr7;
    QPushButton *cmdr8;
    QPushButton *cmdr9;
    QPushButton *cmdr10;
    QPushButton *cmdtogli;
    QLabel *Labelarc;
    QComboBox *cmbvolo;
    QListWidget *List2;
    QPushButton *cmdesci;

    void activated();
    void f3datain_Click();
    void f3descr_Click();
    void cmdcerca_Click();
    void cmbvolo_Click();
    void cmdesci_Click();

    // Puts an activity's fields, but its start date, into the boxes.
    void showActivityFields(const Activity &activity);

    // Empties List2 and fills it with one empty entry and the archive of volunteers;
    // returns the volunteer texts read, in the archive's order.
    QStringList fillArchive();

private:
    void placeColumnLabels();
    void forgetChoices();
};
