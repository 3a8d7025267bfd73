#pragma once

#include "store/database.h"
#include "store/records.h"

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

class DataSource;

// Which volunteers the physician must see: their hours in the risk classes R6-R10 over a
// period against the thresholds of SOGLIE, and their health checks (VISITE).
namespace Surveillance {

// The kinds of visit, their outcomes, and the statuses of a volunteer, as stored and shown.
inline const QString basicCheck = QStringLiteral("Controllo sanitario");
inline const QString surveillanceVisit = QStringLiteral("Sorveglianza sanitaria");
inline const QString fit = QStringLiteral("Idoneo");
inline const QString fitWithLimits = QStringLiteral("Idoneo con limitazioni");
inline const QString unfit = QStringLiteral("Non idoneo");
inline const QString unfitStatus = QStringLiteral("Non idoneo");
inline const QString expiredStatus = QStringLiteral("Visita scaduta");
inline const QString dueStatus = QStringLiteral("Da sottoporre a sorveglianza");
inline const QString inOrderStatus = QStringLiteral("In regola");

// SOGLIE's row of the intervals.
inline const QString intervalsRow = QStringLiteral("VISITE");

// Hours are kept per risk class in the order of riskClasses: R0, R6 ... R10.
using ClassHours = std::array<double, 6>;

// The thresholds as SOGLIE holds them; no value checks nothing, an interval of no value gives
// no due date.
struct Thresholds {
    // R6 ... R10: flag when the hours in the period exceed `yearly`, or those of a week reach `weekly`.
    std::array<Threshold, 5> classes;
    std::optional<double> checkYears;  // between basic checks
    std::optional<double> visitMonths; // between surveillance visits
};

// One volunteer's hours over the period: in total, and in his busiest week, by class.
struct VolunteerHours {
    QString text; // surname, blank, first name, as the detail rows hold it
    ClassHours total{};
    ClassHours highestWeek{};
    QMap<QDate, ClassHours> months; // by the first day of the month the activities start in
};

// Sums the detail rows' hours by volunteer text (letter case aside, as the statistics match
// them) for the activities starting in [from, to]. An activity's hours count in the Monday to
// Sunday week of its start; one that ends after that Sunday spreads them evenly over its days.
class HoursCount {
public:
    HoursCount(const QDate &from, const QDate &to);
    void add(const QString &surname, const QString &name, const QString &start, const QString &end,
             const RiskHours &hours);
    // By VolunteerText::key of the volunteer's text.
    QHash<QString, VolunteerHours> finish();

private:
    struct Counted {
        VolunteerHours hours;
        QHash<qint64, ClassHours> weeks; // by the Julian day of the week's Monday
    };
    QDate date(const QString &text);
    Counted &counted(const QString &surname, const QString &name);

    QDate m_from;
    QDate m_to;
    QHash<QString, QDate> m_dates;
    QHash<QString, qsizetype> m_byText; // surname and name as read, to the volunteer's place
    QHash<QString, qsizetype> m_byKey;
    std::vector<Counted> m_counted;
};

// A row of the evaluation.
struct Row {
    QString surname;
    QString name;
    QString taxCode;
    ClassHours hours{};
    QMap<QDate, ClassHours> months; // as VolunteerHours has them
    double r7HighestWeek = 0;
    QString overThreshold; // the classes over their thresholds, "R6 R9"
    QString lastVisitDate;
    QString lastVisitType;
    QString lastVisitOutcome;
    QDate latestDue;
    QString status;
};

// The date a visit is due again: its own, or its date moved on by its type's interval.
QDate dueDate(const Visit &visit, const Thresholds &thresholds);

// The classes over their thresholds, "R6 R9" in class order.
QString overThreshold(const VolunteerHours &hours, const Thresholds &thresholds);

// A volunteer's standing from his visits: the last one, the latest due date, and what the
// details window warns of (the last outcome unfit since its date, or the due date past since then).
struct Standing {
    std::optional<Visit> last;
    QDate latestDue;
    enum class Warning { None, Unfit, Expired } warning = Warning::None;
    QDate since;
};
Standing standing(const QList<Visit> &visits, const Thresholds &thresholds, const QDate &today);

// One row per volunteer with hours in R6-R10 or a visit on record, in the order of their texts;
// detail rows and visits of nobody in VOLO make rows of their own.
QList<Row> evaluate(const QList<Volunteer> &volunteers, const QHash<QString, VolunteerHours> &hours,
                    const QList<Visit> &visits, const Thresholds &thresholds, const QDate &today);

// The columns of a row and its texts as the table, the printout and the file show them: hours
// with a decimal comma and at most two decimals, dates GG/MM/AAAA.
QStringList heading();
QStringList fields(const Row &row);

// The rows as a CSV file: UTF-8 with BOM, ';', decimal comma, dates GG/MM/AAAA.
QByteArray csv(const QList<Row> &rows);

// What the store gives the window.
struct Outcome {
    QList<Row> rows;
    Thresholds thresholds; // those the rows were evaluated with
    // On a server whose role may not read VISITE: the visit columns are empty.
    bool visitsHidden = false;
    Store::Result refusal; // a read refused: then no rows
};
// Reads the thresholds, the volunteers and their visits through `register_`, the detail rows
// of the period through `details`, and evaluates them.
Outcome evaluate(DataSource &register_, DataSource &details, const QDate &from, const QDate &to, const QDate &today);

Thresholds readThresholds(DataSource &source, Store::Result *refusal);
// Rewrites every row of SOGLIE from `thresholds`, in one transaction; with `shown`, only while every
// row still holds what a window read (else Store::changedElsewhere and nothing written).
Store::Result writeThresholds(DataSource &source, const Thresholds &thresholds, const Thresholds *shown = nullptr);

// A volunteer's visits, oldest first; `hidden` says a server's role may not read them.
QList<Visit> visitsOf(DataSource &source, const QString &surname, const QString &name, Store::Result *refusal,
                      bool *hidden = nullptr);
// The visit's volunteer must be in VOLO; a visit of the same volunteer, date and type is refused
// with Store::duplicateKey.
Store::Result addVisit(DataSource &source, const Visit &visit);
// Rewrites the visit `old`, as it was read, with `changed`; Store::changedElsewhere when it no
// longer reads so.
Store::Result changeVisit(DataSource &source, const Visit &old, const Visit &changed);
Store::Result removeVisit(DataSource &source, const Visit &visit);
// The volunteer's standing (see standing()).
Standing standingOf(DataSource &source, const QString &surname, const QString &name, const QDate &today,
                    Store::Result *refusal, bool *hidden = nullptr);
// The standings of the volunteers of `texts` (surname, blank, first name, as the lists show
// them), by those texts; one without visits is left out. The thresholds and the visits are read
// once however many volunteers are asked about.
QHash<QString, Standing> standingsOf(DataSource &source, const QStringList &texts, const QDate &today,
                                     Store::Result *refusal, bool *hidden = nullptr);

} // namespace Surveillance
