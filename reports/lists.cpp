#include "reports/lists.h"

#include "common/globals.h"
#include "common/textformat.h"
#include "common/volunteertext.h"
#include "database/datasource.h"
#include "store/organisations.h"
#include "store/reportrows.h"
#include "ui/mainwindowinterface.h"
#include "ui/windowaccess.h"

#include <QStringBuilder>

using namespace Qt::StringLiterals;
using TextFormat::Pattern;

// Lines are joined with % so that each is allocated once at its size: a list keeps
// hundreds of thousands of them.
namespace {
QString field51(const QString &text)
{
    return TextFormat::fixedWidth(text, 51);
}

QString hourColumns(const std::optional<double> &manHours, const RiskHours &risk, const QLocale &locale)
{
    QString columns;
    columns.reserve(8 * int(1 + risk.hours.size()));
    const auto column = [&](const std::optional<double> &value) {
        columns += u"  "_s;
        // A field with no value contributes nothing but its width.
        columns += value ? TextFormat::formatNumber(*value, Pattern::LeadingZeros, locale) : QString(6, u' ');
    };
    column(manHours);
    for (const std::optional<double> &hours : risk.hours)
        column(hours);
    return columns;
}

Store::Result organisations(DataSource &source, const LineSink &add)
{
    return Reports::organisations(source, [&](const Organisation &row) { add(ListLines::organisation(row)); });
}

Store::Result activities(DataSource &source, const LineSink &add)
{
    return Reports::activities(source, [&](const Activity &row) { add(ListLines::activity(row)); });
}

Store::Result activitiesWithDetails(MainWindowInterface &main, const LineSink &add)
{
    for (const QString &line : ListLines::detailHeading())
        add(line);
    const QLocale locale;
    // One activity's lines at a time: the whole list is never held here.
    QStringList lines;
    return Reports::activitiesWithDetails(*main.Data7, *main.Data4,
                                          [&](const Activity &activity, const QList<DetailRow> &details) {
                                              ListLines::appendActivityWithDetails(lines, activity, details, locale);
                                              for (const QString &line : std::as_const(lines))
                                                  add(line);
                                              lines.clear();
                                          });
}

Store::Result volunteersByRiskTable(DataSource &details, DataSource &volunteers, const QString &riskTable,
                                    const LineSink &add)
{
    const RiskClass *riskClass = riskClassOfCode(riskTable);
    QHash<QString, QString> organisations = Organisations::ofVolunteers(volunteers);
    if (volunteers.failed())
        return volunteers.lastError();
    ListLines::RiskTable list(riskClass ? std::optional<size_t>(riskClass - riskClasses.data()) : std::nullopt, add,
                              std::move(organisations));
    const Store::Result refusal =
        Reports::detailsOfClass(details, riskClass, [&](const DetailRow &row) { list.add(row); });
    list.finish();
    return refusal;
}

Store::Result volunteers(DataSource &source, DataSource &organisations, const LineSink &add, QStringList *keys)
{
    const QHash<QString, QString> names = Organisations::namesByCode(organisations);
    if (organisations.failed())
        return organisations.lastError();
    qsizetype count = 0;
    const Store::Result refusal = Reports::volunteerNames(source, [&](const Volunteer &row) {
        add(ListLines::volunteer(row, Organisations::shownName(names, row.organisationCode)));
        ++count;
        if (keys)
            *keys << VolunteerText::of(row.surname, row.name);
    });
    for (const QString &line : ListLines::volunteerTotal(count))
        add(line);
    return refusal;
}
} // namespace

QString detailListHeader()
{
    // The hours columns are headed by their fields' names.
    QString header = u"DATA INIZ.  DATA FINE   ATTIVITA'/VOLONTARIO"_s + QString(33, u' ') + u"ORE/U"_s;
    for (const RiskClass &riskClass : riskClasses)
        header += u"   "_s + riskClass.hourField.toString();
    return header;
}

int listLayoutWidth(const QString &mode)
{
    if (mode == ListKind::details)
        return int(detailListHeader().size());
    // Two blanks, the name, the hours, the two dates: the description after them is free text.
    if (mode == ListKind::riskTable)
        return 2 + 51 + 2 + 6 + 2 + 10 + 2 + 10 + 2;
    return 0;
}

