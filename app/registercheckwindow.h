#pragma once

#include "store/registercheck.h"

#include <QWidget>

class LineListView;
class QPushButton;

// "Controlla archivio": what disagrees in the register, kind by kind, with the mending of what the
// register itself tells (Correggi), printed or saved as CSV.
class Formcontrollo : public QWidget {
    Q_OBJECT
public:
    explicit Formcontrollo(QWidget *parent);

    // Reads the whole register and shows what it found; false, said, when it could not be read.
    bool check();

    LineListView *List1;
    QPushButton *cmdcorreggi;
    QPushButton *cmdstampa;
    QPushButton *cmdesporta;
    QPushButton *cmdesci;

    void cmdcorreggi_Click();
    void cmdstampa_Click();
    void cmdesporta_Click();

private:
    RegisterCheck::Report m_report;
};

// Opens the window over the main one, after a check of the register.
void controllaarchivio();
