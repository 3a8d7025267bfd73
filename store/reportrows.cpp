#include "store/reportrows.h"

#include "database/datasource.h"
#include "database/serverconnection.h"
#include "database/sql.h"

#include <QDate>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace Reports {
namespace {
const QString activitiesNewestFirst = u"select * from ATTIVITA order by NOTE4 DESC, DESCRATT"_s;

std::optional<double> hoursOf(const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return std::nullopt;
    bool ok = false;
    const double result = value.toDouble(&ok);
    return ok ? std::optional<double>(result) : std::nullopt;
}

std::optional<double> hours(const DataSource &source, const QString &field)
{
    return hoursOf(source.value(field));
}

// The detail rows of the whole archive, or most of it, by volunteer.
QString manyByName(const DataSource &details)
{
    return Sql::orderOfMany(details.database(), {u"COGN"_s, u"NOME"_s});
}

// The walks over every detail row read their fields by their place in the select list: a
// look-up by name, for every field of 200,000 rows, costs more than reading the field.
QString textAt(const DataSource &source, int position)
{
    const QVariant value = source.value(position);
    return value.isNull() ? QString() : value.toString();
}

// The hours of every class, selected one after the other from `first` on, in the order of the classes.
RiskHours riskHoursFrom(const DataSource &source, int first)
{
    RiskHours risk;
    for (size_t i = 0; i < risk.hours.size(); ++i)
        risk.hours[i] = hoursOf(source.value(first + int(i)));
    return risk;
}

// The walks over every detail row read only the fields they select: a look-up of a field
// the source does not hold costs more than the row.
DetailRow detailHoursRow(const DataSource &source)
{
    DetailRow row;
    row.surname = source.text(u"COGN"_s);
    row.name = source.text(u"NOME"_s);
    row.manHours = hours(source, u"OREUOMO"_s);
    row.risk = Records::riskHours(source);
    return row;
}

// Walks `source` from its first row, handing each row to `visit`; the read refused, if any.
Store::Result walk(DataSource &source, const QString &sql, const std::function<void(const DataSource &)> &visit)
{
    source.setRecordSource(sql);
    source.refresh();
    for (; !source.eof(); source.moveNext())
        visit(source);
    return source.lastError();
}

// The detail fields the lists and the register show, and the one activity's rows in order.
const QString detailHoursFields = u"COGN, NOME, OREUOMO, ORET0, ORET6, ORET7, ORET8, ORET9, ORET10"_s;
const QString oneActivityDetails =
    u"select "_s + detailHoursFields + u" from ATTIVDETT where DESCRATT = ? and DATAINATT = ? order by COGN, NOME"_s;

// Detail rows are asked for this many activities at a time: a statement for each activity
// would be a round trip each on a server, ten thousand for a list of the whole archive.
constexpr qsizetype activitiesPerRead = 100;

// Activities with their detail rows, the rows of each activity in the order of surname and
// first name. The store matches an activity's rows by its key, as it always did (letter case
// folded), and tells by the activity's place in the batch which rows are whose; the details
// source is left as one activity's read would leave it, on the last activity read.
Store::Result activitiesAndDetails(DataSource &activities, DataSource &details, const QString &activitiesSql,
                                   const std::function<bool(const Activity &)> &wanted, const ActivityVisitor &visit,
                                   const QVariantList &activitiesValues = {})
{
    activities.setRecordSource(activitiesSql, activitiesValues);
    activities.refresh();
    std::vector<Activity> batch;
    std::vector<QList<DetailRow>> rows;
    QVariantList lastRead;
    const auto readBatch = [&]() -> Store::Result {
        if (batch.empty())
            return {};
        QStringList keys;
        QVariantList values;
        for (size_t i = 0; i < batch.size(); ++i) {
            keys << u"(%1, ?, ?)"_s.arg(i);
            values << batch[i].description << batch[i].start;
        }
        details.setRecordSource(u"with chiesta (n, descratt, datainatt) as (values "_s + keys.join(u", "_s) +
                                    u") select chiesta.n, "_s + detailHoursFields +
                                    u" from chiesta join ATTIVDETT on ATTIVDETT.DESCRATT = chiesta.descratt and "
                                    u"ATTIVDETT.DATAINATT = chiesta.datainatt order by chiesta.n, COGN, NOME"_s,
                                values);
        details.refresh();
        rows.assign(batch.size(), {});
        for (; !details.eof(); details.moveNext()) {
            const qsizetype n = details.value(0).toLongLong();
            if (n >= 0 && n < qsizetype(rows.size()))
                rows[size_t(n)] << detailHoursRow(details);
        }
        if (details.failed())
            return details.lastError();
        lastRead = {batch.back().description, batch.back().start};
        for (size_t i = 0; i < batch.size(); ++i)
            visit(batch[i], rows[i]);
        batch.clear();
        return {};
    };
    Store::Result result;
    for (; result.ok() && !activities.eof(); activities.moveNext()) {
        Activity activity = Records::activity(activities);
        if (!wanted(activity))
            continue;
        batch.push_back(std::move(activity));
        if (qsizetype(batch.size()) == activitiesPerRead)
            result = readBatch();
    }
    if (result.ok() && activities.failed())
        result = activities.lastError();
    if (result.ok())
        result = readBatch();
    if (!lastRead.isEmpty())
        details.setRecordSource(oneActivityDetails, lastRead);
    return result;
}
} // namespace

