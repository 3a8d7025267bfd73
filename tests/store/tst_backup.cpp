#include "app/form1.h"
#include "common/clock.h"
#include "store/backup.h"
#include "store/schema.h"
#include "testsupport.h"
#include "ui/messages.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTest>

#ifndef Q_OS_WIN
#include <sys/file.h>
#endif

using namespace Qt::StringLiterals;

namespace {
// Holds an open file as a running program holds its lock: locked (Linux), or just open, which
// Windows does not let another program remove.
bool holdAsARunningProgram(QFile &file)
{
#ifdef Q_OS_WIN
    return file.isOpen();
#else
    return flock(file.handle(), LOCK_EX | LOCK_NB) == 0;
#endif
}
} // namespace

class TestBackup : public QObject {
    Q_OBJECT
private slots:
    void retention();
    void firstStartOfTheDayKeepsACopy();
    void failedCopyDoesNotStopTheProgram_data();
    void failedCopyDoesNotStopTheProgram();
    void secondProgramOnTheSameFolderStops();
    void lockLeftHalfWrittenByACrash();
};

void TestBackup::retention()
{
    const QDate today(2026, 12, 7);
    QStringList names;
    for (QDate day(2025, 10, 1); day <= today; day = day.addDays(1))
        names << u"attivita-"_s + day.toString(u"yyyyMMdd"_s) + u".mdb"_s;
    names << u"altro.mdb"_s << u"attivita-20261301.mdb"_s;
    const QStringList removed = Store::backupsToRemove(names, today);
    QStringList kept;
    for (const QString &name : names) {
        if (!removed.contains(name))
            kept << name;
    }
    // Seven days, then the first copy of each of the eleven months before this one.
    QCOMPARE(kept.filter(u"attivita-202612"_s),
             (QStringList{u"attivita-20261201.mdb"_s, u"attivita-20261202.mdb"_s, u"attivita-20261203.mdb"_s,
                          u"attivita-20261204.mdb"_s, u"attivita-20261205.mdb"_s, u"attivita-20261206.mdb"_s,
                          u"attivita-20261207.mdb"_s}));
    QVERIFY(kept.contains(u"attivita-20260101.mdb"_s));
    QVERIFY(kept.contains(u"attivita-20251201.mdb"_s));
    QVERIFY(!kept.contains(u"attivita-20251101.mdb"_s));
    QVERIFY(!kept.contains(u"attivita-20260102.mdb"_s));
    // Seven days, twelve months, and the name that is no date, untouched.
    QCOMPARE(kept.filter(u"attivita-2"_s).size(), 7 + 12 + 1);
    // Other files are never touched.
    QVERIFY(!removed.contains(u"altro.mdb"_s));
    QVERIFY(!removed.contains(u"attivita-20261301.mdb"_s));
    qInfo("RELIABILITY daily copies over %d days: %d kept (the last 7 days, one a month for a year)",
          int(names.size()) - 2, int(kept.filter(u"attivita-2"_s).size()) - 1);
}

void TestBackup::firstStartOfTheDayKeepsACopy()
{
    WorkingFolder folder;
    QDir().mkdir(u"backup"_s);
    for (const QString &old : {u"attivita-20260101.mdb"_s, u"attivita-20260102.mdb"_s})
        QFile(u"backup/"_s + old).open(QIODevice::WriteOnly);
    Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(9, 0)));
    Messages::ScriptedResponder answers;
    QVERIFY(startSentaro());
    stopSentaro();
    runSql(Schema::registerFile, {u"insert into VOLO (COGN, NOME) values ('DOPO', 'COPIA')"_s});
    Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(18, 0)));
    QVERIFY(startSentaro());
    QVERIFY(answers.shown().isEmpty());
    // The day's copy was taken at the first start and not taken again.
    QCOMPARE(QDir(u"backup"_s).entryList({u"*.mdb"_s}),
             (QStringList{u"attivita-20260101.mdb"_s, u"attivita-20261207.mdb"_s}));
    QCOMPARE(queryValue(u"backup/attivita-20261207.mdb"_s, u"select count(*) from VOLO"_s).toInt(), 0);
    QCOMPARE(queryValue(u"backup/attivita-20261207.mdb"_s, u"select count(*) from comuni"_s), QVariant());
    qInfo("RELIABILITY daily copy: made at the first start of the day before anything is written, not again "
          "the same day");
}

void TestBackup::failedCopyDoesNotStopTheProgram_data()
{
    QTest::addColumn<QString>("blocker");
    QTest::addColumn<bool>("folder");
    QTest::newRow("no backup folder") << u"backup"_s << false;
    // The folder is there, but the copy's own file cannot be written.
    QTest::newRow("copy not written") << u"backup/attivita-20261207.mdb.parziale"_s << true;
}

void TestBackup::failedCopyDoesNotStopTheProgram()
{
    QFETCH(QString, blocker);
    QFETCH(bool, folder);
    WorkingFolder working;
    if (folder) {
        QVERIFY(QDir().mkpath(blocker));
    } else {
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(9, 0)));
    Messages::ScriptedResponder answers;
    answers.answerYes();
    QVERIFY(startSentaro());
    QCOMPARE(answers.shown().size(), 1);
    QVERIFY2(answers.shown()[0].startsWith(u"Copia di sicurezza giornaliera non riuscita"_s),
             qPrintable(answers.shown()[0]));
    // No copy passes for the day's: the next start tries again.
    QVERIFY(!QFile::exists(u"backup/attivita-20261207.mdb"_s));
    qInfo("RELIABILITY daily copy that cannot be made: message shown, program running");
}

void TestBackup::secondProgramOnTheSameFolderStops()
{
    WorkingFolder folder;
    QLockFile other(QDir::current().absoluteFilePath(u"sentaro.lock"_s));
    QVERIFY(other.tryLock(0));
    Messages::ScriptedResponder answers;
    answers.answerYes();
    QVERIFY(!startSentaro());
    QCOMPARE(answers.shown().size(), 1);
    QVERIFY(answers.shown()[0].contains(u"già aperto in un altro Sentaro"_s));
    // Nothing was created or touched.
    QVERIFY(!QFile::exists(Schema::registerFile));
    other.unlock();
    stopSentaro();
    answers.clear();
    QVERIFY(startSentaro());
}

// A program killed while writing its lock leaves a lock naming no program: stale once its
// maker is gone, respected while the maker still holds it.
void TestBackup::lockLeftHalfWrittenByACrash()
{
    WorkingFolder folder;
    QFile halfWritten(u"sentaro.lock"_s);
    QVERIFY(halfWritten.open(QIODevice::WriteOnly));
    QVERIFY(holdAsARunningProgram(halfWritten));
    Messages::ScriptedResponder answers;
    answers.answerYes();
    QVERIFY(!startSentaro());
    QVERIFY(answers.shown().value(0).contains(u"già aperto in un altro Sentaro"_s));
    halfWritten.close();
    stopSentaro();
    answers.clear();
    QVERIFY2(startSentaro(), qPrintable(answers.shown().join(u" | "_s)));
    QVERIFY(answers.shown().isEmpty());
    qInfo("RELIABILITY lock left empty by a program killed while writing it: stale once that program is gone");
}

QTEST_MAIN(TestBackup)
#include "tst_backup.moc"
