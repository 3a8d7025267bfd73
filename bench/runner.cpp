#include "runner.h"

#include "cases.h"
#include "generator.h"

#include "database/serverconnection.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStorageInfo>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace Runner {
namespace {

const QString sourceDir = QStringLiteral(SENTARO_SOURCE_DIR);
const QString floorProgram = QStringLiteral(SENTARO_BENCH_FLOOR);
// Bumped whenever the generator changes what it writes, so that old folders are made anew.
const QString generatorVersion = u"1"_s;
constexpr int exportRows = 65535;
// The roles of scripts/pgserver.sh's throwaway server.
const QString serverAdmin = u"sentaro_admin"_s;
const QString serverUser = u"segreteria"_s;
const QString serverPassword = u"segreteria-prova"_s;
constexpr double serverLimit = 2; // server/file

struct Options {
    QString scale = u"large"_s;
    quint64 seed = 20110306;
    int repetitions = 5;
    QString work;
    QString results;
    QStringList only;
    bool serverOnly = false; // only our side, on the file and on the server
};

// What one side of a case gave.
struct Measure {
    std::vector<double> seconds;
    qint64 rows = -1;
    QStringList notes;
    long rssKilobytes = 0;
    QString error;

    bool ok() const { return error.isEmpty() && !seconds.empty(); }
    double median() const
    {
        std::vector<double> sorted = seconds;
        std::sort(sorted.begin(), sorted.end());
        const size_t n = sorted.size();
        return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
    double least() const { return *std::min_element(seconds.begin(), seconds.end()); }
    double most() const { return *std::max_element(seconds.begin(), seconds.end()); }
};

struct Row {
    QString name;
    QString ours;
    QString floor;
    Measure our;
    Measure peer;
    // Goal on the ratio ours/floor, or on our median in seconds, or on the peak memory in MB.
    enum class Goal { Ratio, Seconds, Megabytes } goal = Goal::Ratio;
    double limit = 0;
};

// Our side of one case on the file and on a server archive.
struct Pair {
    QString name;
    Measure file;
    Measure server;
};

void log(const QString &text)
{
    std::fputs(qPrintable(text + u'\n'), stderr);
    std::fflush(stderr);
}

QProcessEnvironment childEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    // The program's users are Italian: numbers and messages as they see them.
    environment.insert(u"LANG"_s, u"it_IT.UTF-8"_s);
    // sentaro.ini names no password: libpq takes it from here.
    environment.insert(u"PGPASSWORD"_s, serverPassword);
    return environment;
}

struct Run {
    double seconds = 0;
    QString output;
    QString error;
};

// Runs a program to its end; the time is the whole process, start to exit.
Run runProcess(const QString &program, const QStringList &arguments, const QString &outputFile = QString())
{
    QProcess process;
    process.setProcessEnvironment(childEnvironment());
    if (!outputFile.isEmpty())
        process.setStandardOutputFile(outputFile);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    const bool finished = process.waitForFinished(-1);
    Run run;
    run.seconds = double(timer.nsecsElapsed()) / 1e9;
    run.output = QString::fromUtf8(process.readAllStandardOutput());
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        run.error = program + u' ' + arguments.join(u' ') + u": "_s +
                    QString::fromUtf8(process.readAllStandardError()).trimmed().right(400) + u' ' +
                    process.errorString();
    }
    return run;
}

// Reads the lines a child prints (see cases.h) into a measure.
void readReport(const QString &output, Measure &measure)
{
    for (const QString &line : output.split(u'\n', Qt::SkipEmptyParts)) {
        const QString key = line.section(u' ', 0, 0);
        const QString value = line.section(u' ', 1);
        if (key == u"time"_s)
            measure.seconds.push_back(value.toDouble());
        else if (key == u"rows"_s)
            measure.rows = value.toLongLong();
        else if (key == u"note"_s)
            measure.notes << value;
        else if (key == u"rss"_s)
            measure.rssKilobytes = std::max(measure.rssKilobytes, value.toLong());
        else if (key == u"error"_s)
            measure.error = value;
    }
}

// One start of `program` in `folder`, to the main window idle; the warm-up is not timed.
void startOnce(const QString &program, const QString &folder, bool timed, Measure &side)
{
    // A start that exits at once leaves its lock behind; a normal start finds none to remove as stale.
    QFile::remove(folder + u"/sentaro.lock"_s);
    const Run run = runProcess(program, {u"startup"_s, folder});
    if (!run.error.isEmpty()) {
        side.error = run.error;
        return;
    }
    readReport(run.output, side);
    if (timed)
        side.seconds.push_back(run.seconds);
}

