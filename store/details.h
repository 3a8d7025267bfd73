#pragma once

#include "store/database.h"
#include "store/records.h"

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>

class DataSource;

// The detail rows, one per volunteer and activity, read and written through the main
// window's source of them, which each operation leaves on the record source it ran. A read
// the store refused shows in the source's lastError(), for the window to say.
namespace Details {

// The rows of the activity `description` of `start` as the details window lists them, by volunteer.
QList<DetailRow> listed(DataSource &details, const QString &start, const QString &description);
// The same rows in the store's order.
QList<DetailRow> rows(DataSource &details, const QString &description, const QString &start);

// The most hours one volunteer holds in the activity `description` of `start`, his risk hours together.
// A read the store refused shows in lastError().
double mostHours(DataSource &details, const QString &description, const QString &start);

// Sets the hours of the risk class at `riskIndex` (of riskClasses) in the rows of the
// volunteer `surname`, recomputing their man-hours, with the notes now shown; the outcome
// of each row written. A walk the store cut short shows in lastError().
QList<Store::Result> setHours(DataSource &details, const QString &description, const QString &start,
                              const QString &surname, size_t riskIndex, double hours, const QString &note1,
                              const QString &note2);
// Adds a row as the details window makes it: no first name, an hour with no value as 0,
// notes but the first two empty.
Store::Result add(DataSource &details, const DetailRow &row);
// Deletes the rows of the volunteer `surname` `name` (compared as volunteer texts compare);
// the outcome of each row deleted.
QList<Store::Result> removeVolunteer(DataSource &details, const QString &description, const QString &start,
                                     const QString &surname, const QString &name);

// Sets the hour totals of the activity `activities` stands on (see Activities::findNamed)
// from its detail rows; nothing when it stands on no activity. When the store refuses a
// detail row, the old totals stay and `details` says why.
std::optional<Store::Result> recomputeTotals(DataSource &activities, DataSource &details, const QString &description,
                                             const QString &start);

// Sets the hour totals of the activity `description` of `start` from its detail rows: ok
// when there is no such activity, whose rows then stay as they are.
Store::Result totalActivity(DataSource &activities, DataSource &details, const QString &description,
                            const QString &start);

// The volunteers (VolunteerText::key) the rows of the activity `description` of `start` name,
// whatever the lists show, each with the most hours one of its rows holds outside the class
// at `riskIndex`. A read the store refused shows in lastError().
QHash<QString, double> presence(DataSource &details, const QString &description, const QString &start,
                                size_t riskIndex);

// What a press of the details window's buttons came to. Its rows and the activity's totals
// go in one transaction, under the activity's hold: PCs sharing a server never leave totals
// that miss another's rows, and a commit each would wait on the disk once per volunteer.
struct Press {
    enum class Outcome {
        Stored,      // committed, or its commit refused: see done and failures
        NotHeld,     // the transaction could not begin, the activity be held, or the line broke
        ReadRefused, // a read under the hold: nothing changed
        Unknown,     // whether the commit was stored is not known
    };
    Outcome outcome = Outcome::Stored;
    Store::Result why; // of all but Stored
    int done = 0;      // rows written
    // A row the store refused, "volunteer: reason", is left out alone; a refused commit takes
    // every row back and is the only entry.
    QStringList failures;
    // Volunteers to add whom the archive no longer holds (another PC renamed or deleted them since
    // the list was read): left out.
    QStringList missing;
};

// The volunteers a risk button records in one activity, with what its window shows of it.
struct Addition {
    QString description;
    QString start;
    QString end;
    QString place;
    QString province;
    QString note1; // the notes go with every row, new or changed
    QString note2;
    size_t riskIndex = 0;
    double hours = 0;
    QStringList volunteers; // their texts, as the archive lists them
};
// Sets the hours of the volunteers present (who they are is read again under the hold, so that
// no one gets two rows when two PCs add him at once) and adds a row for each of the others.
Press addVolunteers(DataSource &activities, DataSource &details, const Addition &addition);
// Deletes the rows of each volunteer, surname and first name as the rows hold them.
Press removeVolunteers(DataSource &activities, DataSource &details, const QString &description, const QString &start,
                       const QList<std::pair<QString, QString>> &volunteers);

// The tax code of each volunteer by the text lists show (VolunteerText::of), for new rows; a read
// the store refused comes back in `refusal`.
QHash<QString, QString> volunteerTaxCodes(const DataSource &details, Store::Result *refusal = nullptr);
// The volunteer texts of the archive, by first name.
QStringList archive(DataSource &volunteers);

// Writes committed together, where the connection can group them: a commit each would wait
// on the disk once per row.
class WriteGroup {
public:
    explicit WriteGroup(const DataSource &source);
    // The writes of one activity's rows: on a server the activity is held first (see
    // Activities::lock), so that its totals can be made from its rows before the commit.
    WriteGroup(const DataSource &source, const QString &description, const QString &start);
    // A group neither committed nor rolled back is rolled back: a transaction left open would
    // keep the connection from being opened again once lost.
    ~WriteGroup();
    WriteGroup(const WriteGroup &) = delete;
    WriteGroup &operator=(const WriteGroup &) = delete;
    // Why the transaction could not begin or the activity could not be held; the group then
    // writes nothing.
    const Store::Result &held() const { return m_held; }
    // On failure nothing of the group is kept; a commit the connection's break cut short is
    // success when the server stored it after all (see Store::commitOrSay).
    Store::Result commit();
    void rollback();

private:
    QSqlDatabase m_db;
    Store::Result m_held;
    bool m_grouped = false; // its transaction is open
};

} // namespace Details
