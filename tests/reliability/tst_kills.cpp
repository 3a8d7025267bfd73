#include "ui/messages.h"
#include "store/schema.h"
#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#ifndef Q_OS_WIN
#include <csignal>
#include <optional>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {
// Every operation takes at least this many kills at a random moment while it runs; a few
// more kills fall at random moments from the process start, start-up included.
constexpr int killsPerOperation = 100;
constexpr int killsAnywhere = 10;

struct Run {
    QStringList events;           // operations completed
    QString pending;              // the operation the kill interrupted, if any
    QMap<QString, qint64> lasted; // how long, in milliseconds, each kind of operation took
    bool started = false;
    int exitCode = -1; // when the writer ended before the kill, its exit code
};

#ifdef Q_OS_WIN
// A Windows process shares no open file with a child it starts: ending the writer ends its hold.
void startInOwnGroup(QProcess &)
{
}

void killGroup(QProcess &writer)
{
    writer.kill();
    writer.waitForFinished();
}
#else
// Whether a process of the group still runs (a zombie holds no file).
bool groupRunning(pid_t group)
{
    for (const QString &entry : QDir(u"/proc"_s).entryList(QDir::Dirs)) {
        QFile stat(u"/proc/"_s + entry + u"/stat"_s);
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // pid (name) state ppid pgrp ...: the name may hold blanks, so read after its ')'.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 2 && fields[2].toInt() == group && fields[0] != "Z")
            return true;
    }
    return false;
}

void startInOwnGroup(QProcess &writer)
{
    writer.setChildProcessModifier([]() { setpgid(0, 0); });
}

// Kills the writer as a power cut would, with what it started: a child it was starting
// shares its open files (its lock included) until it runs the new program.
void killGroup(QProcess &writer)
{
    const auto group = pid_t(writer.processId());
    if (group > 0)
        ::kill(-group, SIGKILL);
    writer.waitForFinished();
    QElapsedTimer clock;
    clock.start();
    while (group > 0 && clock.elapsed() < 10000 && groupRunning(group))
        QThread::msleep(5);
}
#endif

// Starts the writer on the folder and kills it without warning: `within` milliseconds after
// it starts the operation `target`, or, with no target, `within` milliseconds after its start.
Run runAndKill(const QString &group, int run, const QString &target, int within)
{
    QProcess writer;
    startInOwnGroup(writer);
    writer.setProcessChannelMode(QProcess::SeparateChannels);
    writer.setStandardErrorFile(QProcess::nullDevice());
    writer.start(QStringLiteral(SENTARO_WRITER), {group, QDir::currentPath(), QString::number(run)});
    writer.waitForStarted();
    Run result;
    QMap<QString, qint64> begun;
    QByteArray output;
    QElapsedTimer clock;
    clock.start();
    constexpr qint64 waitForTarget = 20000;
    qint64 deadline = target.isEmpty() ? within : waitForTarget;
    // Each line is taken as it arrives, so that the kill is timed from the start it names.
    const auto takeLines = [&]() {
        output += writer.readAllStandardOutput();
        for (qsizetype end = output.indexOf('\n'); end >= 0; end = output.indexOf('\n')) {
            const QString text = QString::fromUtf8(output.left(end));
            output.remove(0, end + 1);
            if (text == u"STARTED"_s) {
                result.started = true;
            } else if (text.startsWith(u"DOING "_s)) {
                result.pending = text.mid(6);
                const QString kind = result.pending.section(u' ', 0, 0);
                begun[kind] = clock.elapsed();
                if (kind == target && deadline == waitForTarget)
                    deadline = clock.elapsed() + within;
            } else if (!text.isEmpty()) {
                result.events << text;
                result.pending.clear();
                const QString kind = text.section(u' ', 0, 0);
                result.lasted[kind] = clock.elapsed() - begun.value(kind);
            }
        }
    };
    while (clock.elapsed() < deadline && writer.state() == QProcess::Running) {
        writer.waitForReadyRead(int(std::clamp<qint64>(deadline - clock.elapsed(), 1, 50)));
        takeLines();
    }
    const bool endedBeforeTheKill = writer.state() != QProcess::Running;
    killGroup(writer);
    takeLines();
    if (endedBeforeTheKill)
        result.exitCode = writer.exitStatus() == QProcess::NormalExit ? writer.exitCode() : 128;
    return result;
}