Measure child(const QStringList &arguments)
{
    Measure measure;
    const Run run = runProcess(QCoreApplication::applicationFilePath(), arguments);
    readReport(run.output, measure);
    if (measure.error.isEmpty())
        measure.error = run.error;
    return measure;
}

qint64 lineCount(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    qint64 lines = 0;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(1 << 20);
        lines += chunk.count('\n');
    }
    return lines;
}

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The same query text the case's floor runs, its placeholders filled in.
QString sqlFile(const QString &name, const QTemporaryDir &scratch, const QHash<QString, QString> &values)
{
    QString text = readText(sourceDir + u"/bench/sql/"_s + name + u".sql"_s);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        text.replace(u'@' + it.key() + u'@', it.value());
    const QString path = scratch.filePath(name + u".sql"_s);
    QFile out(path);
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        out.write(text.toUtf8());
    return path;
}

class Bench {
public:
    Bench(const Options &options)
        : m_options(options)
    {
    }

    bool prepareData();
    std::vector<Row> runAll();
    // Our side of every case wanted on the file (taken from `rows` when there) and on a server archive.
    std::vector<Pair> runOnServer(const std::vector<Row> &rows);
    void writeResults(const std::vector<Row> &rows, const std::vector<Pair> &pairs) const;
    // The server archive's heading, what the server was and its table.
    QStringList serverSection(const std::vector<Pair> &pairs) const;

private:
    bool wanted(const QString &name) const { return m_options.only.isEmpty() || m_options.only.contains(name); }
    Row startup();
    Row sqliteCase(const QString &name, const QString &ours, const QString &floor, double limit,
                   const QString &from = Cases::statisticsFrom, const QString &to = Cases::statisticsTo);
    Row import();
    Row exportDetails();
    Row registerPrintout();
    // A case with no floor to compare with, judged on our median against `seconds`.
    Row timedAlone(const QString &name, const QString &ours, double seconds);
    Row memory();
    Measure ours(const QString &name, const QString &folder, const QString &exportFolder);
    QString serverFolder(const QString &from, const QString &database, const QString &port, QString *folder);
    Measure sqliteFloor(const QString &sql, const QString &database, bool readOnly,
                        const std::function<void()> &before = {});
    QStringList machine() const;

    Options m_options;
    QString m_folder;
    QString m_exportFolder;
    QTemporaryDir m_scratch;
    QString m_server; // what the server archive was, or why it was not measured
};

bool Bench::prepareData()
{
    bool known = false;
    const Generator::Scale scale = Generator::scaleNamed(m_options.scale, &known);
    if (!known) {
        log(u"unknown scale "_s + m_options.scale);
        return false;
    }
    const QString name = u"%1-%2"_s.arg(scale.name).arg(m_options.seed);
    m_folder = QDir(m_options.work).filePath(name);
    m_exportFolder = m_folder + u"-esportazione"_s;
    const QString stamp = m_folder + u".pronto"_s;
    if (readText(stamp) == generatorVersion)
        return true;
    log(u"generating "_s + m_folder);
    QFile::remove(stamp);
    QDir(m_folder).removeRecursively();
    QDir(m_exportFolder).removeRecursively();
    QElapsedTimer timer;
    timer.start();
    QString problem = Generator::generate(m_folder, scale, m_options.seed);
    if (problem.isEmpty())
        problem = Generator::copyWithDetails(m_folder, m_exportFolder, std::min(exportRows, scale.details));
    if (!problem.isEmpty()) {
        log(u"generation failed: "_s + problem);
        return false;
    }
    QFile out(stamp);
    if (out.open(QIODevice::WriteOnly))
        out.write(generatorVersion.toUtf8());
    log(u"generated in %1 s"_s.arg(double(timer.elapsed()) / 1000, 0, 'f', 1));
    return true;
}

Row Bench::startup()
{
    Row row{u"start-up"_s,
            u"process start to main window shown and idle"_s,
            u"minimal Qt program: the activities sorted in a QTableView"_s,
            {},
            {},
            Row::Goal::Ratio,
            1.3};
    // Alternated, so that a slow moment of the machine weighs on both sides alike.
    for (int i = 0; i <= m_options.repetitions; ++i) {
        startOnce(QCoreApplication::applicationFilePath(), m_folder, i > 0, row.our);
        startOnce(floorProgram, m_folder, i > 0, row.peer);
    }
    return row;
}

