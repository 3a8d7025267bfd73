#include "store/details.h"

#include "common/volunteertext.h"
#include "database/datasource.h"
#include "store/activities.h"

#include <QSqlError>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace {
const QString activityDetails = u"select * from attivdett where descratt = ? and datainatt = ?"_s;

QList<DetailRow> read(DataSource &details, const QString &sql, const QVariantList &values)
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
    return read(details, u"select * from Attivdett Where datainatt = ? And descratt = ? order by cogn, nome"_s,
                {start, description});
}

QList<DetailRow> rows(DataSource &details, const QString &description, const QString &start)
{
    return read(details, activityDetails, {description, start});
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
    details.setValue(u"DATAINATT"_s, row.start);
    details.setValue(u"DATAFIATT"_s, row.end);
    details.setValue(u"DESCRATT"_s, row.description);
    details.setValue(u"LOCATT"_s, row.place);
    details.setValue(u"PROVATT"_s, row.province);
    details.setValue(u"COGN"_s, row.surname);
    details.setValue(u"CFISC"_s, row.taxCode);
    for (size_t i = 0; i < riskClasses.size(); ++i)
        details.setValue(hourField(i), row.risk.at(i));
    details.setValue(u"OREUOMO"_s, row.manHours.value_or(0));
    writeNotes(details, row.note1, row.note2);
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
QHash<QString, QString> volunteerTaxCodes(const DataSource &details)
{
    QHash<QString, QString> codes;
    QSqlQuery query(details.database());
    query.setForwardOnly(true);
    query.exec(u"select COGN, NOME, CODFISC from VOLO"_s);
    while (query.next()) {
        const QString text = VolunteerText::of(query.value(0).toString(), query.value(1).toString());
        if (!codes.contains(text))
            codes.insert(text, query.value(2).toString());
    }
    return codes;
}

QStringList archive(DataSource &volunteers)
{
    volunteers.setRecordSource(u"select * from VOLO order by NOME"_s);
    volunteers.refresh();
    QStringList texts;
    for (; !volunteers.eof(); volunteers.moveNext())
        texts << VolunteerText::of(volunteers.text(u"COGN"_s), volunteers.text(u"NOME"_s));
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

} // namespace Details
