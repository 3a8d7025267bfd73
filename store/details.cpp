#include "store/details.h"

#include "common/volunteertext.h"
#include "database/datasource.h"
#include "database/serverconnection.h"
#include "store/activities.h"
#include "store/volunteers.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
const QString volunteersUnread = u"l'archivio dei volontari non si è potuto leggere"_s;
const QString activityDetails = u"select * from attivdett where descratt = ? and datainatt = ?"_s;

QList<DetailRow> readDetails(DataSource &details, const QString &sql, const QVariantList &values)
{
    details.setRecordSource(sql, values);
    details.refresh();
    QList<DetailRow> found;
    for (; !details.eof(); details.moveNext())
        found << Records::detail(details);
    return found;
}

// Points `details` at the rows of one volunteer in one activity.
void volunteerRows(DataSource &details, const QString &description, const QString &start, const QString &surname)
{
    details.setRecordSource(activityDetails + u" and cogn = ?"_s, {description, start, surname});
    details.refresh();
}

QString hourField(size_t riskIndex)
{
    return riskClasses[riskIndex].hourField.toString();
}

// The window's rows carry its two notes; the others are empty text, not no value.
void writeNotes(DataSource &details, const QString &note1, const QString &note2)
{
    details.setValue(u"NOTE1"_s, note1);
    details.setValue(u"NOTE2"_s, note2);
    for (const QString &note : {u"NOTE3"_s, u"NOTE4"_s, u"NOTE5"_s})
        details.setValue(note, QString(u""_s));
}
} // namespace