struct Kill {
    QString target; // empty: a moment from the process start
    int within;
};

// Aims kills inside each operation in turn until every one has taken its share. The moment
// is random within how long the operation lasts, learnt from the runs where it completed:
// an operation of a millisecond and one of a second both take their kills inside.
class KillPlan {
public:
    KillPlan(const QStringList &operations, quint32 seed)
        : m_operations(operations)
        , m_random(seed)
    {
    }

    // Done when every operation has its kills, or after so many attempts that one of them
    // plainly cannot be hit (the test then fails on complete()).
    bool done() const
    {
        return m_anywhere >= killsAnywhere &&
               (complete() || m_attempts >= 4 * killsPerOperation * int(m_operations.size()));
    }
    bool complete() const
    {
        return std::all_of(m_operations.cbegin(), m_operations.cend(),
                           [this](const QString &operation) { return m_landed.value(operation) >= killsPerOperation; });
    }

    Kill next()
    {
        ++m_attempts;
        if (m_anywhere < killsAnywhere) {
            ++m_anywhere;
            return {QString(), int(m_random.bounded(1000))};
        }
        const QString target =
            *std::min_element(m_operations.cbegin(), m_operations.cend(), [this](const QString &a, const QString &b) {
                return m_landed.value(a) < m_landed.value(b);
            });
        const qint64 runs = m_runs.value(target);
        const qint64 typical = runs == 0 ? 5 : m_total.value(target) / runs;
        return {target, int(m_random.bounded(std::max<qint64>(typical, 1)))};
    }

    void record(const Run &run)
    {
        if (!run.started)
            ++m_duringStart;
        if (!run.pending.isEmpty())
            m_landed[run.pending.section(u' ', 0, 0)] += 1;
        for (auto it = run.lasted.cbegin(); it != run.lasted.cend(); ++it) {
            m_total[it.key()] += it.value();
            m_runs[it.key()] += 1;
        }
    }

    int attempts() const { return m_attempts; }
    int duringStart() const { return m_duringStart; }
    const QMap<QString, int> &landed() const { return m_landed; }

private:
    QStringList m_operations;
    QRandomGenerator m_random;
    QMap<QString, int> m_landed;
    QMap<QString, qint64> m_total;
    QMap<QString, qint64> m_runs;
    int m_attempts = 0;
    int m_anywhere = 0;
    int m_duringStart = 0;
};

int count(const QString &sql)
{
    return queryValue(Schema::registerFile, sql).toInt();
}

void prepareFolder()
{
    QVERIFY(makeWorkingFiles());
    runSql(Schema::registerFile,
           {u"insert into ASSO (DENOM) values ('GRUPPO')"_s,
            u"insert into VOLO (COGN, NOME, CODFISC) values ('ROSSI', 'MARIO', 'A'), ('BIANCHI', 'ANNA', 'B'), "
            u"('VERDI', 'LUCA', 'C'), ('NERI', 'ADA', 'D')"_s});
}

// Detail rows left without their activity.
int orphans()
{
    return count(u"select count(*) from ATTIVDETT d where not exists (select 1 from ATTIVITA a where "
                 u"a.DESCRATT = d.DESCRATT and a.DATAINATT = d.DATAINATT)"_s);
}

// What a writer says until a line holding `until`; empty when it never comes.
QByteArray readUntil(QProcess &writer, const QByteArray &until)
{
    QByteArray said;
    while (!said.contains(until) && writer.waitForReadyRead(60000))
        said += writer.readAllStandardOutput();
    return said.contains(until) ? said : QByteArray();
}

