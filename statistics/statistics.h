#pragma once

#include "store/database.h"

#include <QString>
#include <QStringList>

// The choices of a computation of hours by risk class.
struct StatisticsChoice {
    QString from;        // GG/MM/AAAA, first start date counted
    QString to;          // GG/MM/AAAA, last start date counted
    QString riskClass;   // "TUTTI", "R0", "R6" ... "R10"; anything else counts nothing
    QString volunteer;   // "TUTTI" or one volunteer text
};

// The listing of hours per volunteer over the period, read from the activity details:
// heading, blank line, column header, one line per volunteer with hours, three blanks,
// the grand total. When the store refuses a read, no lines and its reason in `refusal`.
QStringList buildStatistics(const StatisticsChoice &choice, Store::Result *refusal = nullptr);

// One line of the listing: name in 51 characters, the total and the six class sums.
QString statisticsLine(const QString &name, double total, const double (&classes)[6]);
