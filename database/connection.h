#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <functional>

class QSqlError;

// Connections to either archive (an SQLite file, a PostgreSQL server), the outcome of a write,
// and transactions: everything the register's operations run through, knowing none of its tables.
namespace Store {

// The outcome of a write: 0 when stored, duplicateKey when the row would repeat a unique
// key, otherFailure with the store's description for every other refusal.
struct Result {
    int number = 0;
    QString description;
    bool ok() const { return number == 0; }
};
// Result::number: what became of a write.
enum Code : int {
    stored = 0,
    duplicateKey = 3022,
    otherFailure = -1,
    // On a server: a role that may only read; a write that ran into another PC's (tried again
    // a few times before it is said); a connection lost (the next command opens it again).
    readOnlyUser = -2,
    conflict = -3,
    lostConnection = -4,
    // A row changed or deleted by another PC since it was read: nothing was written.
    changedElsewhere = -5,
    // Another PC held what a write waited for longer than the server's lock wait; the description
    // is a whole sentence, said alone.
    busy = -6,
    // The connection broke during a commit and the server, not reachable again, could not say
    // whether it was stored.
    unknownOutcome = -7,
};

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
// The row a write was to go over is no longer as it was read: another PC changed or deleted it.
Result changedMeanwhile();

// The connection that the data sources of a database file share; invalid until opened.
QSqlDatabase connection(const QString &fileName);

// The connection name under which the data sources of a database file find it.
QString connectionName(const QString &fileName);
// Opens a database file under a connection name, with the program's letter-case rules; the
// connection is closed when they cannot be given. dropConnection closes and forgets it.
QSqlDatabase openConnection(const QString &name, const QString &path, bool readOnly);
void dropConnection(const QString &name);
// Copies the file open on `db`, page by page, into a new file at `path`: the file as it stood
// when the copy began, though other programs write it meanwhile.
Result copyFile(const QSqlDatabase &db, const QString &path);

// Closes every connection of the store.
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
// Whether SQLite itself ended, with all its rows, the transaction the store began on a file:
// it may when a statement fails on a full disk or a failed read or write of the file.
bool transactionEnded(const QSqlDatabase &db);
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
// The statement alone: no reconnection, no savepoint around it.
Result executeOnce(QSqlDatabase db, const QString &sql, const QVariantList &values);

} // namespace Store
