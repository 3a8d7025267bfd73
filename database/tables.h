#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// How a table is described to the data sources, which write each field as its kind. The
// tables themselves are the register's (store/schema.h), which hands them here.
namespace Schema {

enum class Kind { Text, Number, Integer };

struct Field {
    QString name;
    Kind kind;
};

struct Table {
    QString name;
    std::vector<Field> fields;
    // Unique key, compared without regard to letter case; empty for none.
    QStringList uniqueKey;
    // Further look-up indexes.
    std::vector<QStringList> indexes;
};

// The table of a name, any letter case; null when unknown.
using Catalogue = const Table *(*)(const QString &name);
// Given once, by the layer that owns the tables, before any data source writes.
void setCatalogue(Catalogue catalogue);

// The table of that name in either file, any letter case; null when unknown.
const Table *findTable(const QString &name);
// The kind of a field of a known table; Text when unknown.
Kind kindOf(const QString &table, const QString &field);

} // namespace Schema
