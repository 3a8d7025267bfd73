#include "generator.h"

#include "names.h"

#include "app/startup.h"
#include "app/windows.h"
#include "common/textformat.h"
#include "store/database.h"
#include "store/schema.h"
#include "ui/messages.h"
#include "volunteers/taxcode.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

using namespace Qt::StringLiterals;

namespace Generator {
namespace {

// The standard library's distributions differ between implementations; the engine does
// not, so the draws are made here to give the same folder everywhere.
class Random {
public:
    explicit Random(quint64 seed)
        : m_engine(seed)
    {
    }
    int below(int n) { return static_cast<int>(m_engine() % static_cast<quint64>(n)); }
    int between(int low, int high) { return low + below(high - low + 1); }
    bool chance(int percent) { return below(100) < percent; }
    template <typename List> const auto &pick(const List &list) { return list[below(static_cast<int>(list.size()))]; }

private:
    std::mt19937_64 m_engine;
};

struct Municipality {
    QString name;
    QString province;
    QString code;
};

struct Person {
    QString surname;
    QString name;
    QString sex;
    QVariantList row; // the 20 fields of VOLO
};

struct Detail {
    int person;
    std::array<double, 6> hours{};
};

struct Activity {
    QDate start;
    QDate end;
    int kind;
    const Municipality *place;
    QString description;
    QString note1;
    QString note2;
    std::vector<Detail> details;
};

const QString connectionName = u"bench:generator"_s;

QString dateText(const QDate &date)
{
    return date.toString(u"dd/MM/yyyy"_s);
}

QString digits(Random &random, int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += QChar(u'0' + random.below(10));
    return text;
}

QString mailName(const QString &text)
{
    QString plain = TaxCode::lettersOf(text).toLower();
    return plain.isEmpty() ? u"volontario"_s : plain;
}

class Writer {
public:
    Writer(const Scale &scale, quint64 seed)
        : m_scale(scale)
        , m_random(seed)
    {
    }

    QString run(QSqlDatabase &db);
    QString writeImportFile(const QString &path);

private:
    QString readReferenceData();
    void makeOrganisations();
    void makePeople();
    void makeActivities();
    Person makePerson(const QString &surname, const QString &name, const QString &sex, int number);
    QString insertAll(QSqlDatabase &db);

