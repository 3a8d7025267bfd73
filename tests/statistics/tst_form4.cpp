#include "app/form1.h"
#include "app/windows.h"
#include "common/clock.h"
#include "database/datasource.h"
#include "statistics/form4.h"
#include "statistics/statistics.h"
#include "store/reportrows.h"
#include "store/schema.h"
#include "testsupport.h"
#include "ui/messages.h"
#include "ui/printer.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

class TestForm4 : public ProgramTest {
    Q_OBJECT
private slots:
    void init();
    void opensWithThisYear();
    void listingMatchesItsReference_data();
    void listingMatchesItsReference();
    void oneClassOrOneVolunteer();
    void periodChecks();
    void printsTheListing();
    void listingFromRowsAlone();

private:
    void elabora(const QStringList &messages = {});

    Form4 *m_form = nullptr;
};

void TestForm4::init()
{
    QVERIFY(
        start({u"insert into VOLO (COGN, NOME) values ('ROSSI', 'MARIO'), ('BIANCHI', 'ANNA'), ('VERDI', 'LUCA')"_s,
               u"insert into ATTIVDETT (DATAINATT, DESCRATT, COGN, NOME, ORET0, ORET6, ORET7, ORET8, ORET9, ORET10) "
               u"values ('05/01/2011', 'SISMA', 'ROSSI MARIO', '', 0, 8, 0, 0, 0, 0), "
               u"('20/02/2011', 'NEVE', 'ROSSI MARIO', '', 0, 0, 0, 0, 0, 3), "
               u"('20/02/2011', 'NEVE', 'BIANCHI ANNA', '', 0.5, 0, 0, 0, 0, 0), "
               u"('20/02/2012', 'FUORI', 'BIANCHI ANNA', '', 9, 0, 0, 0, 0, 0), "
               u"('20/02/2011', 'NEVE', 'VERDI LUCA', '', NULL, NULL, NULL, NULL, NULL, NULL), "
               u"('31/12/2011', 'FINE ANNO', 'ZANON PIA', '', 1234, 0, 0, 0, 0, 0.5), "
               u"('2011-06-01', 'DATA STORTA', 'ZANON PIA', '', 100, 0, 0, 0, 0, 0)"_s},
              [] { Clock::setFixed(QDateTime(QDate(2011, 11, 30), QTime(10, 0))); }));
    m_main->findChild<QAction *>(u"mnstatcombi"_s)->trigger();
    m_form = Windows::form4();
}

void TestForm4::elabora(const QStringList &messages)
{
    m_answers->clear();
    m_answers->answerYes(int(messages.size()));
    m_form->cmdelab->click();
    QCOMPARE(m_answers->shown(), messages);
}

void TestForm4::opensWithThisYear()
{
    QVERIFY(m_form->isVisible());
    QCOMPARE(m_form->windowTitle(), u"Sentaro - Statistiche combinate"_s);
    QCOMPARE(m_form->f4datada->text(), u"01/01/2011"_s);
    QCOMPARE(m_form->f4dataa->text(), u"30/11/2011"_s);
    QCOMPARE(m_form->cmbrisc->count(), 7);
    QCOMPARE(m_form->cmbvol->itemText(0), u"TUTTI"_s);
    QCOMPARE(m_form->cmbvol->itemText(1), u"BIANCHI ANNA"_s);
    // Everything, for everyone, to begin with.
    QCOMPARE(m_form->cmbrisc->currentText(), u"TUTTI"_s);
    QCOMPARE(m_form->cmbvol->currentText(), u"TUTTI"_s);
    // A period without hours: no volunteer listed, a zero grand total.
    m_form->f4datada->setText(u"01/01/2000"_s);
    m_form->f4dataa->setText(u"01/01/2000"_s);
    elabora();
    const QStringList shown = lines(m_form->List1);
    QCOMPARE(shown.size(), 5);
    QCOMPARE(shown[2].size(), 132);
    QCOMPARE(shown[4], statisticsLine(u"TOTALE GENERALE"_s, 0, {0, 0, 0, 0, 0, 0}));
    QCOMPARE(shown[4].mid(56, 6), u"  0,00"_s);
    QCOMPARE(shown[4].right(6), u"   ,00"_s);
    // An empty choice is named, not listed as zero hours.
    m_form->cmbrisc->setEditText(QString());
    elabora({u"Scegliere il rischio."_s});
    choose(m_form->cmbrisc, u"R0"_s);
    m_form->cmbvol->setEditText(QString());
    elabora({u"Scegliere i volontari."_s});
}

