#include "statistics/statistics.h"

#include "common/controlladata.h"
#include "common/riskclasses.h"
#include "common/textformat.h"
#include "common/volunteertext.h"
#include "store/reportrows.h"
#include "ui/mainwindowinterface.h"
#include "ui/windowaccess.h"

using TextFormat::withoutTrailingBlanks;

using namespace Qt::StringLiterals;
using TextFormat::Pattern;

QString statisticsLine(const QString &name, double total, const double (&classes)[6])
{
    QString line = u"   "_s + TextFormat::fixedWidth(name, 51) + u"  "_s +
                   TextFormat::numberField(TextFormat::formatNumber(total, Pattern::OneDigit), 6);
    for (const double sum : classes)
        line += QString(6, u' ') + TextFormat::numberField(TextFormat::formatNumber(sum, Pattern::NoZeroInteger), 6);
    return line;
}

void StatisticsListing::Sums::add(const Sums &other)
{
    total += other.total;
    for (int i = 0; i < 6; ++i)
        classes[i] += other.classes[i];
}

StatisticsListing::StatisticsListing(const StatisticsChoice &choice)
    : m_from(calendarDate(choice.from))
    , m_to(calendarDate(choice.to))
    , m_volunteer(choice.volunteer)
    , m_everyone(choice.volunteer == u"TUTTI"_s)
    , m_allClasses(choice.riskClass == u"TUTTI"_s)
{
    static_assert(riskClasses.size() == std::size(Sums{}.classes));
    QString header = QString(56, u' ') + u"TOTALE"_s + QString(7, u' ') + riskClasses[0].label.toString();
    for (size_t i = 1; i < riskClasses.size(); ++i)
        header += QString(10, u' ') + riskClasses[i].label.toString();
    m_lines = {u"    STATISTICA DAL "_s + choice.from + u" AL "_s + choice.to + u" PER RISCHIO "_s + choice.riskClass,
               u" "_s, header};
    if (const RiskClass *chosen = riskClassOfLabel(choice.riskClass))
        m_chosenClass = int(chosen - riskClasses.data());
}

void StatisticsListing::closeVolunteer()
{
    if (m_current.total > 0) {
        m_lines << statisticsLine(m_currentName, m_current.total, m_current.classes);
        m_grand.add(m_current);
    }
    m_current = Sums{};
}

void StatisticsListing::add(const DetailRow &row)
{
    if (m_name.isNull() || row.surname != m_surname || row.name != m_firstName) {
        m_surname = row.surname;
        m_firstName = row.name;
        m_name = withoutTrailingBlanks(VolunteerText::of(m_surname, m_firstName));
    }
    if (m_currentName.isEmpty())
        m_currentName = m_name;
    // The store lists names with letter case folded, so a volunteer written in two
    // cases stays one volunteer.
    if (m_name != m_currentName && !VolunteerText::same(m_name, m_currentName)) {
        closeVolunteer();
        m_currentName = m_name;
    }
    // A start date that is no date counts in no period.
    auto known = m_dates.constFind(row.start);
    if (known == m_dates.cend())
        known = m_dates.insert(row.start, calendarDate(row.start));
    const QDate start = *known;
    if (!start.isValid() || !m_from.isValid() || !m_to.isValid() || start < m_from || start > m_to)
        return;
    if (!m_everyone && m_name != m_volunteer)
        return;
    for (int i = 0; i < 6; ++i) {
        if (!m_allClasses && i != m_chosenClass)
            continue;
        const double hours = row.risk.at(size_t(i));
        if (hours > 0) {
            m_current.total += hours;
            m_current.classes[i] += hours;
        }
    }
}

QStringList StatisticsListing::finish()
{
    closeVolunteer();
    m_lines << u"   "_s << statisticsLine(u"TOTALE GENERALE"_s, m_grand.total, m_grand.classes);
    return std::move(m_lines);
}

QStringList statisticsListing(const StatisticsChoice &choice, const QList<DetailRow> &rows)
{
    StatisticsListing listing(choice);
    for (const DetailRow &row : rows)
        listing.add(row);
    return listing.finish();
}

QStringList buildStatistics(const StatisticsChoice &choice, Store::Result *refusal)
{
    StatisticsListing listing(choice);
    const Store::Result read =
        Reports::detailHours(*Windows::mainWindow()->Data4, calendarDate(choice.from), calendarDate(choice.to),
                             [&](const DetailRow &row) { listing.add(row); });
    // Sums of part of the archive would pass for the whole.
    if (!read.ok()) {
        if (refusal)
            *refusal = read;
        return {};
    }
    return listing.finish();
}
