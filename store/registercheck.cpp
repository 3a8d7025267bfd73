#include "store/registercheck.h"

#include "common/riskclasses.h"
#include "common/textformat.h"
#include "common/volunteertext.h"
#include "database/datasource.h"
#include "store/schema.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

using namespace Qt::StringLiterals;

namespace RegisterCheck {
namespace {

using Hours = std::array<double, riskClasses.size() + 1>; // OREUOMO, then the risk classes

struct ActivityRow {
    QString start;
    QString end;
    QString description;
    QString place;
    QString province;
    Hours hours{};
    Hours sums{};
    int rows = 0;
    int differing = 0;
};

const QString unread = u"l'archivio non si è potuto leggere"_s;

QString text(const QSqlQuery &query, int column)
{
    const QVariant value = query.value(column);
    return value.isNull() ? QString() : value.toString();
}

// Every row of `sql`, read forward only: a register may hold hundreds of thousands.
Store::Result walk(const QSqlDatabase &db, const QString &sql, const std::function<void(const QSqlQuery &)> &visit)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(sql))
        return Store::failed(db, query.lastError(), unread);
    while (query.next())
        visit(query);
    return query.lastError().isValid() ? Store::failed(db, query.lastError(), unread) : Store::Result{};
}

// OREUOMO, then the hours of each risk class: the order of Hours.
QStringList hourFields()
{
    QStringList fields{u"OREUOMO"_s};
    for (const RiskClass &riskClass : riskClasses)
        fields << riskClass.hourField.toString();
    return fields;
}

bool same(double a, double b)
{
    return std::fabs(a - b) < 0.005;
}

// Levenshtein's distance, given up once past `limit`.
int distance(const QString &a, const QString &b, int limit)
{
    if (std::abs(a.size() - b.size()) > limit)
        return limit + 1;
    std::vector<int> previous(size_t(b.size()) + 1), current(previous.size());
    for (size_t j = 0; j < previous.size(); ++j)
        previous[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        current[0] = int(i);
        int best = current[0];
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int substitution = previous[size_t(j - 1)] + (a[i - 1] == b[j - 1] ? 0 : 1);
            current[size_t(j)] = std::min({previous[size_t(j)] + 1, current[size_t(j - 1)] + 1, substitution});
            best = std::min(best, current[size_t(j)]);
        }
        if (best > limit)
            return limit + 1;
        std::swap(previous, current);
    }
    return previous.back();
}

// The volunteers' texts nearest to `key`: a misspelt name is most often one or two letters off.
QStringList closest(const QString &key, const QList<std::pair<QString, QString>> &volunteers)
{
    const int limit = std::max<int>(2, int(key.size()) / 5);
    int best = limit + 1;
    QStringList found;
    for (const auto &[volunteerKey, shown] : volunteers) {
        const int d = distance(key, volunteerKey, std::min(best, limit));
        if (d < best) {
            best = d;
            found = {shown};
        } else if (d == best && d <= limit && found.size() < 3) {
            found << shown;
        }
    }
    return best <= limit ? found : QStringList();
}

// The activities with the sums of their rows' hours, and the rows that differ from them or have
// none, read through `db`; with `names`, how many rows name each volunteer's text. One walk of the
// detail rows: a register may hold hundreds of thousands.
Store::Result readActivities(const QSqlDatabase &db, std::map<QString, ActivityRow> *activities,
                             QList<Finding> *findings, QHash<QString, int> *names = nullptr)
{
    // Rows come by activity: each description is folded once.
    QHash<QString, QString> folded;
    const auto keyOf = [&](const QString &description, const QString &start) {
        auto known = folded.constFind(description);
        if (known == folded.cend())
            known = folded.insert(description, VolunteerText::key(description));
        return *known + QChar(0) + start;
    };
    const Store::Result activitiesRead =
        walk(db,
             u"select DATAINATT, DATAFIATT, DESCRATT, LOCATT, PROVATT, "_s + hourFields().join(u", "_s) +
                 u" from ATTIVITA"_s,
             [&](const QSqlQuery &row) {
                 ActivityRow activity{text(row, 0), text(row, 1), text(row, 2), text(row, 3), text(row, 4)};
                 for (size_t i = 0; i < activity.hours.size(); ++i)
                     activity.hours[i] = row.value(int(5 + i)).toDouble();
                 activities->emplace(keyOf(activity.description, activity.start), activity);
             });
    if (!activitiesRead.ok())
        return activitiesRead;
    return walk(
        db,
        u"select DATAINATT, DATAFIATT, DESCRATT, LOCATT, PROVATT, COGN, NOME, "_s + hourFields().join(u", "_s) +
            u" from ATTIVDETT"_s,
        [&](const QSqlQuery &row) {
            const QString start = text(row, 0), description = text(row, 2);
            const QString volunteer = TextFormat::withoutTrailingBlanks(VolunteerText::of(text(row, 5), text(row, 6)));
            if (names)
                ++(*names)[volunteer];
            const auto found = activities->find(keyOf(description, start));
            if (found == activities->end()) {
                if (findings)
                    findings->append(
                        {Kind::DetailWithoutActivity, start + u"  "_s + description + u"  "_s + volunteer});
                return;
            }
            ActivityRow &activity = found->second;
            ++activity.rows;
            for (size_t i = 0; i < activity.sums.size(); ++i)
                activity.sums[i] += row.value(int(7 + i)).toDouble();
            QStringList differences;
            const auto compare = [&](const QString &what, const QString &rowValue, const QString &activityValue) {
                if (rowValue != activityValue)
                    differences << what + u" \""_s + rowValue + u"\" invece di \""_s + activityValue + u'"';
            };
            compare(u"fine"_s, text(row, 1), activity.end);
            compare(u"luogo"_s, text(row, 3), activity.place);
            compare(u"provincia"_s, text(row, 4), activity.province);
            if (differences.isEmpty())
                return;
            ++activity.differing;
            if (findings) {
                findings->append({Kind::DetailDiffers, start + u"  "_s + description + u"  "_s + volunteer + u": "_s +
                                                           differences.join(u", "_s)});
            }
        });
}

