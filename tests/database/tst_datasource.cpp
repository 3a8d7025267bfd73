#include "store/database.h"
#include "database/datasource.h"
#include "store/records.h"
#include "store/schema.h"
#include "store/surveillance.h"
#include "store/workingfiles.h"
#include "common/datecheck.h"
#include "common/volunteertext.h"
#include "testsupport.h"

#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
DataSource *volunteers(QObject *parent)
{
    return new DataSource(u"Data6"_s, Schema::registerFile, u"VOLO"_s, parent);
}

Store::Result addVolunteer(DataSource *source, const QString &surname, const QString &name)
{
    source->addNew();
    source->setValue(u"cogn"_s, surname);
    source->setValue(u"NOME"_s, name);
    return source->update();
}

int countRows(const QString &table)
{
    return queryValue(Schema::registerFile, u"select count(*) from "_s + table).toInt();
}
} // namespace

class TestDataSource : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void firstOpenCreatesTheFiles();
    void existingFilesAreNeverOverwritten();
    void namesIgnoreLetterCase();
    void uniqueKeysFoldAccentedCapitals();
    void otherFailuresCarryTheStoreText();
    void storeReasonsAreSaidInItalian_data();
    void storeReasonsAreSaidInItalian();
    void valuesAreBoundNotSpliced();
    void lookupsMatchDatesExactly();
    void activitiesSortMostRecentFirst();
    void walkVisitsEachRowOnceWhileWriting();
    void refusedReadEndsTheWalkAndSaysWhy_data();
    void refusedReadEndsTheWalkAndSaysWhy();
    void unusableFilesAreReportedAndLeftUnchanged_data();
    void unusableFilesAreReportedAndLeftUnchanged();
    void readOnlyRegisterIsRefused();
    void otherToolsCanCheckTheFile();
    void recordsNameEveryColumnInOrder();
    void riskHoursCountByWeek_data();
    void riskHoursCountByWeek();
    void surveillanceStatus_data();
    void surveillanceStatus();

private:
    std::unique_ptr<WorkingFolder> m_folder;
    std::unique_ptr<QObject> m_owner;
};

void TestDataSource::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
}

void TestDataSource::init()
{
    m_folder = std::make_unique<WorkingFolder>();
    m_owner = std::make_unique<QObject>();
}

void TestDataSource::cleanup()
{
    m_owner.reset();
    Store::closeAll();
    m_folder.reset();
}

void TestDataSource::firstOpenCreatesTheFiles()
{
    QCOMPARE(Store::openWorkingFiles(), std::nullopt);
    for (const QString &name : {Schema::registerFile, Schema::municipalitiesFile, Schema::specialisationsFile})
        QVERIFY2(QFile::exists(name), qPrintable(name));
    QVERIFY(!QFile::exists(Schema::registerFile + u".nuovo"_s));

    DataSource comuni(u"Data20"_s, Schema::municipalitiesFile, u"comuni"_s);
    comuni.setRecordSource(u"select * from comuni where comune = ?"_s, {u"cantù"_s});
    QVERIFY(comuni.refresh());
    QCOMPARE(comuni.text(u"PROV"_s), u"CO"_s);
    QCOMPARE(comuni.text(u"codice"_s), u"B639"_s);
    comuni.setRecordSource(u"select * from comuni where prov = ?"_s, {u"EE"_s});
    comuni.refresh();
    int states = 0;
    for (; !comuni.eof(); comuni.moveNext())
        ++states;
    QCOMPARE(states, 216);
    QCOMPARE(queryValue(Schema::municipalitiesFile, u"select count(*) from comuni"_s).toInt(), 7896 + 216);

    // Fields in their order: the grid and the start-up copy read them by position.
    DataSource activities(u"Data7"_s, Schema::registerFile, u"Attivita"_s);
    QVERIFY(activities.refresh());
    QCOMPARE(activities.fieldName(0), u"DATAINATT"_s);
    QCOMPARE(activities.fieldName(2), u"DESCRATT"_s);
    QCOMPARE(activities.fieldCount(), 17);
    DataSource extra(u"Data5"_s, Schema::registerFile, u"Voloextra"_s);
    QVERIFY(extra.refresh());
    QCOMPARE(extra.fieldCount(), 19);
}

