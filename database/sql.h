#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>

// The few pieces of SQL that the file and a server write differently.
namespace Sql {
// `field` LIKE the one value bound, letter case folded as the keys fold it, with \ as escape.
QString likeFolded(const QSqlDatabase &db, const QString &field);
// `expression` compared character by character, letter case counting.
QString exact(const QSqlDatabase &db, const QString &expression);
// " order by" the `fields` of a select that reads most of a table, the rows of equal fields
// in the order a file's index of those fields gives them.
QString orderOfMany(const QSqlDatabase &db, const QStringList &fields);
// True when `field` is a date written GG/MM/AAAA (digits and slashes), false otherwise or when empty.
QString hasDateShape(const QSqlDatabase &db, const QString &field);

// The only reading of SQL text: a select made by the program, never by the user.
// The select without its closing ORDER BY of plain columns, for counting its rows; as it is
// when it has no order, none when it orders in a way not read here, which may hide a limit.
std::optional<QString> withoutOrder(const QString &select);
// Whether the select limits its rows itself.
bool hasLimit(const QString &select);
} // namespace Sql
