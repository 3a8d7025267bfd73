#include "app/form1.h"
#include "app/gridmodel.h"
#include "app/registercheckwindow.h"
#include "app/windows.h"
#include "common/clock.h"
#include "database/datasource.h"
#include "store/schema.h"
#include "testsupport.h"
#include "ui/linelistview.h"
#include "ui/messages.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
int rows(const QString &fileName, const QString &table)
{
    return queryValue(fileName, u"select count(*) from "_s + table).toInt();
}

// The export as an independent reader sees it: one line per row, cells as type:value.
QString readWorkbook(const QString &path)
{
    // Debian's own python3, which has Debian's xlrd.
    QString python = QStandardPaths::findExecutable(u"python3"_s, {u"/usr/bin"_s});
    if (python.isEmpty())
        python = QStandardPaths::findExecutable(u"python3"_s);
    if (python.isEmpty())
        return {};
    QProcess process;
    process.start(python, {u"-c"_s,
                           u"import sys, xlrd\n"
                           u"book = xlrd.open_workbook(sys.argv[1])\n"
                           u"for sheet in book.sheets():\n"
                           u"    print('SHEET', sheet.name, sheet.nrows)\n"
                           u"    for r in range(min(sheet.nrows, 3)):\n"
                           u"        print('|'.join('%d:%s' % (c.ctype, c.value) for c in sheet.row(r)))\n"_s,
                           path});
    process.waitForFinished(60000);
    if (process.exitCode() != 0)
        return u"ERROR "_s + QString::fromUtf8(process.readAllStandardError());
    return QString::fromUtf8(process.readAllStandardOutput());
}
} // namespace

class TestMaintenance : public ProgramTest {
    Q_OBJECT
private slots:
    void init();
    void noDeletesNothing();
    void emptyingActivitiesKeepsACopy();
    void emptyingVolunteers();
    void exportWritesAWorkbook();
    void checkFindsAndMendsTheRegister();

private:
    void trigger(const QString &command, const QStringList &messages, bool yes = true);
};

void TestMaintenance::init()
{
    QVERIFY(start({u"insert into ATTIVITA (DATAINATT, DESCRATT, NOTE4) values ('05/01/2011', 'SISMA', '2011/01/05')"_s,
                   u"insert into ATTIVDETT (DATAINATT, DATAFIATT, DESCRATT, LOCATT, PROVATT, COGN, NOME, CFISC, ORET0, "
                   u"ORET6, ORET7, ORET8, ORET9, ORET10, OREUOMO, NOTE1) values ('05/01/2011', '06/01/2011', 'SISMA', "
                   u"'CANTÙ', 'CO', 'ROSSI MARIO', NULL, 'RSSMRA80A01H501U', 0, 7.5, 0, 0, 0, 0, 7.5, 'prezzo 10 €')"_s,
                   u"insert into VOLO (COGN, NOME, CODASS) values ('ROSSI', 'MARIO', '4')"_s,
                   u"insert into VISITE (COGN, NOME, DATAVISITA, TIPO) values ('ROSSI', 'MARIO', '01/02/2010', "
                   u"'Controllo sanitario')"_s,
                   u"insert into VOLOEXTRA (COGN, NOME) values ('EXTRA', 'UNO')"_s,
                   u"insert into ASSO (CODASS, DENOM) values ('4', 'GRUPPO')"_s},
                  [] { Clock::setFixed(QDateTime(QDate(2011, 3, 6), QTime(14, 5, 9))); }));
}

void TestMaintenance::trigger(const QString &command, const QStringList &messages, bool yes)
{
    m_answers->clear();
    if (yes)
        m_answers->answerYes(int(messages.size()));
    else
        m_answers->answerNo(int(messages.size()));
    m_main->findChild<QAction *>(command)->trigger();
    QCOMPARE(m_answers->shown(), messages);
}