// What a "windows" writer said for `line`, up to its DONE line (left out); none when that never came.
std::optional<QStringList> saidFor(QProcess &pc, const QByteArray &line)
{
    // A Windows PC ends its lines with \r\n.
    QStringList said =
        QString::fromUtf8(readUntil(pc, "DONE " + line).replace('\r', "")).split(u'\n', Qt::SkipEmptyParts);
    if (said.isEmpty())
        return std::nullopt;
    said.removeLast();
    return said;
}

// Three PCs on the register of this folder's sentaro.ini, each a writer of `group` in a working
// folder of its own (the others in `otherFolders`), started and ready. When
// SENTARO_TEST_WINDOWS_WRITER names the Windows build of the writer, the second PC is that one
// under Wine: a Windows PC and Linux PCs on one server.
void startPcs(const QString &group, QProcess (&pcs)[3], QTemporaryDir (&otherFolders)[2])
{
    const QString windowsWriter = qEnvironmentVariable("SENTARO_TEST_WINDOWS_WRITER");
    for (int pc = 0; pc < 3; ++pc) {
        const QString path = pc == 0 ? QDir::currentPath() : otherFolders[pc - 1].path();
        if (pc > 0)
            QVERIFY(QFile::copy(u"sentaro.ini"_s, path + u"/sentaro.ini"_s));
        pcs[pc].setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QStringList arguments{group, path, QString::number(pc + 1)};
        if (pc == 1 && !windowsWriter.isEmpty())
            pcs[pc].start(u"wine"_s, QStringList{windowsWriter} + arguments);
        else
            pcs[pc].start(QStringLiteral(SENTARO_WRITER), arguments);
    }
    for (QProcess &pc : pcs)
        QVERIFY(!readUntil(pc, "STARTED").isEmpty());
}

// The next kill of the plan, carried out on the group's writer and recorded.
Run killNext(KillPlan &kills, const QString &group, int run)
{
    const Kill kill = kills.next();
    const Run done = runAndKill(group, run, kill.target, kill.within);
    kills.record(done);
    return done;
}
} // namespace

class TestKills : public QObject {
    Q_OBJECT
private slots:
    void activities();
    void people();
    void bulk();
    void conversion();
    void shared();
    void windows();
    void windowsOvertaken();

private:
    void report(const QString &group, const KillPlan &kills);
};

void TestKills::report(const QString &group, const KillPlan &kills)
{
    QStringList parts;
    for (auto it = kills.landed().cbegin(); it != kills.landed().cend(); ++it)
        parts << it.key() + u'=' + QString::number(it.value());
    QVERIFY2(kills.complete(), qPrintable(parts.join(u", "_s)));
    qInfo("RELIABILITY kills %s: %d kills, %d during start-up, in operations: %s; lost or corrupted rows: 0",
          qPrintable(group), kills.attempts(), kills.duringStart(), qPrintable(parts.join(u", "_s)));
}

