#include "activities/form2.h"
#include "app/form1.h"
#include "app/gridmodel.h"
#include "app/windows.h"
#include "common/globals.h"
#include "common/messages.h"
#include "organisations/formass.h"
#include "participation/form3.h"
#include "participation/participation.h"
#include "store/database.h"
#include "store/schema.h"
#include "testsupport.h"
#include "volunteers/formvol.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QString refusal = u"database or disk is full"_s;

// Every write to the table fails as on a full disk.
QStringList refuseWrites(const QString &table)
{
    return {u"CREATE TRIGGER full_i_%1 BEFORE INSERT ON %1 BEGIN SELECT RAISE(ABORT, '%2'); END"_s.arg(table, refusal),
            u"CREATE TRIGGER full_u_%1 BEFORE UPDATE ON %1 BEGIN SELECT RAISE(ABORT, '%2'); END"_s.arg(table, refusal),
            u"CREATE TRIGGER full_d_%1 BEFORE DELETE ON %1 BEGIN SELECT RAISE(ABORT, '%2'); END"_s.arg(table, refusal)};
}

int count(const QString &table)
{
    return queryValue(Schema::registerFile, u"select count(*) from "_s + table).toInt();
}
} // namespace

class TestRefused : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void everyWindowSaysSoAndKeepsTheRows();
    void fullDatabaseStopsTheImportCleanly();
    void fileLockedByAnotherProgram();

private:
    void expectOneMessage(const std::function<void()> &action, const QString &contains);

    std::unique_ptr<WorkingFolder> m_folder;
    std::unique_ptr<Messages::ScriptedResponder> m_answers;
    Form1 *m_main = nullptr;
    int m_cases = 0;
};

void TestRefused::init()
{
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    m_folder = std::make_unique<WorkingFolder>();
    {
        Messages::ScriptedResponder quiet;
        QVERIFY(startSentaro());
        stopSentaro();
    }
    runSql(Schema::registerFile,
           {u"insert into ASSO (DENOM) values ('GRUPPO')"_s,
            u"insert into VOLO (COGN, NOME) values ('ROSSI', 'MARIO'), ('BIANCHI', 'ANNA')"_s,
            u"insert into ATTIVITA (DATAINATT, DATAFIATT, DESCRATT, LOCATT, PROVATT, NOTE4) values "
            u"('05/01/2011', '05/01/2011', 'SISMA', 'ROMA', 'RM', '2011/01/05')"_s,
            u"insert into ATTIVDETT (DATAINATT, DESCRATT, COGN, ORET6, OREUOMO) values "
            u"('05/01/2011', 'SISMA', 'ROSSI MARIO', 2, 2)"_s});
    m_answers = std::make_unique<Messages::ScriptedResponder>();
    m_main = startSentaro();
    QVERIFY(m_main);
}

void TestRefused::cleanup()
{
    QVERIFY2(m_answers->unexpected().isEmpty(), qPrintable(m_answers->unexpected().join(u" | "_s)));
    m_answers.reset();
    m_folder.reset();
}

// The action's last message says what failed; the program goes on.
void TestRefused::expectOneMessage(const std::function<void()> &action, const QString &contains)
{
    m_answers->clear();
    m_answers->answerYes(5);
    action();
    QVERIFY(!m_answers->shown().isEmpty());
    QVERIFY2(m_answers->shown().last().contains(contains), qPrintable(m_answers->shown().join(u" | "_s)));
    QVERIFY(Windows::existingForm1());
    QCOMPARE(queryValue(Schema::registerFile, u"PRAGMA integrity_check"_s).toString(), u"ok"_s);
    ++m_cases;
}

