#include "store/schema.h"

#include <algorithm>

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
    return texts({u"CODASS"_s, u"CODVOL"_s, u"COGN"_s,    u"NOME"_s,   u"INDIR"_s, u"CAP"_s,     u"CITTA"_s,
                  u"PROV"_s,   u"DATANA"_s, u"LUOGONA"_s, u"PROVNA"_s, u"SESSO"_s, u"CODFISC"_s, u"TEL"_s,
                  u"FAX"_s,    u"MAIL"_s,   u"SPEC"_s,    u"NOTE"_s,   u"NOTE2"_s, u"NOTE3"_s});
}

Table makeActivities()
{
    std::vector<Field> fields = texts({u"DATAINATT"_s, u"DATAFIATT"_s, u"DESCRATT"_s, u"LOCATT"_s, u"PROVATT"_s});
    append(fields, hourFields({u"ORETOT"_s, u"OREUOMO"_s, u"ORET0"_s, u"ORET6"_s, u"ORET7"_s, u"ORET8"_s, u"ORET9"_s,
                               u"ORET10"_s}));
    append(fields, texts({u"NOTE1"_s, u"NOTE2"_s, u"NOTE3"_s, u"NOTE4"_s}));
    return {attivita, fields, {{u"DESCRATT"_s, u"DATAINATT"_s}}, {{{u"NOTE4"_s, u"DESCRATT"_s}}, {{u"DATAINATT"_s}}}};
}

Table makeDetails()
{
    std::vector<Field> fields = texts(
        {u"DATAINATT"_s, u"DATAFIATT"_s, u"DESCRATT"_s, u"LOCATT"_s, u"PROVATT"_s, u"COGN"_s, u"NOME"_s, u"CFISC"_s});
    append(fields, hourFields({u"ORET0"_s, u"ORET6"_s, u"ORET7"_s, u"ORET8"_s, u"ORET9"_s, u"ORET10"_s, u"OREUOMO"_s}));
    append(fields, texts({u"NOTE1"_s, u"NOTE2"_s, u"NOTE3"_s, u"NOTE4"_s, u"NOTE5"_s}));
    // The first index serves the activity's look-ups where doubles keep the key out.
    Table table{attivdett,
                fields,
                {{u"DESCRATT"_s, u"DATAINATT"_s, u"COGN"_s}, detailKeyVersion},
                {{{u"DESCRATT"_s, u"DATAINATT"_s, u"COGN"_s}}, {{u"COGN"_s, u"NOME"_s}}, {{u"DATAINATT"_s}}}};
    table.keyWaits = true;
    return table;
}

Table makeVolunteers()
{
    return {volo, volunteerFields(), {{u"COGN"_s, u"NOME"_s}}, {}};
}

Table makeExtraVolunteers()
{
    std::vector<Field> fields = volunteerFields();
    fields.resize(19);
    // Read at every start in surname and name order.
    return {voloextra, fields, {}, {{{u"COGN"_s, u"NOME"_s}, 2}}};
}

Table makeOrganisations()
{
    std::vector<Field> fields = texts({u"CODASS"_s, u"DENOM"_s, u"INDIR"_s, u"CAP"_s, u"CITTA"_s, u"PROV"_s, u"TEL"_s,
                                       u"FAX"_s, u"MAIL"_s, u"CFISC"_s, u"SPEC"_s, u"DATA1"_s, u"DATAU"_s});
    fields.push_back({u"NUMVOL"_s, Kind::Integer});
    append(fields, texts({u"RESP"_s, u"TELRESP"_s, u"NOTE3"_s}));
    return {asso, fields, {{u"DENOM"_s}}, {}};
}

// One row per risk class: the hours in the period above which (OREANNO) and in one week from
// which (ORESETTIMANA) a volunteer is due for the physician; no value checks nothing. The row
// VISITE holds the intervals instead: years between basic checks, months between visits.
Table makeThresholds()
{
    std::vector<Field> fields = texts({u"CLASSE"_s});
    append(fields, hourFields({u"OREANNO"_s, u"ORESETTIMANA"_s}));
    Table table{soglie, fields, {{u"CLASSE"_s}}, {}, surveillanceVersion};
    const QVariant none;
    table.firstRows = {{u"6"_s, 0, none}, {u"7"_s, none, 20}, {u"8"_s, 0, none},
                       {u"9"_s, 0, none}, {u"10"_s, 0, none}, {u"VISITE"_s, 5, 12}};
    return table;
}