void TestDataSource::existingFilesAreNeverOverwritten()
{
    QVERIFY(!Store::openWorkingFiles());
    runSql(Schema::municipalitiesFile, {u"delete from comuni where prov <> 'EE'"_s});
    QFile specialisations(Schema::specialisationsFile);
    QVERIFY(specialisations.open(QIODevice::WriteOnly));
    specialisations.write("MIA SPECIALITA\r\n");
    specialisations.close();
    Store::closeAll();

    QVERIFY(!Store::openWorkingFiles());
    QCOMPARE(queryValue(Schema::municipalitiesFile, u"select count(*) from comuni"_s).toInt(), 216);
    QCOMPARE(fileBytes(Schema::specialisationsFile), QByteArray("MIA SPECIALITA\r\n"));
}

void TestDataSource::namesIgnoreLetterCase()
{
    QVERIFY(!Store::openWorkingFiles());
    DataSource *source = volunteers(m_owner.get());
    QVERIFY(addVolunteer(source, u"ROSSI"_s, u"MARIO"_s).ok());
    for (const QString &sql : {u"select * from volo"_s, u"SELECT * FROM Volo WHERE cogn = ?"_s,
                               u"select * from VOLO where COGN = ? And nome = ?"_s}) {
        QVariantList values{u"rossi"_s, u"Mario"_s};
        values.resize(sql.count(u'?'));
        source->setRecordSource(sql, values);
        QVERIFY2(source->refresh(), qPrintable(source->lastError().description));
        QVERIFY(!source->eof());
        QCOMPARE(source->text(u"nome"_s), u"MARIO"_s);
        QCOMPARE(source->value(3).toString(), u"MARIO"_s);
        QCOMPARE(source->value(u"Cogn"_s).toString(), u"ROSSI"_s);
    }
    source->setRecordSource(u"select * from VOLO where COGN = ?"_s, {u"BIANCHI"_s});
    QVERIFY(source->refresh());
    QVERIFY(source->eof());
    QCOMPARE(source->text(u"COGN"_s), QString());
}

void TestDataSource::uniqueKeysFoldAccentedCapitals()
{
    QVERIFY(!Store::openWorkingFiles());
    DataSource *source = volunteers(m_owner.get());
    QVERIFY(addVolunteer(source, u"ROSSI"_s, u"MARIO"_s).ok());
    QCOMPARE(addVolunteer(source, u"Rossi"_s, u"mario"_s).number, Store::duplicateKey);
    QVERIFY(addVolunteer(source, u"FOÀ"_s, u"NICCOLÒ"_s).ok());
    QCOMPARE(addVolunteer(source, u"Foà"_s, u"Niccolò"_s).number, Store::duplicateKey);
    // Accents still count: Foa is somebody else.
    QVERIFY(addVolunteer(source, u"FOA"_s, u"NICCOLO"_s).ok());
    QCOMPARE(countRows(Schema::volo), 3);

    DataSource organisations(u"Data8"_s, Schema::registerFile, u"ASSO"_s);
    organisations.addNew();
    organisations.setValue(u"DENOM"_s, u"PROTEZIONE CIVILE È"_s);
    QVERIFY(organisations.update().ok());
    organisations.addNew();
    organisations.setValue(u"DENOM"_s, u"protezione civile è"_s);
    QCOMPARE(organisations.update().number, Store::duplicateKey);
    // Past a long equal beginning, a letter that differs in its second byte alone.
    for (const auto &[denomination, number] :
         {std::pair{u"GRUPPO COMUNALE DI PROTEZIONE CIVILE È"_s, 0},
          std::pair{u"GRUPPO COMUNALE DI PROTEZIONE CIVILE Ì"_s, 0},
          std::pair{u"GRUPPO COMUNALE DI PROTEZIONE CIVILE è"_s, int(Store::duplicateKey)}}) {
        organisations.addNew();
        organisations.setValue(u"DENOM"_s, denomination);
        QCOMPARE(organisations.update().number, number);
    }

    DataSource activities(u"Data3"_s, Schema::registerFile, u"Attivita"_s);
    for (const QString &description : {u"ESERCITAZIONE"_s, u"Esercitazione"_s}) {
        activities.addNew();
        activities.setValue(u"DATAINATT"_s, u"01/02/2010"_s);
        activities.setValue(u"DESCRATT"_s, description);
        const Store::Result result = activities.update();
        QCOMPARE(result.number, description == u"ESERCITAZIONE"_s ? 0 : Store::duplicateKey);
    }
}

