#include "store/activities.h"

#include "database/datasource.h"
#include "database/serverconnection.h"
#include "database/sql.h"

#include <QSqlError>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace {
const QString findActivity = u"select * from Attivita where datainatt = ? AND descratt = ?"_s;
const QString findByName = u"select * from attivita where descratt = ? and datainatt = ?"_s;

QList<Activity> readActivities(DataSource &activities, const QString &sql, const QVariantList &values = {})
{
    activities.setRecordSource(sql, values);
    activities.refresh();
    QList<Activity> rows;
    for (; !activities.eof(); activities.moveNext())
        rows << Records::activity(activities);
    return rows;
}

bool stand(DataSource &activities, const QString &sql, const QVariantList &values)
{
    activities.setRecordSource(sql, values);
    activities.refresh();
    return !activities.eof();
}

// The registry keeps the risk hours as the detail rows last totalled them.
void writeRegistryFields(DataSource &activities, const Activity &a)
{
    QStringList riskHours;
    for (const RiskClass &riskClass : riskClasses)
        riskHours << riskClass.hourField.toString();
    Records::write(activities, a, Records::NoValue::Zero, riskHours);
}

Store::Result written(DataSource &activities, const Activity &activity)
{
    writeRegistryFields(activities, activity);
    const Store::Result result = activities.update();
    activities.refresh();
    return result;
}

} // namespace