void TestKills::activities()
{
    WorkingFolder folder;
    prepareFolder();
    QMap<QString, bool> activityShouldExist;
    QMap<QString, int> detailsExpected;
    // The archive as it stands after a kill, read in two queries.
    QSet<QString> activities;
    QMap<QString, int> detailCounts;
    const auto readArchive = [&]() {
        activities.clear();
        detailCounts.clear();
        for (const QVariant &name : queryColumn(Schema::registerFile, u"select DESCRATT from ATTIVITA"_s))
            activities.insert(name.toString());
        for (const QVariant &name : queryColumn(Schema::registerFile, u"select DESCRATT from ATTIVDETT"_s))
            detailCounts[name.toString()] += 1;
    };
    const auto exists = [&](const QString &name) { return activities.contains(name); };
    const auto details = [&](const QString &name) { return detailCounts.value(name); };
    const auto apply = [&](const QString &kind, const QString &argument) {
        if (kind == u"ACTIVITY"_s) {
            activityShouldExist[argument] = true;
        } else if (kind == u"DETAILS"_s) {
            detailsExpected[argument] = 3;
        } else if (kind == u"RENAMED"_s) {
            const QString from = argument.section(u'|', 0, 0);
            const QString to = argument.section(u'|', 1);
            activityShouldExist[from] = false;
            activityShouldExist[to] = true;
            detailsExpected[to] = detailsExpected.value(from);
            detailsExpected[from] = 0;
        } else if (kind == u"DELETED"_s) {
            activityShouldExist[argument] = false;
            detailsExpected[argument] = 0;
        }
    };
    KillPlan kills({u"ACTIVITY"_s, u"DETAILS"_s, u"RENAMED"_s, u"DELETED"_s}, 1);
    for (int run = 1; !kills.done(); ++run) {
        const Run done = killNext(kills, u"activities"_s, run);
        // The writer never ends by itself: ending early is a start that was refused.
        QCOMPARE(done.exitCode, -1);
        for (const QString &event : done.events)
            apply(event.section(u' ', 0, 0), event.section(u' ', 1));
        QCOMPARE(registerIntegrity(), u"ok"_s);
        readArchive();
        // The interrupted operation is done or not; where it promises all or nothing, it is.
        if (!done.pending.isEmpty()) {
            const QString kind = done.pending.section(u' ', 0, 0);
            const QString argument = done.pending.section(u' ', 1);
            if (kind == u"ACTIVITY"_s) {
                activityShouldExist[argument] = exists(argument);
            } else if (kind == u"DETAILS"_s) {
                QVERIFY(details(argument) <= 3);
                detailsExpected[argument] = details(argument);
            } else if (kind == u"RENAMED"_s) {
                const QString from = argument.section(u'|', 0, 0);
                const QString to = argument.section(u'|', 1);
                QVERIFY2(exists(from) != exists(to), qPrintable(argument));
                if (exists(to))
                    apply(kind, argument);
            } else if (kind == u"DELETED"_s && !exists(argument)) {
                apply(kind, argument);
            }
        }
        for (auto it = activityShouldExist.cbegin(); it != activityShouldExist.cend(); ++it)
            QVERIFY2(exists(it.key()) == it.value(), qPrintable(it.key()));
        for (auto it = detailsExpected.cbegin(); it != detailsExpected.cend(); ++it)
            QVERIFY2(details(it.key()) == it.value(), qPrintable(it.key()));
        // Renaming and deleting are all or nothing: no detail row is ever left without its activity.
        QCOMPARE(orphans(), 0);
    }
    report(u"activities"_s, kills);
    Messages::ScriptedResponder answers;
    QVERIFY(startSentaro());
    QVERIFY(answers.shown().isEmpty());
}

void TestKills::people()
{
    WorkingFolder folder;
    prepareFolder();
    QMap<QString, bool> volunteerShouldExist;
    QMap<QString, bool> organisationShouldExist;
    KillPlan kills({u"VOLUNTEER"_s, u"NOVOLUNTEER"_s, u"ORGANISATION"_s, u"NOORGANISATION"_s}, 2);
    for (int run = 1; !kills.done(); ++run) {
        const Run done = killNext(kills, u"people"_s, run);
        // The writer never ends by itself: ending early is a start that was refused.
        QCOMPARE(done.exitCode, -1);
        for (const QString &event : done.events) {
            const QString kind = event.section(u' ', 0, 0);
            const QString argument = event.section(u' ', 1);
            if (kind == u"VOLUNTEER"_s || kind == u"NOVOLUNTEER"_s)
                volunteerShouldExist[argument] = kind == u"VOLUNTEER"_s;
            else
                organisationShouldExist[argument] = kind == u"ORGANISATION"_s;
        }
        QCOMPARE(registerIntegrity(), u"ok"_s);
        QSet<QString> volunteers;
        for (const QVariant &name : queryColumn(Schema::registerFile, u"select COGN from VOLO"_s))
            volunteers.insert(name.toString());
        QSet<QString> organisations;
        for (const QVariant &name : queryColumn(Schema::registerFile, u"select DENOM from ASSO"_s))
            organisations.insert(name.toString());
        // An interrupted insert or delete of one row is done or not.
        if (!done.pending.isEmpty()) {
            const QString kind = done.pending.section(u' ', 0, 0);
            const QString argument = done.pending.section(u' ', 1);
            if (kind.endsWith(u"VOLUNTEER"_s))
                volunteerShouldExist[argument] = volunteers.contains(argument);
            else
                organisationShouldExist[argument] = organisations.contains(argument);
        }
        for (auto it = volunteerShouldExist.cbegin(); it != volunteerShouldExist.cend(); ++it)
            QVERIFY2(volunteers.contains(it.key()) == it.value(), qPrintable(it.key()));
        for (auto it = organisationShouldExist.cbegin(); it != organisationShouldExist.cend(); ++it)
            QVERIFY2(organisations.contains(it.key()) == it.value(), qPrintable(it.key()));
    }
    report(u"people"_s, kills);
}

