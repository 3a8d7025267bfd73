#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <optional>
#include <vector>

class DataSource;

// What the main grid can show: the record sources its data source is pointed at.
namespace GridSource {
// Every activity, the most recent start date first, one day's in description order.
QString activities();
QString organisations();
QString volunteers();

// The heading of a field of the activities, the volunteers or the organisations in the grid;
// the field's name for any other.
QString heading(const QString &table, const QString &field);

// The identity of the row of `table` whose `keyFields` hold `key` (letter case ignored, as the
// unique keys compare), as the grid knows its rows; none when there is none. A row rewritten on
// a server has moved: the grid finds it again so.
std::optional<qint64> rowIdentity(const DataSource &source, const QString &table, const QStringList &keyFields,
                                  const QVariantList &key);

// The grid's reads of a record source whose rows carry their identity first (`rowidSql`,
// DataSource::rowidStatement, with `values` bound in order); each lets go of its read at the end.

// How many rows it gives, counted without its order; none when it orders in a way that may hide
// a limit, or the store refused the count.
std::optional<int> countRows(const DataSource &source, const QString &rowidSql, const QVariantList &values);
// Appends to `rowids` the identities it gives that are not there yet, until `rowids` holds
// `count`; false when the store refused the read.
bool readRowids(const DataSource &source, const QString &rowidSql, const QVariantList &values, size_t count,
                std::vector<qint64> &rowids);
// The rows of `table` of the identities given: the field names once, in `fields` when it is empty,
// and each row's fields to `row` with its identity; false when the store refused the read.
bool readRows(const DataSource &source, const QString &table, const std::vector<qint64> &rowids, QStringList &fields,
              const std::function<void(qint64 rowid, QVariantList values)> &row);
// Every row of a record source that is not one table's (its identity first when `hasRowid`):
// the field names in `fields`, each row's fields to `row` with its identity, -1 without one.
void readAll(const DataSource &source, const QString &sql, bool hasRowid, const QVariantList &values,
             QStringList &fields, const std::function<void(qint64 rowid, QVariantList values)> &row);
} // namespace GridSource
