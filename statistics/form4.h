#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// The risk statistics: hours by risk class per volunteer over a period.
class Form4 : public QWidget {
    Q_OBJECT
public:
    Form4();

    QLabel *Label1;
    QLineEdit *f4datada;
    QLabel *Label2;
    QLineEdit *f4dataa;
    QLabel *Label3;
    QComboBox *cmbrisc;
    QLabel *Label4;
    QComboBox *cmbvol;
    QPushButton *cmdelab;
    QListWidget *List1;
    QPushButton *cmdstampa;
    QPushButton *cmdesci;

    void cmdelab_Click();
    void cmdstampa_Click();
    void cmdesci_Click();

private:
    void Form_Load();
};
