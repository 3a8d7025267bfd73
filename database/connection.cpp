#include "database/connection.h"

#include "database/serverconnection.h"

#include <QHash>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <sqlite3.h>

#include <cstring>
#include <memory>
#include <unordered_map>

using namespace Qt::StringLiterals;

namespace Store {

namespace {

const QString connectionPrefix = u"sentaro:"_s;

// Letter case is folded beyond ASCII (È equals è), so the unique keys and look-ups
// treat ROSSI and Rossi, FOÀ and Foà, as one. Equal bytes, by far the most common in an
// index's neighbours, are passed over eight at a time, and ASCII text is compared without
// leaving UTF-8.
int compareFolded(void *, int lengthA, const void *a, int lengthB, const void *b)
{
    const auto *textA = static_cast<const unsigned char *>(a);
    const auto *textB = static_cast<const unsigned char *>(b);
    const int common = std::min(lengthA, lengthB);
    int i = 0;
    while (i < common) {
        while (i + 8 <= common && std::memcmp(textA + i, textB + i, 8) == 0)
            i += 8;
        if (i == common)
            break;
        const unsigned char ca = textA[i];
        const unsigned char cb = textB[i];
        if (ca == cb) {
            ++i;
            continue;
        }
        if (ca >= 0x80 || cb >= 0x80)
            break;
        const int la = (ca >= 'A' && ca <= 'Z') ? ca + 32 : ca;
        const int lb = (cb >= 'A' && cb <= 'Z') ? cb + 32 : cb;
        if (la != lb)
            return la - lb;
        ++i;
    }
    if (i == common)
        return lengthA - lengthB;
    // From the start of the character that differs: the bytes passed over were equal.
    while (i > 0 && ((textA[i] & 0xC0) == 0x80 || (textB[i] & 0xC0) == 0x80))
        --i;
    const QString restA = QString::fromUtf8(reinterpret_cast<const char *>(textA + i), lengthA - i);
    const QString restB = QString::fromUtf8(reinterpret_cast<const char *>(textB + i), lengthB - i);
    return QString::compare(restA, restB, Qt::CaseInsensitive);
}

// LIKE with the same folding: % any run of characters, _ one character, and an
// optional escape character that makes the next one literal.
bool likeMatches(const QString &pattern, const QString &text, QChar escape)
{
    qsizetype p = 0;
    qsizetype t = 0;
    qsizetype starP = -1;
    qsizetype starT = 0;
    while (t < text.size()) {
        if (p < pattern.size()) {
            const QChar c = pattern[p];
            if (c == escape && p + 1 < pattern.size()) {
                if (pattern[p + 1] == text[t]) {
                    p += 2;
                    ++t;
                    continue;
                }
            } else if (c == u'%') {
                starP = p++;
                starT = t;
                continue;
            } else if (c == u'_' || c == text[t]) {
                ++p;
                ++t;
                continue;
            }
        }
        if (starP < 0)
            return false;
        p = starP + 1;
        t = ++starT;
    }
    while (p < pattern.size() && pattern[p] == u'%')
        ++p;
    return p == pattern.size();
}

QString argumentText(sqlite3_value *value)
{
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_value_text(value));
    return bytes ? QString::fromUtf8(bytes, sqlite3_value_bytes(value)) : QString();
}

void likeFunction(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
            sqlite3_result_null(context);
            return;
        }
    }
    QChar escape;
    if (argc == 3) {
        const QString escapeText = argumentText(argv[2]);
        if (escapeText.size() != 1) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
        escape = escapeText[0].toCaseFolded();
    }
    const QString pattern = argumentText(argv[0]).toCaseFolded();
    const QString text = argumentText(argv[1]).toCaseFolded();
    sqlite3_result_int(context, likeMatches(pattern, text, escape) ? 1 : 0);
}

sqlite3 *handleOf(const QSqlDatabase &db)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

} // namespace

