#include "activities/form2.h"
#include "app/form1.h"
#include "app/gridmodel.h"
#include "app/windows.h"
#include "common/globals.h"
#include "organisations/formass.h"
#include "participation/form3.h"
#include "participation/participation.h"
#include "store/database.h"
#include "store/schema.h"
#include "testsupport.h"
#include "ui/messages.h"
#include "volunteers/formvol.h"

#include <QAction>
#include <QComboBox>
#include <QDirIterator>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <unistd.h>

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
// Runs the program in a process of its own, and returns its exit code and the messages it
// showed. As the folder's owner, for permissions that bind: root may write anything, so
// under root (as in CI) the folder is handed to the user nobody and the program runs as nobody.
struct Outcome {
    int exitCode = -1;
    QStringList messages;
};
enum class RunAs { ThisUser, FolderOwner };

Outcome runWriter(const QString &group, RunAs as)
{
    constexpr uid_t nobody = 65534;
    // A copy of the program where nobody can run it, wherever the build is.
    QTemporaryDir programs;
    QFile::setPermissions(programs.path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    const QString program = programs.filePath(u"sentaro-writer"_s);
    QFile::copy(QStringLiteral(SENTARO_WRITER), program);
    QProcess writer;
    if (as == RunAs::FolderOwner && geteuid() == 0) {
        QDirIterator files(QDir::currentPath(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                           QDirIterator::Subdirectories);
        QStringList paths{QDir::currentPath()};
        while (files.hasNext())
            paths << files.next();
        for (const QString &path : paths) {
            if (chown(QFile::encodeName(path).constData(), nobody, nobody) != 0)
                return {};
        }
        writer.setChildProcessModifier([]() {
            if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0)
                _exit(125);
        });
    }
    writer.setProcessChannelMode(QProcess::SeparateChannels);
    writer.setStandardErrorFile(QProcess::nullDevice());
    writer.start(program, {group, QDir::currentPath(), u"1"_s});
    if (!writer.waitForFinished(120000))
        return {};
    Outcome outcome;
    outcome.exitCode = writer.exitStatus() == QProcess::NormalExit ? writer.exitCode() : -1;
    for (const QByteArray &line : writer.readAllStandardOutput().split('\n')) {
        if (line.startsWith("MESSAGE "))
            outcome.messages << QString::fromUtf8(line.mid(8));
    }
    return outcome;
}
} // namespace

class TestRefused : public ProgramTest {
    Q_OBJECT
private slots:
    void init();
    void everyWindowSaysSoAndKeepsTheRows();
    void fullDatabaseStopsTheImportCleanly();
    void fileLockedByAnotherProgram();
    void readOnlyArchiveOrFolderStopsTheStart_data();
    void readOnlyArchiveOrFolderStopsTheStart();
    void folderTurnedReadOnlyWhileRunning();
    void secondProgramOnTheSameFolder();

private:
    void expectOneMessage(const std::function<void()> &action, const QString &contains);

    int m_cases = 0;
};

void TestRefused::init()
{
    QVERIFY(start({u"insert into ASSO (DENOM) values ('GRUPPO')"_s,
                   u"insert into VOLO (COGN, NOME) values ('ROSSI', 'MARIO'), ('BIANCHI', 'ANNA')"_s,
                   u"insert into ATTIVITA (DATAINATT, DATAFIATT, DESCRATT, LOCATT, PROVATT, NOTE4) values "
                   u"('05/01/2011', '05/01/2011', 'SISMA', 'ROMA', 'RM', '2011/01/05')"_s,
                   u"insert into ATTIVDETT (DATAINATT, DESCRATT, COGN, ORET6, OREUOMO) values "
                   u"('05/01/2011', 'SISMA', 'ROSSI MARIO', 2, 2)"_s}));
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
    expectOneMessage([&] { m_main->findChild<QAction *>(u"mnvolimp"_s)->trigger(); },
                     u"il disco o l'archivio è pieno (database or disk is full"_s);
    const int imported = count(u"VOLO"_s) - 2;
    QVERIFY(imported >= 0 && imported < 3000);
    // What stayed is what the message says: a group the full disk ended writes nothing more.
    QVERIFY2(m_answers->shown().constFirst().contains(u", aggiunti %1;"_s.arg(imported)),
             qPrintable(m_answers->shown().join(u" | "_s)));
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
        expectOneMessage([&] { formass->cmdassregistra->click(); },
                         u"l'archivio è bloccato da un altro programma (database is locked"_s);
        QVERIFY(lock.exec(u"ROLLBACK"_s));
    }
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase(u"other-program"_s);
    QCOMPARE(count(u"ASSO"_s), 1);
    qInfo("RELIABILITY archive locked by another program: write refused after the wait, message shown");
}