Store::Result organisations(DataSource &source, const std::function<void(const Organisation &)> &visit)
{
    return walk(source, u"select * from ASSO order by DENOM"_s,
                [&](const DataSource &row) { visit(Records::organisation(row)); });
}

Store::Result activities(DataSource &source, const std::function<void(const Activity &)> &visit)
{
    return walk(source, activitiesNewestFirst, [&](const DataSource &row) { visit(Records::activity(row)); });
}

Store::Result activitiesWithDetails(DataSource &activities, DataSource &details, const ActivityVisitor &visit)
{
    // Only the fields listed are read: the list goes over every detail row.
    return activitiesAndDetails(
        activities, details, activitiesNewestFirst, [](const Activity &) { return true; }, visit);
}

Store::Result detailsOfClass(DataSource &details, const RiskClass *riskClass,
                             const std::function<void(const DetailRow &)> &visit)
{
    const QString field = (riskClass ? riskClass->hourField : riskClasses[0].hourField).toString();
    const size_t index = riskClass ? size_t(riskClass - riskClasses.data()) : 0;
    // Only the fields listed are read: the list goes over every detail row.
    const QString columns = u"select COGN, NOME, DATAINATT, DATAFIATT, DESCRATT, "_s + field + u" from ATTIVDETT"_s;
    const QString order = u" order by COGN, NOME"_s;
    // Without a class nothing is listed, but the source is left as the list always left it.
    if (!riskClass) {
        details.setRecordSource(columns + order);
        details.refresh();
        return details.lastError();
    }
    // Only the rows that can have hours are read, in the same order (the store gives what it
    // holds in a field as more than no hours, so the rows listed are the same); the source is
    // then left with the record source the list always left on it, at its end.
    details.setRecordSource(columns + u" where "_s + field + u" > 0"_s + manyByName(details));
    details.refresh();
    for (; !details.eof(); details.moveNext()) {
        DetailRow row;
        row.surname = textAt(details, 0);
        row.name = textAt(details, 1);
        row.start = textAt(details, 2);
        row.end = textAt(details, 3);
        row.description = textAt(details, 4);
        row.risk.hours[index] = hoursOf(details.value(5));
        visit(row);
    }
    details.setRecordSource(columns + order);
    return details.lastError();
}

Store::Result volunteerNames(DataSource &source, const std::function<void(const Volunteer &)> &visit)
{
    return walk(source, u"select COGN, NOME, CODASS from VOLO order by COGN, NOME"_s, [&](const DataSource &row) {
        Volunteer volunteer;
        volunteer.surname = row.text(u"COGN"_s);
        volunteer.name = row.text(u"NOME"_s);
        volunteer.organisationCode = row.text(u"CODASS"_s);
        visit(volunteer);
    });
}

Store::Result volunteers(DataSource &source, const std::function<void(const Volunteer &)> &visit)
{
    return walk(source, u"select * from VOLO order by COGN, NOME"_s,
                [&](const DataSource &row) { visit(Records::volunteer(row)); });
}

