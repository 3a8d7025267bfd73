#include "store/backup.h"

#include "common/clock.h"
#include "store/database.h"
#include "store/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMap>
#include <QSet>
#include <QRegularExpression>

#include <memory>

using namespace Qt::StringLiterals;

namespace Store {
namespace {
const QString backupFolder = u"backup"_s;

std::unique_ptr<QLockFile> &folderLock()
{
    static std::unique_ptr<QLockFile> lock;
    return lock;
}

QDate dateOfBackup(const QString &name)
{
    static const QRegularExpression pattern(u"^attivita-(\\d{8})\\.mdb$"_s);
    const auto match = pattern.match(name);
    return match.hasMatch() ? QDate::fromString(match.captured(1), u"yyyyMMdd"_s) : QDate();
}
} // namespace

FolderLock lockWorkingFolder()
{
    auto lock = std::make_unique<QLockFile>(QDir::current().absoluteFilePath(u"sentaro.lock"_s));
    // Only a lock whose program is gone is stale, however old it is.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() != QLockFile::LockFailedError)
            return FolderLock::NotWritable;
        // A program that died while writing its lock leaves one that names no program, which
        // would keep the folder closed for good. A live program holds its lock file locked
        // from the moment it makes it, so the removal is refused while it runs.
        qint64 pid = 0;
        QString host;
        QString application;
        if (lock->getLockInfo(&pid, &host, &application) || !lock->removeStaleLockFile() || !lock->tryLock(0))
            return FolderLock::InUse;
    }
    folderLock() = std::move(lock);
    return FolderLock::Held;
}

void unlockWorkingFolder()
{
    folderLock().reset();
}

QStringList backupsToRemove(const QStringList &names, const QDate &today)
{
    QMap<QDate, QString> copies;
    for (const QString &name : names) {
        const QDate date = dateOfBackup(name);
        if (date.isValid())
            copies.insert(date, name);
    }
    QStringList remove;
    QSet<int> monthsKept;
    for (auto it = copies.cbegin(); it != copies.cend(); ++it) {
        const QDate date = it.key();
        const qint64 age = date.daysTo(today);
        if (age >= 0 && age < 7)
            continue;
        const int month = date.year() * 12 + date.month();
        const int monthsAgo = today.year() * 12 + today.month() - month;
        // The oldest copy of each of the last twelve months stands for its month.
        if (age >= 0 && monthsAgo <= 12 && !monthsKept.contains(month)) {
            monthsKept.insert(month);
            continue;
        }
        remove << it.value();
    }
    return remove;
}

std::optional<QString> keepDailyBackup()
{
    QDir folder = QDir::current();
    if (!QFileInfo(folder.filePath(backupFolder)).isDir() && !folder.mkdir(backupFolder))
        return u"Copia di sicurezza giornaliera non riuscita: la cartella backup non si può creare. "
               u"Sentaro continua a funzionare."_s;
    if (!folder.cd(backupFolder))
        return u"Copia di sicurezza giornaliera non riuscita: la cartella backup non si può aprire. "
               u"Sentaro continua a funzionare."_s;
    const QString name = u"attivita-"_s + Clock::today().toString(u"yyyyMMdd"_s) + u".mdb"_s;
    if (!folder.exists(name)) {
        const Result copied = backupRegister(folder.filePath(name));
        if (!copied.ok())
            return u"Copia di sicurezza giornaliera non riuscita: "_s + copied.description +
                   u". Sentaro continua a funzionare."_s;
    }
    for (const QString &old : backupsToRemove(folder.entryList({u"attivita-*.mdb"_s}, QDir::Files), Clock::today()))
        folder.remove(old);
    return std::nullopt;
}

} // namespace Store