void TestMaintenance::noDeletesNothing()
{
    trigger(u"mnazzatt"_s, {u"Azzero l'archivio attività?"_s}, false);
    // Return alone must not empty an archive.
    QCOMPARE(m_answers->defaults(), QList<Messages::Default>{Messages::Default::No});
    trigger(u"mnazzvol"_s, {u"Azzero l'archivio Volontari e le loro visite mediche?"_s}, false);
    QCOMPARE(m_answers->defaults(), QList<Messages::Default>{Messages::Default::No});
    QCOMPARE(rows(Schema::registerFile, u"ATTIVDETT"_s), 1);
    QCOMPARE(rows(Schema::registerFile, u"VOLO"_s), 2);
    QCOMPARE(QDir().entryList({u"attivita-*.mdb"_s}), QStringList());
}

void TestMaintenance::emptyingActivitiesKeepsACopy()
{
    m_main->showInGrid(u"select * from ASSO order by DENOM"_s, u"O"_s);
    trigger(u"mnazzatt"_s, {u"Azzero l'archivio attività?"_s, u"Archivio Attività azzerato."_s});
    QCOMPARE(rows(Schema::registerFile, u"ATTIVITA"_s), 0);
    QCOMPARE(rows(Schema::registerFile, u"ATTIVDETT"_s), 0);
    QCOMPARE(rows(Schema::registerFile, u"VOLO"_s), 2);
    QCOMPARE(rows(Schema::registerFile, u"VOLOEXTRA"_s), 1);
    QCOMPARE(rows(Schema::registerFile, u"ASSO"_s), 1);
    QCOMPARE(m_main->gridModel->fieldName(0), u"DATAINATT"_s);
    QCOMPARE(m_main->gridModel->rowCount(), 0);
    // The copy holds the rows as they were.
    QVERIFY(QFile::exists(u"attivita-20110306-140509.mdb"_s));
    QCOMPARE(rows(u"attivita-20110306-140509.mdb"_s, u"ATTIVDETT"_s), 1);
    QCOMPARE(queryValue(u"attivita-20110306-140509.mdb"_s, u"select LOCATT from ATTIVDETT"_s).toString(), u"CANTÙ"_s);
    // A second one in the same second does not overwrite the first.
    trigger(u"mnazzatt"_s, {u"Azzero l'archivio attività?"_s, u"Archivio Attività azzerato."_s});
    QVERIFY(QFile::exists(u"attivita-20110306-140509-2.mdb"_s));
    QCOMPARE(rows(u"attivita-20110306-140509.mdb"_s, u"ATTIVDETT"_s), 1);

    // On a server, another PC's row committed while the copy is made is in the copy: the tables are
    // taken before it, so the emptying waits for that PC (or that PC for the emptying).
    if (serverArchive()) {
        {
            const OtherPc press({u"insert into ATTIVDETT (DATAINATT, DESCRATT, COGN) values ('07/01/2011', "
                                 u"'NEVE', 'ROSSI MARIO')"_s},
                                1500);
            trigger(u"mnazzatt"_s, {u"Azzero l'archivio attività?"_s, u"Archivio Attività azzerato."_s});
        }
        QCOMPARE(rows(u"attivita-20110306-140509-3.mdb"_s, u"ATTIVDETT"_s), 1);
        QCOMPARE(rows(Schema::registerFile, u"ATTIVDETT"_s), 0);
    }
}