Store::Result registerActivities(DataSource &activities, DataSource &details, const QString &fromSortKey,
                                 const ActivityVisitor &visit)
{
    // The activities before the start are passed over in the index, not read: a register
    // from a recent date would otherwise read the whole archive to print a few pages. The
    // comparison is the register's own (exact, no case folding; no key counts as empty).
    // Of the detail rows, only the fields printed are read.
    bool detailsRead = false;
    const Store::Result result = activitiesAndDetails(activities, details,
                                                      u"select * from ATTIVITA where "_s +
                                                          Sql::exact(activities.database(), u"coalesce(NOTE4, '')"_s) +
                                                          u" >= ? order by NOTE4, DESCRATT"_s,
                                                      [&](const Activity &activity) {
                                                          const bool wanted = !(activity.sortKey < fromSortKey);
                                                          detailsRead = detailsRead || wanted;
                                                          return wanted;
                                                      },
                                                      visit, {fromSortKey.isNull() ? u""_s : fromSortKey});
    // The sources are left as the register always left them.
    activities.setRecordSource(u"select * from ATTIVITA order by NOTE4, DESCRATT"_s);
    if (detailsRead) {
        const QVariantList lastActivity = details.recordValues();
        details.setRecordSource(u"select * from ATTIVDETT where DESCRATT = ? and DATAINATT = ? order by COGN, NOME"_s,
                                lastActivity);
    }
    return result;
}

namespace {
// About half the archive starts outside a period: those rows are passed over in the store.
// Only a start of the shape GG/MM/AAAA whose year is outside the period's years is passed
// over; any other text (or none) is read and judged by the caller, so the store drops only
// rows the caller would drop. The year is compared first: the shape is looked at only for
// the rows about to be dropped.
QString periodFilter(const DataSource &details, const QDate &from, const QDate &to, QVariantList *bounds)
{
    if (!from.isValid() || !to.isValid())
        return {};
    *bounds = {from.toString(u"yyyy"_s), to.toString(u"yyyy"_s)};
    // Compared as the file compares a function's text, byte by byte: the field's own collation
    // on a server would fold each of the archive's years on the way.
    return u" where "_s + Sql::exact(details.database(), u"substr(DATAINATT, 7, 4)"_s) + u" between ? and ? or not "_s +
           Sql::hasDateShape(details.database(), u"DATAINATT"_s);
}
} // namespace

Store::Result detailHours(DataSource &details, const QDate &from, const QDate &to,
                          const std::function<void(const DetailRow &)> &visit)
{
    // Only the fields counted are read: the walk goes over every detail row of the archive.
    // One row is filled again for each, rather than a row with all its fields made and let go.
    const QString columns = u"select COGN, NOME, DATAINATT, ORET0, ORET6, ORET7, ORET8, ORET9, ORET10 from ATTIVDETT"_s;
    const QString order = u" ORDER BY COGN, NOME"_s;
    QVariantList bounds;
    const QString filter = periodFilter(details, from, to, &bounds);
    DetailRow detail;
    details.setRecordSource(columns + filter + manyByName(details), bounds);
    details.refresh();
    for (; !details.eof(); details.moveNext()) {
        detail.surname = textAt(details, 0);
        detail.name = textAt(details, 1);
        detail.start = textAt(details, 2);
        detail.risk = riskHoursFrom(details, 3);
        visit(detail);
    }
    // The source is left with the record source the statistics always left on it, at its end.
    details.setRecordSource(columns + order);
    return details.lastError();
}

Store::Result detailSpans(DataSource &details, const QDate &from, const QDate &to,
                          const std::function<void(const DetailRow &)> &visit)
{
    // In the store's own order: the caller sums by volunteer, and a sort would cost more.
    QVariantList bounds;
    details.setRecordSource(
        u"select COGN, NOME, DATAINATT, DATAFIATT, ORET0, ORET6, ORET7, ORET8, ORET9, ORET10 from ATTIVDETT"_s +
            periodFilter(details, from, to, &bounds),
        bounds);
    details.refresh();
    DetailRow detail;
    for (; !details.eof(); details.moveNext()) {
        detail.surname = textAt(details, 0);
        detail.name = textAt(details, 1);
        detail.start = textAt(details, 2);
        detail.end = textAt(details, 3);
        detail.risk = riskHoursFrom(details, 4);
        visit(detail);
    }
    return details.lastError();
}

} // namespace Reports