namespace Details {

QList<DetailRow> listed(DataSource &details, const QString &start, const QString &description)
{
    return readDetails(details, u"select * from Attivdett Where datainatt = ? And descratt = ? order by cogn, nome"_s,
                       {start, description});
}

QList<DetailRow> rows(DataSource &details, const QString &description, const QString &start)
{
    return readDetails(details, activityDetails, {description, start});
}

double mostHours(DataSource &details, const QString &description, const QString &start)
{
    double most = 0;
    for (const DetailRow &row : rows(details, description, start))
        most = std::max(most, row.risk.total());
    return most;
}

QList<Store::Result> setHours(DataSource &details, const QString &description, const QString &start,
                              const QString &surname, size_t riskIndex, double hours, const QString &note1,
                              const QString &note2)
{
    QList<Store::Result> results;
    volunteerRows(details, description, start, surname);
    for (; !details.eof(); details.moveNext()) {
        details.edit();
        details.setValue(hourField(riskIndex), hours);
        details.setValue(u"OREUOMO"_s, Records::riskHours(details).total());
        writeNotes(details, note1, note2);
        results << details.update();
    }
    return results;
}

Store::Result add(DataSource &details, const DetailRow &row)
{
    // Another window may have left the source on a listing that cannot take a row.
    details.setRecordSource(activityDetails, {row.description, row.start});
    details.addNew();
    // Its notes but the first two are empty text, as in the rows whose hours it sets.
    DetailRow written = row;
    written.note3 = written.note4 = written.note5 = u""_s;
    Records::write(details, written, Records::NoValue::Zero, {u"NOME"_s});
    return details.update();
}

QList<Store::Result> removeVolunteer(DataSource &details, const QString &description, const QString &start,
                                     const QString &surname, const QString &name)
{
    QList<Store::Result> results;
    volunteerRows(details, description, start, surname);
    for (; !details.eof(); details.moveNext()) {
        if (VolunteerText::same(details.text(u"NOME"_s), name))
            results << details.remove();
    }
    return results;
}

std::optional<Store::Result> recomputeTotals(DataSource &activities, DataSource &details, const QString &description,
                                             const QString &start)
{
    if (!activities.edit())
        return std::nullopt;
    RiskHours totals;
    double manHours = 0;
    details.setRecordSource(activityDetails, {description, start});
    details.refresh();
    for (; !details.eof(); details.moveNext()) {
        const DetailRow row = Records::detail(details);
        manHours += row.manHours.value_or(0);
        for (size_t i = 0; i < riskClasses.size(); ++i)
            totals.hours[i] = totals.at(i) + row.risk.at(i);
    }
    // Totals of some of the rows would pass for the activity's: the old ones stay.
    if (details.failed()) {
        activities.cancelUpdate();
        return details.lastError();
    }
    activities.setValue(u"OREUOMO"_s, manHours);
    for (size_t i = 0; i < riskClasses.size(); ++i)
        activities.setValue(hourField(i), totals.at(i));
    return activities.update();
}

// Three fields of the archive are enough: reading all twenty of thousands of volunteers
// would cost more than storing the rows.
QHash<QString, QString> volunteerTaxCodes(const DataSource &details, Store::Result *refusal)
{
    QHash<QString, QString> codes;
    QSqlQuery query(details.database());
    query.setForwardOnly(true);
    // A read refused would give new rows no tax code, as if their volunteers had none.
    if (!query.exec(u"select COGN, NOME, CODFISC from VOLO"_s)) {
        if (refusal)
            *refusal = Store::failed(details.database(), query.lastError(), volunteersUnread);
        return codes;
    }
    while (query.next()) {
        const QString text = VolunteerText::of(query.value(0).toString(), query.value(1).toString());
        if (!codes.contains(text))
            codes.insert(text, query.value(2).toString());
    }
    if (refusal && query.lastError().isValid())
        *refusal = Store::failed(details.database(), query.lastError(), volunteersUnread);
    return codes;
}

QStringList archive(DataSource &volunteers)
{
    // Only the names are read and sorted: the other fields of every volunteer would be sorted
    // with them, each time the details window opens. The source is then left with the record
    // source the archive list always left on it, at its end.
    volunteers.setRecordSource(u"select COGN, NOME from VOLO order by NOME"_s);
    volunteers.refresh();
    QStringList texts;
    for (; !volunteers.eof(); volunteers.moveNext())
        texts << VolunteerText::of(volunteers.text(u"COGN"_s), volunteers.text(u"NOME"_s));
    volunteers.setRecordSource(u"select * from VOLO order by NOME"_s);
    return texts;
}

WriteGroup::WriteGroup(const DataSource &source)
    : m_db(source.database())
    , m_held(Store::beginOrSay(m_db))
{
    m_grouped = m_held.ok();
}

WriteGroup::WriteGroup(const DataSource &source, const QString &description, const QString &start)
    : WriteGroup(source)
{
    if (m_grouped)
        m_held = Activities::lock(m_db, description, start);
}

WriteGroup::~WriteGroup()
{
    rollback();
}

Store::Result WriteGroup::commit()
{
    if (!m_grouped)
        return m_held;
    m_grouped = false;
    return Store::commitOrSay(m_db);
}

void WriteGroup::rollback()
{
    if (m_grouped)
        Store::rollback(m_db);
    m_grouped = false;
}

Store::Result totalActivity(DataSource &activities, DataSource &details, const QString &description,
                            const QString &start)
{
    Activities::findNamed(activities, description, start);
    if (activities.failed())
        return activities.lastError();
    const auto result = recomputeTotals(activities, details, description, start);
    if (details.failed())
        return details.lastError();
    return result.value_or(Store::Result{});
}

QHash<QString, double> presence(DataSource &details, const QString &description, const QString &start, size_t riskIndex)
{
    QHash<QString, double> present;
    for (const DetailRow &row : rows(details, description, start)) {
        double &otherClasses = present[VolunteerText::key(row.surname)];
        otherClasses = std::max(otherClasses, row.risk.total() - row.risk.at(riskIndex));
    }
    return present;
}

namespace {
// The writes of one press. A row the store refuses is left out alone; a read it refuses takes
// the whole press back, which would otherwise rest on rows it never saw.
// Holds, until the press commits, the archive's rows of the volunteers whose texts are `texts`.
Store::Result holdVolunteers(const DataSource &details, const QStringList &texts)
{
    QSqlQuery query(details.database());
    query.setForwardOnly(true);
    QStringList keys;
    for (const QString &text : texts)
        keys << VolunteerText::key(text);
    if (!query.exec(u"select COGN, NOME from VOLO"_s))
        return Store::failed(details.database(), query.lastError(), volunteersUnread);
    QList<std::pair<QString, QString>> chosen;
    while (query.next()) {
        const QString surname = query.value(0).toString();
        const QString name = query.value(1).toString();
        if (keys.contains(VolunteerText::key(VolunteerText::of(surname, name))))
            chosen.append({surname, name});
    }
    query.finish();
    for (const auto &[surname, name] : chosen) {
        QVariantList values;
        const QString whose = Volunteers::matching(surname, name, &values);
        QSqlQuery hold(details.database());
        hold.prepare(u"select 1 from VOLO where "_s + whose + u" for share"_s);
        for (const QVariant &value : std::as_const(values))
            hold.addBindValue(value);
        if (!hold.exec())
            return Store::failed(details.database(), hold.lastError(), volunteersUnread);
    }
    return {};
}

class PressWrites {
public:
    PressWrites(DataSource &activities, DataSource &details, const QString &description, const QString &start)
        : m_activities(activities)
        , m_details(details)
        , m_description(description)
        , m_start(start)
        , m_group(details, description, start)
    {
    }