    Scale m_scale;
    Random m_random;
    std::vector<Municipality> m_municipalities;
    QStringList m_specialisations;
    std::vector<QVariantList> m_organisations;
    std::vector<Person> m_people; // the register's volunteers first, then those only the import brings
    std::vector<Activity> m_activities;
};

QString Writer::readReferenceData()
{
    const QString name = connectionName + u":comuni"_s;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(Schema::municipalitiesFile);
        db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
        if (!db.open())
            return u"comuni.mdb: "_s + db.lastError().text();
        QSqlQuery query(db);
        // Italian municipalities only: foreign states carry codes starting with Z.
        query.exec(u"select comune, prov, codice from comuni where codice not like 'Z%' and prov <> '' "
                   u"order by rowid"_s);
        while (query.next())
            m_municipalities.push_back(
                {query.value(0).toString(), query.value(1).toString(), query.value(2).toString()});
    }
    QSqlDatabase::removeDatabase(name);
    if (m_municipalities.empty())
        return u"comuni.mdb has no municipalities"_s;
    QFile file(Schema::specialisationsFile);
    if (file.open(QIODevice::ReadOnly)) {
        for (const QString &line : QString::fromUtf8(file.readAll()).split(QRegularExpression(u"[\\n,]"_s))) {
            if (!line.trimmed().isEmpty())
                m_specialisations << line.trimmed();
        }
    }
    if (m_specialisations.isEmpty())
        m_specialisations << u"GENERICO"_s;
    return {};
}

void Writer::makeOrganisations()
{
    QSet<QString> used;
    for (int i = 0; i < m_scale.organisations; ++i) {
        const Municipality *town = nullptr;
        QString denomination;
        do {
            town = &m_random.pick(m_municipalities);
            denomination = m_random.pick(Names::organisationKinds()) + u' ' + town->name.toUpper();
        } while (used.contains(denomination.toCaseFolded()));
        used.insert(denomination.toCaseFolded());
        const QDate founded = QDate(1985, 1, 1).addDays(m_random.below(9000));
        m_organisations.push_back({
            u"A%1"_s.arg(i + 1, 3, 10, QChar(u'0')), // CODASS
            denomination,                            // DENOM
            m_random.pick(Names::streets()) + u' ' + QString::number(m_random.between(1, 120)),
            digits(m_random, 5),                                                    // CAP
            town->name, town->province,                                             // CITTA, PROV
            u"0"_s + digits(m_random, 9), u"0"_s + digits(m_random, 9),             // TEL, FAX
            u"info@"_s + mailName(town->name) + u"-pc.it"_s,                        // MAIL
            digits(m_random, 11),                                                   // CFISC
            m_random.pick(m_specialisations),                                       // SPEC
            dateText(founded), dateText(founded.addYears(m_random.between(1, 20))), // DATA1, DATAU
            0,                                                                      // NUMVOL, counted below
            QString(), u"3"_s + digits(m_random, 9),                                // RESP, TELRESP
            QString(),                                                              // NOTE3
        });
    }
}

Person Writer::makePerson(const QString &surname, const QString &name, const QString &sex, int number)
{
    const Municipality &home = m_random.pick(m_municipalities);
    const Municipality &birthPlace = m_random.chance(70) ? home : m_random.pick(m_municipalities);
    const QString birthDate = dateText(QDate(1945, 1, 1).addDays(m_random.below(21000)));
    const QString taxCode = TaxCode::compute(surname, name, sex, birthDate, birthPlace.code);
    const int organisation = m_random.below(m_scale.organisations);
    Person person{surname, name, sex, {}};
    person.row = {
        m_organisations[static_cast<size_t>(organisation)][0], // CODASS
        QString::number(number),                               // CODVOL
        surname,
        name,
        m_random.pick(Names::streets()) + u' ' + QString::number(m_random.between(1, 200)),
        digits(m_random, 5),
        home.name,
        home.province, // CAP, CITTA, PROV
        birthDate,
        birthPlace.name,
        birthPlace.province,
        sex,
        taxCode,
        u"3"_s + digits(m_random, 9),                                   // TEL
        m_random.chance(10) ? u"0"_s + digits(m_random, 9) : QString(), // FAX
        mailName(name) + u'.' + mailName(surname) + QString::number(number) + u"@posta.it"_s,
        m_random.pick(m_specialisations), // SPEC
        m_random.chance(15) ? u"Patente C - disponibile nei fine settimana"_s : QString(),
        QString(),
        QString(), // NOTE2, NOTE3
    };
    return person;
}

void Writer::makePeople()
{
    QSet<QString> used;
    const int total = m_scale.volunteers + m_scale.importRows / 2;
    while (static_cast<int>(m_people.size()) < total) {
        const bool female = m_random.chance(40);
        const QString surname = m_random.pick(Names::surnames());
        const QString name = m_random.pick(female ? Names::femaleNames() : Names::maleNames());
        // The register's key: surname and first name, letter case folded.
        const QString key = (surname + u'\n' + name).toCaseFolded();
        if (used.contains(key))
            continue;
        used.insert(key);
        m_people.push_back(makePerson(surname, name, female ? u"F"_s : u"M"_s, static_cast<int>(m_people.size()) + 1));
    }
}

void Writer::makeActivities()
{
    const auto &kinds = Names::activityKinds();
    QSet<QString> used;
    const QDate first(2006, 1, 1);
    const int days = static_cast<int>(first.daysTo(QDate(2025, 12, 31))) + 1;
    // Volunteers per activity: one activity with exactly the details benchmark's number,
    // the others around the average, adjusted to reach the total exactly.
    const int others = m_scale.activities - 1;
    const int remaining = m_scale.details - busyActivityVolunteers;
    const int average = remaining / others;
    std::vector<int> counts(static_cast<size_t>(m_scale.activities), 0);
    counts[0] = busyActivityVolunteers;
    long sum = 0;
    for (int i = 1; i < m_scale.activities; ++i) {
        counts[static_cast<size_t>(i)] = m_random.between(1, 2 * average - 1);
        sum += counts[static_cast<size_t>(i)];
    }
    for (int i = 1; sum != remaining; i = i % others + 1) {
        int &count = counts[static_cast<size_t>(i)];
        if (sum < remaining && count < 2 * average) {
            ++count;
            ++sum;
        } else if (sum > remaining && count > 1) {
            --count;
            --sum;
        }
    }

    std::vector<int> order(static_cast<size_t>(m_scale.volunteers));
    for (int i = 0; i < m_scale.volunteers; ++i)
        order[static_cast<size_t>(i)] = i;
    for (int i = 0; i < m_scale.activities; ++i) {
        Activity activity;
        activity.kind = m_random.below(static_cast<int>(kinds.size()));
        const Names::ActivityKind &kind = kinds[static_cast<size_t>(activity.kind)];
        activity.description = kind.description;
        do {
            activity.start = first.addDays(m_random.below(days));
        } while (used.contains((activity.description + dateText(activity.start)).toCaseFolded()));
        used.insert((activity.description + dateText(activity.start)).toCaseFolded());
        activity.end = activity.start.addDays(m_random.chance(70) ? 0 : m_random.between(1, 4));
        activity.place = &m_random.pick(m_municipalities);
        if (m_random.chance(20))
            activity.note1 = u"Richiesta della Prefettura, prot. n. "_s + QString::number(m_random.between(100, 9999));
        if (m_random.chance(10))
            activity.note2 = u"Mezzi impiegati: modulo AIB, fuoristrada"_s;
        const int count = counts[static_cast<size_t>(i)];
        for (int k = 0; k < count; ++k) {
            std::swap(order[static_cast<size_t>(k)],
                      order[static_cast<size_t>(k + m_random.below(m_scale.volunteers - k))]);
            Detail detail{order[static_cast<size_t>(k)], {}};
            detail.hours[static_cast<size_t>(kind.mainClass)] =
                m_random.between(kind.minQuarters, kind.maxQuarters) / 4.0;
            if (m_random.chance(30))
                detail.hours[static_cast<size_t>(kind.otherClass)] += m_random.between(2, kind.maxQuarters / 2) / 4.0;
            activity.details.push_back(detail);
        }
        m_activities.push_back(std::move(activity));
    }
    // Groups record their activities as they happen: the register's rows follow the dates.
    std::stable_sort(m_activities.begin(), m_activities.end(),
                     [](const Activity &a, const Activity &b) { return a.start < b.start; });
}

bool execAll(QSqlQuery &query, const QVariantList &values)
{
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values[i]);
    return query.exec();
}