bool totalsDiffer(const ActivityRow &activity)
{
    if (activity.rows == 0)
        return false; // hours typed for an activity without volunteers are all the register knows of them
    for (size_t i = 0; i < activity.hours.size(); ++i) {
        if (!same(activity.hours[i], activity.sums[i]))
            return true;
    }
    return false;
}

// What the activity holds, no value for none, as it is copied into its rows.
QVariant orNull(const QString &value)
{
    return value.isEmpty() ? QVariant() : QVariant(value);
}

QString hoursText(double hours)
{
    return TextFormat::numberText(std::optional<double>(std::round(hours * 100) / 100));
}

} // namespace

int Report::count(Kind kind) const
{
    return int(std::count_if(findings.cbegin(), findings.cend(), [kind](const Finding &f) { return f.kind == kind; }));
}

bool Report::mendable() const
{
    return count(Kind::DetailDiffers) > 0 || count(Kind::TotalsDiffer) > 0;
}

QString title(Kind kind)
{
    switch (kind) {
    case Kind::DetailDiffers:
        return u"Righe di dettaglio con fine, luogo o provincia diversi dalla loro attività"_s;
    case Kind::DetailWithoutActivity:
        return u"Righe di dettaglio senza attività"_s;
    case Kind::UnknownVolunteer:
        return u"Nomi nelle righe di dettaglio che non sono nell'archivio dei volontari"_s;
    case Kind::TotalsDiffer:
        return u"Attività con ore diverse dalla somma delle loro righe"_s;
    case Kind::SharedTaxCode:
        return u"Volontari con lo stesso codice fiscale"_s;
    case Kind::WrongCheckCharacter:
        return u"Codici fiscali con il carattere di controllo errato"_s;
    case Kind::VisitWithoutVolunteer:
        return u"Visite mediche di nessun volontario"_s;
    }
    return QString();
}

QStringList lines(const Report &report)
{
    QStringList out;
    for (int k = 0; k < kinds; ++k) {
        const Kind kind = Kind(k);
        out << title(kind) + u": "_s + QString::number(report.count(kind));
        for (const Finding &finding : report.findings) {
            if (finding.kind == kind)
                out << u"    "_s + finding.text;
        }
        out << QString();
    }
    return out;
}

QByteArray csv(const Report &report)
{
    QStringList out{u"Tipo;Riga"_s};
    for (const Finding &finding : report.findings)
        out << TextFormat::csvField(title(finding.kind)) + u';' + TextFormat::csvField(finding.text);
    return QByteArray("\xEF\xBB\xBF") + out.join(u"\r\n"_s).toUtf8() + "\r\n";
}