    // A connection broken under a write takes the whole press back: its transaction is gone.
    void written(const QString &volunteer, const QList<Store::Result> &results)
    {
        for (const Store::Result &result : results) {
            if (result.ok())
                ++m_done;
            else if (result.number == Store::lostConnection)
                m_broken = result;
            else
                m_press.failures << volunteer + u": "_s + result.description;
        }
    }
    // Stops the press when a read under the hold was refused.
    void readChecked()
    {
        if (m_details.failed())
            m_readFailure = m_details.lastError();
    }
    void refused(const Store::Result &read) { m_readFailure = read; }
    void missing(const QString &volunteer) { m_press.missing << volunteer; }
    // Nothing is written outside the hold: rows written without the transaction would stay
    // when the press is said to have changed nothing.
    bool stopped() const { return !m_group.held().ok() || !m_readFailure.ok() || !m_broken.ok(); }

    Press finish()
    {
        const Store::Result &held = m_group.held();
        if (!held.ok() || !m_broken.ok()) {
            m_group.rollback();
            return taken(Press::Outcome::NotHeld, held.ok() ? m_broken : held);
        }
        if (!m_readFailure.ok()) {
            m_group.rollback();
            return taken(Press::Outcome::ReadRefused, m_readFailure);
        }
        Store::Result committed = totalActivity(m_activities, m_details, m_description, m_start);
        if (committed.ok())
            committed = m_group.commit();
        else
            m_group.rollback();
        if (committed.number == Store::unknownOutcome)
            return taken(Press::Outcome::Unknown, committed);
        m_press.done = m_done;
        if (!committed.ok()) {
            m_press.failures = QStringList{committed.description};
            m_press.done = 0;
        }
        return m_press;
    }

private:
    static Press taken(Press::Outcome outcome, const Store::Result &why)
    {
        Press press;
        press.outcome = outcome;
        press.why = why;
        return press;
    }

    DataSource &m_activities;
    DataSource &m_details;
    QString m_description;
    QString m_start;
    WriteGroup m_group;
    Press m_press;
    int m_done = 0;
    Store::Result m_readFailure;
    Store::Result m_broken;
};
} // namespace

Press addVolunteers(DataSource &activities, DataSource &details, const Addition &addition)
{
    const QString &description = addition.description;
    const QString &start = addition.start;
    PressWrites writes(activities, details, description, start);
    QHash<QString, double> present;
    if (!writes.stopped()) {
        present = presence(details, description, start, addition.riskIndex);
        writes.readChecked();
    }
    QHash<QString, QString> taxCodes;
    bool taxCodesRead = false;
    for (const QString &text : addition.volunteers) {
        if (writes.stopped())
            break;
        if (present.contains(VolunteerText::key(text))) {
            writes.written(text, setHours(details, description, start, text, addition.riskIndex, addition.hours,
                                          addition.note1, addition.note2));
            writes.readChecked();
            continue;
        }
        if (!taxCodesRead) {
            // Read under the hold: a volunteer another PC renamed or deleted since the list was read
            // is no longer among them. On a server his row is held too, so that such a change waits
            // for this press and then takes its rows with it.
            Store::Result refusal;
            taxCodes = volunteerTaxCodes(details, &refusal);
            if (refusal.ok() && Server::isServer(details.database()))
                refusal = holdVolunteers(details, addition.volunteers);
            if (!refusal.ok()) {
                writes.refused(refusal);
                break;
            }
            taxCodesRead = true;
        }
        if (!taxCodes.contains(text)) {
            writes.missing(text);
            continue;
        }
        DetailRow row;
        row.start = start;
        row.end = addition.end;
        row.description = description;
        row.place = addition.place;
        row.province = addition.province;
        row.surname = text;
        row.taxCode = taxCodes.value(text, u""_s);
        row.risk.hours[addition.riskIndex] = addition.hours;
        row.manHours = addition.hours;
        row.note1 = addition.note1;
        row.note2 = addition.note2;
        writes.written(text, {add(details, row)});
    }
    return writes.finish();
}

Press removeVolunteers(DataSource &activities, DataSource &details, const QString &description, const QString &start,
                       const QList<std::pair<QString, QString>> &volunteers)
{
    PressWrites writes(activities, details, description, start);
    for (const auto &[surname, name] : volunteers) {
        if (writes.stopped())
            break;
        // The rows of the volunteer the line shows, compared as the keys compare.
        writes.written((surname + u' ' + name).trimmed(), removeVolunteer(details, description, start, surname, name));
        writes.readChecked();
    }
    return writes.finish();
}

} // namespace Details