void TestKills::bulk()
{
    WorkingFolder folder;
    prepareFolder();
    QStringList exported{u"CREATE TABLE VOLO (CODASS TEXT, CODVOL TEXT, COGN TEXT, NOME TEXT, INDIR TEXT, CAP TEXT, "
                         u"CITTA TEXT, PROV TEXT, DATANA TEXT, LUOGONA TEXT, PROVNA TEXT, SESSO TEXT, CODFISC TEXT, "
                         u"TEL TEXT, FAX TEXT, MAIL TEXT, SPEC TEXT, NOTE TEXT, NOTE2 TEXT, NOTE3 TEXT)"_s};
    for (int i = 0; i < 1500; ++i)
        exported << u"insert into VOLO (COGN, NOME) values ('IMP%1', 'NOME')"_s.arg(i);
    runSql(Schema::importFile, exported);
    KillPlan kills({u"IMPORTED"_s, u"EXPORTED"_s, u"EMPTIEDVOLUNTEERS"_s, u"EMPTIEDACTIVITIES"_s}, 3);
    for (int run = 1; !kills.done(); ++run) {
        // Something for the emptying and the export to work on, enough for them to take a
        // while: an emptied register gets an activity with 2,000 details again.
        runSql(Schema::registerFile,
               {u"insert into ATTIVITA (DATAINATT, DESCRATT, NOTE4) select '01/01/2011', 'RUN %1', '2011/01/01' "
                u"where not exists (select 1 from ATTIVITA)"_s.arg(run),
                u"with recursive n(i) as (select 1 union all select i + 1 from n where i < 2000) "
                u"insert into ATTIVDETT (DATAINATT, DESCRATT, COGN, NOME, ORET6, NOTE1) "
                u"select '01/01/2011', 'RUN %1', 'VOLONTARIO ' || i, 'NOME', 1.5, 'NOTE DEL VOLONTARIO ' || i "
                u"from n where not exists (select 1 from ATTIVDETT)"_s.arg(run)});
        const Run done = killNext(kills, u"bulk"_s, run);
        // The writer never ends by itself: ending early is a start that was refused.
        QCOMPARE(done.exitCode, -1);
        const QString last = done.events.isEmpty() ? QString() : done.events.last();
        QCOMPARE(registerIntegrity(), u"ok"_s);
        // An import cut short keeps the groups of rows it had committed, until the next
        // import completes them.
        const int imported = count(u"select count(*) from VOLO where COGN like 'IMP%'"_s);
        QVERIFY(imported >= 0 && imported <= 1500);
        if (last == u"IMPORTED"_s && done.pending != u"EMPTIEDVOLUNTEERS"_s)
            QCOMPARE(imported, 1500);
        if (last == u"EMPTIEDVOLUNTEERS"_s && done.pending != u"IMPORTED"_s)
            QCOMPARE(count(u"select count(*) from VOLO"_s), 0);
        // Emptying the activities is all or nothing.
        QCOMPARE(count(u"select count(*) from ATTIVITA"_s) == 0, count(u"select count(*) from ATTIVDETT"_s) == 0);
        // Copies and exports are whole or absent.
        for (const QString &copy : QDir().entryList({u"attivita-*.mdb"_s}))
            QCOMPARE(queryValue(copy, u"PRAGMA integrity_check"_s).toString(), u"ok"_s);
        for (const QString &workbook : QDir().entryList({u"dbattivitaesp*.xls"_s})) {
            const QByteArray bytes = fileBytes(workbook);
            QVERIFY(bytes.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1")));
            QCOMPARE(bytes.size() % 512, 0);
        }
        // Copies kept before emptying pile up: keep the folder small.
        for (const QString &copy : QDir().entryList({u"attivita-*.mdb"_s, u"dbattivitaesp*.xls"_s}))
            QFile::remove(copy);
    }
    report(u"bulk"_s, kills);
}

void TestKills::conversion()
{
    REQUIRE_SHARED_DATA(u"jet/made/attivita.mdb"_s);
    const QString jet = sharedDataFolder() + u"/jet/made/attivita.mdb"_s;
    // The start also builds the municipalities' archive when it is missing: given one, the
    // start is mostly the conversion, and the kills fall inside it.
    QByteArray municipalities;
    {
        WorkingFolder folder;
        QVERIFY(makeWorkingFiles());
        municipalities = fileBytes(Schema::municipalitiesFile);
    }
    KillPlan kills({u"CONVERSION"_s}, 4);
    int original = 0;
    int converted = 0;
    int finishedAtRestart = 0;
    // Run 0 is not killed: it tells how long the conversion lasts.
    for (int run = 0; !kills.done(); ++run) {
        WorkingFolder folder;
        QVERIFY(QFile::copy(jet, Schema::registerFile));
        QFile::setPermissions(Schema::registerFile, QFile::ReadOwner | QFile::WriteOwner);
        QFile copy(Schema::municipalitiesFile);
        QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write(municipalities) == municipalities.size());
        copy.close();
        const QByteArray before = fileBytes(Schema::registerFile);
        const Kill kill = run == 0 ? Kill{QString(), 120000} : kills.next();
        const Run done = runAndKill(u"conversion"_s, run, kill.target, kill.within);
        kills.record(done);
        QVERIFY(done.exitCode == -1 || done.exitCode == 0);
        if (run == 0) {
            QCOMPARE(done.events, QStringList{u"CONVERSION"_s});
            continue;
        }
        const QStringList kept = QDir().entryList({u"attivita-access-*.mdb"_s});
        if (fileBytes(Schema::registerFile) == before) {
            ++original;
            QVERIFY(kept.isEmpty());
        } else {
            // Converted, or stopped just before the new file took its name: the original is kept whole.
            QCOMPARE(kept.size(), 1);
            QCOMPARE(fileBytes(kept.constFirst()), before);
            if (QFile::exists(Schema::registerFile))
                ++converted;
            else
                ++finishedAtRestart;
        }
        // The next start works on a whole archive, whatever the moment of the kill.
        Messages::ScriptedResponder answers;
        answers.answerYesToAll();
        QVERIFY2(startSentaro(), qPrintable(answers.shown().join(u" | "_s)));
        QCOMPARE(queryValue(Schema::registerFile, u"select count(*) from ATTIVITA"_s).toInt(), 60);
        QCOMPARE(queryValue(Schema::registerFile, u"select count(*) from ATTIVDETT"_s).toInt(), 400);
        QCOMPARE(queryValue(Schema::registerFile, u"PRAGMA integrity_check"_s).toString(), u"ok"_s);
    }
    QVERIFY(kills.complete());
    qInfo("RELIABILITY kills conversion of an Access archive: %d kills, %d of them during the conversion; "
          "original untouched %d, converted %d, finished at the next start %d; lost or corrupted rows: 0",
          kills.attempts(), kills.landed().value(u"CONVERSION"_s), original, converted, finishedAtRestart);
}