Report check(DataSource &source, const CheckCharacter &wrongCheckCharacter)
{
    const QSqlDatabase db = source.database();
    Report report;
    QList<Finding> found;
    std::map<QString, ActivityRow> activities;
    const auto refused = [&](const Store::Result &result) {
        report.refusal = result;
        return !result.ok();
    };
    QHash<QString, int> names;
    if (refused(readActivities(db, &activities, &found, &names)))
        return report;
    for (const auto &[key, activity] : activities) {
        if (!totalsDiffer(activity))
            continue;
        QStringList differences;
        for (size_t i = 0; i < activity.hours.size(); ++i) {
            if (!same(activity.hours[i], activity.sums[i]))
                differences << (i == 0 ? u"ORE/U"_s : riskClasses[i - 1].label.toString()) + u' ' +
                                   hoursText(activity.hours[i]) + u" invece di "_s + hoursText(activity.sums[i]);
        }
        found.append({Kind::TotalsDiffer,
                      activity.start + u"  "_s + activity.description + u": "_s + differences.join(u", "_s)});
    }

    // The volunteers by their texts and by their names; their tax codes.
    QHash<QString, QString> volunteerTexts; // key → text
    QHash<QString, QString> volunteerNames; // surname and name folded → text
    QList<std::pair<QString, QString>> volunteerList;
    QHash<QString, QStringList> byTaxCode;
    if (refused(walk(db, u"select COGN, NOME, CODFISC from VOLO order by COGN, NOME"_s, [&](const QSqlQuery &row) {
            const QString shown = TextFormat::withoutTrailingBlanks(VolunteerText::of(text(row, 0), text(row, 1)));
            const QString key = VolunteerText::textKey(text(row, 0), text(row, 1));
            volunteerTexts.insert(key, shown);
            volunteerNames.insert(VolunteerText::namesKey(text(row, 0), text(row, 1)), shown);
            volunteerList.append({key, shown});
            const QString code = text(row, 2).trimmed().toUpper();
            if (code.isEmpty())
                return;
            byTaxCode[code] << shown;
            if (const std::optional<QChar> should = wrongCheckCharacter(code)) {
                found.append({Kind::WrongCheckCharacter,
                              shown + u": "_s + code + u", il carattere di controllo dovrebbe essere "_s + *should});
            }
        })))
        return report;
    for (auto it = byTaxCode.cbegin(); it != byTaxCode.cend(); ++it) {
        if (it->size() > 1)
            found.append({Kind::SharedTaxCode, it.key() + u": "_s + it->join(u", "_s)});
    }

    // Each name of the detail rows no volunteer has, once, with how many rows name it.
    std::map<QString, std::pair<QString, int>> unknown;
    for (auto it = names.cbegin(); it != names.cend(); ++it) {
        const QString key = VolunteerText::key(it.key());
        if (!volunteerTexts.contains(key)) {
            auto &[shown, rows] = unknown[key];
            shown = it.key();
            rows += *it;
        }
    }
    for (const auto &[key, name] : unknown) {
        QString line =
            name.first + u" ("_s + QString::number(name.second) + (name.second == 1 ? u" riga)"_s : u" righe)"_s);
        if (const QStringList near = closest(key, volunteerList); !near.isEmpty())
            line += u", forse: "_s + near.join(u", "_s);
        found.append({Kind::UnknownVolunteer, line});
    }

    // Visits are read where the role may read them: a server role without them has none to check.
    const Store::Result visitsRead =
        walk(db, u"select COGN, NOME, DATAVISITA, TIPO from "_s + Schema::visite, [&](const QSqlQuery &row) {
            if (!volunteerNames.contains(VolunteerText::namesKey(text(row, 0), text(row, 1))))
                found.append({Kind::VisitWithoutVolunteer,
                              TextFormat::withoutTrailingBlanks(VolunteerText::of(text(row, 0), text(row, 1))) +
                                  u"  "_s + text(row, 2) + u"  "_s + text(row, 3)});
        });
    if (!visitsRead.ok() && visitsRead.number != Store::readOnlyUser && refused(visitsRead))
        return report;

    std::stable_sort(found.begin(), found.end(), [](const Finding &a, const Finding &b) { return a.kind < b.kind; });
    report.findings = found;
    return report;
}

Store::Result mend(DataSource &source, const QString &copy, bool *copied, Mended *mended)
{
    *copied = false;
    *mended = {};
    // The same tables emptying takes: no press may add rows between what is read here and the writes.
    return Store::backupRegister(copy, u"LOCK TABLE attivita, attivdett IN EXCLUSIVE MODE"_s, [&]() -> Store::Result {
        *copied = true;
        std::map<QString, ActivityRow> activities;
        if (Store::Result reread = readActivities(source.database(), &activities, nullptr); !reread.ok())
            return reread;
        const QString assignments = hourFields().join(u" = ?, "_s) + u" = ?"_s;
        for (const auto &[key, activity] : activities) {
            if (activity.differing > 0) {
                if (Store::Result written = source.execute(
                        u"update ATTIVDETT set DATAFIATT = ?, LOCATT = ?, PROVATT = ? where DESCRATT = ? and DATAINATT = ?"_s,
                        {orNull(activity.end), orNull(activity.place), orNull(activity.province), activity.description,
                         activity.start});
                    !written.ok())
                    return written;
                mended->details += activity.differing;
            }
            if (totalsDiffer(activity)) {
                QVariantList values;
                for (const double sum : activity.sums)
                    values << std::round(sum * 1e6) / 1e6;
                values << activity.description << activity.start;
                if (Store::Result written = source.execute(
                        u"update ATTIVITA set "_s + assignments + u" where DESCRATT = ? and DATAINATT = ?"_s, values);
                    !written.ok())
                    return written;
                ++mended->activities;
            }
        }
        return Store::Result{};
    });
}

} // namespace RegisterCheck
