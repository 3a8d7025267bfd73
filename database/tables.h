#pragma once

#include <QString>
#include <QStringList>

// What the data sources ask of the register's tables, which write each field as its kind. The
// tables themselves are the store's (store/schema.h), which answers here through its catalogue.
namespace Schema {

enum class Kind { Text, Number, Integer };

struct Catalogue {
    // A table's field names in order, any letter case; empty when unknown.
    QStringList (*fieldNames)(const QString &table) = nullptr;
    // The kind of a field of a table; Text when unknown.
    Kind (*kindOf)(const QString &table, const QString &field) = nullptr;
};
// Given once, by the layer that owns the tables, before any data source writes.
void setCatalogue(const Catalogue &catalogue);

// The catalogue's answers; none and Text while none was given.
QStringList catalogueFields(const QString &table);
Kind catalogueKind(const QString &table, const QString &field);

} // namespace Schema