void TestDataSource::otherFailuresCarryTheStoreText()
{
    QVERIFY(!Store::openWorkingFiles());
    DataSource activities(u"Data3"_s, Schema::registerFile, u"Attivita"_s);
    activities.addNew();
    activities.setValue(u"DESCRATT"_s, u"PROVA"_s);
    activities.setValue(u"ORETOT"_s, u"sette"_s);
    const Store::Result notANumber = activities.update();
    QCOMPARE(notANumber.number, Store::otherFailure);
    QVERIFY(notANumber.description.contains(u"ORETOT"_s));
    QCOMPARE(countRows(Schema::attivita), 0);

    activities.addNew();
    activities.setValue(u"ORETOT"_s, u"7,5"_s);
    QVERIFY(activities.update().ok());
    QCOMPARE(queryValue(Schema::registerFile, u"select ORETOT from ATTIVITA"_s).toDouble(), 7.5);

    activities.setRecordSource(u"select * from NOTABLE"_s);
    QVERIFY(!activities.refresh());
    QVERIFY(activities.eof());
    QCOMPARE(activities.lastError().number, Store::otherFailure);
    QVERIFY(activities.lastError().description.contains(u"NOTABLE"_s));
}

void TestDataSource::storeReasonsAreSaidInItalian_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("said"); // empty: the store's words alone
    const QList<std::array<QString, 3>> rows = {
        {u"5"_s, u"database is locked"_s, u"l'archivio è bloccato da un altro programma"_s},
        {u"517"_s, u"database is locked"_s, u"l'archivio è bloccato da un altro programma"_s},
        {u"8"_s, u"attempt to write a readonly database"_s, u"l'archivio non si può scrivere"_s},
        {u"13"_s, u"database or disk is full"_s, u"il disco o l'archivio è pieno"_s},
        {u"266"_s, u"disk I/O error"_s, u"errore di lettura o scrittura sul disco"_s},
        {u"26"_s, u"file is not a database"_s, u"l'archivio è danneggiato"_s},
        {u"1"_s, u"no such table: ATTIVITA"_s, u"nell'archivio manca una tabella"_s},
        {u"1"_s, u"no such column: ORETOT"_s, u"nell'archivio manca un campo"_s},
        {u"1"_s, u"too many SQL variables"_s, u"troppi valori in una sola istruzione"_s},
        {u"1299"_s, u"NOT NULL constraint failed: VOLO.COGN"_s, u"un dato non è ammesso dall'archivio"_s},
        {u"1811"_s, u"archivio bloccato"_s, QString()},
        {u"18"_s, u"string or blob too big"_s, u"un testo o un dato è troppo grande per l'archivio"_s},
        {u"1"_s, u"near \"x\": syntax error"_s, QString()},
    };
    for (const auto &[code, text, said] : rows)
        QTest::addRow("%s %s", qPrintable(code), qPrintable(text)) << code << text << said;
}

void TestDataSource::storeReasonsAreSaidInItalian()
{
    QFETCH(QString, code);
    QFETCH(QString, text);
    QFETCH(QString, said);
    const Store::Result result = Store::classify(QSqlError(QString(), text, QSqlError::StatementError, code));
    QCOMPARE(result.number, Store::otherFailure);
    QCOMPARE(result.description, said.isEmpty() ? text : said + u" ("_s + text + u')');
}

void TestDataSource::valuesAreBoundNotSpliced()
{
    QVERIFY(!Store::openWorkingFiles());
    DataSource *source = volunteers(m_owner.get());
    const QStringList names = {u"D\"AMICO"_s, u"D'ANGELO"_s,    u"BACK\\SLASH"_s,
                               u"CENTO%"_s,   u"UNDER_SCORE"_s, u"\" OR \"\"=\""_s};
    for (const QString &name : names)
        QVERIFY(addVolunteer(source, name, u"X"_s).ok());
    for (const QString &name : names) {
        source->setRecordSource(u"select * from VOLO where COGN = ?"_s, {name});
        QVERIFY(source->refresh());
        QVERIFY2(!source->eof(), qPrintable(name));
        QCOMPARE(source->text(u"COGN"_s), name);
        source->moveNext();
        QVERIFY(source->eof());
    }
}

