#pragma once

#include "store/database.h"
#include "store/schema.h"

#include <QSqlDatabase>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// The register's tables made and brought up to date, on the file and on a server alike, from
// the one description in store/schema.h.
namespace Store {

// Makes `tables` on an empty database inside the caller's transaction: the tables and their
// keys, so that a row the key refuses is named by the copy that brings it; the rows `fill`
// writes, then the first rows of a table it left empty; the look-up indexes, made in one go once the rows are in, which
// costs less than keeping them in order through every insert; the version.
Result makeTables(QSqlDatabase db, const std::vector<Schema::Table> &tables, const std::function<Result()> &fill = {});

// Brings a register of an earlier version to this program's, in one transaction that also
// checks its tables and writes the new version: migrated and usable, or left as it was. The
// version is read again inside it, under a lock on a server, so that a PC starting at the same
// moment waits and then finds the work done. `check` says what is wrong with the tables, in the
// caller's words: such a problem is the failure's description.
Result migrateRegister(QSqlDatabase db, const std::function<std::optional<QString>()> &check);

// Gives the register's detail rows their key (Schema::detailKeyStatement) when it is missing
// and no doubles keep it out; the doubles, if any, are named in `notices` when given (once:
// where the register was just migrated, converted or copied). Nothing is merged or deleted.
void addDetailKey(QSqlDatabase db, QStringList *notices);

} // namespace Store
