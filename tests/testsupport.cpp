#include "testsupport.h"

#include "common/riskclasses.h"

#include "app/startup.h"
#include "app/windows.h"
#include "common/clock.h"
#include "common/globals.h"
#include "common/riskclasses.h"
#include "database/datasource.h"
#include "database/serverconnection.h"
#include "store/database.h"
#include "store/schema.h"
#include "ui/activation.h"
#include "ui/messages.h"
#include "ui/printer.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QThread>
#include <QWidget>

#include <future>

using namespace Qt::StringLiterals;

namespace {
const QString serverHost = u"127.0.0.1"_s;
const QString serverAdmin = u"sentaro_admin"_s;
const QString serverUser = u"segreteria"_s;
const QString serverPassword = u"segreteria-prova"_s;

// The database of the working folder alive on the server; empty when there is none.
QString &serverDatabase()
{
    static QString name;
    return name;
}

QSqlDatabase openOnServer(const QString &connection, const QString &database, const QString &user,
                          const QString &password)
{
    const QString port = serverPort();
    if (port.isEmpty())
        qFatal("the test server is not running: no port in %s",
               qPrintable(qEnvironmentVariable("SENTARO_TEST_SERVER")));
    if (database.isEmpty())
        qFatal("the register is on the server only while a working folder exists");
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, connection);
    db.setHostName(serverHost);
    db.setPort(port.toInt());
    db.setDatabaseName(database);
    db.setUserName(user);
    db.setPassword(password);
    if (!db.open())
        qFatal("cannot open %s on the test server as %s: %s", qPrintable(database), qPrintable(user),
               qPrintable(db.lastError().text()));
    return db;
}

QSqlDatabase openFile(const QString &connection, const QString &fileName)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection);
    db.setDatabaseName(fileName);
    if (!db.open() || !Store::useProgramCollation(db))
        qFatal("cannot open %s", qPrintable(fileName));
    return db;
}

bool onServer(const QString &fileName)
{
    return serverArchive() &&
           QFileInfo(fileName).absoluteFilePath() == QDir::current().absoluteFilePath(Schema::registerFile);
}