namespace Activities {

Store::Result change(DataSource &activities, DataSource &details, const QString &description, const QString &start,
                     const AsRead *asRead, const std::function<void(Activity &)> &changing)
{
    return Store::inTransaction(details.database(), [&]() -> Store::Result {
        if (Store::Result held = lock(details.database(), description, start); !held.ok())
            return held;
        const bool found = stand(activities, findByName, {description, start});
        if (activities.failed())
            return activities.lastError();
        if (!found || (asRead && !activities.holds(asRead->fields, asRead->values)))
            return Store::changedMeanwhile();
        Activity changed = Records::activity(activities);
        changing(changed);
        activities.edit();
        // The risk hours and the man-hours stay as the detail rows last totalled them, unless changed.
        Records::write(activities, changed, Records::NoValue::Null);
        if (Store::Result written = activities.update(); !written.ok())
            return written;
        // The rows copy the activity's identity, dates and place: one statement changes them all.
        return details.execute(
            u"update attivdett set DATAINATT = ?, DATAFIATT = ?, DESCRATT = ?, LOCATT = ?, "
            u"PROVATT = ? where DESCRATT = ? and DATAINATT = ?"_s,
            {changed.start, changed.end, changed.description, changed.place, changed.province, description, start});
    });
}

QList<std::pair<QString, QString>> startsAndDescriptions(DataSource &activities)
{
    // Only the two fields shown are read, by their places: a register holds thousands of
    // activities, and the window's lists open each time it does. The source is then left with
    // the record source the lists always left on it, at its end.
    activities.setRecordSource(u"select DATAINATT, DESCRATT from Attivita order by note4, descratt"_s);
    activities.refresh();
    const auto text = [&activities](int position) {
        const QVariant value = activities.value(position);
        return value.isNull() ? QString() : value.toString();
    };
    QList<std::pair<QString, QString>> rows;
    for (; !activities.eof(); activities.moveNext())
        rows.emplaceBack(text(0), text(1));
    activities.setRecordSource(u"select * from Attivita order by note4, descratt"_s);
    return rows;
}

QList<Activity> ofDate(DataSource &activities, const QString &start)
{
    return readActivities(activities, u"select * from Attivita where datainatt = ? order by datainatt, descratt"_s,
                          {start});
}

QList<Activity> named(DataSource &activities, const QString &description, const QString &start, Order order)
{
    const QString sql =
        order == Order::Register
            ? u"select * from Attivita where descratt = ? and datainatt = ? order by note4, descratt"_s
            : u"select * from Attivita where descratt = ? and datainatt = ? order by datainatt, descratt"_s;
    return readActivities(activities, sql, {description, start});
}

QList<Activity> search(DataSource &activities, const QString &typed)
{
    QString escaped = typed;
    escaped.replace(u'\\', u"\\\\"_s).replace(u'%', u"\\%"_s).replace(u'_', u"\\_"_s);
    return readActivities(activities,
                          u"select * from Attivita where "_s + Sql::likeFolded(activities.database(), u"descratt"_s) +
                              u" order by datainatt, descratt"_s,
                          {u'%' + escaped + u'%'});
}

bool find(DataSource &activities, const QString &start, const QString &description)
{
    return stand(activities, findActivity, {start, description});
}

bool findNamed(DataSource &activities, const QString &description, const QString &start)
{
    return stand(activities, findByName, {description, start});
}

Store::Result insert(DataSource &activities, const Activity &activity)
{
    activities.addNew();
    return written(activities, activity);
}

QStringList registryFields()
{
    return {u"DATAFIATT"_s, u"LOCATT"_s, u"PROVATT"_s, u"ORETOT"_s, u"OREUOMO"_s, u"NOTE1"_s, u"NOTE2"_s};
}

Store::Result removeWithDetails(DataSource &activities, DataSource &details, const QString &start,
                                const QString &description)
{
    return Store::inTransaction(details.database(), [&]() {
        if (Store::Result held = lock(details.database(), description, start); !held.ok())
            return held;
        details.setRecordSource(u"select * from Attivdett where datainatt = ? AND descratt = ?"_s,
                                {start, description});
        details.refresh();
        for (; !details.eof(); details.moveNext()) {
            if (Store::Result removed = details.remove(); !removed.ok())
                return removed;
        }
        // Rows the store would not give are still there: the activity stays with them.
        if (details.failed())
            return details.lastError();
        return activities.remove();
    });
}

Store::Result rename(DataSource &activities, DataSource &details, const QString &oldName, const QString &start,
                     const QString &newName, const AsRead *asRead)
{
    return change(activities, details, oldName, start, asRead,
                  [&](Activity &activity) { activity.description = newName; });
}

Renaming renameIfFree(DataSource &activities, DataSource &details, const QString &oldName, const QString &start,
                      const QString &newName, Store::Result *refusal, const AsRead *asRead)
{
    const bool found = findNamed(activities, oldName, start);
    if (activities.failed())
        return Renaming::ReadRefused;
    if (!found)
        return Renaming::NothingToRename;
    if (QString::compare(newName, oldName, Qt::CaseInsensitive) != 0) {
        const bool taken = findNamed(activities, newName, start);
        if (activities.failed())
            return Renaming::ReadRefused;
        if (taken)
            return Renaming::NameTaken;
    }
    *refusal = rename(activities, details, oldName, start, newName, asRead);
    return refusal->ok() ? Renaming::Done : Renaming::Refused;
}

Store::Result moveStart(DataSource &activities, DataSource &details, const QString &description,
                        const QString &oldStart, const QString &newStart, const QString &newSortKey,
                        const AsRead *asRead)
{
    return change(activities, details, description, oldStart, asRead, [&](Activity &activity) {
        activity.start = newStart;
        activity.sortKey = newSortKey;
    });
}

Store::Result lock(const QSqlDatabase &db, const QString &description, const QString &start)
{
    if (!Server::isServer(db))
        return {};
    QSqlQuery query(db);
    query.prepare(u"select 1 from attivita where descratt = ? and datainatt = ? for update"_s);
    query.addBindValue(description);
    query.addBindValue(start);
    if (!query.exec()) {
        const Store::Result refused = Store::classify(query.lastError());
        // Another PC's press held it for the whole lock wait.
        return refused.number == Store::busy
                   ? Store::Result{Store::busy, u"L'attività è in uso su un'altra postazione: riprovare."_s}
                   : refused;
    }
    if (!query.next())
        return Store::failure(
            u"l'attività %1 del %2 non c'è più: un altro utente l'ha cambiata o tolta"_s.arg(description, start));
    return {};
}

} // namespace Activities