QString insertStatement(const QString &table)
{
    const Schema::Table *found = Schema::findTable(table);
    QStringList names;
    for (const Schema::Field &field : found->fields)
        names << field.name;
    return u"insert into "_s + table + u" ("_s + names.join(u", "_s) + u") values ("_s +
           QStringList(names.size(), u"?"_s).join(u", "_s) + u')';
}

QString Writer::insertAll(QSqlDatabase &db)
{
    QSqlQuery organisation(db);
    organisation.prepare(insertStatement(Schema::asso));
    std::vector<int> members(m_organisations.size(), 0);
    for (int i = 0; i < m_scale.volunteers; ++i)
        ++members[static_cast<size_t>(m_people[static_cast<size_t>(i)].row[0].toString().mid(1).toInt() - 1)];
    for (size_t i = 0; i < m_organisations.size(); ++i) {
        m_organisations[i][13] = members[i];
        if (!execAll(organisation, m_organisations[i]))
            return u"ASSO: "_s + organisation.lastError().text();
    }

    QSqlQuery volunteer(db);
    volunteer.prepare(insertStatement(Schema::volo));
    for (int i = 0; i < m_scale.volunteers; ++i) {
        if (!execAll(volunteer, m_people[static_cast<size_t>(i)].row))
            return u"VOLO: "_s + volunteer.lastError().text();
    }

    QSqlQuery activityRow(db);
    activityRow.prepare(insertStatement(Schema::attivita));
    QSqlQuery detailRow(db);
    detailRow.prepare(insertStatement(Schema::attivdett));
    for (const Activity &activity : m_activities) {
        const QString start = dateText(activity.start);
        const QString end = dateText(activity.end);
        std::array<double, 6> totals{};
        double longest = 0;
        for (const Detail &detail : activity.details) {
            const Person &person = m_people[static_cast<size_t>(detail.person)];
            double manHours = 0;
            QVariantList values{start,
                                end,
                                activity.description,
                                activity.place->name.toUpper(),
                                activity.place->province,
                                person.surname + u' ' + person.name,
                                QVariant(),
                                person.row[12]};
            for (size_t c = 0; c < 6; ++c) {
                values << detail.hours[c];
                manHours += detail.hours[c];
                totals[c] += detail.hours[c];
            }
            longest = std::max(longest, manHours);
            values << manHours << activity.note1 << activity.note2 << QString() << QString() << QString();
            if (!execAll(detailRow, values))
                return u"ATTIVDETT: "_s + detailRow.lastError().text();
        }
        double manHours = 0;
        for (const double hours : totals)
            manHours += hours;
        // ORETOT is the activity's length: the longest turn of a volunteer in it.
        QVariantList values{
            start,   end,     activity.description, activity.place->name.toUpper(), activity.place->province,
            longest, manHours};
        for (const double hours : totals)
            values << hours;
        values << activity.note1 << activity.note2 << QString() << TextFormat::yearFirst(start);
        if (!execAll(activityRow, values))
            return u"ATTIVITA: "_s + activityRow.lastError().text();
    }
    return {};
}

