#include "common/clock.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace {
QDateTime &fixedMoment()
{
    static QDateTime moment;
    return moment;
}
} // namespace

namespace Clock {
QDateTime now()
{
    return fixedMoment().isValid() ? fixedMoment() : QDateTime::currentDateTime();
}

QDate today()
{
    return now().date();
}

void setFixed(const QDateTime &moment)
{
    fixedMoment() = moment;
}

void release()
{
    fixedMoment() = QDateTime();
}

QString freeStampedName(const QString &base, const QString &extension)
{
    const QString stamped = base + u'-' + now().toString(u"yyyyMMdd-hhmmss"_s);
    QString name = stamped + u'.' + extension;
    for (int n = 2; QFile::exists(name); ++n)
        name = stamped + u'-' + QString::number(n) + u'.' + extension;
    return name;
}
} // namespace Clock