// Two PCs on one server archive press the details window's buttons on the same activity at
// the same moment: every row is there once, and the totals are the sums of the rows.
void TestKills::shared()
{
    if (!serverArchive())
        QSKIP("on the local file one program works at a time");
    WorkingFolder folder;
    prepareFolder();
    runSql(Schema::registerFile, {u"insert into ATTIVITA (DATAINATT, DATAFIATT, DESCRATT, NOTE4) values "
                                  u"('01/02/2011', '01/02/2011', 'CONDIVISA', '2011/02/01')"_s});
    // The other PCs have working folders of their own, naming the same archive; the third
    // renames the activity while the two others press on it.
    QTemporaryDir otherFolders[2];
    QProcess pcs[3];
    startPcs(u"shared"_s, pcs, otherFolders);
    for (QProcess &pc : pcs) {
        pc.write("go\n");
        pc.waitForBytesWritten(10000);
    }
    QVERIFY(pcs[2].waitForFinished(300000));
    QCOMPARE(pcs[2].exitCode(), 0);
    QVERIFY(pcs[2].readAllStandardOutput().contains("RENAMED 49"));
    QStringList expected;
    for (int pc = 0; pc < 2; ++pc) {
        QVERIFY(pcs[pc].waitForFinished(300000));
        QCOMPARE(pcs[pc].exitCode(), 0);
        QVERIFY(pcs[pc].readAllStandardOutput().contains("SHARED 49"));
        for (int i = 0; i < 50; ++i) {
            for (int k = 1; k < 3; ++k)
                expected << u"PC%1 %2 %3"_s.arg(pc + 1).arg(i).arg(k);
        }
    }
    QStringList rows;
    for (const QVariant &surname : queryColumn(Schema::registerFile, u"select COGN from ATTIVDETT"_s))
        rows << surname.toString();
    rows.sort();
    expected.sort();
    QCOMPARE(rows, expected);
    QCOMPARE(queryLines(Schema::registerFile, u"select ORET6, OREUOMO from ATTIVITA"_s, u"/"_s),
             queryLines(Schema::registerFile, u"select sum(ORET6), sum(OREUOMO) from ATTIVDETT"_s, u"/"_s));
    // Each rename took every row or none, and no press wrote the name a rename was changing.
    QCOMPARE(queryLines(Schema::registerFile, u"select distinct DESCRATT collate \"C\" from ATTIVDETT"_s),
             queryLines(Schema::registerFile, u"select DESCRATT from ATTIVITA"_s));
}

