#include "reports/lists.h"

#include "app/form1.h"
#include "app/windows.h"
#include "common/textformat.h"
#include "store/datasource.h"

#include <QSqlQuery>
#include <QStringBuilder>

#include <optional>

using namespace Qt::StringLiterals;
using TextFormat::Pattern;

// Lines are joined with % so that each is allocated once at its size: a list keeps
// hundreds of thousands of them.
namespace {
const QString activitiesNewestFirst = u"select * from ATTIVITA order by NOTE4 DESC, DESCRATT"_s;
const QString hourFieldsForLists[] = {u"OREUOMO"_s, u"ORET0"_s, u"ORET6"_s, u"ORET7"_s,
                                      u"ORET8"_s,   u"ORET9"_s, u"ORET10"_s};

QString field51(const QString &text)
{
    return TextFormat::fixedWidth(text, 51);
}

QString plain(const DataSource *source, const QString &field)
{
    return TextFormat::numberText(source->value(field));
}

QString hourColumns(const DataSource *source, const QLocale &locale)
{
    QString columns;
    columns.reserve(8 * int(std::size(hourFieldsForLists)));
    for (const QString &field : hourFieldsForLists) {
        columns += u"  "_s;
        // A field with no value contributes nothing but its width.
        const QVariant value = source->value(field);
        columns += value.isNull() ? QString(6, u' ')
                                  : TextFormat::formatNumber(value.toDouble(), Pattern::LeadingZeros, locale);
    }
    return columns;
}

// The store's refusal of a read of `source`, if any, kept for the caller.
void noteRefusal(const DataSource *source, Store::Result *refusal)
{
    if (source->failed() && refusal->ok())
        *refusal = source->lastError();
}

QStringList organisations(Store::Result *refusal)
{
    DataSource *source = Windows::form1()->Data8;
    source->setRecordSource(u"select * from ASSO order by DENOM"_s);
    source->refresh();
    QStringList lines;
    for (; !source->eof(); source->moveNext())
        lines << source->text(u"DENOM"_s) + u"  "_s + source->text(u"RESP"_s) + u"  "_s + source->text(u"TELRESP"_s);
    noteRefusal(source, refusal);
    return lines;
}

QStringList activities(Store::Result *refusal)
{
    DataSource *source = Windows::form1()->Data7;
    source->setRecordSource(activitiesNewestFirst);
    source->refresh();
    QStringList lines;
    for (; !source->eof(); source->moveNext()) {
        QStringList parts;
        for (const QString &field : {u"DATAINATT"_s, u"DATAFIATT"_s, u"DESCRATT"_s, u"LOCATT"_s, u"PROVATT"_s})
            parts << source->text(field);
        parts << plain(source, u"OREUOMO"_s);
        lines << parts.join(u"  "_s);
    }
    noteRefusal(source, refusal);
    return lines;
}

QStringList activitiesWithDetails(Store::Result *refusal)
{
    QStringList lines{u"ELENCO DELLE ATTIVITA'  CON DETTAGLIO PER VOLONTARIO"_s, QString(), detailListHeader(),
                      QString()};
    Form1 *main = Windows::form1();
    DataSource *activities = main->Data7;
    DataSource *details = main->Data4;
    const QLocale locale;
    // Hundreds of thousands of lines: reserved at once rather than grown and copied as they come.
    QSqlQuery counts(details->database());
    if (counts.exec(u"select (select count(*) from ATTIVITA), (select count(*) from ATTIVDETT)"_s) && counts.next())
        lines.reserve(lines.size() + 2 * counts.value(0).toLongLong() + counts.value(1).toLongLong());
    counts.finish();
    activities->setRecordSource(activitiesNewestFirst);
    activities->refresh();
    for (; !activities->eof(); activities->moveNext()) {
        const QString description = activities->text(u"DESCRATT"_s);
        const QString start = activities->text(u"DATAINATT"_s);
        lines << start % u"  "_s % activities->text(u"DATAFIATT"_s) % u"  "_s %
                     field51(description + u"  "_s + activities->text(u"LOCATT"_s) + u"  "_s +
                             activities->text(u"PROVATT"_s)) %
                     hourColumns(activities, locale);
        // Only the fields listed are read: the list goes over every detail row.
        details->setRecordSource(u"select COGN, NOME, OREUOMO, ORET0, ORET6, ORET7, ORET8, ORET9, ORET10 from "
                                 u"ATTIVDETT where DESCRATT = ? and DATAINATT = ? order by COGN, NOME"_s,
                                 {description, start});
        details->refresh();
        for (; !details->eof(); details->moveNext())
            lines << QString(24, u' ') % field51(details->text(u"COGN"_s) + u' ' + details->text(u"NOME"_s)) %
                         hourColumns(details, locale);
        noteRefusal(details, refusal);
        if (!refusal->ok())
            return lines;
        lines << QString();
    }
    noteRefusal(activities, refusal);
    return lines;
}

QStringList volunteersByRiskTable(const QString &riskTable, Store::Result *refusal)
{
    const auto number = TextFormat::readNumber(riskTable);
    QString hoursField;
    for (const int table : {0, 6, 7, 8, 9, 10}) {
        if (number && *number == table)
            hoursField = u"ORET"_s + QString::number(table);
    }
    const QString subtotal = QString(49, u' ') + u"TOT.  "_s;
    QStringList lines;
    DataSource *details = Windows::form1()->Data4;
    // Only the fields listed are read: the list goes over every detail row.
    details->setRecordSource(u"select COGN, NOME, DATAINATT, DATAFIATT, DESCRATT, "_s +
                             (hoursField.isEmpty() ? u"ORET0"_s : hoursField) +
                             u" from ATTIVDETT order by COGN, NOME"_s);
    details->refresh();
    QString previous;
    bool first = true;
    // The running total starts with no value, so an empty list shows an empty total.
    std::optional<double> total;
    const auto totalText = [&]() { return total ? TextFormat::numberText(*total) : QString(); };
    for (; !details->eof() && !hoursField.isEmpty(); details->moveNext()) {
        // The stored number as it is: 7.5 hours are 7.5 in every locale.
        const double hours = details->value(hoursField).toDouble();
        if (!(hours > 0))
            continue;
        const QString name = field51(details->text(u"COGN"_s) + u' ' + details->text(u"NOME"_s));
        if (first) {
            first = false;
            previous = name;
        }
        if (name != previous) {
            lines << subtotal + totalText();
            total = 0.0;
            previous = name;
        }
        lines << u"  "_s % name % u"  "_s % TextFormat::numberText(hours) % u"  "_s % details->text(u"DATAINATT"_s) %
                     u"  "_s % details->text(u"DATAFIATT"_s) % u"  "_s % details->text(u"DESCRATT"_s);
        total = total.value_or(0.0) + hours;
    }
    noteRefusal(details, refusal);
    lines << subtotal + totalText() << QString();
    return lines;
}

QStringList volunteers(Store::Result *refusal)
{
    DataSource *source = Windows::form1()->Data6;
    source->setRecordSource(u"select COGN, NOME from VOLO order by COGN, NOME"_s);
    source->refresh();
    QStringList lines;
    for (; !source->eof(); source->moveNext())
        lines << source->text(u"COGN"_s) % QChar(u' ') % source->text(u"NOME"_s);
    noteRefusal(source, refusal);
    const auto count = lines.size();
    lines << QString() << u"   Totale volontari:"_s + QString::number(count);
    return lines;
}
} // namespace

