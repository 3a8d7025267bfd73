#include "store/surveillance.h"

#include "common/datecheck.h"
#include "common/riskclasses.h"
#include "common/volunteertext.h"
#include "common/textformat.h"
#include "database/datasource.h"
#include "database/serverconnection.h"
#include "store/reportrows.h"
#include "store/schema.h"
#include "store/volunteers.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <cmath>
#include <functional>

using TextFormat::withoutTrailingBlanks;

using namespace Qt::StringLiterals;

namespace Surveillance {
namespace {

// The detail rows name a volunteer by one text; VOLO and VISITE by surname and name.
using VolunteerText::namesKey;
using VolunteerText::textKey;

// Sums of hours given in hundredths and spread over days would otherwise miss a threshold
// they reach by a rounding error.
double tidy(double hours)
{
    return std::round(hours * 1e6) / 1e6;
}

bool sameWord(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Oldest first; a visit without a real date before the others.
void sortByDate(QList<Visit> &visits)
{
    std::stable_sort(visits.begin(), visits.end(), [](const Visit &a, const Visit &b) {
        const QDate first = calendarDate(a.date);
        const QDate second = calendarDate(b.date);
        return first != second ? first < second : a.type < b.type;
    });
}

bool validSurveillance(const QList<Visit> &visits, const Thresholds &thresholds, const QDate &today)
{
    return std::any_of(visits.cbegin(), visits.cend(), [&](const Visit &visit) {
        const QDate due = dueDate(visit, thresholds);
        return sameWord(visit.type, surveillanceVisit) && due.isValid() && due >= today;
    });
}
} // namespace

HoursCount::HoursCount(const QDate &from, const QDate &to)
    : m_from(from)
    , m_to(to)
{
}

QDate HoursCount::date(const QString &text)
{
    // A few thousand activities share their dates among hundreds of thousands of rows.
    auto known = m_dates.constFind(text);
    if (known == m_dates.cend())
        known = m_dates.insert(text, calendarDate(text));
    return *known;
}

HoursCount::Counted &HoursCount::counted(const QString &surname, const QString &name)
{
    // The rows the program writes hold the whole text in the surname: no text is made for them.
    const QString read = name.isEmpty() ? surname : surname + QChar(0x1f) + name;
    if (const auto found = m_byText.constFind(read); found != m_byText.cend())
        return m_counted[size_t(*found)];
    const QString text = withoutTrailingBlanks(VolunteerText::of(surname, name));
    const QString key = VolunteerText::key(text);
    qsizetype place = m_byKey.value(key, -1);
    if (place < 0) {
        place = qsizetype(m_counted.size());
        m_counted.push_back({});
        m_counted.back().hours.text = text;
        m_byKey.insert(key, place);
    }
    m_byText.insert(read, place);
    return m_counted[size_t(place)];
}

void HoursCount::add(const QString &surname, const QString &name, const QString &start, const QString &end,
                     const RiskHours &hours)
{
    // A start that is no date counts in no period, as in the statistics.
    const QDate first = date(start);
    if (!first.isValid() || !m_from.isValid() || !m_to.isValid() || first < m_from || first > m_to)
        return;
    Counted &volunteer = counted(surname, name);
    const qint64 firstDay = first.toJulianDay();
    const qint64 monday = firstDay - (first.dayOfWeek() - 1);
    const QDate last = end.isEmpty() ? QDate() : date(end);
    const qint64 lastDay = last.isValid() ? last.toJulianDay() : firstDay;
    const bool spread = lastDay > monday + 6;
    ClassHours *startWeek = nullptr;
    for (size_t i = 0; i < riskClasses.size(); ++i) {
        const double classHours = hours.at(i);
        if (!(classHours > 0))
            continue;
        volunteer.hours.total[i] += classHours;
        // Months follow the period, which counts an activity by its start.
        volunteer.hours.months[QDate(first.year(), first.month(), 1)][i] += classHours;
        if (!spread) {
            if (!startWeek)
                startWeek = &volunteer.weeks[monday];
            (*startWeek)[i] += classHours;
            continue;
        }
        // Each day takes its share; a week, the shares of its days.
        const double days = double(lastDay - firstDay + 1);
        for (qint64 week = monday; week <= lastDay; week += 7) {
            const qint64 daysIn = std::min(lastDay, week + 6) - std::max(firstDay, week) + 1;
            volunteer.weeks[week][i] += classHours * double(daysIn) / days;
        }
    }
}

QHash<QString, VolunteerHours> HoursCount::finish()
{
    QHash<QString, VolunteerHours> found;
    for (auto it = m_byKey.cbegin(); it != m_byKey.cend(); ++it) {
        Counted &volunteer = m_counted[size_t(it.value())];
        for (size_t i = 0; i < riskClasses.size(); ++i) {
            volunteer.hours.total[i] = tidy(volunteer.hours.total[i]);
            for (ClassHours &month : volunteer.hours.months)
                month[i] = tidy(month[i]);
            for (const ClassHours &week : std::as_const(volunteer.weeks))
                volunteer.hours.highestWeek[i] = std::max(volunteer.hours.highestWeek[i], tidy(week[i]));
        }
        found.insert(it.key(), volunteer.hours);
    }
    return found;
}

QDate dueDate(const Visit &visit, const Thresholds &thresholds)
{
    if (!visit.due.isEmpty())
        return calendarDate(visit.due);
    const QDate date = calendarDate(visit.date);
    if (!date.isValid())
        return {};
    if (sameWord(visit.type, basicCheck) && thresholds.checkYears)
        return date.addYears(int(std::lround(*thresholds.checkYears)));
    if (sameWord(visit.type, surveillanceVisit) && thresholds.visitMonths)
        return date.addMonths(int(std::lround(*thresholds.visitMonths)));
    return {};
}

QString overThreshold(const VolunteerHours &hours, const Thresholds &thresholds)
{
    QStringList over;
    for (size_t i = 0; i < thresholds.classes.size(); ++i) {
        const Threshold &limit = thresholds.classes[i];
        const double total = hours.total[i + 1];
        const double week = hours.highestWeek[i + 1];
        // A week without hours reaches no threshold, not even one of 0.
        if ((limit.yearly && total > *limit.yearly) || (limit.weekly && week > 0 && week >= *limit.weekly))
            over << riskClasses[i + 1].label.toString();
    }
    return over.join(u' ');
}

Standing standing(const QList<Visit> &visits, const Thresholds &thresholds, const QDate &today)
{
    Standing found;
    if (visits.isEmpty())
        return found;
    QList<Visit> sorted = visits;
    sortByDate(sorted);
    found.last = sorted.constLast();
    for (const Visit &visit : std::as_const(sorted)) {
        const QDate due = dueDate(visit, thresholds);
        if (due.isValid() && (!found.latestDue.isValid() || due > found.latestDue))
            found.latestDue = due;
    }
    if (sameWord(found.last->outcome, unfit)) {
        found.warning = Standing::Warning::Unfit;
        found.since = calendarDate(found.last->date);
    } else if (found.latestDue.isValid() && found.latestDue < today) {
        found.warning = Standing::Warning::Expired;
        found.since = found.latestDue;
    }
    return found;
}

QList<Row> evaluate(const QList<Volunteer> &volunteers, const QHash<QString, VolunteerHours> &hours,
                    const QList<Visit> &visits, const Thresholds &thresholds, const QDate &today)
{
    QHash<QString, QList<Visit>> byVolunteer;
    for (const Visit &visit : visits)
        byVolunteer[namesKey(visit.surname, visit.name)] << visit;
    QSet<QString> hoursTaken;
    QSet<QString> visitsTaken;
    QList<Row> rows;
    const auto add = [&](const QString &surname, const QString &name, const QString &taxCode,
                         const VolunteerHours &worked, const QList<Visit> &checks) {
        double riskHours = 0;
        for (size_t i = 1; i < worked.total.size(); ++i)
            riskHours += worked.total[i];
        if (!(riskHours > 0) && checks.isEmpty())
            return;
        Row row;
        row.surname = surname;
        row.name = name;
        row.taxCode = taxCode;
        row.hours = worked.total;
        row.months = worked.months;
        row.r7HighestWeek = worked.highestWeek[2];
        row.overThreshold = overThreshold(worked, thresholds);
        const Standing state = standing(checks, thresholds, today);
        if (state.last) {
            row.lastVisitDate = state.last->date;
            row.lastVisitType = state.last->type;
            row.lastVisitOutcome = state.last->outcome;
        }
        row.latestDue = state.latestDue;
        if (state.warning == Standing::Warning::Unfit)
            row.status = unfitStatus;
        else if (state.warning == Standing::Warning::Expired)
            row.status = expiredStatus;
        else if (!row.overThreshold.isEmpty() && !validSurveillance(checks, thresholds, today))
            row.status = dueStatus;
        else
            row.status = inOrderStatus;
        rows << row;
    };
    for (const Volunteer &volunteer : volunteers) {
        const QString byText = textKey(volunteer.surname, volunteer.name);
        const QString byNames = namesKey(volunteer.surname, volunteer.name);
        hoursTaken.insert(byText);
        visitsTaken.insert(byNames);
        add(volunteer.surname, volunteer.name, volunteer.taxCode, hours.value(byText), byVolunteer.value(byNames));
    }
    // Hours of a text no volunteer has, and visits of names no longer in VOLO, are still exposure
    // and health data: they are listed, not dropped.
    for (auto it = hours.cbegin(); it != hours.cend(); ++it) {
        if (!hoursTaken.contains(it.key()))
            add(it->text, QString(), QString(), *it, {});
    }
    for (auto it = byVolunteer.cbegin(); it != byVolunteer.cend(); ++it) {
        if (!visitsTaken.contains(it.key()))
            add(it->constFirst().surname, it->constFirst().name, QString(), {}, *it);
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
        return textKey(a.surname, a.name) < textKey(b.surname, b.name);
    });
    return rows;
}

namespace {
QString hoursText(double hours)
{
    QString text = QString::number(std::round(hours * 100) / 100, 'f', 2);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    if (text == u"-0"_s)
        text = u"0"_s;
    return text.replace(u'.', u',');
}

} // namespace

QStringList heading()
{
    QStringList names{u"Cognome"_s, u"Nome"_s, u"Codice fiscale"_s};
    for (const RiskClass &riskClass : riskClasses)
        names << riskClass.label.toString();
    return names + QStringList{u"R7 settimana massima"_s,
                               u"Classi oltre soglia"_s,
                               u"Ultima visita"_s,
                               u"Tipo"_s,
                               u"Esito"_s,
                               u"Scadenza"_s,
                               u"Stato"_s};
}

QStringList fields(const Row &row)
{
    QStringList fields{row.surname, row.name, row.taxCode};
    for (const double hours : row.hours)
        fields << hoursText(hours);
    fields << hoursText(row.r7HighestWeek) << row.overThreshold << row.lastVisitDate << row.lastVisitType
           << row.lastVisitOutcome << row.latestDue.toString(u"dd/MM/yyyy"_s) << row.status;
    return fields;
}

QByteArray csv(const QList<Row> &rows)
{
    QStringList lines{heading().join(u';')};
    for (const Row &row : rows) {
        QStringList line = fields(row);
        for (QString &field : line)
            field = TextFormat::csvField(field);
        lines << line.join(u';');
    }
    return QByteArray("\xEF\xBB\xBF") + lines.join(u"\r\n"_s).toUtf8() + "\r\n";
}

namespace {
// A refused read of VISITE on a server whose role may not see health data hides the visits
// rather than the whole evaluation.
bool hiddenFrom(const DataSource &source)
{
    return Server::isServer(source.database()) && source.lastError().number == Store::readOnlyUser;
}

QList<Visit> readVisits(DataSource &source, const QString &where, const QVariantList &values, Store::Result *refusal,
                        bool *hidden)
{
    source.setRecordSource(u"select * from "_s + Schema::visite + where, values);
    source.refresh();
    QList<Visit> visits;
    for (; !source.eof(); source.moveNext())
        visits << Records::visit(source);
    if (hidden)
        *hidden = hiddenFrom(source);
    if (source.failed() && !hiddenFrom(source)) {
        *refusal = source.lastError();
        return {};
    }
    if (source.failed())
        return {};
    sortByDate(visits);
    return visits;
}

std::optional<QString> problemWith(const Visit &visit)
{
    if (visit.surname.trimmed().isEmpty())
        return u"la visita non ha il cognome del volontario"_s;
    if (!isCalendarDate(visit.date))
        return u"la data della visita %1 non è valida"_s.arg(visit.date);
    if (!sameWord(visit.type, basicCheck) && !sameWord(visit.type, surveillanceVisit))
        return u"il tipo di visita %1 non è previsto"_s.arg(visit.type);
    if (!visit.outcome.isEmpty() && !sameWord(visit.outcome, fit) && !sameWord(visit.outcome, fitWithLimits) &&
        !sameWord(visit.outcome, unfit))
        return u"l'esito %1 non è previsto"_s.arg(visit.outcome);
    if (!visit.due.isEmpty() && !isCalendarDate(visit.due))
        return u"la scadenza %1 non è valida"_s.arg(visit.due);
    return std::nullopt;
}

// The type and outcome as the program writes them, whatever their letter case; an empty name
// as empty text, so that the key tells two such visits apart from none.
Visit written(Visit visit)
{
    for (const QString &type : {basicCheck, surveillanceVisit}) {
        if (sameWord(visit.type, type))
            visit.type = type;
    }
    for (const QString &outcome : {fit, fitWithLimits, unfit}) {
        if (sameWord(visit.outcome, outcome))
            visit.outcome = outcome;
    }
    if (visit.name.isNull())
        visit.name = u""_s;
    return visit;
}

// Stands the source on the visit of `visit`'s key; false when it is not there.
bool pointAt(DataSource &source, const Visit &visit)
{
    QVariantList values;
    const QString whose = Volunteers::matching(visit.surname, visit.name, &values);
    values << visit.date << visit.type;
    source.setRecordSource(
        u"select * from "_s + Schema::visite + u" where "_s + whose + u" and DATAVISITA = ? and TIPO = ?"_s, values);
    source.refresh();
    return !source.eof();
}

bool sameVisit(const Visit &a, const Visit &b)
{
    return a.surname == b.surname && a.name == b.name && a.date == b.date && a.type == b.type &&
           a.outcome == b.outcome && a.due == b.due && a.note == b.note;
}

// Inside the write's transaction: the visit's volunteer is there, and on a server held from
// deletion or renaming until the write ends.
Store::Result volunteerHeld(DataSource &source, const QString &surname, const QString &name)
{
    QVariantList values;
    const QString whose = Volunteers::matching(surname, name, &values);
    QSqlQuery query(source.database());
    query.prepare(u"select 1 from "_s + Schema::volo + u" where "_s + whose +
                  (Server::isServer(source.database()) ? u" for share"_s : QString()));
    for (const QVariant &value : std::as_const(values))
        query.addBindValue(value);
    if (!query.exec())
        return Store::classify(query.lastError());
    if (!query.next())
        return Store::failure(u"il volontario %1 non c'è più: un altro utente l'ha cambiato o tolto"_s.arg(
            VolunteerText::of(surname, name)));
    return {};
}

// Rewrites or removes the visit `old` as it was read: found again by its key and compared whole.
Store::Result onVisit(DataSource &source, const Visit &old, const std::function<Store::Result()> &write)
{
    const Store::Result result = Store::inTransaction(source.database(), [&]() -> Store::Result {
        const bool found = pointAt(source, old);
        if (source.failed())
            return source.lastError();
        if (!found || !sameVisit(written(Records::visit(source)), written(old)))
            return Store::changedMeanwhile();
        return write();
    });
    source.refresh();
    return result;
}
} // namespace

Thresholds readThresholds(DataSource &source, Store::Result *refusal)
{
    Thresholds thresholds;
    source.setRecordSource(u"select * from "_s + Schema::soglie);
    source.refresh();
    for (; !source.eof(); source.moveNext()) {
        const Threshold row = Records::threshold(source);
        if (sameWord(row.riskClass.trimmed(), intervalsRow)) {
            thresholds.checkYears = row.yearly;
            thresholds.visitMonths = row.weekly;
        } else if (const RiskClass *riskClass = riskClassOfCode(row.riskClass.trimmed())) {
            const size_t index = size_t(riskClass - riskClasses.data());
            if (index > 0)
                thresholds.classes[index - 1] = row;
        }
    }
    if (source.failed())
        *refusal = source.lastError();
    return thresholds;
}

namespace {
// SOGLIE's rows as the thresholds give them: R6 ... R10, then the intervals.
std::vector<Threshold> thresholdRows(const Thresholds &thresholds)
{
    std::vector<Threshold> rows;
    for (size_t i = 0; i < thresholds.classes.size(); ++i) {
        Threshold row = thresholds.classes[i];
        row.riskClass = riskClasses[i + 1].code.toString();
        rows.push_back(row);
    }
    rows.push_back({intervalsRow, thresholds.checkYears, thresholds.visitMonths});
    return rows;
}
} // namespace

Store::Result writeThresholds(DataSource &source, const Thresholds &thresholds, const Thresholds *shown)
{
    const std::vector<Threshold> rows = thresholdRows(thresholds);
    const std::vector<Threshold> read = shown ? thresholdRows(*shown) : std::vector<Threshold>{};
    const Store::Result result = Store::inTransaction(source.database(), [&]() -> Store::Result {
        for (size_t i = 0; i < rows.size(); ++i) {
            const Threshold &row = rows[i];
            source.setRecordSource(u"select * from "_s + Schema::soglie + u" where CLASSE = ?"_s, {row.riskClass});
            source.refresh();
            if (source.failed())
                return source.lastError();
            // Its update below writes only while the row still holds what is read here.
            if (shown) {
                const Threshold now = source.eof() ? Threshold{} : Records::threshold(source);
                if (now.yearly != read[i].yearly || now.weekly != read[i].weekly)
                    return Store::changedMeanwhile();
            }
            // A row deleted by hand is written again.
            if (source.eof())
                source.addNew();
            else
                source.edit();
            Records::write(source, row, Records::NoValue::Null);
            if (Store::Result stored = source.update(); !stored.ok())
                return stored;
        }
        return {};
    });
    source.refresh();
    return result;
}

QList<Visit> visitsOf(DataSource &source, const QString &surname, const QString &name, Store::Result *refusal,
                      bool *hidden)
{
    QVariantList values;
    const QString whose = Volunteers::matching(surname, name, &values);
    return readVisits(source, u" where "_s + whose, values, refusal, hidden);
}

Store::Result addVisit(DataSource &source, const Visit &visit)
{
    if (const auto problem = problemWith(visit))
        return Store::failure(*problem);
    const Visit row = written(visit);
    QStringList names;
    QVariantList values;
    for (const Records::Field<Visit> &field : Records::visitFields()) {
        names << field.name;
        values << field.get(row);
    }
    return Store::inTransaction(source.database(), [&]() -> Store::Result {
        if (Store::Result held = volunteerHeld(source, row.surname, row.name); !held.ok())
            return held;
        return source.execute(u"insert into "_s + Schema::visite + u" ("_s + names.join(u", "_s) + u") values ("_s +
                                  QStringList(names.size(), u"?"_s).join(u", "_s) + u')',
                              values);
    });
}

Store::Result changeVisit(DataSource &source, const Visit &old, const Visit &changed)
{
    if (const auto problem = problemWith(changed))
        return Store::failure(*problem);
    return onVisit(source, old, [&]() -> Store::Result {
        const Visit row = written(changed);
        const bool otherVolunteer =
            !VolunteerText::same(row.surname, old.surname) || !VolunteerText::same(row.name, old.name);
        if (otherVolunteer) {
            if (Store::Result held = volunteerHeld(source, row.surname, row.name); !held.ok())
                return held;
        }
        source.edit();
        Records::write(source, row, Records::NoValue::Null);
        return source.update();
    });
}

Store::Result removeVisit(DataSource &source, const Visit &visit)
{
    return onVisit(source, visit, [&]() { return source.remove(); });
}

Standing standingOf(DataSource &source, const QString &surname, const QString &name, const QDate &today,
                    Store::Result *refusal, bool *hidden)
{
    const Thresholds thresholds = readThresholds(source, refusal);
    if (!refusal->ok())
        return {};
    const QList<Visit> visits = visitsOf(source, surname, name, refusal, hidden);
    return refusal->ok() ? standing(visits, thresholds, today) : Standing{};
}

QHash<QString, Standing> standingsOf(DataSource &source, const QStringList &texts, const QDate &today,
                                     Store::Result *refusal, bool *hidden)
{
    if (hidden)
        *hidden = false;
    if (texts.isEmpty())
        return {};
    QHash<QString, QList<Visit>> byVolunteer;
    for (const Visit &visit : readVisits(source, QString(), {}, refusal, hidden))
        byVolunteer[textKey(visit.surname, visit.name)] << visit;
    if (!refusal->ok() || byVolunteer.isEmpty())
        return {};
    const Thresholds thresholds = readThresholds(source, refusal);
    if (!refusal->ok())
        return {};
    QHash<QString, Standing> found;
    for (const QString &text : texts) {
        const auto visits = byVolunteer.constFind(VolunteerText::key(withoutTrailingBlanks(text)));
        if (visits != byVolunteer.cend())
            found.insert(text, standing(*visits, thresholds, today));
    }
    return found;
}

Outcome evaluate(DataSource &register_, DataSource &details, const QDate &from, const QDate &to, const QDate &today)
{
    Outcome outcome;
    outcome.thresholds = readThresholds(register_, &outcome.refusal);
    const Thresholds &thresholds = outcome.thresholds;
    if (!outcome.refusal.ok())
        return outcome;
    QList<Volunteer> volunteers;
    register_.setRecordSource(u"select COGN, NOME, CODFISC from "_s + Schema::volo);
    register_.refresh();
    for (; !register_.eof(); register_.moveNext()) {
        Volunteer volunteer;
        volunteer.surname = register_.text(u"COGN"_s);
        volunteer.name = register_.text(u"NOME"_s);
        volunteer.taxCode = register_.text(u"CODFISC"_s);
        volunteers << volunteer;
    }
    if (register_.failed()) {
        outcome.refusal = register_.lastError();
        return outcome;
    }
    const QList<Visit> visits = readVisits(register_, QString(), {}, &outcome.refusal, &outcome.visitsHidden);
    if (!outcome.refusal.ok())
        return outcome;
    HoursCount count(from, to);
    outcome.refusal = Reports::detailSpans(details, from, to, [&](const DetailRow &row) {
        count.add(row.surname, row.name, row.start, row.end, row.risk);
    });
    if (!outcome.refusal.ok())
        return outcome;
    outcome.rows = Surveillance::evaluate(volunteers, count.finish(), visits, thresholds, today);
    return outcome;
}

} // namespace Surveillance
