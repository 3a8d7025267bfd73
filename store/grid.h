#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

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
} // namespace GridSource
