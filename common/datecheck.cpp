#include "common/datecheck.h"

#include <QDate>
#include <QString>

using namespace Qt::StringLiterals;

// Only two digits, a slash, two digits, a slash and four digits name a real day here:
// a shorter year, a time after the date or another separator is refused.
bool isCalendarDate(const QString &text)
{
    if (text.size() != 10 || text[2] != u'/' || text[5] != u'/')
        return false;
    for (const int i : {0, 1, 3, 4, 6, 7, 8, 9}) {
        if (text[i] < u'0' || text[i] > u'9')
            return false;
    }
    return QDate(text.mid(6, 4).toInt(), text.mid(3, 2).toInt(), text.left(2).toInt()).isValid();
}

QDate calendarDate(const QString &text)
{
    return isCalendarDate(text) ? QDate::fromString(text, u"dd/MM/yyyy"_s) : QDate();
}

bool isAcceptableDate(const QString &text)
{
    if (text.isEmpty())
        return true;
    // Characters are compared as text, not as numbers, so "3a" is beyond "31".
    if (text.mid(2, 1) != u"/"_s)
        return false;
    if (text.left(2) > u"31"_s)
        return false;
    if (text.mid(6, 4) < u"1900"_s)
        return false;
    return isCalendarDate(text);
}

std::optional<double> hoursTheDaysHold(const QString &start, const QString &end)
{
    const QDate first = calendarDate(start);
    const QDate last = calendarDate(end);
    if (!first.isValid() || !last.isValid() || last < first)
        return std::nullopt;
    return 24.0 * double(first.daysTo(last) + 1);
}