void TestDataSource::lookupsMatchDatesExactly()
{
    QVERIFY(!Store::openWorkingFiles());
    DataSource activities(u"Data3"_s, Schema::registerFile, u"Attivita"_s);
    activities.addNew();
    activities.setValue(u"DATAINATT"_s, u"1/2/2010"_s);
    activities.setValue(u"DESCRATT"_s, u"ALLUVIONE"_s);
    QVERIFY(activities.update().ok());
    activities.setRecordSource(u"select * from Attivita where datainatt = ? AND descratt = ?"_s,
                               {u"01/02/2010"_s, u"alluvione"_s});
    QVERIFY(activities.refresh());
    QVERIFY(activities.eof());
    activities.setRecordSource(u"select * from Attivita where datainatt = ? AND descratt = ?"_s,
                               {u"1/2/2010"_s, u"alluvione"_s});
    QVERIFY(activities.refresh());
    QVERIFY(!activities.eof());
}

void TestDataSource::activitiesSortMostRecentFirst()
{
    QVERIFY(!Store::openWorkingFiles());
    runSql(Schema::registerFile,
           {u"insert into ATTIVITA (DATAINATT, DESCRATT, NOTE4) values ('05/01/2011', 'B', '2011/01/05')"_s,
            u"insert into ATTIVITA (DATAINATT, DESCRATT, NOTE4) values ('20/12/2010', 'Z', '2010/12/20')"_s,
            u"insert into ATTIVITA (DATAINATT, DESCRATT, NOTE4) values ('05/01/2011', 'a', '2011/01/05')"_s});
    DataSource activities(u"Data7"_s, Schema::registerFile, u"Attivita"_s);
    activities.setRecordSource(u"select * from ATTIVITA order by NOTE4 DESC, DESCRATT"_s);
    QVERIFY(activities.refresh());
    QStringList order;
    for (; !activities.eof(); activities.moveNext())
        order << activities.text(u"DESCRATT"_s);
    QCOMPARE(order, (QStringList{u"a"_s, u"B"_s, u"Z"_s}));
}

void TestDataSource::walkVisitsEachRowOnceWhileWriting()
{
    QVERIFY(!Store::openWorkingFiles());
    QStringList statements;
    for (int i = 0; i < 300; ++i)
        statements << u"insert into VOLO (COGN, NOME) values ('C%1', 'N')"_s.arg(i, 3, 10, QChar(u'0'));
    runSql(Schema::registerFile, statements);

    // Renaming each row moves it further along the order being walked; deleting every
    // third and adding rows through another source must not disturb the walk either.
    DataSource walker(u"Data6"_s, Schema::registerFile, u"VOLO"_s);
    DataSource other(u"Data5"_s, Schema::registerFile, u"VOLO"_s);
    walker.setRecordSource(u"select * from VOLO order by COGN"_s);
    QVERIFY(walker.refresh());
    QSet<QString> seen;
    int visits = 0;
    for (; !walker.eof(); walker.moveNext()) {
        ++visits;
        const QString surname = walker.text(u"COGN"_s);
        QVERIFY2(!seen.contains(surname), qPrintable(surname));
        seen.insert(surname);
        if (visits % 3 == 0) {
            QVERIFY(walker.remove().ok());
            QCOMPARE(walker.text(u"COGN"_s), QString());
        } else {
            QVERIFY(walker.edit());
            walker.setValue(u"COGN"_s, u"Z"_s + surname);
            QVERIFY(walker.update().ok());
            QCOMPARE(walker.text(u"COGN"_s), u"Z"_s + surname);
        }
        if (visits % 50 == 0)
            QVERIFY(addVolunteer(&other, u"NUOVO%1"_s.arg(visits), u"N"_s).ok());
    }
    QCOMPARE(visits, 300);
    QCOMPARE(countRows(Schema::volo), 200 + 6);
}

void TestDataSource::refusedReadEndsTheWalkAndSaysWhy_data()
{
    QTest::addColumn<int>("readsBefore");
    QTest::addColumn<bool>("writeFirst"); // a write detaches the walk: the rest is read row by row
    QTest::addColumn<int>("visits");
    QTest::newRow("refresh") << 0 << false << 0;
    QTest::newRow("while stepping") << 3 << false << 2;
    QTest::newRow("detached walk") << 3 << true << 2;
}

