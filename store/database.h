#pragma once

#include "database/connection.h"
#include "database/serverconnection.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace Store {

// What to say when the working folder cannot be written.
QString readOnlyFolderMessage();

// Opens attivita.mdb in the current folder, creating it when missing; an archive of the earlier
// program (Access) is converted first, the original kept aside, and what was converted goes into
// `notices`. Never changes a file it cannot use: it returns the message to show, naming the file and
// what is wrong with it. openWorkingFiles (store/workingfiles.h) opens the register so.
std::optional<QString> openRegister(QStringList *notices);
// The same for comuni.mdb, made from the reference data when missing.
std::optional<QString> openMunicipalities(QStringList *notices);

// Opens another program's export (voloesp.mdb) for reading only; it is never created.
// Returns the message to show when it is missing or has no table of volunteers.
std::optional<QString> openImportFile();
void closeImportFile();

// Copies the register into `fileName` as it stands, through the store's own backup; the
// file appears only when the copy is complete, and is never overwritten. Then `after`, when given,
// changes the register in a transaction of its own on the file, and on a server in the copy's, which
// first takes `serverLock` (tables held from other PCs' writes): the copy then holds every row
// `after` changes, also those another PC committed meanwhile. The copy is kept before `after` is
// committed; `after` runs only once it is.
Result backupRegister(const QString &fileName, const QString &serverLock = {},
                      const std::function<Result()> &after = {});

// Copies every row of the register's tables from one database to another whose tables are
// empty, inside the caller's transaction; `rows` counts them.
Result copyTables(QSqlDatabase from, QSqlDatabase to, qint64 *rows);

} // namespace Store