void TestRefused::readOnlyArchiveOrFolderStopsTheStart_data()
{
    QTest::addColumn<QString>("readOnly");
    QTest::addColumn<QString>("said");
    QTest::newRow("archive") << Schema::registerFile << u"Il file attivita.mdb è di sola lettura"_s;
    QTest::newRow("folder") << u"."_s << u"è di sola lettura"_s;
}

void TestRefused::readOnlyArchiveOrFolderStopsTheStart()
{
    QFETCH(QString, readOnly);
    QFETCH(QString, said);
    stopSentaro();
    const QByteArray before = fileBytes(Schema::registerFile);
    const QStringList files = QDir().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadUser | QFile::ExeUser);
    const Outcome outcome = runWriter(u"start"_s, RunAs::FolderOwner);
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser |
                                        QFile::WriteUser | QFile::ExeUser);
    // Stopped in order, with one message that names the trouble.
    QCOMPARE(outcome.exitCode, 3);
    QCOMPARE(outcome.messages.size(), 1);
    QVERIFY2(outcome.messages[0].contains(said), qPrintable(outcome.messages[0]));
    QVERIFY(outcome.messages[0].endsWith(u"Sentaro si chiude senza modificare nulla."_s));
    // Nothing touched, nothing left beside the archive (a left side file would stop later starts).
    QCOMPARE(fileBytes(Schema::registerFile), before);
    QCOMPARE(QDir().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), files);
    // Once writable again, the archive opens as it was.
    m_main = startSentaro();
    QVERIFY(m_main);
    QCOMPARE(count(u"ATTIVDETT"_s), 1);
    qInfo("RELIABILITY read-only %s at start: orderly stop, message shown, archive untouched",
          readOnly == u"."_s ? "working folder" : "attivita.mdb");
}

void TestRefused::folderTurnedReadOnlyWhileRunning()
{
    stopSentaro();
    const Outcome outcome = runWriter(u"readonly"_s, RunAs::FolderOwner);
    QFile::setPermissions(u"."_s, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser |
                                      QFile::WriteUser | QFile::ExeUser);
    QCOMPARE(outcome.exitCode, 0);
    // The export says so; each emptying asks, then says it could not keep its copy first.
    QVERIFY2(outcome.messages.size() == 5, qPrintable(outcome.messages.join(u" | "_s)));
    QVERIFY2(outcome.messages[0].startsWith(u"Esportazione non riuscita"_s), qPrintable(outcome.messages[0]));
    QVERIFY(outcome.messages[2].contains(u"l'archivio non è stato azzerato. Il file non si può creare o aprire"_s));
    QVERIFY(outcome.messages[4].contains(u"l'archivio non è stato azzerato"_s));
    QCOMPARE(QDir().entryList({u"*.xls"_s, u"attivita-*"_s}), QStringList());
    QCOMPARE(queryValue(Schema::registerFile, u"PRAGMA integrity_check"_s).toString(), u"ok"_s);
    QCOMPARE(count(u"ATTIVITA"_s), 1);
    QCOMPARE(count(u"ATTIVDETT"_s), 1);
    QCOMPARE(count(u"VOLO"_s), 2);
    qInfo("RELIABILITY working folder made read-only while running: export and 2 emptyings refused with a "
          "message, rows kept");
}

void TestRefused::secondProgramOnTheSameFolder()
{
    // This program holds the folder; a second one is started on it.
    const Outcome outcome = runWriter(u"start"_s, RunAs::ThisUser);
    QCOMPARE(outcome.exitCode, 3);
    QCOMPARE(outcome.messages,
             QStringList{u"L'archivio di questa cartella è già aperto in un altro Sentaro: si usa quello. "
                         u"Questo Sentaro si chiude senza modificare nulla."_s});
    // The first goes on writing.
    globals().tipoopass = u"I"_s;
    Formass *formass = Windows::formass();
    formass->cmbassdenom->setEditText(u"DOPO IL SECONDO"_s);
    m_answers->answerYes();
    formass->cmdassregistra->click();
    QCOMPARE(m_answers->shown(), QStringList{u"Organizzazione inserita regolarmente."_s});
    QCOMPARE(count(u"ASSO"_s), 2);
    qInfo("RELIABILITY second Sentaro on the same working folder: message shown, orderly stop, the first "
          "goes on");
}

QTEST_MAIN(TestRefused)
#include "tst_refused.moc"