void TestDataSource::refusedReadEndsTheWalkAndSaysWhy()
{
    QFETCH(int, readsBefore);
    QFETCH(bool, writeFirst);
    QFETCH(int, visits);
    QVERIFY(!Store::openWorkingFiles());
    QStringList statements;
    for (int i = 0; i < 10; ++i)
        statements << u"insert into VOLO (COGN, NOME) values ('C%1', 'N')"_s.arg(i);
    runSql(Schema::registerFile, statements);

    DataSource walker(u"Data6"_s, Schema::registerFile, u"VOLO"_s);
    walker.setRecordSource(u"select * from VOLO order by COGN"_s);
    DataSource::refuseReadsAfter(readsBefore);
    const bool refreshed = walker.refresh();
    int seen = 0;
    for (; !walker.eof(); walker.moveNext()) {
        ++seen;
        if (writeFirst && seen == 1) {
            QVERIFY(walker.edit());
            walker.setValue(u"NOME"_s, u"M"_s);
            QVERIFY(walker.update().ok());
        }
    }
    DataSource::refuseReadsAfter(-1);
    QCOMPARE(refreshed, readsBefore > 0);
    QCOMPARE(seen, visits);
    QVERIFY(walker.failed());
    QVERIFY(walker.lastError().description.contains(u"rifiutata"_s));
    // The next refresh starts afresh.
    QVERIFY(walker.refresh());
    QVERIFY(!walker.failed());
}

void TestDataSource::unusableFilesAreReportedAndLeftUnchanged_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");
    QByteArray jet(2048, '\0');
    jet.replace(0, 19, QByteArray("\x00\x01\x00\x00Standard Jet DB", 19));
    QByteArray truncatedSqlite("SQLite format 3");
    truncatedSqlite.append('\0');
    truncatedSqlite.append(QByteArray(90, '\x07'));
    QTest::newRow("text") << QByteArray("questo non è un archivio\n") << u"non è un archivio"_s;
    QTest::newRow("empty") << QByteArray() << u"non è un archivio"_s;
    QTest::newRow("access") << jet << u"archivio Access"_s;
    QTest::newRow("damaged sqlite") << truncatedSqlite << u"attivita.mdb"_s;
}

void TestDataSource::unusableFilesAreReportedAndLeftUnchanged()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    QFile file(Schema::registerFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    const auto problem = Store::openWorkingFiles();
    QVERIFY(problem);
    QVERIFY2(problem->contains(expected), qPrintable(*problem));
    QVERIFY(problem->contains(Schema::registerFile));
    QCOMPARE(fileBytes(Schema::registerFile), content);
    QVERIFY(!Store::connection(Schema::registerFile).isOpen());
}

void TestDataSource::readOnlyRegisterIsRefused()
{
    QVERIFY(!Store::openWorkingFiles());
    Store::closeAll();
    runSql(Schema::registerFile, {u"PRAGMA journal_mode = DELETE"_s});
    const QByteArray before = fileBytes(Schema::registerFile);
    QFile::setPermissions(Schema::registerFile, QFile::ReadOwner | QFile::ReadUser);
    if (QFileInfo(Schema::registerFile).isWritable())
        QSKIP("running as a user who can write read-only files");
    const auto problem = Store::openWorkingFiles();
    QVERIFY(problem);
    QVERIFY2(problem->contains(u"sola lettura"_s), qPrintable(*problem));
    QCOMPARE(fileBytes(Schema::registerFile), before);

    // A register from another program: right format, wrong tables.
    QFile::setPermissions(Schema::registerFile, QFile::ReadOwner | QFile::WriteOwner);
    runSql(Schema::registerFile, {u"DROP TABLE VOLOEXTRA"_s});
    const QByteArray withoutTable = fileBytes(Schema::registerFile);
    const auto missing = Store::openWorkingFiles();
    QVERIFY(missing);
    QVERIFY2(missing->contains(u"VOLOEXTRA"_s), qPrintable(*missing));
    QCOMPARE(fileBytes(Schema::registerFile), withoutTable);
}