// Opens the connection `name`, works on it and closes it again, so that no connection outlives a call.
template <typename Open, typename Work> void withDatabase(const QString &name, Open &&open, Work &&work)
{
    {
        QSqlDatabase db = open(name);
        work(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

template <typename Work> void withConnection(const QString &fileName, Work &&work)
{
    withDatabase(
        u"test:"_s + fileName,
        [&](const QString &name) {
            return onServer(fileName) ? openOnServer(name, serverDatabase(), serverUser, serverPassword)
                                      : openFile(name, fileName);
        },
        work);
}

void execAll(QSqlDatabase &db, const QStringList &statements)
{
    for (const QString &statement : statements) {
        QSqlQuery query(db);
        if (!query.exec(statement))
            qFatal("%s: %s", qPrintable(statement), qPrintable(query.lastError().text()));
    }
}

void administer(const QString &database, const QStringList &statements)
{
    withDatabase(
        u"test:admin"_s, [&](const QString &name) { return openOnServer(name, database, serverAdmin, QString()); },
        [&](QSqlDatabase &db) {
            // "does not exist, skipping" and the like are no news in a test's output.
            execAll(db, QStringList{u"SET client_min_messages TO warning"_s} + statements);
        });
}

QString makeServerDatabase(const QString &folder)
{
    // A database for each working folder: a process's tests run one after another, ctest's
    // processes side by side, and a folder left by a failed test may outlive the next one's start.
    static int made = 0;
    const QString name = u"sentaro_t%1_%2"_s.arg(QCoreApplication::applicationPid()).arg(++made);
    administer(u"postgres"_s, {u"DROP DATABASE IF EXISTS %1 WITH (FORCE)"_s.arg(name),
                               u"CREATE DATABASE %1 OWNER %2 TEMPLATE template0 ENCODING 'UTF8' "
                               "LC_COLLATE 'C.UTF-8' LC_CTYPE 'C.UTF-8'"_s.arg(name, serverUser)});
    administer(name,
               {u"GRANT CONNECT ON DATABASE %1 TO consultazione"_s.arg(name),
                u"GRANT USAGE ON SCHEMA public TO consultazione"_s,
                u"ALTER DEFAULT PRIVILEGES FOR ROLE %1 IN SCHEMA public GRANT SELECT ON TABLES TO consultazione"_s.arg(
                    serverUser)});
    serverDatabase() = name;

    Server::Settings settings;
    settings.host = serverHost;
    settings.port = serverPort().toInt();
    settings.database = name;
    settings.user = serverUser;
    if (!Server::writeSettings(QDir(folder).filePath(Server::settingsFile), settings))
        qFatal("cannot write sentaro.ini in %s", qPrintable(folder));
    // sentaro.ini names no password: the program's client library reads it from the environment.
    qputenv("PGPASSWORD", serverPassword.toUtf8());
    return name;
}

void dropServerDatabase(const QString &name)
{
    if (name.isEmpty())
        return;
    administer(u"postgres"_s, {u"DROP DATABASE IF EXISTS %1 WITH (FORCE)"_s.arg(name)});
    if (serverDatabase() == name)
        serverDatabase().clear();
}
} // namespace

bool serverArchive()
{
    return !qEnvironmentVariableIsEmpty("SENTARO_TEST_SERVER");
}

QString serverPort()
{
    return QString::fromUtf8(fileBytes(QDir(qEnvironmentVariable("SENTARO_TEST_SERVER")).filePath(u"port"_s)))
        .trimmed();
}

WorkingFolder::WorkingFolder()
    : m_previous(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
    if (serverArchive())
        m_database = makeServerDatabase(m_dir.path());
}

WorkingFolder::~WorkingFolder()
{
    // After the program has closed its connections, so that none holds the database.
    stopSentaro();
    dropServerDatabase(m_database);
    // A test that failed in its cleanup is replaced by the next test's folder, which is current by
    // now: going back would start that test's program outside its folder.
    if (QFileInfo(QDir::currentPath()).canonicalFilePath() == QFileInfo(m_dir.path()).canonicalFilePath())
        QDir::setCurrent(m_previous);
}

Form1 *startSentaro()
{
    Activation::followWindowSystem(false);
    // Nothing goes to a printer from a test; a test that wants the PDF asks for it.
    Printer::setTarget(Printer::Target::RecordOnly);
    Printer::setRecording(true);
    startProgram();
    return Windows::existingForm1();
}

void stopSentaro()
{
    Windows::destroyAll();
    resetGlobals();
    Clock::release();
    Activation::reset();
    DataSource::refuseReadsAfter(-1);
}

bool makeWorkingFiles()
{
    Messages::ScriptedResponder quiet;
    const bool started = startSentaro() != nullptr;
    stopSentaro();
    return started;
}

bool ProgramTest::start(const QStringList &statements, const std::function<void()> &beforeStart)
{
    // A test may have left another language behind.
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    m_folder = std::make_unique<WorkingFolder>();
    if (!makeWorkingFiles())
        return false;
    if (!statements.isEmpty())
        runSql(Schema::registerFile, statements);
    m_answers = std::make_unique<Messages::ScriptedResponder>();
    if (beforeStart)
        beforeStart();
    if (QTest::currentTestFailed())
        return false;
    m_main = startSentaro();
    return m_main != nullptr;
}

void ProgramTest::finish()
{
    const QStringList unexpected = m_answers ? m_answers->unexpected() : QStringList();
    m_answers.reset();
    m_folder.reset();
    m_main = nullptr;
    QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(u" | "_s)));
}

void runSql(const QString &fileName, const QStringList &statements)
{
    // Another program writes while Sentaro waits for the user, holding no reads open.
    DataSource::releaseAll();
    withConnection(fileName, [&](QSqlDatabase &db) { execAll(db, statements); });
}