QString detailListHeader()
{
    return u"DATA INIZ.  DATA FINE   ATTIVITA'/VOLONTARIO"_s + QString(33, u' ') +
           u"ORE/U   ORET0   ORET6   ORET7   ORET8   ORET9   ORET10"_s;
}

int listLayoutWidth(const QString &mode)
{
    if (mode == u"ED"_s)
        return int(detailListHeader().size());
    // Two blanks, the name, the hours, the two dates: the description after them is free text.
    if (mode == u"ER"_s)
        return 2 + 51 + 2 + 6 + 2 + 10 + 2 + 10 + 2;
    return 0;
}

QStringList buildList(const QString &mode, const QString &riskTable, Store::Result *refusal)
{
    Store::Result ignored;
    if (!refusal)
        refusal = &ignored;
    QStringList lines;
    if (mode == u"EO"_s)
        lines = organisations(refusal);
    else if (mode == u"EA"_s)
        lines = activities(refusal);
    else if (mode == u"ED"_s)
        lines = activitiesWithDetails(refusal);
    else if (mode == u"EV"_s || mode == u"EM"_s || mode == u"EC"_s)
        lines = volunteers(refusal);
    else if (mode == u"ER"_s)
        lines = volunteersByRiskTable(riskTable, refusal);
    // A list cut short by the store is not shown as if it were the whole.
    if (!refusal->ok())
        lines.clear();
    return lines;
}