Table makeVisits()
{
    Table table{visite,
                texts({u"COGN"_s, u"NOME"_s, u"DATAVISITA"_s, u"TIPO"_s, u"ESITO"_s, u"SCADENZA"_s, u"NOTE"_s}),
                {{u"COGN"_s, u"NOME"_s, u"DATAVISITA"_s, u"TIPO"_s}},
                {},
                surveillanceVersion};
    table.confidential = true;
    return table;
}

} // namespace

const std::vector<Table> &registerTables()
{
    static const std::vector<Table> tables = {makeActivities(),      makeDetails(),       makeVolunteers(),
                                              makeExtraVolunteers(), makeOrganisations(), makeThresholds(),
                                              makeVisits()};
    return tables;
}

const Table &municipalitiesTable()
{
    static const Table table = {comuni, texts({u"comune"_s, u"prov"_s, u"codice"_s}), {}, {{{u"comune"_s}}}};
    return table;
}

namespace {

QString columnDefinition(const Field &field, Dialect dialect)
{
    const bool server = dialect == Dialect::Server;
    // The built-in NOCASE keeps the file readable by any SQLite tool; the program replaces it on
    // its own connections with one that also folds accented letters.
    switch (field.kind) {
    case Kind::Text:
        return field.name + (server ? u" TEXT COLLATE sentaro_nocase"_s : u" TEXT COLLATE NOCASE"_s);
    case Kind::Number:
        return field.name + (server ? u" DOUBLE PRECISION"_s : u" REAL"_s);
    case Kind::Integer:
        break;
    }
    return field.name + u" INTEGER"_s;
}

QString keyName(const Table &table)
{
    return table.name + u"_KEY"_s;
}

// IF NOT EXISTS where a register may already have it: one mended by hand, or a key added late.
QString indexStatement(const Table &table, const QString &name, const Index &index, bool unique, bool ifMissing)
{
    return u"CREATE "_s + (unique ? u"UNIQUE "_s : QString()) + u"INDEX "_s +
           (ifMissing ? u"IF NOT EXISTS "_s : QString()) + name + u" ON "_s + table.name + u" ("_s +
           index.fields.join(u", "_s) + u')';
}

// The statements of the key and of the look-up indexes that version `to` brought to a table,
// or of all of them when `to` is 0.
QStringList keysOf(const Table &table, int to, bool ifMissing)
{
    const Index &key = table.uniqueKey;
    if (key.fields.isEmpty() || table.keyWaits || (to != 0 && key.since != to))
        return {};
    return {indexStatement(table, keyName(table), key, true, ifMissing)};
}

QStringList indexesOf(const Table &table, int to, bool ifMissing)
{
    QStringList statements;
    for (size_t i = 0; i < table.indexes.size(); ++i) {
        const Index &index = table.indexes[i];
        if (!index.fields.isEmpty() && (to == 0 || index.since == to))
            statements << indexStatement(table, table.name + u"_IDX"_s + QString::number(i + 1), index, false,
                                         ifMissing);
    }
    return statements;
}

QString createTable(const Table &table, Dialect dialect, bool ifMissing)
{
    QStringList columns;
    for (const Field &field : table.fields)
        columns << columnDefinition(field, dialect);
    return u"CREATE TABLE "_s + (ifMissing ? u"IF NOT EXISTS "_s : QString()) + table.name + u" ("_s +
           columns.join(u", "_s) + u')';
}

} // namespace

Table asOf(const Table &table, int then)
{
    Table earlier = table;
    std::erase_if(earlier.fields, [&](const Field &field) { return field.since > then; });
    std::erase_if(earlier.indexes, [&](const Index &index) { return index.since > then; });
    if (earlier.uniqueKey.since > then)
        earlier.uniqueKey = {};
    return earlier;
}

QString tableStatement(const Table &table, Dialect dialect)
{
    return createTable(table, dialect, false);
}

// The same text on both: a server folds the unquoted names to lower case, as it reads them.
QStringList keyStatements(const Table &table)
{
    return keysOf(table, 0, false);
}

QStringList indexStatements(const Table &table)
{
    return indexesOf(table, 0, false);
}

QStringList createStatements(const Table &table, Dialect dialect)
{
    return QStringList{tableStatement(table, dialect)} + keyStatements(table) + indexStatements(table);
}

