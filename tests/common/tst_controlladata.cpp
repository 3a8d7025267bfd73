#include "common/controlladata.h"
#include "common/globals.h"
#include "ui/messages.h"
#include "ui/refusals.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestControllaData : public QObject {
    Q_OBJECT
private slots:
    void check_data();
    void check();
    void everyDayOfACenturyPasses();
};

void TestControllaData::check_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("empty") << QString() << true;
    QTest::newRow("ordinary") << u"15/03/2010"_s << true;
    QTest::newRow("first accepted year") << u"01/01/1900"_s << true;
    QTest::newRow("leap day") << u"29/02/2012"_s << true;
    QTest::newRow("leap century") << u"29/02/2000"_s << true;
    QTest::newRow("one-digit day") << u"1/01/2010"_s << false;
    QTest::newRow("day beyond 31") << u"32/01/2010"_s << false;
    QTest::newRow("letter in day") << u"3a/01/2010"_s << false;
    QTest::newRow("before 1900") << u"31/12/1899"_s << false;
    QTest::newRow("no leap day") << u"29/02/2011"_s << false;
    QTest::newRow("no leap century") << u"29/02/1900"_s << false;
    QTest::newRow("thirty-first of April") << u"31/04/2010"_s << false;
    QTest::newRow("one-digit month") << u"01/1/2010"_s << false;
    QTest::newRow("day zero") << u"00/01/2000"_s << false;
    QTest::newRow("month thirteen") << u"01/13/2010"_s << false;
    QTest::newRow("month zero") << u"01/00/2010"_s << false;
    QTest::newRow("two-digit year") << u"01/01/20"_s << false;
    QTest::newRow("time after the date") << u"01/01/2010 10:00"_s << false;
    QTest::newRow("dash separator") << u"01/01-2010"_s << false;
    QTest::newRow("letters in month") << u"01/ab/2010"_s << false;
    QTest::newRow("blanks") << u"  /  /    "_s << false;
    QTest::newRow("five-digit year") << u"01/01/20100"_s << false;
    QTest::newRow("not a date at all") << u"oggi"_s << false;
}

void TestControllaData::check()
{
    QFETCH(QString, date);
    QFETCH(bool, accepted);
    resetGlobals();
    Messages::ScriptedResponder responder;
    QCOMPARE(controlladata(date), accepted);
    QCOMPARE(globals().esitodata, accepted ? u"0"_s : u"1"_s);
    QCOMPARE(globals().datacontrollo, date);
    // The check says nothing; a window's check says the form, then its own refusal, only for a refusal.
    QVERIFY(responder.shown().isEmpty());
    if (!accepted)
        responder.answerYes(2);
    QCOMPARE(dateRefused(date, u"Data inizio errata."_s), !accepted);
    const QStringList said{u"Data errata. Deve essere nel formato GG/MM/AAAA."_s, u"Data inizio errata."_s};
    QCOMPARE(responder.shown(), accepted ? QStringList() : said);
}

void TestControllaData::everyDayOfACenturyPasses()
{
    for (QDate day(1900, 1, 1); day.year() < 2100; day = day.addDays(1)) {
        if (!isAcceptableDate(day.toString(u"dd/MM/yyyy"_s)))
            QFAIL(qPrintable(day.toString(Qt::ISODate)));
    }
}

QTEST_APPLESS_MAIN(TestControllaData)
#include "tst_controlladata.moc"
