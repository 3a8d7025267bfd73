#pragma once

#include <QSqlDatabase>
#include <QString>

// The few pieces of SQL that the file and a server write differently.
namespace Sql {
// `field` LIKE the one value bound, letter case folded as the keys fold it, with \ as escape.
QString likeFolded(const QSqlDatabase &db, const QString &field);
// `expression` compared character by character, letter case counting.
QString exact(const QSqlDatabase &db, const QString &expression);
// True when `field` is a date written GG/MM/AAAA (digits and slashes), false otherwise or when empty.
QString hasDateShape(const QSqlDatabase &db, const QString &field);
} // namespace Sql
