#pragma once

#include "database/tables.h"

#include <QString>
#include <QStringList>

#include <vector>

// Table and field names of the three database files, in one place.
namespace Schema {

inline const QString attivita = QStringLiteral("ATTIVITA");
inline const QString attivdett = QStringLiteral("ATTIVDETT");
inline const QString volo = QStringLiteral("VOLO");
inline const QString voloextra = QStringLiteral("VOLOEXTRA");
inline const QString asso = QStringLiteral("ASSO");
inline const QString comuni = QStringLiteral("comuni");

inline const QString registerFile = QStringLiteral("attivita.mdb");
inline const QString municipalitiesFile = QStringLiteral("comuni.mdb");
inline const QString importFile = QStringLiteral("voloesp.mdb");
inline const QString specialisationsFile = QStringLiteral("specializzazioni.dat");
inline const QString headerPictureFile = QStringLiteral("intestazione.jpg");

// The tables of attivita.mdb, fields in their order.
const std::vector<Table> &registerTables();
// The one table of comuni.mdb.
const Table &municipalitiesTable();

// Where a table is made: the SQLite file, or a PostgreSQL server.
enum class Dialect { File, Server };

// CREATE TABLE and CREATE INDEX statements for a table.
QStringList createStatements(const Table &table, Dialect dialect = Dialect::File);
// On a server, what the tables need before they are made: the collation that folds letter
// case as the file's does (accented capitals too), so that keys, look-ups and order agree.
QString serverCollationStatement();

// The version of the layout this program writes, kept in each file's user_version.
inline constexpr int version = 3;
// Writes `version` into a file, inside the transaction that made or migrated it; on a
// server, as the comment of the activities' table.
QString versionStatement(Dialect dialect = Dialect::File);
// Reads it back on a server: the comment's text is versionComment() followed by the number.
QString serverVersionQuery();
inline const QString versionComment = QStringLiteral("Sentaro, versione ");

// What brings a register to version `to` from the one before. The statements are fixed
// text, never derived from the tables above, which describe the latest version only.
struct Migration {
    int to;
    QStringList statements;
};
// Oldest first; a register is migrated through every one above its version.
const std::vector<Migration> &registerMigrations();

// A detail row is unique per activity and volunteer, letter case ignored, by this key. It is
// kept out of the tables above since a register that already holds such doubles (older files
// may) keeps them and goes without it: Store::addDetailKey decides.
QString detailKeyStatement();
// Whether the key stands: one row, its count.
QString detailKeyPresentQuery(Dialect dialect);
// The doubles that keep the key out: volunteer, activity and start of each, one a row.
QString doubleDetailsQuery();

} // namespace Schema
