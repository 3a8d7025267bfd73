#include "app/form1.h"
#include "database/datasource.h"
#include "store/schema.h"
#include "testsupport.h"
#include "ui/messages.h"

#include <QAction>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QString exportTable =
    u"CREATE TABLE VOLO (CODASS TEXT, CODVOL TEXT, COGN TEXT, NOME TEXT, INDIR TEXT, CAP TEXT, CITTA TEXT, "
    u"PROV TEXT, DATANA TEXT, LUOGONA TEXT, PROVNA TEXT, SESSO TEXT, CODFISC TEXT, TEL TEXT, FAX TEXT, MAIL TEXT, "
    u"SPEC TEXT, NOTE TEXT, NOTE2 TEXT, NOTE3 TEXT)"_s;

int volunteers()
{
    return queryValue(Schema::registerFile, u"select count(*) from VOLO"_s).toInt();
}
} // namespace

class TestImport : public ProgramTest {
    Q_OBJECT
private slots:
    void init();
    void addsOnlyNewVolunteers();
    void missingOrForeignExport();
    void refusedRowsAreLeftOutAndCounted();
    void refusedReadCommitsNothingOfItsGroup();

private:
    void import(const QStringList &messages);
};

void TestImport::init()
{
    QVERIFY(start({u"insert into VOLO (COGN, NOME, CODFISC) values ('ROSSI', 'MARIO', 'NOSTRO'), "
                   u"('FOÀ', 'NICCOLÒ', 'NOSTRO')"_s}));
}

void TestImport::import(const QStringList &messages)
{
    m_answers->clear();
    m_answers->answerYes(int(messages.size()));
    m_main->findChild<QAction *>(u"mnvolimp"_s)->trigger();
    QCOMPARE(m_answers->shown(), messages);
}

void TestImport::addsOnlyNewVolunteers()
{
    runSql(Schema::importFile, {exportTable, u"insert into VOLO (CODASS, CODVOL, COGN, NOME, FAX, MAIL, NOTE3) values "
                                             u"('A1', 'V1', 'Bianchi', 'Anna', '06 1', 'anna@x.it', 'nota \"tre\"'), "
                                             u"('A1', 'V2', 'Rossi', 'Mario', NULL, NULL, NULL), "
                                             u"('A1', 'V3', 'foà', 'niccolò', NULL, NULL, NULL), "
                                             u"('A2', 'V4', 'VERDI', 'LUCA', NULL, NULL, NULL), "
                                             u"('A2', 'V5', 'verdi', 'luca', NULL, NULL, NULL), "
                                             u"('A2', 'V6', 'SOLO', NULL, NULL, NULL, NULL), "
                                             u"('A2', 'V7', 'SOLO', '', NULL, NULL, NULL), "
                                             // Without surname, or without either name: compared as empty text.
                                             u"('A3', 'V8', NULL, 'NESSUNO', NULL, NULL, NULL), "
                                             u"('A3', 'V9', NULL, NULL, NULL, NULL, NULL), "
                                             u"('A3', 'V10', '', 'nessuno', NULL, NULL, NULL)"_s});
    const QByteArray exportBefore = fileBytes(Schema::importFile);
    import({u"Importazione terminata"_s});
    QCOMPARE(m_main->windowTitle(), u"Sentaro - Letti:10 record aggiunti: 5"_s);
    QCOMPARE(volunteers(), 7);
    // Values as they came: letter case, codes, fax and mail.
    QCOMPARE(queryValue(Schema::registerFile, u"select CODASS || CODVOL || '|' || COGN || ' ' || NOME || '|' || FAX "
                                              u"|| '|' || MAIL || '|' || NOTE3 from VOLO where CODVOL = 'V1'"_s)
                 .toString(),
             u"A1V1|Bianchi Anna|06 1|anna@x.it|nota \"tre\""_s);
    QCOMPARE(queryValue(Schema::registerFile, u"select CODFISC from VOLO where COGN = 'ROSSI'"_s).toString(),
             u"NOSTRO"_s);
    // The export is only read.
    QCOMPARE(fileBytes(Schema::importFile), exportBefore);

    import({u"Importazione terminata"_s});
    QCOMPARE(m_main->windowTitle(), u"Sentaro - Letti:10 record aggiunti: 0"_s);
    QCOMPARE(volunteers(), 7);
}

