#pragma once

#include "store/schema.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// Access (Jet 3 and 4) files of earlier programs, read by our own reader process so that
// a damaged file can never take the program down, and copied into our own format.
namespace Jet {

// True when the file's header is that of an Access database.
bool isJetFile(const QString &path);

struct Conversion {
    QMap<QString, int> rows;   // rows copied, by table
    QStringList ignored;       // tables and columns of the file that have no place here
    QStringList missing;       // tables the file lacks, left empty
};

// Copies `tables` of the Access file `jetPath` into a new SQLite file `sqlitePath`, field by
// field by name: numbers as numbers, texts as texts, no value as no value; columns the file
// lacks stay without value. Checks every table's row count against the file. On failure
// returns the reason, in Italian, and leaves no `sqlitePath` behind.
std::optional<QString> convert(const QString &jetPath, const QString &sqlitePath,
                               const std::vector<Schema::Table> &tables, Conversion *done);

// How long the reader may go without giving a row before it is stopped.
void setReaderTimeLimit(int milliseconds);
// Another reader program, for tests that need one that fails; empty for ours.
void setReaderProgram(const QString &path);

} // namespace Jet