OtherPc::OtherPc(const QStringList &statements, int holdMs)
{
    std::promise<void> ran;
    std::future<void> running = ran.get_future();
    std::promise<void> done;
    m_done = done.get_future();
    m_thread = std::thread([statements, holdMs, database = serverDatabase(), &ran, done = std::move(done)]() mutable {
        withDatabase(
            u"test:other-pc"_s,
            [&](const QString &name) { return openOnServer(name, database, serverUser, serverPassword); },
            [&](QSqlDatabase &db) {
                execAll(db, QStringList{u"BEGIN"_s} + statements);
                ran.set_value();
                QThread::msleep(holdMs);
                execAll(db, {u"COMMIT"_s});
            });
        done.set_value();
#ifdef Q_OS_WIN
        // Under mingw a thread that used Qt's regular expressions crashes as it ends, freeing its
        // pattern stack: this one waits for the end of the process instead.
        for (;;)
            QThread::sleep(3600);
#endif
    });
    running.wait();
#ifdef Q_OS_WIN
    m_thread.detach();
#endif
}

OtherPc::~OtherPc()
{
    m_done.wait();
    if (m_thread.joinable())
        m_thread.join();
}

QString registerIntegrity()
{
    if (!serverArchive())
        return queryValue(Schema::registerFile, u"PRAGMA integrity_check"_s).toString();
    // A server keeps its own files whole: what a kill may spoil there is what it holds, the
    // activities' risk hours against their rows (the man-hours are typed) and one row per
    // volunteer in an activity.
    QStringList faults;
    for (const RiskClass &riskClass : riskClasses) {
        const QString field = riskClass.hourField.toString();
        const int wrong = queryValue(Schema::registerFile,
                                     u"select count(*) from ATTIVITA a where coalesce(a.%1, 0) <> coalesce((select "
                                     u"sum(d.%1) from ATTIVDETT d where d.DESCRATT = a.DESCRATT and d.DATAINATT = "
                                     u"a.DATAINATT), 0)"_s.arg(field))
                              .toInt();
        if (wrong > 0)
            faults << u"%1 activities whose %2 is not the sum of their rows"_s.arg(wrong).arg(field);
    }
    const int doubled =
        queryValue(Schema::registerFile, u"select count(*) from (select 1 from ATTIVDETT group by upper(DESCRATT), "
                                         u"DATAINATT, upper(COGN) having count(*) > 1) as doppie"_s)
            .toInt();
    if (doubled > 0)
        faults << u"%1 volunteers twice in an activity"_s.arg(doubled);
    return faults.isEmpty() ? u"ok"_s : faults.join(u"; "_s);
}

QVariant queryValue(const QString &fileName, const QString &sql)
{
    QVariant result;
    withConnection(fileName, [&](QSqlDatabase &db) {
        QSqlQuery query(db);
        if (query.exec(sql) && query.next())
            result = query.value(0);
    });
    return result;
}

QVariantList queryColumn(const QString &fileName, const QString &sql)
{
    QVariantList result;
    withConnection(fileName, [&](QSqlDatabase &db) {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (query.exec(sql)) {
            while (query.next())
                result << query.value(0);
        }
    });
    return result;
}

QStringList queryLines(const QString &fileName, const QString &sql, const QString &separator)
{
    QStringList result;
    withConnection(fileName, [&](QSqlDatabase &db) {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (!query.exec(sql))
            return;
        while (query.next()) {
            QStringList columns;
            for (int i = 0; i < query.record().count(); ++i) {
                const QVariant value = query.value(i);
                if (value.isNull()) {
                    columns.clear();
                    break;
                }
                // The server writes a whole real as 8, SQLite as 8.0.
                QString text = value.toString();
                if (value.typeId() == QMetaType::Double && !text.contains(u'.') && !text.contains(u'e') &&
                    !text.contains(u'n'))
                    text += u".0"_s;
                columns << text;
            }
            result << columns.join(separator);
        }
    });
    return result;
}

QString storageClass(const QVariant &value)
{
    if (value.isNull())
        return u"null"_s;
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return u"real"_s;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return u"integer"_s;
    case QMetaType::QByteArray:
        return u"blob"_s;
    default:
        return u"text"_s;
    }
}

