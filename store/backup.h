#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

namespace Store {

// Keeps the working folder to one program. NotWritable: the lock cannot even be written,
// which is not the same as another program holding it.
enum class FolderLock { Held, InUse, NotWritable };
FolderLock lockWorkingFolder();
void unlockWorkingFolder();

// The first start of a day keeps a copy of the register in backup/, before anything is
// written, and thins the older copies. Returns the message to show when it failed; the
// program goes on all the same.
std::optional<QString> keepDailyBackup();

// Of the daily copies named attivita-AAAAMMGG.mdb, those to remove on `today`: all but the
// last seven days' and, for the twelve months before, the first copy of each month.
QStringList backupsToRemove(const QStringList &names, const QDate &today);

} // namespace Store