void TestImport::refusedRowsAreLeftOutAndCounted()
{
    runSql(Schema::importFile, {exportTable, u"insert into VOLO (COGN, NOME) values ('BIANCHI', 'ANNA'), "
                                             u"('VERDI', 'LUCA')"_s});
    refuseWrites(Schema::volo, u"INSERT"_s, u"archivio bloccato"_s);
    m_answers->clear();
    m_answers->answerYes(2);
    m_main->findChild<QAction *>(u"mnvolimp"_s)->trigger();
    allowWrites(Schema::volo);
    QCOMPARE(m_answers->shown().size(), 2);
    QCOMPARE(m_answers->shown().constFirst(), u"Importazione terminata"_s);
    QVERIFY2(
        m_answers->shown().constLast().startsWith(
            u"Volontari non importati perché rifiutati dall'archivio: 2 (il primo: BIANCHI ANNA: archivio bloccato"_s),
        qPrintable(m_answers->shown().constLast()));
    QCOMPARE(m_main->windowTitle(), u"Sentaro - Letti:2 record aggiunti: 0"_s);
    QCOMPARE(volunteers(), 2);
}

void TestImport::missingOrForeignExport()
{
    import({u"Il file voloesp.mdb non è nella cartella di lavoro: nessun volontario importato."_s});
    QVERIFY(!QFile::exists(Schema::importFile));
    QCOMPARE(m_main->windowTitle(), u"Sentaro"_s);

    runSql(Schema::importFile, {u"CREATE TABLE ALTRO (X TEXT)"_s});
    m_answers->clear();
    m_answers->answerYes();
    m_main->findChild<QAction *>(u"mnvolimp"_s)->trigger();
    QCOMPARE(m_answers->shown().size(), 1);
    QVERIFY2(m_answers->shown().constFirst().contains(u"voloesp.mdb"_s) &&
                 m_answers->shown().constFirst().contains(u"VOLO"_s),
             qPrintable(m_answers->shown().constFirst()));
    QCOMPARE(volunteers(), 2);

    QFile::remove(Schema::importFile);
    QFile junk(Schema::importFile);
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("non un archivio");
    junk.close();
    m_answers->clear();
    m_answers->answerYes();
    m_main->findChild<QAction *>(u"mnvolimp"_s)->trigger();
    QVERIFY(m_answers->shown().constFirst().contains(u"voloesp.mdb"_s));
    QCOMPARE(volunteers(), 2);
}

void TestImport::refusedReadCommitsNothingOfItsGroup()
{
    runSql(Schema::importFile, {exportTable, u"insert into VOLO (COGN, NOME) values ('BIANCHI', 'ANNA'), "
                                             u"('VERDI', 'LUCA')"_s});
    // Refused among the export's names (statement, first name read, second refused), or on
    // reading the second volunteer whole, once the first was added in the same group.
    const struct {
        int reads;
        QString caption;
    } cases[] = {{2, u"Sentaro - Letti:1 record aggiunti: 0"_s}, {8, u"Sentaro - Letti:2 record aggiunti: 0"_s}};
    for (const auto &item : cases) {
        DataSource::refuseReadsAfter(item.reads);
        import({u"Importazione interrotta: lettura rifiutata dall'archivio (prova). Gli ultimi volontari letti "
                u"non sono stati registrati."_s});
        DataSource::refuseReadsAfter(-1);
        QCOMPARE(m_main->windowTitle(), item.caption);
        QCOMPARE(volunteers(), 2);
    }
}

QTEST_MAIN(TestImport)
#include "tst_import.moc"