Measure Bench::sqliteFloor(const QString &sql, const QString &database, bool readOnly,
                           const std::function<void()> &before)
{
    Measure measure;
    const QString output = m_scratch.filePath(u"sqlite-output.txt"_s);
    QStringList arguments{u"-batch"_s, u"-bail"_s};
    if (readOnly)
        arguments << u"-readonly"_s;
    arguments << database << u".read "_s + sql;
    for (int i = 0; i <= m_options.repetitions; ++i) {
        if (before)
            before();
        const Run run = runProcess(u"sqlite3"_s, arguments, output);
        if (!run.error.isEmpty()) {
            measure.error = run.error;
            return measure;
        }
        if (i > 0)
            measure.seconds.push_back(run.seconds);
    }
    measure.rows = lineCount(output);
    return measure;
}

Row Bench::sqliteCase(const QString &name, const QString &ours, const QString &floor, double limit, const QString &from,
                      const QString &to)
{
    Row row{name, ours, floor, {}, {}, Row::Goal::Ratio, limit};
    row.our = child({u"case"_s, name, m_folder, QString::number(m_options.repetitions)});
    const auto yearFirst = [](const QString &date) { return date.mid(6, 4) + date.mid(3, 2) + date.left(2); };
    const QString sql = sqlFile(
        name, m_scratch, {{u"FROM"_s, yearFirst(from)}, {u"TO"_s, yearFirst(to)}, {u"TABLE"_s, Cases::riskTable}});
    row.peer = sqliteFloor(sql, m_folder + u"/attivita.mdb"_s, true);
    return row;
}

Row Bench::import()
{
    Row row{u"import"_s,
            u"importavolontari() from voloesp.mdb"_s,
            u"sqlite3 CLI: one insert … select … where not exists"_s,
            {},
            {},
            Row::Goal::Ratio,
            1.5};
    row.our = child({u"case"_s, u"import"_s, m_folder, QString::number(m_options.repetitions)});
    const QString sql = sqlFile(u"import"_s, m_scratch, {{u"IMPORT"_s, m_folder + u"/voloesp.mdb"_s}});
    const QString copy = m_scratch.filePath(u"attivita.mdb"_s);
    // Every run starts from the register as generated; the copy is made outside the time.
    const auto freshCopy = [this, copy]() {
        for (const QString &suffix : {u""_s, u"-wal"_s, u"-shm"_s}) {
            QFile::remove(copy + suffix);
            if (QFile::exists(m_folder + u"/attivita.mdb"_s + suffix))
                QFile::copy(m_folder + u"/attivita.mdb"_s + suffix, copy + suffix);
        }
    };
    row.peer = sqliteFloor(sql, copy, false, freshCopy);
    if (row.peer.ok())
        row.peer.rows = readText(m_scratch.filePath(u"sqlite-output.txt"_s)).trimmed().toLongLong();
    return row;
}

Row Bench::exportDetails()
{
    Row row{u"export"_s,
            u"esportadatabase(): ATTIVDETT to .xls"_s,
            u"python3-xlwt writing the same rows"_s,
            {},
            {},
            Row::Goal::Ratio,
            0.1};
    row.our = child({u"case"_s, u"export"_s, m_exportFolder, QString::number(m_options.repetitions)});
    const QString workbook = m_scratch.filePath(u"xlwt.xls"_s);
    for (int i = 0; i <= m_options.repetitions; ++i) {
        QFile::remove(workbook);
        const Run run = runProcess(u"/usr/bin/python3"_s, {sourceDir + u"/bench/floor/xlwt_export.py"_s,
                                                           m_exportFolder + u"/attivita.mdb"_s, workbook});
        if (!run.error.isEmpty()) {
            row.peer.error = run.error;
            break;
        }
        if (i > 0)
            row.peer.seconds.push_back(run.seconds);
        row.peer.rows = run.output.trimmed().toLongLong();
    }
    if (QFile::exists(workbook))
        row.peer.notes << u"workbook of %1 bytes"_s.arg(QFileInfo(workbook).size());
    QFile::remove(workbook);
    return row;
}

Row Bench::registerPrintout()
{
    Row row{u"register"_s,
            u"stamparegistro() to PDF"_s,
            u"plain Qt drawing the same strings, fonts, boxes and picture to a PDF"_s,
            {},
            {},
            Row::Goal::Ratio,
            0.8};
    const QString drawing = m_scratch.filePath(u"register-drawing.tsv"_s);
    row.our = child({u"case"_s, u"register"_s, m_folder, QString::number(m_options.repetitions), drawing});
    if (!row.our.error.isEmpty())
        return row;
    const Run run =
        runProcess(floorProgram, {u"register"_s, drawing, m_folder, QString::number(m_options.repetitions)});
    readReport(run.output, row.peer);
    if (row.peer.error.isEmpty())
        row.peer.error = run.error;
    row.peer.rows = row.our.rows;
    return row;
}

Row Bench::timedAlone(const QString &name, const QString &ours, double seconds)
{
    Row row{name, ours, u"—"_s, {}, {}, Row::Goal::Seconds, seconds};
    row.our = child({u"case"_s, name, m_folder, QString::number(m_options.repetitions)});
    return row;
}

