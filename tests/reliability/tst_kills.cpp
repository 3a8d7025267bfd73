#include "common/messages.h"
#include "store/schema.h"
#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
// Every operation is killed this many times, at a random moment while it runs; a few more
// kills fall at random moments from the process start, start-up included.
constexpr int killsPerOperation = 100;
constexpr int killsAnywhere = 10;

struct Run {
    QStringList events;  // operations completed
    QString pending;     // the operation the kill interrupted, if any
    bool started = false;
};

// Starts the writer on the folder and kills it without warning: `within` milliseconds after
// it starts the operation `target`, or, with no target, `within` milliseconds after its start.
Run runAndKill(const QString &group, int run, const QString &target, int within)
{
    QProcess writer;
    writer.setProcessChannelMode(QProcess::SeparateChannels);
    writer.setStandardErrorFile(QProcess::nullDevice());
    writer.start(QStringLiteral(SENTARO_WRITER), {group, QDir::currentPath(), QString::number(run)});
    writer.waitForStarted();
    QByteArray output;
    QElapsedTimer clock;
    clock.start();
    qint64 deadline = target.isEmpty() ? within : 20000;
    const QByteArray mark = "DOING " + target.toUtf8();
    while (clock.elapsed() < deadline && writer.state() == QProcess::Running) {
        writer.waitForReadyRead(int(std::clamp<qint64>(deadline - clock.elapsed(), 1, 50)));
        output += writer.readAllStandardOutput();
        if (!target.isEmpty() && deadline == 20000) {
            const qsizetype at = output.indexOf(mark);
            if (at >= 0 && (output.size() > at + mark.size()) &&
                (output.at(at + mark.size()) == ' ' || output.at(at + mark.size()) == '\n'))
                deadline = clock.elapsed() + within;
        }
    }
    writer.kill();
    writer.waitForFinished();
    output += writer.readAllStandardOutput();
    Run result;
    for (const QByteArray &line : output.split('\n')) {
        const QString text = QString::fromUtf8(line);
        if (text == u"STARTED"_s) {
            result.started = true;
        } else if (text.startsWith(u"DOING "_s)) {
            result.pending = text.mid(6);
        } else if (!text.isEmpty()) {
            result.events << text;
            result.pending.clear();
        }
    }
    return result;
}

// The kills of a group: each operation in turn, then a few anywhere.
struct Kill {
    QString target;
    int within;
};
// `span`: how long, in milliseconds, the group's operations take at least, so that the
// kill falls inside the one aimed at.
std::vector<Kill> plan(const QStringList &operations, QRandomGenerator &random, int span)
{
    std::vector<Kill> kills;
    for (int i = 0; i < killsPerOperation; ++i) {
        for (const QString &operation : operations)
            kills.push_back({operation, int(random.bounded(operation == u"IMPORTED"_s ? 300 : span))});
    }
    for (int i = 0; i < killsAnywhere; ++i)
        kills.push_back({QString(), 100 + int(random.bounded(900))});
    return kills;
}

QString integrity()
{
    return queryValue(Schema::registerFile, u"PRAGMA integrity_check"_s).toString();
}

int count(const QString &sql)
{
    return queryValue(Schema::registerFile, sql).toInt();
}

void prepareFolder()
{
    Messages::ScriptedResponder quiet;
    QVERIFY(startSentaro());
    stopSentaro();
    runSql(Schema::registerFile,
           {u"insert into ASSO (DENOM) values ('GRUPPO')"_s,
            u"insert into VOLO (COGN, NOME, CODFISC) values ('ROSSI', 'MARIO', 'A'), ('BIANCHI', 'ANNA', 'B'), "
            u"('VERDI', 'LUCA', 'C'), ('NERI', 'ADA', 'D')"_s});
}
} // namespace

class TestKills : public QObject {
    Q_OBJECT
private slots:
    void activities();
    void people();
    void bulk();
    void conversion();

private:
    void report(const QString &group, int kills, int duringStart, const QMap<QString, int> &byOperation);
};

void TestKills::report(const QString &group, int kills, int duringStart, const QMap<QString, int> &byOperation)
{
    QStringList parts;
    for (auto it = byOperation.cbegin(); it != byOperation.cend(); ++it)
        parts << it.key() + u'=' + QString::number(it.value());
    qInfo("RELIABILITY kills %s: %d kills, %d during start-up, in operations: %s; lost or corrupted rows: 0",
          qPrintable(group), kills, duringStart, qPrintable(parts.join(u", "_s)));
}

