#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

class QSqlError;

namespace Store {

// The outcome of a write: 0 when stored, duplicateKey when the row would repeat a unique
// key, otherFailure with the store's description for every other refusal.
struct Result {
    int number = 0;
    QString description;
    bool ok() const { return number == 0; }
};
inline constexpr int duplicateKey = 3022;
inline constexpr int otherFailure = -1;
// On a server: a role that may only read; a write that ran into another PC's (tried again
// a few times before it is said); a connection lost (the next command opens it again).
inline constexpr int readOnlyUser = -2;
inline constexpr int conflict = -3;
inline constexpr int lostConnection = -4;
// A row changed or deleted by another PC since it was read: nothing was written.
inline constexpr int changedElsewhere = -5;
// Another PC held what a write waited for longer than the server's lock wait; the description
// is a whole sentence, said alone.
inline constexpr int busy = -6;
// The connection broke during a commit and the server, not reachable again, could not say
// whether it was stored.
inline constexpr int unknownOutcome = -7;

Result classify(const QSqlError &error);
// What became of a statement that failed on `db`: classify's answer, but a server's connection
// that is no longer open is a lost one (Qt gives no reason then), and no reason at all is
// `otherwise`.
Result failed(QSqlDatabase db, const QSqlError &error, const QString &otherwise);
// What a window says of a write the store refused: `what` (e.g. "Attività non registrata: ")
// then the store's reason; a role that may only read, or a write that waited too long for
// another PC, is told so in the store's words alone.
QString refusal(const QString &what, const Result &result);

// Gives an open connection the program's letter-case rules (accented letters folded too);
// every connection that writes the files must have them, or the key indexes go out of order.
bool useProgramCollation(QSqlDatabase &db);
Result failure(const QString &description);

// The connection that the data sources of a database file share; invalid until opened.
QSqlDatabase connection(const QString &fileName);

// What to say when the working folder cannot be written.
QString readOnlyFolderMessage();

// Opens attivita.mdb and comuni.mdb in the current folder, creating a missing one, and
// writes a missing specializzazioni.dat. An archive of the earlier program (Access) is
// converted first, the original kept aside; what was converted goes into `notices`.
// Never changes a file it cannot use: it returns the message to show, naming the file
// and what is wrong with it.
// With sentaro.ini naming a server, the register is there instead (see store/server.h):
// `askPassword` and `ask` put its questions to the user.
std::optional<QString> openWorkingFiles(QStringList *notices = nullptr,
                                        const std::function<std::optional<QString>(const QString &)> &askPassword = {},
                                        const std::function<bool(const QString &)> &ask = {});

// Opens another program's export (voloesp.mdb) for reading only; it is never created.
// Returns the message to show when it is missing or has no table of volunteers.
std::optional<QString> openImportFile();
void closeImportFile();

// Copies the register into `fileName` as it stands, through the store's own backup; the
// file appears only when the copy is complete, and is never overwritten.
Result backupRegister(const QString &fileName);

// Copies every row of the register's tables from one database to another whose tables are
// empty, inside the caller's transaction; `rows` counts them.
Result copyTables(QSqlDatabase from, QSqlDatabase to, qint64 *rows);

// Closes every connection opened by openWorkingFiles.
void closeAll();
// Lets go of the statements kept prepared on a server, before its connection is closed.
void forgetPrepared();

// Runs a statement that returns no rows on a connection, values bound in order.
Result execute(QSqlDatabase db, const QString &sql, const QVariantList &values = {});

// All or nothing: runs `work` inside a transaction, committing when it returns ok. On a
// server, work that ran into another PC's writes is run again, up to three times.
Result inTransaction(QSqlDatabase db, const std::function<Result()> &work);

// A transaction begun, committed or rolled back by the store: every transaction goes
// through these, so that a statement knows whether it runs inside one (see guarded).
bool begin(QSqlDatabase db);
// Runs `work` in the transaction already open on the connection, or in one of its own.
Result inOpenTransaction(QSqlDatabase db, const std::function<Result()> &work);
bool commit(QSqlDatabase db);
void rollback(QSqlDatabase db);
// Whether a transaction begun by the store is open on the connection.
bool transactionOpen(const QSqlDatabase &db);
// The same begin, saying why not: a connection found broken is opened again and the
// transaction begun on the new one, since nothing was done yet.
Result beginOrSay(QSqlDatabase db);
// The same commit, saying why not. On a server, a commit that the connection's break cut
// short is settled once the connection is back: stored after all is success, not stored is
// the lost connection's result, and a server still unreachable is unknownOutcome.
Result commitOrSay(QSqlDatabase db);

// Runs one statement's work. On a server a statement that fails inside a transaction spoils
// the whole transaction; inside a savepoint it spoils only itself, as on the file, where a
// row refused leaves the transaction's other rows.
Result guarded(QSqlDatabase db, const std::function<Result()> &statement);

} // namespace Store