void TestMaintenance::emptyingVolunteers()
{
    trigger(u"mnazzvol"_s,
            {u"Azzero l'archivio Volontari e le loro visite mediche?"_s, u"Archivio Volontari azzerato."_s});
    QCOMPARE(rows(Schema::registerFile, u"VOLO"_s), 0);
    // No health record is left of a volunteer no longer there; the thresholds are the group's settings.
    QCOMPARE(rows(Schema::registerFile, u"VISITE"_s), 0);
    QCOMPARE(rows(Schema::registerFile, u"SOGLIE"_s), 6);
    QCOMPARE(rows(Schema::registerFile, u"ATTIVDETT"_s), 1);
    QCOMPARE(rows(Schema::registerFile, u"VOLOEXTRA"_s), 1);
    QCOMPARE(rows(u"attivita-20110306-140509.mdb"_s, u"VOLO"_s), 2);

    // No copy, no emptying: the next copy's name leads nowhere that can be written.
    if (!makeDeadEnd(u"attivita-20110306-140509-2.mdb"_s))
        QSKIP("this system makes no link to nowhere");
    runSql(Schema::registerFile, {u"insert into VOLO (COGN, NOME) values ('B', 'C')"_s});
    m_answers->clear();
    m_answers->answerYes(2);
    m_main->findChild<QAction *>(u"mnazzvol"_s)->trigger();
    QCOMPARE(m_answers->shown().size(), 2);
    QVERIFY2(m_answers->shown().at(1).contains(u"l'archivio non è stato azzerato"_s),
             qPrintable(m_answers->shown().at(1)));
    QCOMPARE(rows(Schema::registerFile, u"VOLO"_s), 1);
}

void TestMaintenance::exportWritesAWorkbook()
{
    const QString name = u"dbattivitaesp20110306140509.xls"_s;
    trigger(u"mnespdb"_s, {u"Data Base Dettagli esportato sul file "_s + name});
    QVERIFY(keepForCheck(name));
    const QByteArray written = fileBytes(name);
    // Two exports in the same second: the first file stays.
    trigger(u"mnespdb"_s, {u"Il file "_s + name + u" esiste già: esportazione non eseguita."_s});
    QCOMPARE(fileBytes(name), written);

    const QString read = readWorkbook(name);
    if (read.isEmpty())
        QSKIP("python3 is not installed");
    QVERIFY2(!read.startsWith(u"ERROR"_s), qPrintable(read));
    const QStringList lines = read.trimmed().split(u'\n');
    QCOMPARE(lines[0], u"SHEET Foglio1 2"_s);
    QVERIFY2(
        lines[1].startsWith(u"1:DATAINATT|1:DATAFIATT|1:DESCRATT|1:LOCATT|1:PROVATT|1:COGN|1:NOME|1:CFISC|1:ORET0"_s),
        qPrintable(lines[1]));
    // Texts as texts, numbers as numbers, no value as an empty cell, accents kept.
    QVERIFY2(lines[2].startsWith(u"1:05/01/2011|1:06/01/2011|1:SISMA|1:CANTÙ|1:CO|1:ROSSI MARIO|0:|1:RSSMRA80A01H501U|"
                                 u"2:0.0|2:7.5|"_s),
             qPrintable(lines[2]));
    QVERIFY(lines[2].contains(u"1:prezzo 10 €"_s));
    // The volunteer's organisation, which the row itself does not name, last.
    QVERIFY2(lines[1].endsWith(u"|1:ORGANIZZAZIONE"_s) && lines[2].endsWith(u"|1:GRUPPO"_s), qPrintable(lines[2]));

    // An empty table gives the heading row alone.
    runSql(Schema::registerFile, {u"delete from ATTIVDETT"_s});
    Clock::setFixed(QDateTime(QDate(2011, 3, 6), QTime(14, 5, 10)));
    trigger(u"mnespdb"_s, {u"Data Base Dettagli esportato sul file dbattivitaesp20110306140510.xls"_s});
    QVERIFY(readWorkbook(u"dbattivitaesp20110306140510.xls"_s).startsWith(u"SHEET Foglio1 1"_s));

    // A read the store refuses, at the start or half-way: no workbook, and the reason said.
    runSql(Schema::registerFile, {u"insert into ATTIVDETT (DESCRATT, DATAINATT, COGN) values ('A', '01/01/2011', 'X'), "
                                  u"('B', '01/01/2011', 'Y'), ('C', '01/01/2011', 'Z')"_s});
    for (const int reads : {0, 3}) {
        Clock::setFixed(QDateTime(QDate(2011, 3, 6), QTime(14, 6, reads)));
        DataSource::refuseReadsAfter(reads);
        trigger(u"mnespdb"_s, {u"Esportazione non riuscita: lettura rifiutata dall'archivio (prova)"_s});
        DataSource::refuseReadsAfter(-1);
        QVERIFY(QDir().entryList({u"dbattivitaesp2011030614060*"_s}).isEmpty());
    }
}