// Two PCs work the program's own windows on one server archive at the same moment: both
// press the same four volunteers on one activity, or one presses while the other empties the
// activities. No volunteer is there twice, no row is left without its activity, and what each
// PC said is what the server holds.
void TestKills::windows()
{
    if (!serverArchive())
        QSKIP("on the local file one program works at a time");
    WorkingFolder folder;
    prepareFolder();
    QTemporaryDir otherFolders[2];
    QProcess pcs[3];
    startPcs(u"windows"_s, pcs, otherFolders);
    const QString pressed = u"MESSAGE Volontari inseriti:  4"_s;
    for (int round = 0; round < 20; ++round) {
        runSql(Schema::registerFile, {u"delete from ATTIVDETT"_s, u"delete from ATTIVITA"_s,
                                      u"insert into ATTIVITA (DATAINATT, DATAFIATT, DESCRATT, NOTE4) values "
                                      u"('01/02/2011', '01/02/2011', 'CONDIVISA', '2011/02/01')"_s});
        const bool emptying = round % 2 == 1;
        QProcess *const working[2] = {&pcs[0], &pcs[emptying ? 2 : 1]};
        for (QProcess *pc : working) {
            pc->write(QByteArray::number(round) + '\n');
            pc->waitForBytesWritten(10000);
        }
        // Each PC says what it was told, once done.
        QStringList said[2];
        for (int i = 0; i < 2; ++i) {
            const std::optional<QStringList> done = saidFor(*working[i], QByteArray::number(round));
            QVERIFY(done);
            said[i] = *done;
        }
        QCOMPARE(registerIntegrity(), u"ok"_s);
        QCOMPARE(orphans(), 0);
        if (emptying) {
            QCOMPARE(said[1].value(said[1].size() - 1), u"MESSAGE Archivio Attività azzerato."_s);
            QCOMPARE(count(u"select count(*) from ATTIVITA"_s), 0);
            // A press said done before the emptying took the tables is in the copy it kept.
            if (said[0] == QStringList{pressed}) {
                const QDir emptier(otherFolders[1].path());
                const QStringList copies = emptier.entryList({u"attivita-*.mdb"_s}, QDir::Files, QDir::Time);
                QVERIFY(!copies.isEmpty());
                QCOMPARE(queryValue(emptier.filePath(copies.first()), u"select count(*) from ATTIVDETT"_s).toInt(), 4);
            }
            continue;
        }
        QCOMPARE(said[0], QStringList{pressed});
        QCOMPARE(said[1], QStringList{pressed});
        QCOMPARE(queryLines(Schema::registerFile, u"select COGN, ORET6 from ATTIVDETT order by COGN"_s),
                 (QStringList{u"BIANCHI ANNA|5.0"_s, u"NERI ADA|5.0"_s, u"ROSSI MARIO|5.0"_s, u"VERDI LUCA|5.0"_s}));
    }
    for (QProcess &pc : pcs) {
        pc.closeWriteChannel();
        QVERIFY(pc.waitForFinished(60000));
        QCOMPARE(pc.exitCode(), 0);
    }
}