Row Bench::memory()
{
    Row row{u"memory"_s, u"peak resident set of one session running every case once"_s,
            u"—"_s,      {},
            {},          Row::Goal::Megabytes,
            100};
    row.our = child({u"session"_s, m_folder, m_exportFolder});
    return row;
}

// Runs `statements` on `database` of the throwaway server as `user`; the values of the last
// one's first row, or the error in `problem`.
QStringList onServer(const QString &port, const QString &database, const QString &user, const QStringList &statements,
                     QString *problem)
{
    const QString name = u"bench:server"_s;
    QStringList values;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, name);
        db.setHostName(u"127.0.0.1"_s);
        db.setPort(port.toInt());
        db.setDatabaseName(database);
        db.setUserName(user);
        db.setPassword(user == serverUser ? serverPassword : QString());
        // As the program connects with sentaro.ini's "preferito".
        db.setConnectOptions(u"sslmode=prefer"_s);
        if (!db.open())
            *problem = db.lastError().text();
        for (const QString &statement : statements) {
            QSqlQuery query(db);
            if (!problem->isEmpty())
                break;
            if (!query.exec(statement))
                *problem = statement + u": "_s + query.lastError().text();
            values.clear();
            if (query.next()) {
                for (int i = 0; i < query.record().count(); ++i)
                    values << query.value(i).toString();
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
    return values;
}

// Why the server archive cannot be measured here; empty when it can.
QString serverMissing()
{
    if (!QSqlDatabase::isDriverAvailable(u"QPSQL"_s))
        return u"Qt's PostgreSQL driver is not installed"_s;
    const QString root = u"/usr/lib/postgresql"_s;
    const QStringList versions = QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    const bool installed = std::any_of(versions.cbegin(), versions.cend(), [&](const QString &version) {
        return QFile::exists(root + u'/' + version + u"/bin/initdb"_s);
    });
    return installed ? QString() : u"PostgreSQL is not installed"_s;
}

// The throwaway server of scripts/pgserver.sh in the build folder, stopped when this goes.
class ThrowawayServer {
public:
    ThrowawayServer()
        : m_dir(QDir(QCoreApplication::applicationDirPath() + u"/../pgserver"_s).absolutePath())
    {
    }
    ~ThrowawayServer() { script(u"stop"_s); }
    ThrowawayServer(const ThrowawayServer &) = delete;
    ThrowawayServer &operator=(const ThrowawayServer &) = delete;

    // The port it listens on, empty after saying why it did not start.
    QString start(QString *problem) const
    {
        *problem = script(u"start"_s);
        return problem->isEmpty() ? readText(m_dir + u"/port"_s).trimmed() : QString();
    }

private:
    QString script(const QString &action) const
    {
        return runProcess(u"bash"_s, {sourceDir + u"/scripts/pgserver.sh"_s, action, m_dir}).error;
    }
    QString m_dir;
};

Measure Bench::ours(const QString &name, const QString &folder, const QString &exportFolder)
{
    if (name == u"start-up"_s) {
        Measure measure;
        for (int i = 0; i <= m_options.repetitions && measure.error.isEmpty(); ++i)
            startOnce(QCoreApplication::applicationFilePath(), folder, i > 0, measure);
        return measure;
    }
    if (name == u"memory"_s)
        return child({u"session"_s, folder, exportFolder});
    return child(
        {u"case"_s, name, name == u"export"_s ? exportFolder : folder, QString::number(m_options.repetitions)});
}

// A working folder holding what `from` holds beside the register, whose sentaro.ini names
// `database`, filled by the program's own copy at its first start there.
QString Bench::serverFolder(const QString &from, const QString &database, const QString &port, QString *folder)
{
    *folder = from + u"-server"_s;
    QDir(*folder).removeRecursively();
    if (!QDir().mkpath(*folder))
        return u"cannot create "_s + *folder;
    for (const QString &file : QDir(from).entryList(QDir::Files)) {
        if (file != u"sentaro.lock"_s && !QFile::copy(from + u'/' + file, *folder + u'/' + file))
            return u"cannot copy "_s + file;
    }
    Server::Settings settings;
    settings.host = u"127.0.0.1"_s;
    settings.port = port.toInt();
    settings.database = database;
    settings.user = serverUser;
    if (!Server::writeSettings(*folder + u'/' + Server::settingsFile, settings))
        return u"cannot write sentaro.ini in "_s + *folder;
    QString problem;
    onServer(port, u"postgres"_s, serverAdmin,
             {u"CREATE DATABASE %1 OWNER %2 TEMPLATE template0 ENCODING 'UTF8' LC_COLLATE 'C.UTF-8' "
              u"LC_CTYPE 'C.UTF-8'"_s.arg(database, serverUser)},
             &problem);
    if (!problem.isEmpty())
        return problem;
    if (const Measure load = child({u"load"_s, *folder}); !load.error.isEmpty())
        return load.error;
    // From now on the register is the server's alone.
    for (const QString &file : QDir(*folder).entryList({Schema::registerFile + u'*'}, QDir::Files))
        QFile::remove(*folder + u'/' + file);
    // As the server's own upkeep leaves a table soon after a load: every page marked visible to
    // all, which a vacuum run beside the server's own after a bulk load does not always reach at once.
    for (int round = 0; round < 10 && problem.isEmpty(); ++round) {
        const QStringList left =
            onServer(port, database, serverAdmin,
                     {u"VACUUM ANALYZE"_s, u"select count(*) from pg_class where relkind = 'r' and relnamespace = "
                                           u"'public'::regnamespace and relallvisible < relpages"_s},
                     &problem);
        if (left.value(0) == u"0"_s)
            break;
        QThread::sleep(1);
    }
    return problem;
}

std::vector<Pair> Bench::runOnServer(const std::vector<Row> &rows)
{
    std::vector<Pair> pairs;
    if (const QString missing = serverMissing(); !missing.isEmpty()) {
        m_server = u"Not measured: %1 on this machine (scripts/install-deps.sh installs it)."_s.arg(missing);
        log(m_server);
        return pairs;
    }
    log(u"starting a PostgreSQL server"_s);
    QElapsedTimer timer;
    timer.start();
    const ThrowawayServer server;
    QString problem;
    const QString port = server.start(&problem);
    QString folder;
    QString exportFolder;
    if (problem.isEmpty())
        problem = serverFolder(m_folder, u"sentaro_bench"_s, port, &folder);
    if (problem.isEmpty())
        problem = serverFolder(m_exportFolder, u"sentaro_bench_export"_s, port, &exportFolder);
    const QStringList about = problem.isEmpty()
                                  ? onServer(port, u"sentaro_bench"_s, serverUser,
                                             {u"select current_setting('server_version'), coalesce((select version "
                                              u"from pg_stat_ssl where pid = pg_backend_pid() and ssl), 'off')"_s},
                                             &problem)
                                  : QStringList();
    if (!problem.isEmpty())
        m_server = u"Failed: the server archive could not be set up: "_s + problem.replace(u'|', u'/').left(300);
    else
        m_server = u"- PostgreSQL %1 on this machine, reached over TCP at 127.0.0.1 with TLS %2 (libpq's `prefer`, the "
                   u"throwaway server's TLS on). Each register was loaded by the program's own copy at its first start "
                   u"in a folder holding attivita.mdb (the export's from its own copy), then VACUUM ANALYZE; each case "
                   u"runs in a working folder holding sentaro.ini and the folder's other files, as on the file."_s.arg(
                       about.value(0), about.value(1));
    log(u"  %1 s: %2"_s.arg(double(timer.elapsed()) / 1000, 0, 'f', 1).arg(m_server));
    const QStringList names = QStringList{u"start-up"_s} + Cases::names() + QStringList{u"memory"_s};
    for (const QString &name : names) {
        if (!wanted(name))
            continue;
        Pair pair{name, {}, {}};
        const auto measured =
            std::find_if(rows.cbegin(), rows.cend(), [&](const Row &row) { return row.name == name; });
        if (measured != rows.cend())
            pair.file = measured->our;
        if (!problem.isEmpty()) {
            pair.server.error = u"no server archive"_s;
        } else {
            log(u"running "_s + name + u" on the server"_s);
            if (measured == rows.cend())
                pair.file = ours(name, m_folder, m_exportFolder);
            pair.server = ours(name, folder, exportFolder);
            if (!pair.server.error.isEmpty())
                log(u"  failed: "_s + pair.server.error);
        }
        pairs.push_back(pair);
    }
    return pairs;
}

std::vector<Row> Bench::runAll()
{
    std::vector<Row> rows;
    const auto step = [&](const QString &name, const std::function<Row()> &work) {
        if (!wanted(name))
            return;
        log(u"running "_s + name);
        QElapsedTimer timer;
        timer.start();
        rows.push_back(work());
        const Row &row = rows.back();
        log(u"  %1 s%2%3"_s.arg(double(timer.elapsed()) / 1000, 0, 'f', 1)
                .arg(row.our.error.isEmpty() ? QString() : u"; ours: "_s + row.our.error)
                .arg(row.peer.error.isEmpty() ? QString() : u"; floor: "_s + row.peer.error));
    };
    step(u"start-up"_s, [this] { return startup(); });
    step(u"statistics"_s, [this] {
        return sqliteCase(u"statistics"_s,
                          u"buildStatistics() as \"Elabora\" runs it, TUTTI/TUTTI, "_s + Cases::statisticsFrom +
                              u"–"_s + Cases::statisticsTo,
                          u"sqlite3 CLI: one GROUP BY query"_s, 1.2);
    });
    step(u"surveillance"_s, [this] {
        return sqliteCase(u"surveillance"_s,
                          u"Surveillance::evaluate() as \"Elabora\" of the health surveillance runs it, "_s +
                              Cases::surveillanceFrom + u"–"_s + Cases::surveillanceTo,
                          u"sqlite3 CLI: sums by volunteer and class, the busiest week of R7"_s, 1.2,
                          Cases::surveillanceFrom, Cases::surveillanceTo);
    });
    step(u"list-ed"_s, [this] {
        return sqliteCase(u"list-ed"_s, u"buildList() mode ED, as the list window builds it"_s,
                          u"sqlite3 CLI: one join query"_s, 1.2);
    });
    step(u"list-er"_s, [this] {
        return sqliteCase(u"list-er"_s, u"buildList() mode ER, risk table "_s + Cases::riskTable,
                          u"sqlite3 CLI: the equivalent query"_s, 1.2);
    });
    step(u"list-ev"_s, [this] {
        return sqliteCase(u"list-ev"_s, u"buildList() mode EV"_s, u"sqlite3 CLI: the equivalent query"_s, 1.2);
    });
    step(u"import"_s, [this] { return import(); });
    step(u"export"_s, [this] { return exportDetails(); });
    step(u"register"_s, [this] { return registerPrintout(); });
    step(u"details"_s, [this] {
        return timedAlone(
            u"details"_s,
            u"details window's reads on opening and choosing, add 50 volunteers to an activity with 200 in one commit, "
            u"totals, lists read again"_s,
            0.1);
    });
    step(u"backup"_s, [this] {
        return timedAlone(
            u"backup"_s,
            u"daily copy of attivita.mdb into backup/ (the store's copy of its pages; on a server, a snapshot of its tables)"_s,
            1.0);
    });
    step(u"check"_s, [this] {
        return timedAlone(u"check"_s,
                          u"\"Controlla archivio\": every activity, detail row, volunteer and visit read and checked"_s,
                          2.0);
    });
    step(u"memory"_s, [this] { return memory(); });
    return rows;
}

QString duration(double seconds)
{
    if (seconds < 1)
        return u"%1 ms"_s.arg(seconds * 1000, 0, 'f', seconds < 0.01 ? 1 : 0);
    return u"%1 s"_s.arg(seconds, 0, 'f', 2);
}

QString timing(const Measure &measure)
{
    if (!measure.error.isEmpty())
        return u"failed: "_s + QString(measure.error).replace(u'|', u'/').left(200);
    if (measure.seconds.empty())
        return u"—"_s;
    return duration(measure.median()) + u" ("_s + duration(measure.least()) + u"–"_s + duration(measure.most()) + u')';
}

QString megabytes(long kilobytes)
{
    return kilobytes > 0 ? u"%1 MB"_s.arg(double(kilobytes) / 1024, 0, 'f', 0) : u"—"_s;
}

QString rowsOf(const Measure &measure)
{
    return measure.rows >= 0 ? QString::number(measure.rows) : u"—"_s;
}

// Our time, or for the memory case our peak resident set.
QString ourValue(const Measure &measure, bool memory)
{
    return memory && measure.error.isEmpty() ? megabytes(measure.rssKilobytes) : timing(measure);
}

// The value of a "Name: value" line of a file under /proc.
QString procValue(const QString &path, const QString &name)
{
    for (const QString &line : readText(path).split(u'\n')) {
        if (line.section(u':', 0, 0).trimmed() == name)
            return line.section(u':', 1).trimmed();
    }
    return {};
}

QStringList Bench::machine() const
{
    const QString cpu = procValue(u"/proc/cpuinfo"_s, u"model name"_s);
    const double memory = procValue(u"/proc/meminfo"_s, u"MemTotal"_s).section(u' ', 0, 0).toDouble() / 1024 / 1024;
    const Run sqlite = runProcess(u"sqlite3"_s, {u"--version"_s});
    const Run python = runProcess(u"/usr/bin/python3"_s,
                                  {u"-c"_s, u"import sys, xlwt; print(sys.version.split()[0], xlwt.__VERSION__)"_s});
    const QStorageInfo storage(m_folder);
    return {
        u"- Processor: %1, %2 logical cores; memory %3 GB"_s.arg(cpu)
            .arg(QThread::idealThreadCount())
            .arg(memory, 0, 'f', 1),
        u"- System: %1, kernel %2; working folders on %3"_s.arg(
            QSysInfo::prettyProductName(), QSysInfo::kernelVersion(), QString::fromUtf8(storage.fileSystemType())),
        u"- Qt %1 (offscreen platform), sqlite3 CLI %2, Python %3 with xlwt %4"_s.arg(
            QString::fromLatin1(qVersion()), sqlite.output.section(u' ', 0, 0), python.output.section(u' ', 0, 0),
            python.output.section(u' ', 1, 1).trimmed()),
    };
}

QStringList Bench::serverSection(const std::vector<Pair> &pairs) const
{
    QStringList out{u"## Server archive"_s, QString(), m_server};
    if (pairs.empty())
        return out << QString();
    out << QString()
        << u"Our side of each case again, with the register on the server instead of attivita.mdb; on the file as "
           u"in the table above. For the memory case, the peak resident sets."_s
        << QString()
        << u"| case | ours on the file: median (range) | ours on the server: median (range) | server/file | goal | "
           u"met | rows, file / server |"_s
        << u"|---|---|---|---|---|---|---|"_s;
    for (const Pair &pair : pairs) {
        const bool memory = pair.name == u"memory"_s;
        const auto usable = [memory](const Measure &m) {
            return memory ? m.error.isEmpty() && m.rssKilobytes > 0 : m.ok();
        };
        const auto value = [memory](const Measure &m) { return memory ? double(m.rssKilobytes) : m.median(); };
        QString ratio = u"—"_s;
        QString met = u"no"_s;
        if (usable(pair.file) && usable(pair.server)) {
            const double times = value(pair.server) / value(pair.file);
            ratio = u"%1×"_s.arg(times, 0, 'f', 2);
            met = times <= serverLimit ? u"yes"_s : u"no"_s;
        }
        out << u"| %1 | %2 | %3 | %4 | ≤ %5× | %6 | %7 / %8 |"_s
                   .arg(pair.name, ourValue(pair.file, memory), ourValue(pair.server, memory), ratio)
                   .arg(serverLimit)
                   .arg(met, rowsOf(pair.file), rowsOf(pair.server));
    }
    return out << QString();
}

void Bench::writeResults(const std::vector<Row> &rows, const std::vector<Pair> &pairs) const
{
    const Generator::Scale scale = Generator::scaleNamed(m_options.scale);
    QStringList out;
    out << u"# Benchmark results"_s << QString()
        << u"Written by `bash bench/run.sh` on %1; running it again replaces everything above *Findings*."_s.arg(
               QDateTime::currentDateTime().toString(u"yyyy-MM-dd hh:mm"_s))
        << QString() << u"## Machine"_s << QString() << machine() << QString() << u"## Data and method"_s << QString()
        << u"- Working folder generated with seed %1 at scale *%2*: %3 volunteers, %4 organisations, %5 activities, "
           u"%6 detail rows, the full municipality list; voloesp.mdb of %7 volunteers, half of them new; the export "
           u"reads a copy holding the first %8 detail rows."_s.arg(m_options.seed)
               .arg(scale.name)
               .arg(scale.volunteers)
               .arg(scale.organisations)
               .arg(scale.activities)
               .arg(scale.details)
               .arg(scale.importRows)
               .arg(std::min(exportRows, scale.details))
        << u"- Each case runs once as a warm-up, then %1 times; times are the median and, in brackets, the fastest "
           u"and slowest run. Our side is timed inside `sentaro-bench`, which calls the program's own operations, "
           u"procedures and line builders (no window is drawn); each case runs in a process of its own, whose peak "
           u"resident set is reported. The sqlite3 "
           u"and python3 floors are timed as whole processes, start to exit; start-up on both sides too."_s.arg(
               m_options.repetitions)
        << QString() << u"## Results"_s << QString()
        << u"| case | ours | floor or peer | ours: median (range) | floor: median (range) | ratio | goal | met | "
           u"peak memory, ours | rows, ours / floor |"_s
        << u"|---|---|---|---|---|---|---|---|---|---|"_s;
    for (const Row &row : rows) {
        QString ratio = u"—"_s;
        QString goal;
        QString met = u"no"_s;
        switch (row.goal) {
        case Row::Goal::Ratio:
            goal = u"≤ %1×"_s.arg(row.limit);
            if (row.our.ok() && row.peer.ok()) {
                const double value = row.our.median() / row.peer.median();
                ratio = u"%1×"_s.arg(value, 0, 'f', 2);
                met = value <= row.limit ? u"yes"_s : u"no"_s;
            }
            break;
        case Row::Goal::Seconds:
            goal = u"median < %1 s"_s.arg(row.limit);
            if (row.our.ok())
                met = row.our.median() < row.limit ? u"yes"_s : u"no"_s;
            break;
        case Row::Goal::Megabytes:
            goal = u"≤ %1 MB"_s.arg(row.limit);
            if (row.our.error.isEmpty() && row.our.rssKilobytes > 0)
                met = double(row.our.rssKilobytes) / 1024 <= row.limit ? u"yes"_s : u"no"_s;
            break;
        }
        QString ours = row.ours;
        if (!row.our.notes.isEmpty())
            ours += u" — "_s + row.our.notes.join(u"; "_s);
        QString floor = row.floor;
        if (!row.peer.notes.isEmpty())
            floor += u" — "_s + row.peer.notes.join(u"; "_s);
        out << u"| %1 | %2 | %3 | %4 | %5 | %6 | %7 | %8 | %9 | %10 |"_s.arg(
            row.name, ours, floor, ourValue(row.our, row.goal == Row::Goal::Megabytes),
            row.goal == Row::Goal::Ratio ? timing(row.peer) : u"—"_s, ratio, goal, met, megabytes(row.our.rssKilobytes),
            rowsOf(row.our) + u" / "_s + rowsOf(row.peer));
    }
    out << QString()
        << u"Rows: what each side produced — our lines (with headings, blank lines and totals where the list "
           u"shows them) against the floor's result rows; for the import, the volunteers added; for the export, "
           u"the data rows written."_s
        << QString() << serverSection(pairs);

    // The findings are written by hand and kept across runs.
    const QString previous = readText(m_options.results);
    const qsizetype findings = previous.indexOf(u"\n## Findings"_s);
    QString text = out.join(u'\n');
    if (findings >= 0)
        text += previous.mid(findings);
    else
        text += u"\n## Findings\n\nNot written yet.\n"_s;
    QFile file(m_options.results);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text.toUtf8());
    log(u"results written to "_s + m_options.results);
    std::fputs(qPrintable(out.mid(out.indexOf(u"## Results"_s)).join(u'\n') + u'\n'), stdout);
}

