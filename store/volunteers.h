#pragma once

#include "store/database.h"
#include "store/records.h"

#include <QStringList>
#include <QVariantList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class DataSource;
class PreparedStatement;

// The volunteers (VOLO), read and written through the volunteer source the caller passes
// (the main window's), which each operation leaves on the rows it read.
namespace Volunteers {
// The condition that picks the rows of the volunteer `surname` `name` by COGN and NOME, its
// values appended to `values`. One without surname or first name is compared as empty text:
// no value matches an empty field, and the reverse.
QString matching(const QString &surname, const QString &name, QVariantList *values);
// The volunteer whose text (surname, blank, first name) is `text`, trailing blanks aside,
// standing on it; none when missing or the read was refused.
std::optional<Volunteer> findByText(DataSource &volunteers, const QString &text);
// The volunteer of that surname and first name, standing on it; none when missing or the
// read was refused. An empty surname or first name matches a field without value too.
std::optional<Volunteer> find(DataSource &volunteers, const QString &surname, const QString &name);
// The text (surname, blank, first name) of a volunteer other than `surname` `name` whose
// tax code is `taxCode`, letter case aside; none for a blank code, when nobody else holds it
// or when the read was refused.
std::optional<QString> taxCodeHolder(DataSource &volunteers, const QString &taxCode, const QString &surname,
                                     const QString &name);

// The fields the volunteer window does not show, which its writes leave as the row holds them.
QStringList notInWindow();
// The writes of a volunteer: every field of the record but those `untouched`, which keep what the
// row holds (a new row none); a mail that is null text leaves no value.
Store::Result insert(DataSource &volunteers, const Volunteer &volunteer, const QStringList &untouched = {});
// Rewrites the volunteer `surname` `name` as `renamed` (with the same names for a plain
// change), in one transaction with the detail rows that name him (ATTIVDETT.COGN, letter
// case aside), which take his new text, and his visits (VISITE), which take his new names. A surname and first name
// another volunteer has are refused with Store::duplicateKey, and a volunteer no longer there with a failure: then
// nothing is written. With `asRead`, only while his row holds what a window read of it, else
// Store::changedElsewhere.
Store::Result rename(DataSource &volunteers, const QString &surname, const QString &name, const Volunteer &renamed,
                     const QStringList &untouched = {}, const AsRead *asRead = nullptr);
// Deletes the volunteer the source stands on with his visits, all in one transaction, when they
// are as many as `visits`, the count the user confirmed (none by default); otherwise nothing, with
// the result hasVisits: a visit another PC added since the question is not deleted unseen.
inline constexpr int hasVisits = -20;
Store::Result remove(DataSource &volunteers, qint64 visits = 0);

// Offers every row of VOLOEXTRA to VOLO; a row the store refuses, a volunteer already
// there above all, is skipped.
void addExtraVolunteers(DataSource &extra, DataSource &volunteers);
} // namespace Volunteers

// What an import of volunteers came to, for the window to say.
struct ImportOutcome {
    int read = 0;            // volunteers of the export read
    int added = 0;           // and added, in groups that stayed
    Store::Result readError; // a read of the export or of VOLO the store refused
    QString readOnly;        // the store's words when every row would be refused
    QString commitError;     // why a group was not begun or not committed
    bool unknown = false;    // whether the last group's commit was stored is not known
    bool committed = true;   // every group read was committed
    int refused = 0;         // rows the store refused, left out
    QString firstRefusal;    // the first of them with the store's reason
};

namespace Volunteers {
// Copies into VOLO every volunteer of the export whose surname and first name are not there
// yet (see VolunteerImport), telling `progress` the counts between groups, and leaves the
// volunteer source on the last volunteer looked up. A read refused leaves the group it fell
// in uncommitted: whether the rest of that group was already there is not known.
ImportOutcome importFrom(DataSource &exported, DataSource &volunteers,
                         const std::function<void(int read, int added)> &progress);
} // namespace Volunteers

