#pragma once

#include "formats/jetprocess.h"
#include "store/schema.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// Access (Jet 3 and 4) files of earlier programs, read through the reader process
// (formats/jetprocess.h) and copied into the register's format.
namespace Jet {

struct Conversion {
    QMap<QString, int> rows; // rows copied, by table
    QStringList ignored;     // tables and columns of the file that have no place here
    QStringList missing;     // tables the file lacks, left empty
};

// Copies `tables` of the Access file `jetPath` into a new SQLite file `sqlitePath`, field by
// field by name: numbers as numbers, texts as texts, no value as no value; columns the file
// lacks stay without value. Checks every table's row count against the file. On failure
// returns the reason, in Italian, and leaves no `sqlitePath` behind.
std::optional<QString> convert(const QString &jetPath, const QString &sqlitePath,
                               const std::vector<Schema::Table> &tables, Conversion *done);

} // namespace Jet
