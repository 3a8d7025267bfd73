#include "store/layout.h"

#include "common/textformat.h"
#include "database/serverconnection.h"

#include <QSqlError>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace Store {
namespace {

Schema::Dialect dialectOf(const QSqlDatabase &db)
{
    return Server::isServer(db) ? Schema::Dialect::Server : Schema::Dialect::File;
}

Result executeAll(QSqlDatabase db, const QStringList &statements)
{
    for (const QString &statement : statements) {
        if (Result done = execute(db, statement); !done.ok())
            return done;
    }
    return {};
}

// The table's first rows, where it has none yet.
Result writeFirstRows(QSqlDatabase db, const Schema::Table &table)
{
    if (table.firstRows.empty())
        return {};
    QSqlQuery query(db);
    if (!query.exec(u"select count(*) from "_s + table.name) || !query.next())
        return classify(query.lastError());
    if (query.value(0).toLongLong() > 0)
        return {};
    query.finish();
    return execute(db, Schema::firstRowsStatement(table));
}

} // namespace

Result makeTables(QSqlDatabase db, const std::vector<Schema::Table> &tables, const std::function<Result()> &fill)
{
    const Schema::Dialect dialect = dialectOf(db);
    QStringList made;
    if (dialect == Schema::Dialect::Server)
        made << Schema::serverCollationStatement();
    QStringList indexes;
    for (const Schema::Table &table : tables) {
        made << Schema::tableStatement(table, dialect) << Schema::keyStatements(table);
        indexes << Schema::indexStatements(table);
    }
    if (Result done = executeAll(db, made); !done.ok())
        return done;
    if (Result filled = fill ? fill() : Result{}; !filled.ok())
        return filled;
    // A copy brings the rows it has; a table it left empty starts as a new one does.
    for (const Schema::Table &table : tables) {
        if (Result done = writeFirstRows(db, table); !done.ok())
            return done;
    }
    if (Result done = executeAll(db, indexes); !done.ok())
        return done;
    return execute(db, Schema::versionStatement(dialect));
}

Result migrateRegister(QSqlDatabase db, const std::function<std::optional<QString>()> &check)
{
    const Schema::Dialect dialect = dialectOf(db);
    return inTransaction(db, [&]() -> Result {
        if (dialect == Schema::Dialect::Server) {
            if (Result locked = execute(db, u"LOCK TABLE "_s + Schema::attivita + u" IN SHARE ROW EXCLUSIVE MODE"_s);
                !locked.ok())
                return locked;
        }
        QSqlQuery query(db);
        if (!query.exec(Schema::versionQuery(dialect)) || !query.next())
            return classify(query.lastError());
        const int found = Schema::versionFound(dialect, query.value(0));
        query.finish();
        for (int to = found + 1; to <= Schema::version; ++to) {
            if (Result done = executeAll(db, Schema::migrationStatements(to, dialect)); !done.ok()) {
                // A register that is no register of ours fails here: the check says why.
                const std::optional<QString> problem = check();
                return problem ? failure(*problem) : done;
            }
            for (const Schema::Table &table : Schema::registerTables()) {
                if (table.since != to)
                    continue;
                if (Result done = writeFirstRows(db, table); !done.ok())
                    return done;
            }
        }
        if (const std::optional<QString> problem = check())
            return failure(*problem);
        return found >= Schema::version ? Result{} : execute(db, Schema::versionStatement(dialect));
    });
}

void addDetailKey(QSqlDatabase db, QStringList *notices)
{
    QSqlQuery query(db);
    if (!query.exec(Schema::detailKeyPresentQuery(dialectOf(db))) || !query.next() || query.value(0).toInt() > 0)
        return;
    QStringList doubles;
    if (!query.exec(Schema::doubleDetailsQuery()))
        return;
    while (query.next())
        doubles << u"%1 in %2 del %3"_s.arg(query.value(0).toString(), query.value(1).toString(),
                                            query.value(2).toString());
    query.finish();
    if (doubles.isEmpty()) {
        // A role that may only read leaves it to the next one that writes; the presses' hold
        // on their activity keeps new doubles out meanwhile.
        execute(db, Schema::detailKeyStatement());
        return;
    }
    if (notices)
        *notices << u"Presenze doppie: %1."_s.arg(TextFormat::withVisibleCodes(doubles.join(u"; "_s)));
}

} // namespace Store