void TestKills::activities()
{
    WorkingFolder folder;
    prepareFolder();
    QRandomGenerator random(1);
    QMap<QString, bool> activityShouldExist;
    QMap<QString, int> detailsExpected;
    QMap<QString, int> killedIn;
    int duringStart = 0;
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
    const auto kills = plan({u"ACTIVITY"_s, u"DETAILS"_s, u"RENAMED"_s, u"DELETED"_s}, random, 2);
    for (int run = 1; run <= int(kills.size()); ++run) {
        const Run done = runAndKill(u"activities"_s, run, kills[size_t(run - 1)].target, kills[size_t(run - 1)].within);
        if (!done.started)
            ++duringStart;
        for (const QString &event : done.events)
            apply(event.section(u' ', 0, 0), event.section(u' ', 1));
        QCOMPARE(integrity(), u"ok"_s);
        readArchive();
        // The interrupted operation is done or not; where it promises all or nothing, it is.
        if (!done.pending.isEmpty()) {
            const QString kind = done.pending.section(u' ', 0, 0);
            const QString argument = done.pending.section(u' ', 1);
            killedIn[kind] += 1;
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
        QCOMPARE(count(u"select count(*) from ATTIVDETT d where not exists (select 1 from ATTIVITA a where "
                       u"a.DESCRATT = d.DESCRATT and a.DATAINATT = d.DATAINATT)"_s),
                 0);
    }
    report(u"activities"_s, int(kills.size()), duringStart, killedIn);
    Messages::ScriptedResponder answers;
    QVERIFY(startSentaro());
    QVERIFY(answers.shown().isEmpty());
}

void TestKills::people()
{
    WorkingFolder folder;
    prepareFolder();
    QRandomGenerator random(2);
    QMap<QString, bool> volunteerShouldExist;
    QMap<QString, bool> organisationShouldExist;
    QMap<QString, int> killedIn;
    int duringStart = 0;
    const auto kills = plan({u"VOLUNTEER"_s, u"NOVOLUNTEER"_s, u"ORGANISATION"_s, u"NOORGANISATION"_s}, random, 1);
    for (int run = 1; run <= int(kills.size()); ++run) {
        const Run done = runAndKill(u"people"_s, run, kills[size_t(run - 1)].target, kills[size_t(run - 1)].within);
        if (!done.started)
            ++duringStart;
        for (const QString &event : done.events) {
            const QString kind = event.section(u' ', 0, 0);
            const QString argument = event.section(u' ', 1);
            if (kind == u"VOLUNTEER"_s || kind == u"NOVOLUNTEER"_s)
                volunteerShouldExist[argument] = kind == u"VOLUNTEER"_s;
            else
                organisationShouldExist[argument] = kind == u"ORGANISATION"_s;
        }
        QCOMPARE(integrity(), u"ok"_s);
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
            killedIn[kind] += 1;
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
    report(u"people"_s, int(kills.size()), duringStart, killedIn);
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
    QRandomGenerator random(3);
    QMap<QString, int> killedIn;
    int duringStart = 0;
    const auto kills =
        plan({u"IMPORTED"_s, u"EXPORTED"_s, u"EMPTIEDVOLUNTEERS"_s, u"EMPTIEDACTIVITIES"_s}, random, 20);
    for (int run = 1; run <= int(kills.size()); ++run) {
        // Something for the emptying and the export to work on.
        QStringList rows{u"insert into ATTIVITA (DATAINATT, DESCRATT, NOTE4) values ('01/01/2011', 'RUN %1', "
                         u"'2011/01/01')"_s.arg(run)};
        for (int i = 0; i < 50; ++i)
            rows << u"insert into ATTIVDETT (DATAINATT, DESCRATT, COGN, ORET6) values ('01/01/2011', 'RUN %1', "
                    u"'V%2', 1.5)"_s.arg(run).arg(i);
        runSql(Schema::registerFile, rows);
        const Run done = runAndKill(u"bulk"_s, run, kills[size_t(run - 1)].target, kills[size_t(run - 1)].within);
        if (!done.started)
            ++duringStart;
        const QString last = done.events.isEmpty() ? QString() : done.events.last();
        if (!done.pending.isEmpty())
            killedIn[done.pending] += 1;
        QCOMPARE(integrity(), u"ok"_s);
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
    report(u"bulk"_s, int(kills.size()), duringStart, killedIn);
}

void TestKills::conversion()
{
    const QString jet = sharedDataFolder() + u"/jet/made/attivita.mdb"_s;
    if (!QFile::exists(jet))
        QSKIP("the shared Access files are not beside the project");
    QRandomGenerator random(4);
    int original = 0;
    int converted = 0;
    int finishedAtRestart = 0;
    for (int run = 1; run <= killsPerOperation; ++run) {
        WorkingFolder folder;
        QVERIFY(QFile::copy(jet, Schema::registerFile));
        QFile::setPermissions(Schema::registerFile, QFile::ReadOwner | QFile::WriteOwner);
        const QByteArray before = fileBytes(Schema::registerFile);
        runAndKill(u"conversion"_s, run, QString(), int(random.bounded(700)));
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
        QVERIFY(startSentaro());
        QCOMPARE(queryValue(Schema::registerFile, u"select count(*) from ATTIVITA"_s).toInt(), 60);
        QCOMPARE(queryValue(Schema::registerFile, u"select count(*) from ATTIVDETT"_s).toInt(), 400);
        QCOMPARE(queryValue(Schema::registerFile, u"PRAGMA integrity_check"_s).toString(), u"ok"_s);
    }
    qInfo("RELIABILITY kills conversion of an Access archive: %d kills; original untouched %d, converted %d, "
          "finished at the next start %d; lost or corrupted rows: 0",
          killsPerOperation, original, converted, finishedAtRestart);
}

QTEST_MAIN(TestKills)
#include "tst_kills.moc"