void TestDataSource::otherToolsCanCheckTheFile()
{
    const QString cli = QStandardPaths::findExecutable(u"sqlite3"_s);
    if (cli.isEmpty())
        QSKIP("the sqlite3 command is not installed");
    QVERIFY(!Store::openWorkingFiles());
    DataSource *source = volunteers(m_owner.get());
    for (const QString &surname : {u"ZETA"_s, u"o'hara"_s, u"ALFA"_s, u"Beta"_s})
        QVERIFY(addVolunteer(source, surname, u"N"_s).ok());
    Store::closeAll();
    const auto runCli = [&](const QString &sql) {
        QProcess sqlite;
        sqlite.start(cli, {Schema::registerFile, sql});
        sqlite.waitForFinished(30000);
        return QString::fromUtf8(sqlite.readAllStandardOutput()).trimmed();
    };
    QCOMPARE(runCli(u"PRAGMA integrity_check;"_s), u"ok"_s);

    // Keys with accented letters are ordered by the program's folding, which the tool
    // does not know: it still opens and reads the file.
    QVERIFY(!Store::openWorkingFiles());
    for (const QString &surname : {u"ÀLVARO"_s, u"èrcole"_s, u"Émile"_s, u"ñandú"_s})
        QVERIFY(addVolunteer(source, surname, u"N"_s).ok());
    Store::closeAll();
    QCOMPARE(runCli(u"PRAGMA quick_check;"_s), u"ok"_s);
    QCOMPARE(runCli(u"select count(*) from VOLO;"_s), u"8"_s);
}

namespace {
template <class Record> QStringList names(const QList<Records::Field<Record>> &fields)
{
    QStringList found;
    for (const Records::Field<Record> &field : fields)
        found << field.name;
    return found;
}
} // namespace

// A field a record misnames is dropped by every write without a word.
void TestDataSource::recordsNameEveryColumnInOrder()
{
    const std::pair<QString, QStringList> records[] = {
        {Schema::attivita, names(Records::activityFields())}, {Schema::attivdett, names(Records::detailFields())},
        {Schema::volo, names(Records::volunteerFields())},    {Schema::asso, names(Records::organisationFields())},
        {Schema::visite, names(Records::visitFields())},      {Schema::soglie, names(Records::thresholdFields())},
    };
    for (const auto &[table, fields] : records) {
        QStringList columns;
        for (const Schema::Field &field : Schema::findTable(table)->fields)
            columns << field.name;
        QCOMPARE(fields, columns);
    }
}

void TestDataSource::riskHoursCountByWeek_data()
{
    QTest::addColumn<QStringList>("rows"); // volunteer|start|end|R7 hours
    QTest::addColumn<QString>("from");
    QTest::addColumn<double>("total");
    QTest::addColumn<double>("highestWeek");
    // Monday 30/12/2024 and Thursday 02/01/2025 are one week, whatever the year.
    QTest::newRow("week across the year's end")
        << QStringList{u"ROSSI MARIO|30/12/2024||10"_s, u"Rossi Mario|02/01/2025|02/01/2025|12"_s,
                       u"ROSSI MARIO|06/01/2025||5"_s}
        << u"01/12/2024"_s << 27.0 << 22.0;
    // Saturday to Tuesday: two days in each week, 5 hours a day.
    QTest::newRow("activity over two weeks")
        << QStringList{u"ROSSI MARIO|04/01/2025|07/01/2025|20"_s, u"ROSSI MARIO|08/01/2025||3"_s} << u"01/12/2024"_s
        << 23.0 << 13.0;
    QTest::newRow("start before the period")
        << QStringList{u"ROSSI MARIO|31/12/2024||8"_s, u"ROSSI MARIO|01/01/2025|09/01/2025|9"_s} << u"01/01/2025"_s
        << 9.0 << 5.0;
}

void TestDataSource::riskHoursCountByWeek()
{
    QFETCH(QStringList, rows);
    QFETCH(QString, from);
    QFETCH(double, total);
    QFETCH(double, highestWeek);
    Surveillance::HoursCount count(calendarDate(from), QDate(2025, 12, 31));
    for (const QString &row : rows) {
        const QStringList field = row.split(u'|');
        RiskHours hours;
        hours.hours[2] = field[3].toDouble();
        count.add(field[0], QString(), field[1], field[2], hours);
    }
    const QHash<QString, Surveillance::VolunteerHours> counted = count.finish();
    QCOMPARE(counted.size(), 1);
    QCOMPARE(counted.cbegin()->total[2], total);
    QCOMPARE(counted.cbegin()->highestWeek[2], highestWeek);
}

