#include "common/messages.h"
#include "store/schema.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
constexpr int killsPerGroup = 110;

struct Run {
    QStringList events;  // operations completed
    QString pending;     // the operation the kill interrupted, if any
    bool started = false;
};

// Starts the writer on the folder and kills it without warning after `delay` milliseconds.
Run runAndKill(const QString &group, int run, int delay)
{
    QProcess writer;
    writer.setProcessChannelMode(QProcess::SeparateChannels);
    writer.setStandardErrorFile(QProcess::nullDevice());
    writer.start(QStringLiteral(SENTARO_WRITER), {group, QDir::currentPath(), QString::number(run)});
    writer.waitForStarted();
    QTest::qWait(0);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < delay && writer.state() == QProcess::Running)
        writer.waitForReadyRead(int(std::max<qint64>(1, delay - clock.elapsed())));
    writer.kill();
    writer.waitForFinished();
    Run result;
    for (const QByteArray &line : writer.readAllStandardOutput().split('\n')) {
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
    for (int run = 1; run <= killsPerGroup; ++run) {
        const Run done = runAndKill(u"activities"_s, run, 150 + int(random.bounded(700)));
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
    report(u"activities"_s, killsPerGroup, duringStart, killedIn);
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
    for (int run = 1; run <= killsPerGroup; ++run) {
        const Run done = runAndKill(u"people"_s, run, 150 + int(random.bounded(700)));
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
    report(u"people"_s, killsPerGroup, duringStart, killedIn);
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
    for (int run = 1; run <= killsPerGroup; ++run) {
        // Something for the emptying and the export to work on.
        QStringList rows{u"insert into ATTIVITA (DATAINATT, DESCRATT, NOTE4) values ('01/01/2011', 'RUN %1', "
                         u"'2011/01/01')"_s.arg(run)};
        for (int i = 0; i < 50; ++i)
            rows << u"insert into ATTIVDETT (DATAINATT, DESCRATT, COGN, ORET6) values ('01/01/2011', 'RUN %1', "
                    u"'V%2', 1.5)"_s.arg(run).arg(i);
        runSql(Schema::registerFile, rows);
        const Run done = runAndKill(u"bulk"_s, run, 150 + int(random.bounded(900)));
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
    report(u"bulk"_s, killsPerGroup, duringStart, killedIn);
}

QTEST_MAIN(TestKills)
#include "tst_kills.moc"