bool useProgramCollation(QSqlDatabase &db)
{
    sqlite3 *handle = handleOf(db);
    if (!handle)
        return false;
    sqlite3_extended_result_codes(handle, 1);
    constexpr int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    return sqlite3_create_collation(handle, "NOCASE", SQLITE_UTF8, nullptr, compareFolded) == SQLITE_OK &&
           sqlite3_create_function(handle, "like", 2, flags, nullptr, likeFunction, nullptr, nullptr) == SQLITE_OK &&
           sqlite3_create_function(handle, "like", 3, flags, nullptr, likeFunction, nullptr, nullptr) == SQLITE_OK;
}

QSqlDatabase openConnection(const QString &name, const QString &path, bool readOnly)
{
    // Before SQLite's first connection: it would otherwise count every allocation under a
    // lock of its own, for figures the program never reads, one for each value a walk reads.
    [[maybe_unused]] static const int uncounted = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
    db.setDatabaseName(path);
    // Another program holding the file gets a few seconds before a write gives up.
    db.setConnectOptions(readOnly ? u"QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=3000"_s
                                  : u"QSQLITE_BUSY_TIMEOUT=3000"_s);
    if (db.open() && !useProgramCollation(db))
        db.close();
    return db;
}

void dropConnection(const QString &name)
{
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

Result copyFile(const QSqlDatabase &db, const QString &path)
{
    sqlite3 *source = handleOf(db);
    if (!source)
        return failure(u"l'archivio non è aperto"_s);
    const QString name = connectionName(u"copia:"_s + path);
    Result result;
    {
        QSqlDatabase copy = openConnection(name, path, false);
        sqlite3 *target = copy.isOpen() ? handleOf(copy) : nullptr;
        if (!target) {
            result = classify(copy.lastError());
        } else {
            // The pages as they are: rebuilding the tables, as a VACUUM does, would sort every
            // index again with the program's collation. A new file needs no journal: a copy cut
            // short is removed, never rolled back.
            sqlite3_exec(target, "PRAGMA journal_mode = OFF", nullptr, nullptr, nullptr);
            sqlite3_backup *backup = sqlite3_backup_init(target, "main", source, "main");
            const int stepped = backup ? sqlite3_backup_step(backup, -1) : SQLITE_ERROR;
            const int finished = backup ? sqlite3_backup_finish(backup) : sqlite3_errcode(target);
            if (stepped != SQLITE_DONE || finished != SQLITE_OK) {
                // The copy's connection holds the reason, whichever side failed.
                const int code = sqlite3_extended_errcode(target);
                result = classify(QSqlError(QString(), QString::fromUtf8(sqlite3_errmsg(target)),
                                            QSqlError::StatementError, QString::number(code)));
            }
        }
    }
    dropConnection(name);
    return result;
}

namespace {
Result classifyServer(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    // The server's own sentence: its first line, without the severity before it.
    QString text = error.databaseText().trimmed().isEmpty() ? error.text().trimmed() : error.databaseText().trimmed();
    text = text.section(u'\n', 0, 0).trimmed();
    for (const QString &severity : {u"ERROR:"_s, u"FATAL:"_s, u"ERRORE:"_s}) {
        if (text.startsWith(severity))
            text = text.mid(severity.size()).trimmed();
    }
    if (code == u"23505"_s) // unique_violation
        return {duplicateKey, text};
    // insufficient_privilege, read_only_sql_transaction
    if (code == u"42501"_s || code == u"25006"_s) {
        const auto &server = Server::current();
        return {readOnlyUser, u"L'utente %1 può solo consultare l'archivio."_s.arg(server ? server->user : QString())};
    }
    if (code == u"40001"_s || code == u"40P01"_s) // serialization_failure, deadlock_detected
        return {conflict, u"l'archivio è occupato da un altro utente, riprovare (%1)"_s.arg(text)};
    if (code == u"55P03"_s) // lock_not_available: the lock wait ran out
        return {busy, u"L'archivio è in uso su un'altra postazione: riprovare."_s};
    if (code == u"57014"_s) // query_canceled: the statement limit ran out
        return {otherFailure, u"il server non ha risposto in tempo (%1)"_s.arg(text)};
    // connection_exception, admin_shutdown, crash_shutdown, cannot_connect_now
    if (code.startsWith(u"08"_s) || code == u"57P01"_s || code == u"57P02"_s || code == u"57P03"_s) {
        Server::markLost();
        return {lostConnection, u"il collegamento con il server si è interrotto (%1)"_s.arg(text)};
    }
    // Whatever the code, a break of the connection itself is told by libpq's words.
    if (Server::connectionBroke(text)) {
        Server::markLost();
        return {lostConnection, u"il collegamento con il server si è interrotto (%1)"_s.arg(text)};
    }
    return {otherFailure, text};
}

// The store speaks English: the usual troubles are said in Italian first, its own words kept
// after them for whoever has to look into it. Empty for the others.
QString italianReason(int code, const QString &text)
{
    switch (code & 0xff) {
    case 1: // SQLITE_ERROR: only its text tells the usual cases apart
        for (const auto &[english, italian] :
             {std::pair{u"no such table"_s, u"nell'archivio manca una tabella"_s},
              std::pair{u"no such column"_s, u"nell'archivio manca un campo"_s},
              std::pair{u"too many SQL variables"_s, u"troppi valori in una sola istruzione"_s}}) {
            if (text.contains(english))
                return italian;
        }
        return {};
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return u"l'archivio è bloccato da un altro programma"_s;
    case 7: // SQLITE_NOMEM
        return u"memoria insufficiente"_s;
    case 8: // SQLITE_READONLY
        return u"l'archivio non si può scrivere"_s;
    case 10: // SQLITE_IOERR
        return u"errore di lettura o scrittura sul disco"_s;
    case 11: // SQLITE_CORRUPT
    case 26: // SQLITE_NOTADB
        return u"l'archivio è danneggiato"_s;
    case 13: // SQLITE_FULL
        return u"il disco o l'archivio è pieno"_s;
    case 14: // SQLITE_CANTOPEN
        return u"il file non si può creare o aprire"_s;
    case 18: // SQLITE_TOOBIG
        return u"un testo o un dato è troppo grande per l'archivio"_s;
    case 19: // SQLITE_CONSTRAINT other than a repeated key; a trigger's (1811) author said why
        return code == 1811 ? QString() : u"un dato non è ammesso dall'archivio"_s;
    }
    return {};
}
} // namespace

QString refusal(const QString &what, const Result &result)
{
    return result.number == readOnlyUser || result.number == busy ? result.description : what + result.description;
}

Result classify(const QSqlError &error)
{
    if (!error.isValid())
        return {};
    const QString code = error.nativeErrorCode();
    // A server's codes are five-character SQLSTATEs; SQLite's are numbers of at most four digits.
    if (code.size() == 5)
        return classifyServer(error);
    // A connection to a server that broke gives no code, only the client library's words.
    if (Server::current() && Server::connectionBroke(error.text())) {
        Server::markLost();
        return {lostConnection, u"il collegamento con il server si è interrotto (%1)"_s.arg(error.text().trimmed())};
    }
    // SQLITE_CONSTRAINT_UNIQUE and SQLITE_CONSTRAINT_PRIMARYKEY
    if (code == u"2067"_s || code == u"1555"_s || error.text().contains(u"UNIQUE constraint failed"_s))
        return {duplicateKey, error.text()};
    const QString text = error.text().trimmed();
    if (text.isEmpty())
        return {otherFailure, u"errore sconosciuto"_s};
    const QString said = italianReason(code.toInt(), text);
    return {otherFailure, said.isEmpty() ? text : said + u" ("_s + text + u')'};
}

Result changedMeanwhile()
{
    return {changedElsewhere, u"il record è stato cambiato o eliminato da un'altra postazione"_s};
}

Result failure(const QString &description)
{
    return {otherFailure, description};
}

QString connectionName(const QString &fileName)
{
    return connectionPrefix + fileName;
}

QSqlDatabase connection(const QString &fileName)
{
    return QSqlDatabase::database(connectionName(fileName), false);
}

void closeAll()
{
    forgetPrepared();
    Server::forget();
    for (const QString &name : QSqlDatabase::connectionNames()) {
        if (name.startsWith(connectionPrefix))
            dropConnection(name);
    }
}

namespace {
// The store's open transactions, by connection, each with whether its row savepoint stands.
QHash<QString, bool> &openTransactions()
{
    static QHash<QString, bool> names;
    return names;
}
} // namespace

bool begin(QSqlDatabase db)
{
    Server::reconnectIfLost(db);
    const bool begun = db.transaction();
    if (begun)
        openTransactions().insert(db.connectionName(), false);
    return begun;
}

bool commit(QSqlDatabase db)
{
    const bool committed = db.commit();
    if (committed)
        openTransactions().remove(db.connectionName());
    return committed;
}

void rollback(QSqlDatabase db)
{
    db.rollback();
    openTransactions().remove(db.connectionName());
}

bool transactionOpen(const QSqlDatabase &db)
{
    return openTransactions().contains(db.connectionName());
}

bool transactionEnded(const QSqlDatabase &db)
{
    sqlite3 *handle = transactionOpen(db) ? handleOf(db) : nullptr;
    return handle && sqlite3_get_autocommit(handle);
}

Result failed(QSqlDatabase db, const QSqlError &error, const QString &otherwise)
{
    Result result = classify(error);
    if (result.number != lostConnection && Server::isServer(db) && !db.isOpen()) {
        Server::markLost();
        result = {lostConnection, Server::notOpen(db)};
    }
    return result.ok() ? failure(otherwise) : result;
}

namespace {
Result refusedOrLost(QSqlDatabase db, const QString &otherwise)
{
    return failed(db, db.lastError(), otherwise);
}
} // namespace

Result beginOrSay(QSqlDatabase db)
{
    if (begin(db))
        return {};
    // A break found by BEGIN is found before anything was done: it is begun on a new connection.
    if (refusedOrLost(db, {}).number == lostConnection && begin(db))
        return {};
    return refusedOrLost(db, u"la transazione non è cominciata"_s);
}

Result commitOrSay(QSqlDatabase db)
{
    // The transaction's number, none when it wrote nothing: a commit cut by a break of the
    // connection is settled by asking the server about it.
    qint64 number = 0;
    if (Server::isServer(db)) {
        QSqlQuery query(db);
        if (query.exec(u"select txid_current_if_assigned()"_s) && query.next())
            number = query.value(0).toLongLong();
    }
    if (commit(db))
        return {};
    const Result failed = refusedOrLost(db, u"il salvataggio non è riuscito"_s);
    rollback(db);
    if (failed.number != lostConnection || number == 0)
        return failed;
    // The server knows what became of the transaction, once it can be asked again.
    Server::reconnectIfLost(db);
    QString status;
    // The server may take a moment to notice the old connection's end and settle its transaction.
    for (int asked = 0; asked < 20 && (asked == 0 || status == u"in progress"_s); ++asked) {
        if (asked > 0)
            QThread::msleep(100);
        QSqlQuery query(db);
        query.prepare(u"select txid_status(?)"_s);
        query.addBindValue(number);
        status = db.isOpen() && query.exec() && query.next() ? query.value(0).toString() : QString();
    }
    if (status == u"committed"_s)
        return {};
    if (status == u"aborted"_s)
        return {lostConnection, failed.description + u": nulla è stato registrato"_s};
    return {unknownOutcome, u"Il collegamento con il server si è interrotto durante il salvataggio e non si sa se è "
                            u"stato registrato: rileggere quando il server risponde."_s};
}

Result inOpenTransaction(QSqlDatabase db, const std::function<Result()> &work)
{
    return transactionOpen(db) ? work() : inTransaction(db, work);
}

Result guarded(QSqlDatabase db, const std::function<Result()> &statement)
{
    const auto open = openTransactions().find(db.connectionName());
    if (!Server::isServer(db) || open == openTransactions().end())
        return statement();
    // The savepoint of the row before is let go in the same round trip that sets this one's.
    QSqlQuery mark(db);
    if (!mark.exec(*open ? u"RELEASE SAVEPOINT sentaro_riga; SAVEPOINT sentaro_riga"_s : u"SAVEPOINT sentaro_riga"_s))
        return classify(mark.lastError());
    *open = true;
    const Result result = statement();
    // Rolled back to, a savepoint stands, to be let go with the next.
    if (!result.ok())
        mark.exec(u"ROLLBACK TO SAVEPOINT sentaro_riga"_s);
    return result;
}

Result inTransaction(QSqlDatabase db, const std::function<Result()> &work)
{
    constexpr int attempts = 3;
    for (int attempt = 1;; ++attempt) {
        if (Result begun = beginOrSay(db); !begun.ok())
            return begun;
        Result result = work();
        if (result.ok())
            result = commitOrSay(db);
        else
            rollback(db);
        if (result.ok())
            return result;
        if (result.number != conflict || attempt == attempts)
            return result;
        // Another PC's write held what this one needed; it is over by now, or soon.
        QThread::msleep(50 * attempt);
    }
}

Result execute(QSqlDatabase db, const QString &sql, const QVariantList &values)
{
    Server::reconnectIfLost(db);
    // Qt runs nothing on a connection that is not open, and gives no reason.
    if (Server::isServer(db) && !db.isOpen())
        return refusedOrLost(db, {});
    return guarded(db, [&]() { return executeOnce(db, sql, values); });
}

namespace {
// On a server a statement is prepared once and run again by its name: preparing it and
// letting it go are a round trip each, for each row a window writes. At most this many are
// kept, by connection and text.
constexpr qsizetype preparedKept = 64;

std::unordered_map<QString, std::unique_ptr<QSqlQuery>> &preparedOnServer()
{
    static std::unordered_map<QString, std::unique_ptr<QSqlQuery>> queries;
    return queries;
}
} // namespace

void forgetPrepared()
{
    preparedOnServer().clear();
}

Result executeOnce(QSqlDatabase db, const QString &sql, const QVariantList &values)
{
    const QString notRun = u"istruzione non eseguita"_s;
    // Without values the text runs as it is: a server prepares only statements that take
    // values, not CREATE and the like.
    if (values.isEmpty()) {
        QSqlQuery query(db);
        return query.exec(sql) ? Result{} : failed(db, query.lastError(), notRun);
    }
    QSqlQuery once(db);
    QSqlQuery *query = &once;
    const QString key = db.connectionName() + u'\n' + sql;
    if (Server::isServer(db)) {
        auto &kept = preparedOnServer();
        auto found = kept.find(key);
        if (found == kept.end()) {
            auto made = std::make_unique<QSqlQuery>(db);
            if (!made->prepare(sql))
                return failed(db, made->lastError(), notRun);
            if (qsizetype(kept.size()) >= preparedKept)
                kept.clear();
            found = kept.emplace(key, std::move(made)).first;
        }
        query = found->second.get();
    } else if (!once.prepare(sql)) {
        return failed(db, once.lastError(), notRun);
    }
    for (int i = 0; i < values.size(); ++i)
        query->bindValue(i, values[i]);
    if (!query->exec()) {
        const Result refused = failed(db, query->lastError(), notRun);
        // Prepared anew next time: the refusal may have been the statement's own, such as a
        // table another PC changed under it.
        if (query != &once)
            preparedOnServer().erase(key);
        return refused;
    }
    return {};
}

} // namespace Store
