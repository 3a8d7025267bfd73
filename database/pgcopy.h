#pragma once

#include "database/connection.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QSqlDatabase>
#include <QVariant>

#include <functional>
#include <optional>
#include <vector>

// Many rows to or from a server in one go, through its COPY command and its client library
// directly: Qt's driver moves rows one value at a time. Rows travel in COPY's text format.
namespace PgCopy {

// One field of a row read: no value for NULL, else its text (numbers in C notation).
using Field = std::optional<QByteArrayView>;

// Appends `values` as one row in COPY's text format.
void appendRow(QByteArray &rows, const QVariantList &values);
void appendRow(QByteArray &rows, const std::vector<Field> &values);

// Adds `rows` (made with appendRow) to `table`'s `fields`, on the connection of `db`, as one
// statement: all of them or, when the server refuses one, none. `refusedRow` gets the row the
// server refused, from 1, or 0 when it names none.
Store::Result copyIn(const QSqlDatabase &db, const QString &table, const QStringList &fields, const QByteArray &rows,
                     qint64 *refusedRow = nullptr);
// The same, the rows made a part at a time by `next`, which appends a part to its argument and
// says whether it did: each part is sent as soon as it is made, and the server adds its rows
// while the next is made.
Store::Result copyIn(const QSqlDatabase &db, const QString &table, const QStringList &fields,
                     const std::function<bool(QByteArray &rows)> &next, qint64 *refusedRow = nullptr);

// Runs `select` on the connection of `db` and hands each row to `row`, its fields in the
// order selected; a refusal from `row` stops the copy (the rest is read and let go).
Store::Result copyOut(const QSqlDatabase &db, const QString &select,
                      const std::function<Store::Result(const std::vector<Field> &)> &row);

// Whether the line of `db` to its server is encrypted; none when the client library cannot say.
std::optional<bool> encrypted(const QSqlDatabase &db);

} // namespace PgCopy
