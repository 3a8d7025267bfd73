#pragma once

#include "database/tables.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

// Table and field names of the three database files, in one place.
namespace Schema {

// The register's versions: each table, field, key and index says the one that brought it, so
// that a new register, and the steps from each earlier one, are all made from this description.
// Something new says the next version, which `version` below then becomes, and goes at the end
// of its list: columns keep their order on every register, and indexes are named by place.
struct Field {
    QString name;
    Kind kind;
    int since = 1;
};

struct Index {
    QStringList fields; // none for no index
    int since = 1;
};

struct Table {
    QString name;
    std::vector<Field> fields;
    // Unique key, compared without regard to letter case.
    Index uniqueKey;
    // Further look-up indexes.
    std::vector<Index> indexes;
    int since = 1;
    // A key that a register already holding rows against it goes without (Store::addDetailKey
    // decides), so it is made only once the rows are in, never with the table.
    bool keyWaits = false;
    // Health data: on a server a role may be kept from it and still use the rest of the register.
    bool confidential = false;
    // The rows a table starts with, in the order of its fields, wherever it is made: the rows of
    // a table made empty, or of one a copy left empty.
    std::vector<QVariantList> firstRows = {};
};

inline const QString attivita = QStringLiteral("ATTIVITA");
inline const QString attivdett = QStringLiteral("ATTIVDETT");
inline const QString volo = QStringLiteral("VOLO");
inline const QString voloextra = QStringLiteral("VOLOEXTRA");
inline const QString asso = QStringLiteral("ASSO");
inline const QString comuni = QStringLiteral("comuni");
inline const QString soglie = QStringLiteral("SOGLIE");
inline const QString visite = QStringLiteral("VISITE");

inline const QString registerFile = QStringLiteral("attivita.mdb");
inline const QString municipalitiesFile = QStringLiteral("comuni.mdb");
inline const QString importFile = QStringLiteral("voloesp.mdb");
inline const QString specialisationsFile = QStringLiteral("specializzazioni.dat");
inline const QString headerPictureFile = QStringLiteral("intestazione.jpg");

// The tables of attivita.mdb, fields in their order.
const std::vector<Table> &registerTables();
// The one table of comuni.mdb.
const Table &municipalitiesTable();

// The version of the layout this program writes, kept in each file's user_version.
inline constexpr int version = 4;
// The version that brought the detail rows' key.
inline constexpr int detailKeyVersion = 3;
// The version that brought the thresholds of the risk hours and the volunteers' health checks.
inline constexpr int surveillanceVersion = 4;

// Where a table is made: the SQLite file, or a PostgreSQL server.
enum class Dialect { File, Server };

// The table as it stood at version `then`: its fields, key and indexes of that version or earlier.
Table asOf(const Table &table, int then);
// What makes a table: CREATE TABLE, its unique key's CREATE INDEX (none when the key waits),
// its look-up indexes'; createStatements() is all three, in that order.
QString tableStatement(const Table &table, Dialect dialect = Dialect::File);
QStringList keyStatements(const Table &table);
QStringList indexStatements(const Table &table);
QStringList createStatements(const Table &table, Dialect dialect = Dialect::File);
// What writes the table's first rows; empty when it has none.
QString firstRowsStatement(const Table &table);
// On a server, what the tables need before they are made: the collation that folds letter
// case as the file's does (accented capitals too), so that keys, look-ups and order agree.
QString serverCollationStatement();

// Writes `written` as the layout's version, inside the transaction that made or migrated the
// register; on a server, as the comment of the activities' table.
QString versionStatement(Dialect dialect = Dialect::File, int written = version);
// Reads it back: one row, one value, which versionFound() turns into the version. A register
// made before the version was written is of the first one.
QString versionQuery(Dialect dialect);
int versionFound(Dialect dialect, const QVariant &value);
inline const QString versionComment = QStringLiteral("Sentaro, versione ");

// What brings a register from version `to` - 1 to `to`: the tables, fields, keys and indexes
// that version brought, oldest first. A key that waits is left to Store::addDetailKey, the
// first rows of a new table to Store::migrateRegister.
QStringList migrationStatements(int to, Dialect dialect);

// A detail row is unique per activity and volunteer, letter case ignored, by ATTIVDETT's key,
// which waits: a register that already holds such doubles (older files may) keeps them and
// goes without it. Makes it where it is missing.
QString detailKeyStatement();
// Whether the key stands: one row, its count.
QString detailKeyPresentQuery(Dialect dialect);
// The doubles that keep the key out: volunteer, activity and start of each, one a row.
QString doubleDetailsQuery();

} // namespace Schema

namespace Schema {
// The table of that name in either file, any letter case; null when unknown.
const Table *findTable(const QString &name);
// The kind of a field of a known table; Text when unknown.
Kind kindOf(const QString &table, const QString &field);
} // namespace Schema
