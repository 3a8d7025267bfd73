#pragma once

#include "store/database.h"
#include "store/records.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// The choices of a computation of hours by risk class.
struct StatisticsChoice {
    QString from;      // GG/MM/AAAA, first start date counted
    QString to;        // GG/MM/AAAA, last start date counted
    QString riskClass; // "TUTTI", "R0", "R6" ... "R10"; anything else counts nothing
    QString volunteer; // "TUTTI" or one volunteer text
};

// The listing of hours per volunteer over the period, read from the activity details:
// heading, blank line, column header, one line per volunteer with hours, three blanks,
// the grand total. When the store refuses a read, no lines and its reason in `refusal`.
QStringList buildStatistics(const StatisticsChoice &choice, Store::Result *refusal = nullptr);

// One line of the listing: name in 51 characters, the total and the six class sums.
QString statisticsLine(const QString &name, double total, const double (&classes)[6]);

// The listing built from the detail rows alone, given one at a time in the order of the
// volunteers' texts.
class StatisticsListing {
public:
    explicit StatisticsListing(const StatisticsChoice &choice);
    void add(const DetailRow &row);
    // The last volunteer, the three blanks and the grand total; the listing is then complete.
    QStringList finish();

private:
    struct Sums {
        double total = 0;
        double classes[6] = {};
        void add(const Sums &other);
    };
    void closeVolunteer();

    QStringList m_lines;
    QDate m_from;
    QDate m_to;
    QString m_volunteer;
    bool m_everyone = false;
    bool m_allClasses = false;
    int m_chosenClass = -1;
    Sums m_grand;
    Sums m_current;
    QString m_currentName;
    // The text of the row before, kept with its parts: most rows are of the volunteer before.
    QString m_surname;
    QString m_firstName;
    QString m_name;
    // A few thousand activities share their start dates among hundreds of thousands of rows.
    QHash<QString, QDate> m_dates;
};

// The same, from a list of detail rows.
QStringList statisticsListing(const StatisticsChoice &choice, const QList<DetailRow> &rows);