std::optional<Options> parse(const QStringList &arguments)
{
    Options options;
    options.work = QDir::current().filePath(u"bench-data"_s);
    options.results = sourceDir + u"/bench/RESULTS.md"_s;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        const QString value = arguments.value(i + 1);
        if (argument == u"--scale"_s)
            options.scale = value;
        else if (argument == u"--seed"_s)
            options.seed = value.toULongLong();
        else if (argument == u"--repetitions"_s)
            options.repetitions = std::max(1, value.toInt());
        else if (argument == u"--work"_s)
            options.work = QDir(value).absolutePath();
        else if (argument == u"--results"_s)
            options.results = QDir(value).absolutePath();
        else if (argument == u"--only"_s)
            options.only = value.split(u',');
        else if (argument == u"--server-only"_s)
            options.serverOnly = true;
        else
            return std::nullopt;
        if (argument != u"--server-only"_s)
            ++i;
    }
    return options;
}

} // namespace

int run(const QStringList &arguments)
{
    const std::optional<Options> options = parse(arguments);
    if (!options) {
        log(u"usage: sentaro-bench run [--scale large|small] [--seed N] [--repetitions N] [--work DIR] "
            u"[--results FILE] [--only case,case] [--server-only]"_s);
        return 2;
    }
    Bench bench(*options);
    if (!bench.prepareData())
        return 1;
    // --server-only: our side alone, on the file and on the server.
    const std::vector<Row> rows = options->serverOnly ? std::vector<Row>() : bench.runAll();
    const std::vector<Pair> pairs = bench.runOnServer(rows);
    // A partial run only tells; the results file holds complete runs.
    const bool partial = !options->only.isEmpty() || options->serverOnly;
    if (!partial)
        bench.writeResults(rows, pairs);
    bool failed = false;
    for (const Row &row : rows)
        failed = failed || !row.our.error.isEmpty() || !row.peer.error.isEmpty();
    for (const Pair &pair : pairs)
        failed = failed || !pair.file.error.isEmpty() || !pair.server.error.isEmpty();
    if (partial) {
        std::fputs(qPrintable(bench.serverSection(pairs).join(u'\n') + u'\n'), stdout);
        for (const Row &row : rows) {
            std::fputs(qPrintable(u"%1: ours %2, rss %3; floor %4; rows %5 / %6\n"_s
                                      .arg(row.name, timing(row.our), megabytes(row.our.rssKilobytes), timing(row.peer))
                                      .arg(row.our.rows)
                                      .arg(row.peer.rows)),
                       stdout);
        }
    }
    return failed ? 1 : 0;
}

} // namespace Runner
