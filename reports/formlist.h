#pragma once

#include "ui/linelistview.h"

#include <QWidget>

class QPushButton;
class WholeLines;

// The list window: one of seven read-only lists, printable; a volunteer list hands the
// clicked volunteer to the volunteer window.
class Formlist : public QWidget {
    Q_OBJECT
public:
    Formlist();

    LineListView *List1;
    QPushButton *cmdstampa;
    QPushButton *cmdesci;

    void Form_Activate();
    void List1_Click();
    void cmdstampa_Click();
    void cmdesci_Click();

private:
    WholeLines *m_wholeLines;
};