// Copies the volunteers of another program's export into VOLO, in groups of rows that the
// caller commits. The names on both sides are read once, before anything is written, and
// compared in memory as the unique key compares them: a look-up in the store for each of
// thousands of volunteers would cost more than the inserts. Only the rows added are read
// whole. A volunteer without surname or first name is compared as empty text.
class VolunteerImport {
public:
    // Writes through the database of the volunteer source, whose walks are told first.
    explicit VolunteerImport(DataSource &volunteers);
    ~VolunteerImport();
    VolunteerImport(const VolunteerImport &) = delete;
    VolunteerImport &operator=(const VolunteerImport &) = delete;

    // Reads the names of the export's volunteers, in the order of surname and first name,
    // and those of VOLO. On a refusal the export's names read before it are kept.
    Store::Result read(const DataSource &exported);
    qsizetype count() const { return qsizetype(m_exported.size()); }
    // Surname, blank, first name of the i-th volunteer of the export.
    QString text(qsizetype i) const;

    // Whether VOLO holds the i-th volunteer of the export, as it was read or as this import
    // added to it; asked in the order of the export.
    bool present(qsizetype i);
    // Adds the i-th volunteer of the export to VOLO, every field as it is there. The rows go
    // in statements of many rows, sent when enough wait or at commit. A read of the export
    // that failed comes back in `read`, and the group must then be rolled back. A row the
    // store refuses is left out and counted (refused()); the result is a failure only when
    // every row would be refused alike (a role that may only read) or the connection is lost.
    Store::Result add(qsizetype i, Store::Result *read);

    // Rows added in this import (those of a group rolled back are not), rows refused, and
    // the first refused with the store's reason.
    int added() const { return m_added; }
    int addedInGroup() const { return m_addedInGroup; }
    int refused() const { return m_refused; }
    const QString &firstRefusal() const { return m_firstRefusal; }

    // Begins a group; nothing may be added when it could not begin.
    Store::Result begin();
    // Sends the rows waiting and commits the group; a group the store refuses, or whose rows
    // could not be read (`read`, as for add), is rolled back. On a server a commit cut by the
    // connection's break counts as the server settles it (see Store::commitOrSay).
    Store::Result commit(Store::Result *read);
    void rollback();

    // Leaves the volunteer source on the last volunteer asked about, and refreshes it.
    void showLastLookedUp();
    // Lets go of the export, before its file is closed.
    void endReading();

private:
    struct Name {
        QString surname;
        QString name;
        QString key;     // both folded, as the unique key compares them
        qint64 row = -1; // of the export
    };
    static Name named(const QVariant &surname, const QVariant &name, qint64 row = -1);
    static bool before(const Name &a, const Name &b);
    static bool same(const Name &a, const Name &b);

    DataSource &m_volunteers;
    QSqlDatabase m_db;
    QSqlDatabase m_exportDb; // read in one transaction, which spares locking it for each row
    QStringList m_fields;
    std::unique_ptr<PreparedStatement> m_insert;
    bool m_server = false;
    // On a file, the export attached to the register's connection, and the statement that
    // copies rows waiting from it; without them each row is copied on its own. On a server,
    // the statement that reads rows waiting from the export.
    bool m_attached = false;
    std::unique_ptr<PreparedStatement> m_copy;
    std::unique_ptr<PreparedStatement> m_exportedRows;
    // The rows for the next statement, by their places in the export.
    std::vector<qsizetype> m_waiting;
    QVariantList waitingKeys(size_t first, qsizetype *rows) const;
    int m_added = 0;
    int m_addedInGroup = 0;
    int m_refused = 0;
    QString m_firstRefusal;
    void counted(qsizetype i, const Store::Result &result);
    Store::Result sendWaiting(Store::Result *read);
    std::unique_ptr<PreparedStatement> m_exportedRow;
    std::vector<Name> m_exported;
    std::vector<Name> m_stored;   // VOLO's, in order
    std::size_t m_nextStored = 0; // the first of them not before the last volunteer asked about
    qsizetype m_lastAsked = -1;
    bool m_lastHeld = false; // whether VOLO holds the last volunteer asked about
};