void refuseWrites(const QString &table, const QString &kind, const QString &message)
{
    const QString name = u"refuse_"_s + table.toLower();
    QString quoted = message;
    quoted.replace(u'\'', u"''"_s);
    if (onServer(Schema::registerFile)) {
        // A server trigger runs a function; % would be a placeholder of RAISE.
        quoted.replace(u'%', u"%%"_s);
        runSql(Schema::registerFile,
               {u"CREATE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION '%2'; END $$"_s.arg(
                    name, quoted),
                u"CREATE TRIGGER %1 BEFORE %2 ON %3 FOR EACH ROW EXECUTE FUNCTION %1()"_s.arg(name, kind, table)});
    } else {
        runSql(Schema::registerFile, {u"CREATE TRIGGER %1 BEFORE %2 ON %3 BEGIN SELECT RAISE(ABORT, '%4'); END"_s.arg(
                                         name, kind, table, quoted)});
    }
}

void allowWrites(const QString &table)
{
    const QString name = u"refuse_"_s + table.toLower();
    if (onServer(Schema::registerFile))
        runSql(Schema::registerFile, {u"DROP TRIGGER %1 ON %2"_s.arg(name, table), u"DROP FUNCTION %1()"_s.arg(name)});
    else
        runSql(Schema::registerFile, {u"DROP TRIGGER "_s + name});
}

QString sharedDataFolder()
{
    return qEnvironmentVariable("SENTARO_SHARED_DATA");
}

QString missingSharedData(const QString &relative)
{
    if (sharedDataFolder().isEmpty())
        return u"SENTARO_SHARED_DATA is not set: run the test through ctest, which names the shared data folder"_s;
    const QString path = QDir(sharedDataFolder()).filePath(relative);
    if (!QFileInfo(path).isReadable())
        return u"the shared reference data %1 is missing: it belongs in ../shared/data beside the project"_s.arg(path);
    return QString();
}

bool runningInCi()
{
    const QString ci = qEnvironmentVariable("CI").trimmed().toLower();
    return !ci.isEmpty() && ci != u"false"_s && ci != u"0"_s;
}

bool keepForCheck(const QString &file)
{
    const QString folder = qEnvironmentVariable("SENTARO_TEST_OUTPUT");
    if (folder.isEmpty())
        return QFileInfo::exists(file);
    const QString copy = QDir(folder).filePath(QFileInfo(file).fileName());
    QFile::remove(copy);
    return QFile::copy(file, copy);
}

bool makeDeadEnd(const QString &name)
{
#ifdef Q_OS_WIN
    Q_UNUSED(name);
    return false;
#else
    return QFile::link(u"/nonexistent-folder/x"_s, name);
#endif
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

void activate(QWidget *window)
{
    settle();
    QEvent event(QEvent::WindowActivate);
    QCoreApplication::sendEvent(window, &event);
    settle();
}

void compareWithReference(const QStringList &lines, const QString &name)
{
    const QString path = QStringLiteral(SENTARO_SOURCE_DIR "/tests/data/") + name + u".txt"_s;
    if (qEnvironmentVariableIsSet("SENTARO_REGENERATE")) {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write((lines.join(u'\n') + u'\n').toUtf8());
        return;
    }
    QFile in(path);
    QVERIFY2(in.open(QIODevice::ReadOnly), qPrintable(u"missing reference "_s + path));
    QString content = QString::fromUtf8(in.readAll());
    QVERIFY(content.endsWith(u'\n'));
    content.chop(1);
    const QStringList expected = content.split(u'\n');
    for (qsizetype i = 0; i < std::min(lines.size(), expected.size()); ++i)
        QCOMPARE(lines[i], expected[i]);
    QCOMPARE(lines.size(), expected.size());
}

QStringList lines(const QAbstractItemView *list)
{
    const QAbstractItemModel *model = list->model();
    QStringList result;
    for (int i = 0; i < model->rowCount(); ++i)
        result << model->index(i, 0).data().toString();
    return result;
}

void choose(QComboBox *combo, const QString &text)
{
    const int index = combo->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}
