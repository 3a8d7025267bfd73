#include "store/schema.h"

using namespace Qt::StringLiterals;

namespace Schema {
namespace {

std::vector<Field> texts(const QStringList &names)
{
    std::vector<Field> fields;
    for (const QString &name : names)
        fields.push_back({name, Kind::Text});
    return fields;
}

void append(std::vector<Field> &fields, const std::vector<Field> &more)
{
    fields.insert(fields.end(), more.begin(), more.end());
}

std::vector<Field> hourFields(const QStringList &names)
{
    std::vector<Field> fields;
    for (const QString &name : names)
        fields.push_back({name, Kind::Number});
    return fields;
}

std::vector<Field> volunteerFields()
{
    return texts({u"CODASS"_s, u"CODVOL"_s, u"COGN"_s, u"NOME"_s, u"INDIR"_s, u"CAP"_s, u"CITTA"_s, u"PROV"_s,
                  u"DATANA"_s, u"LUOGONA"_s, u"PROVNA"_s, u"SESSO"_s, u"CODFISC"_s, u"TEL"_s, u"FAX"_s,
                  u"MAIL"_s, u"SPEC"_s, u"NOTE"_s, u"NOTE2"_s, u"NOTE3"_s});
}

Table makeActivities()
{
    std::vector<Field> fields = texts({u"DATAINATT"_s, u"DATAFIATT"_s, u"DESCRATT"_s, u"LOCATT"_s, u"PROVATT"_s});
    append(fields, hourFields({u"ORETOT"_s, u"OREUOMO"_s, u"ORET0"_s, u"ORET6"_s, u"ORET7"_s, u"ORET8"_s,
                               u"ORET9"_s, u"ORET10"_s}));
    append(fields, texts({u"NOTE1"_s, u"NOTE2"_s, u"NOTE3"_s, u"NOTE4"_s}));
    return {attivita, fields, {u"DESCRATT"_s, u"DATAINATT"_s}, {{u"NOTE4"_s, u"DESCRATT"_s}, {u"DATAINATT"_s}}};
}

Table makeDetails()
{
    std::vector<Field> fields = texts({u"DATAINATT"_s, u"DATAFIATT"_s, u"DESCRATT"_s, u"LOCATT"_s, u"PROVATT"_s,
                                       u"COGN"_s, u"NOME"_s, u"CFISC"_s});
    append(fields, hourFields({u"ORET0"_s, u"ORET6"_s, u"ORET7"_s, u"ORET8"_s, u"ORET9"_s, u"ORET10"_s,
                               u"OREUOMO"_s}));
    append(fields, texts({u"NOTE1"_s, u"NOTE2"_s, u"NOTE3"_s, u"NOTE4"_s, u"NOTE5"_s}));
    return {attivdett, fields, {}, {{u"DESCRATT"_s, u"DATAINATT"_s, u"COGN"_s}, {u"COGN"_s, u"NOME"_s},
                                    {u"DATAINATT"_s}}};
}

Table makeVolunteers()
{
    return {volo, volunteerFields(), {u"COGN"_s, u"NOME"_s}, {}};
}

Table makeExtraVolunteers()
{
    std::vector<Field> fields = volunteerFields();
    fields.resize(19);
    // Read at every start in surname and name order.
    return {voloextra, fields, {}, {{u"COGN"_s, u"NOME"_s}}};
}

Table makeOrganisations()
{
    std::vector<Field> fields = texts({u"CODASS"_s, u"DENOM"_s, u"INDIR"_s, u"CAP"_s, u"CITTA"_s, u"PROV"_s,
                                       u"TEL"_s, u"FAX"_s, u"MAIL"_s, u"CFISC"_s, u"SPEC"_s, u"DATA1"_s,
                                       u"DATAU"_s});
    fields.push_back({u"NUMVOL"_s, Kind::Integer});
    append(fields, texts({u"RESP"_s, u"TELRESP"_s, u"NOTE3"_s}));
    return {asso, fields, {u"DENOM"_s}, {}};
}

} // namespace

const std::vector<Table> &registerTables()
{
    static const std::vector<Table> tables = {makeActivities(), makeDetails(), makeVolunteers(),
                                              makeExtraVolunteers(), makeOrganisations()};
    return tables;
}

const Table &municipalitiesTable()
{
    static const Table table = {comuni, texts({u"comune"_s, u"prov"_s, u"codice"_s}), {}, {{u"comune"_s}}};
    return table;
}

QStringList createStatements(const Table &table, Dialect dialect)
{
    const bool server = dialect == Dialect::Server;
    QStringList columns;
    for (const Field &field : table.fields) {
        // The built-in NOCASE keeps the file readable by any SQLite tool; the program
        // replaces it on its own connections with one that also folds accented letters.
        switch (field.kind) {
        case Kind::Text:
            columns << field.name + (server ? u" TEXT COLLATE sentaro_nocase"_s : u" TEXT COLLATE NOCASE"_s);
            break;
        case Kind::Number:
            columns << field.name + (server ? u" DOUBLE PRECISION"_s : u" REAL"_s);
            break;
        case Kind::Integer:
            columns << field.name + u" INTEGER"_s;
            break;
        }
    }
    QStringList statements{u"CREATE TABLE "_s + table.name + u" ("_s + columns.join(u", "_s) + u')'};
    if (!table.uniqueKey.isEmpty()) {
        statements << u"CREATE UNIQUE INDEX "_s + table.name + u"_KEY ON "_s + table.name + u" ("_s +
                          table.uniqueKey.join(u", "_s) + u')';
    }
    int n = 0;
    for (const QStringList &index : table.indexes) {
        statements << u"CREATE INDEX "_s + table.name + u"_IDX"_s + QString::number(++n) + u" ON "_s + table.name +
                          u" ("_s + index.join(u", "_s) + u')';
    }
    return statements;
}

QString serverCollationStatement()
{
    // ICU's root language at the second strength: letters and accents count, letter case does not.
    return u"CREATE COLLATION IF NOT EXISTS sentaro_nocase (provider = icu, locale = 'und-u-ks-level2', "
           u"deterministic = false)"_s;
}

QString versionStatement(Dialect dialect)
{
    if (dialect == Dialect::Server)
        return u"COMMENT ON TABLE "_s + attivita + u" IS '"_s + versionComment + QString::number(version) + u'\'';
    return u"PRAGMA user_version = "_s + QString::number(version);
}

QString serverVersionQuery()
{
    return u"select obj_description(to_regclass('"_s + attivita.toLower() + u"'), 'pg_class')"_s;
}

const std::vector<Migration> &registerMigrations()
{
    static const std::vector<Migration> migrations{
        {2, {u"CREATE INDEX IF NOT EXISTS VOLOEXTRA_IDX1 ON VOLOEXTRA (COGN, NOME)"_s}},
        // The detail rows' key, added by Store::addDetailKey where no doubles keep it out.
        {3, {}},
    };
    return migrations;
}

QString detailKeyStatement()
{
    return u"CREATE UNIQUE INDEX IF NOT EXISTS ATTIVDETT_KEY ON ATTIVDETT (DESCRATT, DATAINATT, COGN)"_s;
}

QString detailKeyPresentQuery(Dialect dialect)
{
    return dialect == Dialect::Server
               ? u"select count(*) from pg_catalog.pg_indexes where schemaname = current_schema() and "
                 u"lower(indexname) = 'attivdett_key'"_s
               : u"select count(*) from sqlite_master where type = 'index' and name = 'ATTIVDETT_KEY'"_s;
}

QString doubleDetailsQuery()
{
    // Grouped under the columns' own collation, which ignores letter case as the key does; a
    // missing value is never a double of another.
    return u"select min(COGN), min(DESCRATT), min(DATAINATT) from ATTIVDETT where COGN is not null and DESCRATT "
           u"is not null and DATAINATT is not null group by DESCRATT, DATAINATT, COGN having count(*) > 1 "
           u"order by 3, 2, 1"_s;
}

} // namespace Schema

namespace Schema {
namespace {
const Table *registerTable(const QString &name)
{
    for (const Table &table : registerTables()) {
        if (table.name.compare(name, Qt::CaseInsensitive) == 0)
            return &table;
    }
    if (municipalitiesTable().name.compare(name, Qt::CaseInsensitive) == 0)
        return &municipalitiesTable();
    return nullptr;
}

// The data sources learn the register's tables before any of them can write: whatever links
// the store links this file, since opening the working files makes the tables.
const bool catalogued = [] {
    setCatalogue(&registerTable);
    return true;
}();
} // namespace
} // namespace Schema