void TestDataSource::surveillanceStatus_data()
{
    QTest::addColumn<double>("r7Week");
    QTest::addColumn<double>("r9Total");
    QTest::addColumn<QString>("visit"); // date|type|outcome|due
    QTest::addColumn<QString>("over");
    QTest::addColumn<QString>("status");
    const QString check = u"Controllo sanitario"_s;
    const QString visit = u"Sorveglianza sanitaria"_s;
    QTest::newRow("week just under") << 19.99 << 0.0 << QString() << QString() << u"In regola"_s;
    QTest::newRow("week at the threshold") << 20.0 << 0.0 << QString() << u"R7"_s << u"Da sottoporre a sorveglianza"_s;
    QTest::newRow("period at the threshold") << 1.0 << 100.0 << QString() << QString() << u"In regola"_s;
    QTest::newRow("period just over") << 20.0 << 100.01 << QString() << u"R7 R9"_s << u"Da sottoporre a sorveglianza"_s;
    QTest::newRow("surveillance still valid")
        << 20.0 << 0.0 << u"01/09/2024|"_s + visit + u"|Idoneo|"_s << u"R7"_s << u"In regola"_s;
    QTest::newRow("basic check is no surveillance")
        << 20.0 << 0.0 << u"01/01/2025|"_s + check + u"|Idoneo|"_s << u"R7"_s << u"Da sottoporre a sorveglianza"_s;
    QTest::newRow("due date past") << 1.0 << 0.0 << u"01/09/2024|"_s + visit + u"|Idoneo|31/05/2025"_s << QString()
                                   << u"Visita scaduta"_s;
    QTest::newRow("unfit before past") << 20.0 << 0.0 << u"01/01/2024|"_s + visit + u"|Non idoneo|"_s << u"R7"_s
                                       << u"Non idoneo"_s;
    QTest::newRow("a visit without hours")
        << 0.0 << 0.0 << u"01/01/2025|"_s + check + u"||"_s << QString() << u"In regola"_s;
}

void TestDataSource::surveillanceStatus()
{
    QFETCH(double, r7Week);
    QFETCH(double, r9Total);
    QFETCH(QString, visit);
    QFETCH(QString, over);
    QFETCH(QString, status);
    Surveillance::Thresholds thresholds;
    thresholds.classes[1].weekly = 20;
    thresholds.classes[3].yearly = 100;
    thresholds.checkYears = 5;
    thresholds.visitMonths = 12;
    Surveillance::VolunteerHours hours;
    hours.highestWeek[2] = r7Week;
    hours.total[2] = r7Week > 0 ? r7Week + 0.5 : 0;
    hours.total[4] = hours.highestWeek[4] = r9Total;
    QList<Visit> visits;
    if (!visit.isEmpty()) {
        const QStringList field = visit.split(u'|');
        visits << Visit{u"ROSSI"_s, u"MARIO"_s, field[0], field[1], field[2], field[3], QString()};
    }
    Volunteer volunteer;
    volunteer.surname = u"ROSSI"_s;
    volunteer.name = u"MARIO"_s;
    const QList<Surveillance::Row> rows = Surveillance::evaluate(
        {volunteer}, {{VolunteerText::key(u"ROSSI MARIO"_s), hours}}, visits, thresholds, QDate(2025, 6, 1));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].overThreshold, over);
    QCOMPARE(rows[0].status, status);
    // Decimal comma, at most two decimals, the due date the visit's type gives it.
    if (qstrcmp(QTest::currentDataTag(), "surveillance still valid") == 0)
        QCOMPARE(Surveillance::csv(rows).split('\n').at(1),
                 QByteArray("ROSSI;MARIO;;0;0;20,5;0;0;0;20;R7;01/09/2024;Sorveglianza sanitaria;Idoneo;01/09/2025;"
                            "In regola\r"));
}

QTEST_GUILESS_MAIN(TestDataSource)
#include "tst_datasource.moc"