QString firstRowsStatement(const Table &table)
{
    if (table.firstRows.empty())
        return {};
    QStringList names;
    for (const Field &field : table.fields)
        names << field.name;
    // The program's own constants, written as literals so that a migration is plain SQL.
    QStringList rows;
    for (const QVariantList &row : table.firstRows) {
        QStringList values;
        for (const QVariant &value : row) {
            if (value.isNull())
                values << u"NULL"_s;
            else if (value.typeId() == QMetaType::QString)
                values << u'\'' + value.toString() + u'\'';
            else
                values << QString::number(value.toDouble());
        }
        rows << u'(' + values.join(u", "_s) + u')';
    }
    return u"INSERT INTO "_s + table.name + u" ("_s + names.join(u", "_s) + u") VALUES "_s + rows.join(u", "_s);
}

QStringList migrationStatements(int to, Dialect dialect)
{
    QStringList statements;
    for (const Table &table : registerTables()) {
        // IF NOT EXISTS where a register may already have it: one mended by hand, or given a
        // lower version by hand.
        if (table.since == to) {
            statements << createTable(table, dialect, true) << keysOf(table, 0, true) << indexesOf(table, 0, true);
            continue;
        }
        if (table.since > to)
            continue;
        for (const Field &field : table.fields) {
            if (field.since == to)
                statements << u"ALTER TABLE "_s + table.name + u" ADD COLUMN "_s + columnDefinition(field, dialect);
        }
        statements << keysOf(table, to, true) << indexesOf(table, to, true);
    }
    return statements;
}

QString serverCollationStatement()
{
    // ICU's root language at the second strength: letters and accents count, letter case does not.
    // Named in ICU's own form, not by the language tag 'und-u-ks-level2' that means the same: each
    // new connection opens the collation at its first sort, and a server of ICU 72 takes about
    // 15 ms to open it by the tag against 1.5 ms in this form.
    return u"CREATE COLLATION IF NOT EXISTS sentaro_nocase (provider = icu, locale = 'und@colStrength=secondary', "
           u"deterministic = false)"_s;
}

QString versionStatement(Dialect dialect, int written)
{
    if (dialect == Dialect::Server)
        return u"COMMENT ON TABLE "_s + attivita + u" IS '"_s + versionComment + QString::number(written) + u'\'';
    return u"PRAGMA user_version = "_s + QString::number(written);
}

QString versionQuery(Dialect dialect)
{
    return dialect == Dialect::Server
               ? u"select obj_description(to_regclass('"_s + attivita.toLower() + u"'), 'pg_class')"_s
               : u"PRAGMA user_version"_s;
}

int versionFound(Dialect dialect, const QVariant &value)
{
    if (dialect == Dialect::File)
        return std::max(value.toInt(), 1);
    const QString comment = value.toString();
    return comment.startsWith(versionComment) ? std::max(comment.mid(versionComment.size()).toInt(), 1) : 1;
}

QString detailKeyStatement()
{
    const Table &details = *findTable(attivdett);
    return indexStatement(details, keyName(details), details.uniqueKey, true, true);
}

QString detailKeyPresentQuery(Dialect dialect)
{
    return dialect == Dialect::Server
               // The catalogue itself: the pg_indexes view joins four more, and a start waits for it.
               ? u"select count(*) from pg_catalog.pg_class where relnamespace = current_schema()::regnamespace "
                 u"and relkind in ('i', 'I') and lower(relname) = 'attivdett_key'"_s
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
const Table *findTable(const QString &name)
{
    for (const Table &table : registerTables()) {
        if (table.name.compare(name, Qt::CaseInsensitive) == 0)
            return &table;
    }
    if (municipalitiesTable().name.compare(name, Qt::CaseInsensitive) == 0)
        return &municipalitiesTable();
    return nullptr;
}

Kind kindOf(const QString &table, const QString &field)
{
    if (const Table *found = findTable(table)) {
        for (const Field &candidate : found->fields) {
            if (candidate.name.compare(field, Qt::CaseInsensitive) == 0)
                return candidate.kind;
        }
    }
    return Kind::Text;
}

namespace {
QStringList fieldNames(const QString &table)
{
    QStringList names;
    if (const Table *found = findTable(table)) {
        for (const Field &field : found->fields)
            names << field.name;
    }
    return names;
}

// The data sources learn the register's tables before any of them can write: whatever links
// the store links this file, since opening the working files makes the tables.
const bool catalogued = [] {
    setCatalogue({&fieldNames, &kindOf});
    return true;
}();
} // namespace
} // namespace Schema
