#include "statistics/statistics.h"

#include "activities/controlladata.h"
#include "app/form1.h"
#include "app/windows.h"
#include "common/textformat.h"
#include "store/datasource.h"

#include <QDate>
#include <QHash>

using namespace Qt::StringLiterals;
using TextFormat::Pattern;

namespace {
const QString classNames[] = {u"R0"_s, u"R6"_s, u"R7"_s, u"R8"_s, u"R9"_s, u"R10"_s};
const QString classFields[] = {u"ORET0"_s, u"ORET6"_s, u"ORET7"_s, u"ORET8"_s, u"ORET9"_s, u"ORET10"_s};

QDate dateOf(const QString &text)
{
    return isCalendarDate(text) ? QDate::fromString(text, u"dd/MM/yyyy"_s) : QDate();
}

struct Sums {
    double total = 0;
    double classes[6] = {};

    void add(const Sums &other)
    {
        total += other.total;
        for (int i = 0; i < 6; ++i)
            classes[i] += other.classes[i];
    }
};

QString withoutTrailingBlanks(QString text)
{
    while (text.endsWith(u' '))
        text.chop(1);
    return text;
}
} // namespace

QString statisticsLine(const QString &name, double total, const double (&classes)[6])
{
    QString line = u"   "_s + TextFormat::fixedWidth(name, 51) + u"  "_s +
                   TextFormat::numberField(TextFormat::formatNumber(total, Pattern::OneDigit), 6);
    for (const double sum : classes)
        line += QString(6, u' ') + TextFormat::numberField(TextFormat::formatNumber(sum, Pattern::NoZeroInteger), 6);
    return line;
}

QStringList buildStatistics(const StatisticsChoice &choice, Store::Result *refusal)
{
    QString header = QString(56, u' ') + u"TOTALE"_s + QString(7, u' ') + u"R0"_s;
    for (const QString &name : {u"R6"_s, u"R7"_s, u"R8"_s, u"R9"_s, u"R10"_s})
        header += QString(10, u' ') + name;
    QStringList lines{u"    STATISTICA DAL "_s + choice.from + u" AL "_s + choice.to + u" PER RISCHIO "_s +
                          choice.riskClass,
                      u" "_s, header};

    const QDate from = dateOf(choice.from);
    const bool everyone = choice.volunteer == u"TUTTI"_s;
    const QDate to = dateOf(choice.to);
    int chosenClass = -1;
    for (int i = 0; i < 6; ++i) {
        if (choice.riskClass == classNames[i])
            chosenClass = i;
    }
    const bool allClasses = choice.riskClass == u"TUTTI"_s;

    Sums grand;
    Sums current;
    QString currentName;
    const auto closeVolunteer = [&]() {
        if (current.total > 0) {
            lines << statisticsLine(currentName, current.total, current.classes);
            grand.add(current);
        }
        current = Sums{};
    };
    // Only the fields counted are read: the walk goes over every detail row of the archive.
    DataSource *details = Windows::form1()->Data4;
    details->setRecordSource(u"select COGN, NOME, DATAINATT, ORET0, ORET6, ORET7, ORET8, ORET9, ORET10 "
                             u"from ATTIVDETT ORDER BY COGN, NOME"_s);
    details->refresh();
    // A few thousand activities share their start dates among hundreds of thousands of rows.
    QHash<QString, QDate> dates;
    QString surname;
    QString firstName;
    QString name;
    for (; !details->eof(); details->moveNext()) {
        const QString rowSurname = details->text(u"COGN"_s);
        const QString rowFirstName = details->text(u"NOME"_s);
        if (name.isNull() || rowSurname != surname || rowFirstName != firstName) {
            surname = rowSurname;
            firstName = rowFirstName;
            name = withoutTrailingBlanks(surname + u' ' + firstName);
        }
        if (currentName.isEmpty())
            currentName = name;
        // The store lists names with letter case folded, so a volunteer written in two
        // cases stays one volunteer.
        if (QString::compare(name, currentName, Qt::CaseInsensitive) != 0) {
            closeVolunteer();
            currentName = name;
        }
        // A start date that is no date counts in no period.
        const QString startText = details->text(u"DATAINATT"_s);
        auto known = dates.constFind(startText);
        if (known == dates.cend())
            known = dates.insert(startText, dateOf(startText));
        const QDate start = *known;
        if (!start.isValid() || !from.isValid() || !to.isValid() || start < from || start > to)
            continue;
        if (!everyone && name != choice.volunteer)
            continue;
        for (int i = 0; i < 6; ++i) {
            if (!allClasses && i != chosenClass)
                continue;
            const double hours = details->value(classFields[i]).toDouble();
            if (hours > 0) {
                current.total += hours;
                current.classes[i] += hours;
            }
        }
    }
    // Sums of part of the archive would pass for the whole.
    if (details->failed()) {
        if (refusal)
            *refusal = details->lastError();
        return {};
    }
    closeVolunteer();
    lines << u"   "_s << statisticsLine(u"TOTALE GENERALE"_s, grand.total, grand.classes);
    return lines;
}