void TestForm4::listingMatchesItsReference_data()
{
    QTest::addColumn<bool>("comma");
    QTest::newRow("comma") << true;
    QTest::newRow("point") << false;
}

void TestForm4::listingMatchesItsReference()
{
    QFETCH(bool, comma);
    QLocale::setDefault(comma ? QLocale(QLocale::Italian, QLocale::Italy) : QLocale::c());
    m_form->f4dataa->setText(u"31/12/2011"_s);
    choose(m_form->cmbrisc, u"TUTTI"_s);
    choose(m_form->cmbvol, u"TUTTI"_s);
    elabora();
    const QStringList shown = lines(m_form->List1);
    compareWithReference(shown, comma ? u"statistics/tutti-comma"_s : u"statistics/tutti-point"_s);
    for (qsizetype i = 3; i < shown.size(); ++i) {
        if (!shown[i].trimmed().isEmpty())
            QCOMPARE(shown[i].size(), 134);
    }
    // 8 hours R6 and 3 hours R10 in two activities: one line with 11.
    const QString rossi = shown.filter(u"ROSSI MARIO"_s).value(0);
    QCOMPARE(rossi.mid(56, 6), comma ? u" 11,00"_s : u" 11.00"_s);
    // The last decimal of 1234.5 gives way in its six characters.
    QCOMPARE(shown.filter(u"ZANON PIA"_s).value(0).mid(56, 6), comma ? u"1234,5"_s : u"1234.5"_s);
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
}

void TestForm4::oneClassOrOneVolunteer()
{
    choose(m_form->cmbrisc, u"R6"_s);
    choose(m_form->cmbvol, u"TUTTI"_s);
    elabora();
    QStringList shown = lines(m_form->List1);
    QCOMPARE(shown.size(), 6);
    QCOMPARE(shown[3], statisticsLine(u"ROSSI MARIO"_s, 8, {0, 8, 0, 0, 0, 0}));
    QCOMPARE(shown[3].mid(80, 6), u"  8,00"_s);
    QCOMPARE(shown[3].right(6), u"   ,00"_s);

    choose(m_form->cmbrisc, u"TUTTI"_s);
    choose(m_form->cmbvol, u"BIANCHI ANNA"_s);
    elabora();
    shown = lines(m_form->List1);
    QCOMPARE(shown.size(), 6);
    QCOMPARE(shown[3], statisticsLine(u"BIANCHI ANNA"_s, 0.5, {0.5, 0, 0, 0, 0, 0}));
    QCOMPARE(shown[5], statisticsLine(u"TOTALE GENERALE"_s, 0.5, {0.5, 0, 0, 0, 0, 0}));

    // A one-day period counts that day only.
    m_form->f4datada->setText(u"05/01/2011"_s);
    m_form->f4dataa->setText(u"05/01/2011"_s);
    choose(m_form->cmbvol, u"TUTTI"_s);
    elabora();
    shown = lines(m_form->List1);
    QCOMPARE(shown.size(), 6);
    QVERIFY(shown[3].startsWith(u"   ROSSI MARIO"_s));
    QCOMPARE(shown[0], u"    STATISTICA DAL 05/01/2011 AL 05/01/2011 PER RISCHIO TUTTI"_s);
}