void TestRefused::everyWindowSaysSoAndKeepsTheRows()
{
    QStringList triggers;
    for (const QString &table : {u"ATTIVITA"_s, u"ATTIVDETT"_s, u"VOLO"_s, u"ASSO"_s})
        triggers << refuseWrites(table);
    runSql(Schema::registerFile, triggers);

    // Activities: register, rename, delete.
    m_main->findChild<QAction *>(u"mnattins"_s)->trigger();
    Form2 *form2 = Windows::form2();
    form2->f2datain->setEditText(u"06/01/2011"_s);
    form2->f2datafi->setText(u"06/01/2011"_s);
    form2->f2descr->setEditText(u"NUOVA"_s);
    form2->f2loc->setText(u"ROMA"_s);
    form2->f2prov->setText(u"RM"_s);
    expectOneMessage([&] { form2->cmdreg->click(); }, refusal);
    form2->f2datain->setEditText(u"05/01/2011"_s);
    globals().descrattivita = u"SISMA"_s;
    form2->f2descr->setEditText(u"TERREMOTO"_s);
    expectOneMessage([&] { form2->cmdmodifica->click(); }, refusal);
    form2->f2descr->setEditText(u"SISMA"_s);
    expectOneMessage([&] { form2->cmdelimina->click(); }, refusal);

    // Participation: add and remove.
    Form3 *form3 = Windows::form3();
    activate(form3);
    globals().dataattivita = u"05/01/2011"_s;
    form3->f3descr->setEditText(u"SISMA"_s);
    caricadettagli();
    form3->List2->item(1)->setSelected(true);
    form3->orestandard->setText(u"3"_s);
    expectOneMessage([&] { form3->cmdr7->click(); }, refusal);
    form3->List1->item(0)->setSelected(true);
    expectOneMessage([&] { form3->cmdtogli->click(); }, refusal);

    // A volunteer and an organisation.
    globals().tipoopvol = u"I"_s;
    Formvol *formvol = Windows::formvol();
    formvol->cmbassdenom->setEditText(u"GRUPPO"_s);
    formvol->fvcogn->setText(u"VERDI"_s);
    formvol->fvnome->setText(u"LUCA"_s);
    expectOneMessage([&] { formvol->cmdregistra->click(); }, refusal);
    globals().tipoopass = u"I"_s;
    Formass *formass = Windows::formass();
    formass->cmbassdenom->setEditText(u"ALTRO GRUPPO"_s);
    expectOneMessage([&] { formass->cmdassregistra->click(); }, refusal);

    // A cell of the grid.
    m_main->showActivities();
    expectOneMessage([&] { m_main->gridModel->setData(m_main->gridModel->index(0, 3), u"MILANO"_s); }, refusal);
    QCOMPARE(m_main->gridModel->index(0, 3).data().toString(), u"ROMA"_s);

    // Emptying: the copy is kept, the deletion refused, nothing lost.
    expectOneMessage([&] { m_main->findChild<QAction *>(u"mnazzatt"_s)->trigger(); }, refusal);

    QCOMPARE(count(u"ATTIVITA"_s), 1);
    QCOMPARE(count(u"ATTIVDETT"_s), 1);
    QCOMPARE(count(u"VOLO"_s), 2);
    QCOMPARE(count(u"ASSO"_s), 1);
    QCOMPARE(queryValue(Schema::registerFile, u"select DESCRATT || LOCATT from ATTIVITA"_s).toString(), u"SISMAROMA"_s);
    qInfo("RELIABILITY refused %d writes (full archive): message shown, program running, rows kept", m_cases);
}

void TestRefused::fullDatabaseStopsTheImportCleanly()
{
    QStringList exported{u"CREATE TABLE VOLO (COGN TEXT, NOME TEXT, NOTE TEXT)"_s};
    for (int i = 0; i < 3000; ++i)
        exported << u"insert into VOLO (COGN, NOME, NOTE) values ('IMP%1', 'N', '%2')"_s.arg(i).arg(QString(200, u'x'));
    runSql(Schema::importFile, exported);
    // A real full archive: no more pages than it has now, and a few.
    const int pages = queryValue(Schema::registerFile, u"PRAGMA page_count"_s).toInt();
    QVERIFY(Store::execute(Store::connection(Schema::registerFile),
                           u"PRAGMA max_page_count = "_s + QString::number(pages + 20))
                .ok());
    expectOneMessage([&] { m_main->findChild<QAction *>(u"mnvolimp"_s)->trigger(); }, u"full"_s);
    const int imported = count(u"VOLO"_s) - 2;
    QVERIFY(imported >= 0 && imported < 3000);
    // Whole rows only.
    QCOMPARE(queryValue(Schema::registerFile, u"select count(*) from VOLO where COGN like 'IMP%' and "
                                              u"length(NOTE) <> 200"_s)
                 .toInt(),
             0);
    qInfo("RELIABILITY full disk during an import of 3000: %d rows kept whole, message shown", imported);
}

void TestRefused::fileLockedByAnotherProgram()
{
    QSqlDatabase other = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"other-program"_s);
    other.setDatabaseName(Schema::registerFile);
    QVERIFY(other.open());
    {
        QSqlQuery lock(other);
        QVERIFY(lock.exec(u"BEGIN EXCLUSIVE"_s));
        globals().tipoopass = u"I"_s;
        Formass *formass = Windows::formass();
        formass->cmbassdenom->setEditText(u"BLOCCATO"_s);
        expectOneMessage([&] { formass->cmdassregistra->click(); }, u"locked"_s);
        QVERIFY(lock.exec(u"ROLLBACK"_s));
    }
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase(u"other-program"_s);
    QCOMPARE(count(u"ASSO"_s), 1);
    qInfo("RELIABILITY archive locked by another program: write refused after the wait, message shown");
}

QTEST_MAIN(TestRefused)
#include "tst_refused.moc"
