#include "ui/exportfile.h"

#include "common/clock.h"
#include "ui/messages.h"

#include <QDir>
#include <QSaveFile>

using namespace Qt::StringLiterals;

void exportStamped(const QString &base, const QString &extension, const QByteArray &bytes, const QString &done)
{
    const QString name = QDir::current().absoluteFilePath(Clock::freeStampedName(base, extension));
    const QString path = QDir::toNativeSeparators(name);
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) < 0 || !file.commit()) {
        Messages::report(u"Esportazione non riuscita: "_s + path + u": "_s + file.errorString());
        return;
    }
    Messages::report(done + path);
}