// A window writes only over what it showed: what another PC changed meanwhile stays, and the
// window says so and shows it; a volunteer renamed on another PC while the details window
// listed him is left out of a press, named, and no row is written for his old name.
void TestKills::windowsOvertaken()
{
    if (!serverArchive())
        QSKIP("on the local file one program works at a time");
    WorkingFolder folder;
    prepareFolder();
    runSql(Schema::registerFile, {u"insert into ATTIVITA (DATAINATT, DATAFIATT, DESCRATT, LOCATT, PROVATT, NOTE4) "
                                  u"values ('01/02/2011', '01/02/2011', 'CONDIVISA', 'RIETI', 'RI', '2011/02/01')"_s});
    QTemporaryDir otherFolders[2];
    QProcess pcs[3];
    startPcs(u"windows"_s, pcs, otherFolders);
    const auto step = [&](int pc, const QByteArray &line) {
        pcs[pc].write(line + '\n');
        pcs[pc].waitForBytesWritten(10000);
        return saidFor(pcs[pc], line).value_or(QStringList{u"no DONE for "_s + QString::fromLatin1(line)});
    };
    QCOMPARE(step(0, "SHOWACTIVITY"), QStringList());
    QCOMPARE(step(1, "SHOWACTIVITY"), QStringList());
    QCOMPARE(step(1, "PLACE AMATRICE"),
             (QStringList{u"SHOWN AMATRICE"_s, u"MESSAGE attività modificata regolarmente."_s}));
    QCOMPARE(step(0, "NOTE NOTA"), (QStringList{u"SHOWN AMATRICE"_s, u"MESSAGE "_s + Messages::changedElsewhere()}));
    QCOMPARE(queryLines(Schema::registerFile, u"select LOCATT, NOTE1 from ATTIVITA"_s, u"/"_s),
             QStringList{u"AMATRICE/"_s});

    QCOMPARE(step(0, "SHOWDETAILS"), QStringList());
    QCOMPARE(step(2, "RENAMEVOLUNTEER VERDONI"), QStringList());
    QCOMPARE(step(0, "PRESSONE VERDI LUCA"),
             QStringList{u"MESSAGE VERDI LUCA non è più nell'archivio dei volontari: elenco aggiornato."_s});
    QCOMPARE(count(u"select count(*) from ATTIVDETT"_s), 0);
    for (QProcess &pc : pcs) {
        pc.closeWriteChannel();
        QVERIFY(pc.waitForFinished(60000));
        QCOMPARE(pc.exitCode(), 0);
    }
}

QTEST_MAIN(TestKills)
#include "tst_kills.moc"