void TestForm4::periodChecks()
{
    const QString wrong = u"Data errata. Deve essere nel formato GG/MM/AAAA."_s;
    m_form->f4datada->setText(u"32/01/2011"_s);
    elabora({wrong, u"Data inizio errata."_s});
    QCOMPARE(m_form->List1->count(), 0);
    m_form->f4datada->clear();
    elabora({u"Data inizio errata."_s});
    m_form->f4datada->setText(u"01/01/2011"_s);
    m_form->f4dataa->clear();
    elabora({u"Data fine errata."_s});
    m_form->f4dataa->setText(u"31/02/2011"_s);
    elabora({wrong, u"Data fine errata."_s});
    QCOMPARE(m_form->List1->count(), 0);

    // A read the store refuses on the query or along the walk: said, and no short sums.
    m_form->f4dataa->setText(u"31/12/2011"_s);
    choose(m_form->cmbrisc, u"TUTTI"_s);
    choose(m_form->cmbvol, u"TUTTI"_s);
    for (const int steps : {0, 3}) {
        m_answers->clear();
        m_answers->answerYes();
        DataSource::refuseReadsAfter(steps);
        m_form->cmdelab->click();
        DataSource::refuseReadsAfter(-1);
        QCOMPARE(m_answers->shown().size(), 1);
        QVERIFY(m_answers->shown()[0].startsWith(u"Statistica non calcolata, l'archivio non si è potuto leggere: "_s));
        QCOMPARE(m_form->List1->count(), 0);
    }

    // The rows of other years are not read; a start the store cannot judge is, and the source
    // is left on the text it always had.
    DataSource &details = *m_main->Data4;
    QStringList starts;
    QVERIFY(Reports::detailHours(details, QDate(2012, 1, 1), QDate(2012, 12, 31), [&](const DetailRow &row) {
                starts << row.start;
            }).ok());
    QCOMPARE(starts, (QStringList{u"20/02/2012"_s, u"2011-06-01"_s}));
    QCOMPARE(details.recordSource(), u"select COGN, NOME, DATAINATT, ORET0, ORET6, ORET7, ORET8, ORET9, ORET10 "
                                     u"from ATTIVDETT ORDER BY COGN, NOME"_s);
}

void TestForm4::printsTheListing()
{
    choose(m_form->cmbrisc, u"TUTTI"_s);
    choose(m_form->cmbvol, u"TUTTI"_s);
    elabora();
    m_form->cmdstampa->click();
    const QList<DrawnItem> drawn = Printer::lastRecording();
    QCOMPARE(drawn.size(), m_form->List1->count() + 1);
    QCOMPARE(drawn.last().text, u"   "_s + lines(m_form->List1).value(m_form->List1->count() - 1));
    // 134 characters: too wide for 8 points on a portrait page, so landscape at 8 or more.
    QVERIFY(Printer::lastPage().landscape);
    QVERIFY(drawn.last().size >= 8);
    m_form->cmdesci->click();
    QVERIFY(!m_form->isVisible());
    // Shown again, it keeps its choices and listing.
    m_main->findChild<QAction *>(u"mnstatcombi"_s)->trigger();
    QCOMPARE(m_form->cmbrisc->currentText(), u"TUTTI"_s);
    QCOMPARE(m_form->List1->count(), drawn.size() - 1);
}

void TestForm4::listingFromRowsAlone()
{
    const auto row = [](const QString &surname, const QString &start, double r0, double r10) {
        DetailRow detail;
        detail.surname = surname;
        detail.start = start;
        detail.risk.hours[0] = r0;
        detail.risk.hours[5] = r10;
        return detail;
    };
    // A volunteer written in two letter cases is one; a start date that is no date counts nowhere.
    const QStringList shown =
        statisticsListing({u"01/01/2011"_s, u"31/12/2011"_s, u"TUTTI"_s, u"TUTTI"_s},
                          {row(u"ROSSI MARIO "_s, u"05/01/2011"_s, 1, 0), row(u"Rossi Mario"_s, u"06/01/2011"_s, 0, 2),
                           row(u"ROSSI MARIO"_s, u"2011-06-01"_s, 50, 0), row(u"VERDI LUCA"_s, u"01/01/2012"_s, 9, 0)});
    QCOMPARE(shown.size(), 6);
    QCOMPARE(shown[3], statisticsLine(u"ROSSI MARIO"_s, 3, {1, 0, 0, 0, 0, 2}));
    QCOMPARE(shown[5], statisticsLine(u"TOTALE GENERALE"_s, 3, {1, 0, 0, 0, 0, 2}));
}

QTEST_MAIN(TestForm4)
#include "tst_form4.moc"