void TestMaintenance::checkFindsAndMendsTheRegister()
{
    // Beside the fixture's SISMA (no end or place of its own, no totals, a row from CANTÙ), one
    // of each kind: a row of no activity, a misspelt name, a tax code shared, one with a wrong
    // check character, a visit of nobody.
    runSql(Schema::registerFile,
           {u"insert into ATTIVDETT (DATAINATT, DESCRATT, COGN, ORET0, OREUOMO) values ('05/01/2011', 'SISMA', "
            u"'ROSI MARIO', 1, 1), ('01/01/2000', 'NESSUNA', 'ROSSI MARIO', 2, 2)"_s,
            u"update VOLO set CODFISC = 'RSSMRA80A01H501U'"_s,
            u"insert into VOLO (COGN, NOME, CODFISC) values ('ROSSI', 'MARIA', 'RSSMRA80A01H501U'), "
            u"('VERDI', 'LUCA', 'VRDLCU75A01F205Z')"_s,
            u"insert into VISITE (COGN, NOME, DATAVISITA, TIPO) values ('NESSUNO', 'TALE', '01/02/2010', "
            u"'Controllo sanitario')"_s});
    trigger(u"mnazzcontrolla"_s, {});
    auto *window = m_main->findChild<Formcontrollo *>();
    QVERIFY(window && window->isVisible());
    const auto count = [&](RegisterCheck::Kind kind) {
        const QString heading = RegisterCheck::title(kind) + u": "_s;
        for (int i = 0; i < window->List1->count(); ++i) {
            if (window->List1->text(i).startsWith(heading))
                return window->List1->text(i).mid(heading.size()).toInt();
        }
        return -1;
    };
    using RegisterCheck::Kind;
    for (const Kind kind :
         {Kind::DetailDiffers, Kind::DetailWithoutActivity, Kind::UnknownVolunteer, Kind::TotalsDiffer,
          Kind::SharedTaxCode, Kind::WrongCheckCharacter, Kind::VisitWithoutVolunteer})
        QVERIFY2(count(kind) == 1, qPrintable(RegisterCheck::title(kind)));
    QStringList shown;
    for (int i = 0; i < window->List1->count(); ++i)
        shown << window->List1->text(i);
    QVERIFY(shown.contains(u"    ROSI MARIO (1 riga), forse: ROSSI MARIO"_s));
    QVERIFY(shown.contains(u"    VERDI LUCA: VRDLCU75A01F205Z, il carattere di controllo dovrebbe essere M"_s));

    m_answers->clear();
    m_answers->answerYes(2);
    window->cmdcorreggi->click();
    QCOMPARE(m_answers->shown().size(), 2);
    QVERIFY2(m_answers->shown().at(1).startsWith(u"Corrette 1 righe di dettaglio e i totali di 1 attività. La copia "
                                                 u"dell'archivio com'era è nel file "_s),
             qPrintable(m_answers->shown().at(1)));
    QCOMPARE(QDir().entryList({u"attivita-*.mdb"_s}).size(), 1);
    // The rows take their activity's end and place; the activity the sums of its rows.
    QCOMPARE(rows(Schema::registerFile, u"ATTIVDETT where LOCATT is null and DATAFIATT is null"_s), 3);
    QCOMPARE(queryValue(Schema::registerFile, u"select OREUOMO from ATTIVITA"_s).toDouble(), 8.5);
    QCOMPARE(count(Kind::DetailDiffers), 0);
    QCOMPARE(count(Kind::TotalsDiffer), 0);
    QCOMPARE(count(Kind::UnknownVolunteer), 1);
    QVERIFY(!window->cmdcorreggi->isEnabled());
}

QTEST_MAIN(TestMaintenance)
#include "tst_maintenance.moc"
