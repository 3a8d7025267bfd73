#pragma once

#include "store/database.h"
#include "store/records.h"

#include <QHash>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Takes the lines of a list one at a time, in order.
using LineSink = std::function<void(const QString &line)>;

// The lines of the list window for a list mode ("EO", "EA", "ED", "EV", "EM", "EC",
// "ER"), read from the archive and handed to `add` as they are built: a list may run to
// hundreds of thousands of lines. Any other mode gives no lines. `riskTable` is the table
// number typed for "ER". The result is the read the store refused, if any; the lines handed
// before it are then not the whole list. `keys`, when given, receives for the lines that stand
// for a volunteer the volunteer's text, in the order of the lines; it stays empty for the other lists.
Store::Result buildList(const QString &mode, const QString &riskTable, const LineSink &add,
                        QStringList *keys = nullptr);
// The same lines as a list; when the store refuses a read, no lines and its reason in `refusal`.
QStringList buildList(const QString &mode, const QString &riskTable, Store::Result *refusal = nullptr,
                      QStringList *keys = nullptr);

// The characters of the widest heading or column line of a list mode; 0 for a list of free text.
int listLayoutWidth(const QString &mode);

// The heading of the list of activities with their volunteers.
QString detailListHeader();

// The lines of each list, built from the rows alone.
namespace ListLines {
QString organisation(const Organisation &organisation);
QString activity(const Activity &activity);
// The four heading lines of the list of activities with their volunteers.
QStringList detailHeading();
// An activity's line, one line per detail row, and the empty line after them.
void appendActivityWithDetails(QStringList &lines, const Activity &activity, const QList<DetailRow> &details,
                               const QLocale &locale = QLocale());
// A volunteer's line: his text, then the name of his organisation when he has one.
QString volunteer(const Volunteer &volunteer, const QString &organisation);
// The lines after the volunteers: an empty line and their count.
QStringList volunteerTotal(qsizetype count);

// The list of the hours of one risk class by volunteer, built row by row from the detail rows
// in the order of the volunteers' texts: a row line for each row with hours, and a subtotal
// before each next volunteer and at the end. Each line goes to `add` as soon as it is known.
class RiskTable {
public:
    // `classIndex` in riskClasses; none lists no rows. `organisations` (see Organisations::ofVolunteers)
    // names each volunteer's organisation on his subtotal line.
    RiskTable(std::optional<size_t> classIndex, LineSink add, QHash<QString, QString> organisations = {});
    void add(const DetailRow &row);
    // The last subtotal and the empty line; the list is then complete.
    void finish();

private:
    QString subtotal() const;

    std::optional<size_t> m_classIndex;
    LineSink m_add;
    // The rows come by volunteer and their hours are a few values: each text is made once.
    QString m_surname;
    QString m_name;
    QString m_nameField;
    QHash<double, QString> m_hoursTexts;
    QString m_previous;
    QHash<QString, QString> m_organisations;
    QString m_organisation;         // of the volunteer whose rows are being listed
    QString m_previousOrganisation; // of the one whose subtotal comes next
    bool m_first = true;
    // The running total starts with no value, so an empty list shows an empty total.
    std::optional<double> m_total;
};
} // namespace ListLines
