#include "store/server.h"

#include "store/database.h"
#include "store/layout.h"
#include "store/schema.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace Server {
namespace {
QHash<QString, QSet<QString>> presentColumns(QSqlDatabase &db)
{
    QHash<QString, QSet<QString>> present;
    QSqlQuery query(db);
    // The catalogue itself: the information schema's views take several times as long.
    query.exec(u"select c.relname, a.attname from pg_catalog.pg_attribute a join pg_catalog.pg_class c on "
               u"c.oid = a.attrelid where c.relnamespace = current_schema()::regnamespace and c.relkind = 'r' "
               u"and a.attnum > 0 and not a.attisdropped"_s);
    while (query.next())
        present[query.value(0).toString().toUpper()].insert(query.value(1).toString().toUpper());
    return present;
}

std::optional<QString> fieldProblem(const QHash<QString, QSet<QString>> &present, const Settings &settings)
{
    for (const Schema::Table &table : Schema::registerTables()) {
        for (const Schema::Field &field : table.fields) {
            if (!present.value(table.name).contains(field.name))
                return u"Sul server %1 la tabella %2 non ha il campo %3."_s.arg(settings.address(), table.name,
                                                                                field.name);
        }
    }
    return std::nullopt;
}

// Copies every row of the working folder's attivita.mdb to the server's empty tables,
// inside the caller's transaction.
Store::Result copyLocalRegister(QSqlDatabase &server, qint64 *rows)
{
    const QString name = u"sentaro:copia-sul-server"_s;
    Store::Result result;
    {
        QSqlDatabase local = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        local.setDatabaseName(Schema::registerFile);
        local.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
        result = local.open() && Store::useProgramCollation(local)
                     ? Store::copyTables(local, server, rows)
                     : Store::failure(u"il file %1 non si può aprire"_s.arg(Schema::registerFile));
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

// What the role may do on the register's tables: all read and all written, or not.
struct Rights {
    bool read = false;
    bool write = false;
};

Rights rights(QSqlDatabase &db)
{
    QStringList names;
    // Health data may be kept from a role that uses the rest: its reads then say so.
    for (const Schema::Table &table : Schema::registerTables()) {
        if (!table.confidential)
            names << u"'"_s + table.name.toLower() + u"'"_s;
    }
    QSqlQuery query(db);
    query.exec(u"select coalesce(bool_and(has_table_privilege(c.oid, 'SELECT')), false), "
               u"coalesce(bool_and(has_table_privilege(c.oid, 'INSERT, UPDATE, DELETE')), false) "
               u"from pg_catalog.pg_class c where c.relnamespace = current_schema()::regnamespace and "
               u"c.relkind = 'r' and lower(c.relname) in ("_s +
               names.join(u", "_s) + u')');
    if (!query.next())
        return {};
    return {query.value(0).toBool(), query.value(1).toBool()};
}

bool mayCreateTables(QSqlDatabase &db)
{
    QSqlQuery query(db);
    return query.exec(u"select has_schema_privilege(current_schema(), 'CREATE')"_s) && query.next() &&
           query.value(0).toBool();
}

bool isSQLiteFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArrayLiteral("SQLite format 3\0");
}

std::optional<QString> createTables(QSqlDatabase &db, const Settings &settings, const Question &ask,
                                    QStringList *notices, bool *copied)
{
    const bool copy = isSQLiteFile(Schema::registerFile) && ask &&
                      ask(u"Copio sul server l'archivio locale %1?"_s.arg(Schema::registerFile));
    *copied = copy;
    qint64 rows = 0;
    const Store::Result made = Store::inTransaction(db, [&]() -> Store::Result {
        rows = 0;
        return Store::makeTables(db, Schema::registerTables(),
                                 [&]() { return copy ? copyLocalRegister(db, &rows) : Store::Result{}; });
    });
    if (!made.ok())
        return u"Non è stato possibile preparare l'archivio sul server %1: %2. Sul server non è stato scritto "
               u"nulla."_s.arg(settings.address(), made.description);
    if (copy && notices)
        *notices << u"Copiate sul server %1 righe dall'archivio locale %2, che resta com'era."_s.arg(rows).arg(
            Schema::registerFile);
    return std::nullopt;
}

// A register of an earlier version is brought up to date (see Store::migrateRegister), its
// tables checked; a later one is refused. `found` is the version the register had.
std::optional<QString> checkVersion(QSqlDatabase &db, const Settings &settings, int *found)
{
    QSqlQuery query(db);
    if (!query.exec(Schema::versionQuery(Schema::Dialect::Server)) || !query.next())
        return u"L'archivio sul server %1 non si può leggere (%2)."_s.arg(settings.address(),
                                                                          errorText(query.lastError()));
    *found = Schema::versionFound(Schema::Dialect::Server, query.value(0));
    query.finish();
    if (*found > Schema::version)
        return u"L'archivio sul server %1 è di una versione di Sentaro più recente: aggiornare il programma."_s.arg(
            settings.address());
    if (*found == Schema::version)
        return std::nullopt;
    std::optional<QString> problem;
    const Store::Result migrated =
        Store::migrateRegister(db, [&]() { return problem = fieldProblem(presentColumns(db), settings); });
    if (!migrated.ok() && !problem)
        return u"Non è stato possibile aggiornare l'archivio sul server %1 alla versione di questo Sentaro: %2. "
               u"L'archivio non è stato modificato."_s.arg(settings.address(), migrated.description);
    return problem;
}

} // namespace

std::optional<QString> openRegister(const QString &connectionName, const Settings &settings,
                                    const PasswordPrompt &askPassword, const Question &ask, QStringList *notices)
{
    if (auto problem = connect(connectionName, settings, askPassword, notices))
        return problem;
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    const QHash<QString, QSet<QString>> present = presentColumns(db);
    // The tables of the first version: later ones come with the migration, and are checked after it.
    QStringList missing;
    qsizetype first = 0;
    for (const Schema::Table &table : Schema::registerTables()) {
        if (table.since > 1)
            continue;
        ++first;
        if (!present.contains(table.name))
            missing << table.name;
    }
    std::optional<QString> problem;
    const QString readOnly = u"L'utente %1 può solo consultare l'archivio."_s.arg(settings.user);
    Rights allowed;
    int found = Schema::version;
    bool copied = false;
    if (missing.size() == first) {
        // Tables the role cannot make would fail half way, with the server's words.
        problem = mayCreateTables(db)
                      ? createTables(db, settings, ask, notices, &copied)
                      : u"%1 Sul server %2 l'archivio %3 è vuoto: le sue tabelle le crea un utente che scrive."_s.arg(
                            readOnly, settings.address(), settings.database);
    } else if (!missing.isEmpty()) {
        problem = u"Sul server %1 l'archivio %2 è incompleto: manca la tabella %3."_s.arg(
            settings.address(), settings.database, missing.constFirst());
    } else if (allowed = rights(db); !allowed.read) {
        // Otherwise the program would open on empty lists, as if the register held nothing.
        problem = u"L'utente %1 non ha accesso all'archivio sul server %2."_s.arg(settings.user, settings.address());
    } else if (!(problem = checkVersion(db, settings, &found)) && found == Schema::version) {
        // A migrated register was checked inside its migration, against its new tables.
        problem = fieldProblem(present, settings);
    }
    // Doubles are said where they arrive: a copy of the local archive or an older register.
    if (!problem)
        Store::addDetailKey(db, found < Schema::detailKeyVersion || copied ? notices : nullptr);
    if (!problem && allowed.read && !allowed.write && notices)
        *notices << readOnly;
    if (problem) {
        db.close();
        return problem;
    }
    setCurrent(settings);
    return std::nullopt;
}

} // namespace Server
