#pragma once

#include "common/riskclasses.h"
#include "store/database.h"

#include <QLocale>
#include <QString>

#include <array>

// Empties Form3's boxes and fills its lists of start dates and descriptions.
void caricaattivitaform3();
// Loads the activity named by Form3's description and dataattivita, with its volunteers.
void caricadettagli();
// Reads again the present volunteers of the activity the details window shows, leaving its boxes as
// the user left them: the window made active again shows them as they now are.
void presentVolunteersAgain();
// Records the hours of orestandard in the class classerischio for the archive entries
// selected in List2.
void aggiungivolontari();
// Removes the present volunteers selected in List1.
void toglivolontari();
// Recomputes the current activity's hour totals from its detail rows.
void ricalcolaore();

// A column of the present volunteers: its name and the character where it starts in a line.
struct PresentColumn {
    QString caption;
    int start = 0;
};
std::array<PresentColumn, riskClasses.size() + 1> presentColumns();

// One line of the present volunteers: the name in 30 characters, then R0, R6-R10 and
// their sum, each "000.00" after two blanks.
QString detailLine(const QString &surname, const QString &name, const std::array<double, riskClasses.size()> &hours,
                   const QLocale &locale = QLocale());