QString Writer::run(QSqlDatabase &db)
{
    if (QString problem = readReferenceData(); !problem.isEmpty())
        return problem;
    makeOrganisations();
    makePeople();
    makeActivities();
    QSqlQuery pragma(db);
    // Nothing here needs to survive a power cut: a failed run is generated again.
    pragma.exec(u"PRAGMA synchronous = OFF"_s);
    if (!db.transaction())
        return db.lastError().text();
    if (QString problem = insertAll(db); !problem.isEmpty()) {
        db.rollback();
        return problem;
    }
    if (!db.commit())
        return db.lastError().text();
    pragma.exec(u"PRAGMA wal_checkpoint(TRUNCATE)"_s);
    return {};
}

QString Writer::writeImportFile(const QString &path)
{
    // Another group's export: every volunteer of ours, some of them twice, and as many
    // again that are new to us, in no particular order.
    const int half = m_scale.importRows / 2;
    std::vector<int> rows;
    for (int i = 0; i < half; ++i)
        rows.push_back(i < m_scale.volunteers ? i : m_random.below(m_scale.volunteers));
    for (int i = 0; i < m_scale.importRows - half; ++i)
        rows.push_back(m_scale.volunteers + i);
    for (size_t i = rows.size(); i > 1; --i)
        std::swap(rows[i - 1], rows[static_cast<size_t>(m_random.below(static_cast<int>(i)))]);

    Schema::Table exported = *Schema::findTable(Schema::volo);
    exported.uniqueKey = {};
    const QString name = connectionName + u":import"_s;
    QString problem;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(path);
        if (!db.open() || !Store::useProgramCollation(db)) {
            problem = u"voloesp.mdb: "_s + db.lastError().text();
        } else {
            db.transaction();
            QSqlQuery query(db);
            for (const QString &statement : Schema::createStatements(exported))
                query.exec(statement);
            query.prepare(insertStatement(Schema::volo));
            for (const int row : rows) {
                if (!execAll(query, m_people[static_cast<size_t>(row)].row)) {
                    problem = u"voloesp.mdb: "_s + query.lastError().text();
                    break;
                }
            }
            if (problem.isEmpty())
                db.commit();
            else
                db.rollback();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return problem;
}

// The program's own first start creates the three files, as it does for a user.
QString startOnce()
{
    Messages::ScriptedResponder quiet;
    startProgram();
    const bool started = Windows::existingForm1() != nullptr;
    Windows::destroyAll();
    if (!started)
        return u"the program did not start: "_s + quiet.unexpected().join(u" | "_s);
    return {};
}

} // namespace