Store::Result buildList(const QString &mode, const QString &riskTable, const LineSink &add, QStringList *keys)
{
    if (keys)
        keys->clear();
    MainWindowInterface *main = Windows::mainWindow();
    if (mode == ListKind::organisations)
        return organisations(*main->Data8, add);
    if (mode == ListKind::activities)
        return activities(*main->Data7, add);
    if (mode == ListKind::details)
        return activitiesWithDetails(*main, add);
    if (mode == ListKind::volunteers || mode == ListKind::toModify || mode == ListKind::toDelete)
        return volunteers(*main->Data6, *main->Data8, add, keys);
    if (mode == ListKind::riskTable)
        return volunteersByRiskTable(*main->Data4, *main->Data6, riskTable, add);
    return {};
}

QStringList buildList(const QString &mode, const QString &riskTable, Store::Result *refusal, QStringList *keys)
{
    QStringList lines;
    const Store::Result result = buildList(
        mode, riskTable, [&](const QString &line) { lines << line; }, keys);
    // A list cut short by the store is not shown as if it were the whole.
    if (!result.ok()) {
        lines.clear();
        if (keys)
            keys->clear();
    }
    if (refusal)
        *refusal = result;
    return lines;
}

namespace ListLines {
QString organisation(const Organisation &organisation)
{
    return organisation.name + u"  "_s + organisation.head + u"  "_s + organisation.headPhone;
}

QString activity(const Activity &activity)
{
    return QStringList{activity.start, activity.end,      activity.description,
                       activity.place, activity.province, TextFormat::numberText(activity.manHours)}
        .join(u"  "_s);
}

QStringList detailHeading()
{
    return {u"ELENCO DELLE ATTIVITA'  CON DETTAGLIO PER VOLONTARIO"_s, QString(), detailListHeader(), QString()};
}

void appendActivityWithDetails(QStringList &lines, const Activity &activity, const QList<DetailRow> &details,
                               const QLocale &locale)
{
    lines << activity.start % u"  "_s % activity.end % u"  "_s %
                 field51(activity.description + u"  "_s + activity.place + u"  "_s + activity.province) %
                 hourColumns(activity.manHours, activity.risk, locale);
    for (const DetailRow &row : details)
        lines << QString(24, u' ') % field51(VolunteerText::of(row.surname, row.name)) %
                     hourColumns(row.manHours, row.risk, locale);
    lines << QString();
}

QString volunteer(const Volunteer &volunteer, const QString &organisation)
{
    const QString text = VolunteerText::of(volunteer.surname, volunteer.name);
    return organisation.isEmpty() ? text : field51(text) + u"  "_s + organisation;
}

QStringList volunteerTotal(qsizetype count)
{
    return {QString(), u"   Totale volontari:"_s + QString::number(count)};
}

RiskTable::RiskTable(std::optional<size_t> classIndex, LineSink add, QHash<QString, QString> organisations)
    : m_classIndex(classIndex)
    , m_add(std::move(add))
    , m_organisations(std::move(organisations))
{
}

QString RiskTable::subtotal() const
{
    const QString lead = m_previousOrganisation.isEmpty()
                             ? QString(49, u' ')
                             : u"  "_s + TextFormat::fixedWidth(m_previousOrganisation, 45) + u"  "_s;
    return lead + u"TOT.  "_s + TextFormat::numberText(m_total);
}

void RiskTable::add(const DetailRow &row)
{
    if (!m_classIndex)
        return;
    // The stored number as it is: 7.5 hours are 7.5 in every locale.
    const double hours = row.risk.at(*m_classIndex);
    if (!(hours > 0))
        return;
    if (m_nameField.isNull() || row.surname != m_surname || row.name != m_name) {
        m_surname = row.surname;
        m_name = row.name;
        m_nameField = field51(VolunteerText::of(m_surname, m_name));
        m_organisation = m_organisations.value(VolunteerText::textKey(m_surname, m_name));
    }
    const QString &name = m_nameField;
    auto hoursText = m_hoursTexts.constFind(hours);
    if (hoursText == m_hoursTexts.cend())
        hoursText = m_hoursTexts.insert(hours, TextFormat::numberText(QVariant(hours)));
    if (m_first) {
        m_first = false;
        m_previous = name;
        m_previousOrganisation = m_organisation;
    }
    if (name != m_previous) {
        m_add(subtotal());
        m_total = 0.0;
        m_previous = name;
        m_previousOrganisation = m_organisation;
    }
    m_add(u"  "_s % name % u"  "_s % *hoursText % u"  "_s % row.start % u"  "_s % row.end % u"  "_s % row.description);
    m_total = m_total.value_or(0.0) + hours;
}

void RiskTable::finish()
{
    m_add(subtotal());
    m_add(QString());
}
} // namespace ListLines