Scale scaleNamed(const QString &name, bool *known)
{
    if (known)
        *known = true;
    if (name == u"small"_s)
        return {name, 300, 10, 1000, 20000, 1000};
    if (known && name != u"large"_s)
        *known = false;
    return {u"large"_s, 3000, 30, 10000, 200000, 10000};
}

QString generate(const QString &folder, const Scale &scale, quint64 seed)
{
    if (!QDir().mkpath(folder))
        return u"cannot create "_s + folder;
    if (!QDir(folder).isEmpty())
        return folder + u" is not empty"_s;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder);
    QString problem = startOnce();
    if (problem.isEmpty() &&
        !QFile::copy(QStringLiteral(SENTARO_SOURCE_DIR "/data/intestazione.jpg"), Schema::headerPictureFile))
        problem = u"cannot copy the header picture"_s;
    if (problem.isEmpty()) {
        Writer writer(scale, seed);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connectionName);
            db.setDatabaseName(Schema::registerFile);
            if (!db.open() || !Store::useProgramCollation(db))
                problem = u"attivita.mdb: "_s + db.lastError().text();
            else
                problem = writer.run(db);
        }
        QSqlDatabase::removeDatabase(connectionName);
        if (problem.isEmpty())
            problem = writer.writeImportFile(Schema::importFile);
    }
    QDir::setCurrent(previous);
    return problem;
}

QString copyWithDetails(const QString &from, const QString &to, int detailRows)
{
    if (!QDir().mkpath(to) || !QDir(to).isEmpty())
        return to + u" cannot be made or is not empty"_s;
    for (const QString &file : {Schema::municipalitiesFile, Schema::specialisationsFile, Schema::headerPictureFile}) {
        if (!QFile::copy(from + u'/' + file, to + u'/' + file))
            return u"cannot copy "_s + file;
    }
    QString problem;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connectionName);
        db.setDatabaseName(from + u'/' + Schema::registerFile);
        if (!db.open() || !Store::useProgramCollation(db)) {
            problem = db.lastError().text();
        } else {
            // Removing rows walks the NOCASE indexes: only a connection with the program's
            // collation finds the entries of accented names.
            QSqlQuery query(db);
            query.prepare(u"VACUUM INTO ?"_s);
            query.addBindValue(to + u'/' + Schema::registerFile);
            if (!query.exec())
                problem = query.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(connectionName);
    if (!problem.isEmpty())
        return problem;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connectionName);
        db.setDatabaseName(to + u'/' + Schema::registerFile);
        if (!db.open() || !Store::useProgramCollation(db)) {
            problem = db.lastError().text();
        } else {
            QSqlQuery query(db);
            query.prepare(u"delete from ATTIVDETT where rowid > ?"_s);
            query.addBindValue(detailRows);
            if (!query.exec() || !query.exec(u"VACUUM"_s))
                problem = query.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(connectionName);
    return problem;
}

} // namespace Generator
