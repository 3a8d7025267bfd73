#include "app/form1.h"
#include "app/gridmodel.h"
#include "app/windows.h"
#include "common/clock.h"
#include "database/datasource.h"
#include "participation/form3.h"
#include "store/schema.h"
#include "store/server.h"
#include "store/surveillance.h"
#include "testsupport.h"
#include "ui/messages.h"
#include "volunteers/formvol.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
const QString activityRows = u"insert into ATTIVITA (DATAINATT, DATAFIATT, DESCRATT, LOCATT, PROVATT, ORETOT, NOTE4) "
                             u"values ('05/01/2011', '06/01/2011', 'SISMA', 'MODENA', 'MO', 10, '2011/01/05'), "
                             u"('07/02/2012', '07/02/2012', 'ALLUVIONE', 'PARMA', 'PR', 4, '2012/02/07')"_s;

// A row whose texts hold what a bulk copy must escape, an empty text beside a missing one, and
// a number with a fraction.
const QString awkwardRow = u"insert into ATTIVITA (DATAINATT, DESCRATT, LOCATT, PROVATT, ORETOT, NOTE4) values "
                           u"('09/03/2013', 'FRANA' || chr(9) || 'A\\B' || chr(10) || 'È', '', NULL, 7.25, "
                           u"'2013/03/09')"_s;

bool holdsAwkwardRow(const QString &archive)
{
    const QStringList found = queryLines(archive, u"select DESCRATT, LOCATT, coalesce(PROVATT, 'nessuna'), ORETOT "
                                                  u"from ATTIVITA where NOTE4 = '2013/03/09'"_s);
    return found == QStringList{u"FRANA\tA\\B\nÈ||nessuna|7.25"_s};
}

// A key of [archivio] set; a piece of text as the file holds it ("[archivio]", "utente=")
// replaced by the value.
void setArchive(const QString &key, const QString &value)
{
    if (key.startsWith(u'[') || key.endsWith(u'=')) {
        QFile file(Server::settingsFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll()).replace(key, value);
        file.close();
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
        // Qt reads an ini file it knows again only when its size or time changed: a text of the
        // same size written within the same tick would pass unseen.
        QVERIFY(file.flush() && file.setFileTime(file.fileTime(QFileDevice::FileModificationTime).addSecs(1),
                                                 QFileDevice::FileModificationTime));
        return;
    }
    QSettings ini(Server::settingsFile, QSettings::IniFormat);
    ini.setValue(u"archivio/"_s + key, value);
}

QString address()
{
    return u"127.0.0.1:"_s + serverPort();
}

int count(const QString &table)
{
    return queryValue(Schema::registerFile, u"select count(*) from "_s + table).toInt();
}

QStringList folderContents()
{
    QStringList names;
    for (QDirIterator it(u"."_s, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
         it.hasNext();)
        names << it.next();
    names.sort();
    return names;
}

// The few socket calls that POSIX and Winsock name apart.
#ifdef Q_OS_WIN
using Socket = SOCKET;
Socket openSocket()
{
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started ? socket(AF_INET, SOCK_STREAM, 0) : INVALID_SOCKET;
}
void closeSocket(Socket handle)
{
    closesocket(handle);
}
int waitForSockets(std::vector<pollfd> &polled, int milliseconds)
{
    return WSAPoll(polled.data(), ULONG(polled.size()), milliseconds);
}
#else
using Socket = int;
Socket openSocket()
{
    return socket(AF_INET, SOCK_STREAM, 0);
}
void closeSocket(Socket handle)
{
    close(handle);
}
int waitForSockets(std::vector<pollfd> &polled, int milliseconds)
{
    return poll(polled.data(), polled.size(), milliseconds);
}
#endif

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(quint16(port));
    return address;
}

// A register with rows in the working folder beside sentaro.ini, made by the program itself, and
// the rows `more` adds.
void makeLocalRegister(const QString &more = QString())
{
    QVERIFY(QFile::rename(Server::settingsFile, u"server.ini"_s));
    QVERIFY(makeWorkingFiles());
    // Under another name, so that the test's SQL reaches the file and not the server.
    QVERIFY(QFile::rename(Schema::registerFile, u"locale.mdb"_s));
    // An older file may hold a volunteer twice in one activity.
    runSql(u"locale.mdb"_s,
           {activityRows, u"insert into VOLO (COGN, NOME) values ('ROSSI', 'MARIO')"_s, u"DROP INDEX ATTIVDETT_KEY"_s,
            u"insert into ATTIVDETT (DATAINATT, DESCRATT, COGN) values ('05/01/2011', 'SISMA', "
            u"'ROSSI MARIO'), ('05/01/2011', 'SISMA', 'ROSSI MARIO')"_s});
    if (!more.isEmpty())
        runSql(u"locale.mdb"_s, {more});
    QVERIFY(QFile::rename(u"locale.mdb"_s, Schema::registerFile));
    QVERIFY(QFile::rename(u"server.ini"_s, Server::settingsFile));
}

// The line between the program and the test server, cut by the test as a server's stop or a
// broken network would: at once, or when the program sends the n-th message holding a text,
// that message lost on the way or carried out with its answer lost. It declines TLS, so that
// the statements can be seen.
class Line {
public:
    Line()
        : m_listening(openSocket())
    {
        sockaddr_in address = loopback(0);
        socklen_t size = sizeof address;
        if (bind(m_listening, reinterpret_cast<sockaddr *>(&address), size) != 0 || listen(m_listening, 8) != 0 ||
            getsockname(m_listening, reinterpret_cast<sockaddr *>(&address), &size) != 0)
            qFatal("no port for the line");
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] {
            while (!m_stop)
                pass();
            cutAll();
        });
    }
    ~Line()
    {
        m_stop = true;
        m_thread.join();
        closeSocket(m_listening);
    }
    Line(const Line &) = delete;
    Line &operator=(const Line &) = delete;

    QString port() const { return QString::number(m_port); }
    void cutNow() { m_cutNow = true; }
    // Once cut, the line takes no new connection while the server is down.
    void setDown(bool down) { m_down = down; }
    void cutAt(const QByteArray &text, int occurrence, bool sent)
    {
        const std::lock_guard lock(m_mutex);
        m_text = text;
        m_occurrence = occurrence;
        m_sent = sent;
    }
    bool wasCut() const { return m_cut; }

private:
    struct Pair {
        Socket client;
        Socket server;
        bool cutOnAnswer = false;
    };

    void cutAll()
    {
        m_cut = true;
        for (const Pair &pair : m_pairs) {
            closeSocket(pair.client);
            closeSocket(pair.server);
        }
        m_pairs.clear();
    }

    // The program's bytes: a request for TLS or GSS encryption (eight bytes, no reply from the
    // server wanted) is declined here; the message the test waits for cuts the line.
    bool fromClient(Pair &pair, QByteArray data)
    {
        while (data.startsWith(QByteArray::fromHex("0000000804d2162f")) ||
               data.startsWith(QByteArray::fromHex("0000000804d21630"))) {
            if (send(pair.client, "N", 1, 0) != 1)
                return false;
            data.remove(0, 8);
        }
        const std::lock_guard lock(m_mutex);
        if (!m_text.isEmpty() && data.contains(m_text) && --m_occurrence == 0) {
            m_text.clear();
            pair.cutOnAnswer = m_sent;
            if (!m_sent)
                return false;
        }
        return send(pair.server, data.constData(), int(data.size()), 0) == data.size();
    }

    void pass()
    {
        if (m_cutNow.exchange(false))
            cutAll();
        std::vector<pollfd> polled{{m_listening, POLLIN, 0}};
        for (const Pair &pair : m_pairs)
            polled.insert(polled.end(), {{pair.client, POLLIN, 0}, {pair.server, POLLIN, 0}});
        if (waitForSockets(polled, 20) <= 0)
            return;
        for (size_t i = 0; i < 2 * m_pairs.size(); ++i) {
            if (!(polled[i + 1].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            Pair &pair = m_pairs[i / 2];
            char buffer[65536];
            const auto got = recv(i % 2 ? pair.server : pair.client, buffer, sizeof buffer, 0);
            if (got <= 0 || !(i % 2 ? !pair.cutOnAnswer && send(pair.client, buffer, int(got), 0) == got
                                    : fromClient(pair, QByteArray(buffer, got)))) {
                cutAll();
                return;
            }
        }
        if ((polled[0].revents & POLLIN) && m_down && m_cut) {
            closeSocket(accept(m_listening, nullptr, nullptr));
        } else if (polled[0].revents & POLLIN) {
            const Pair pair{accept(m_listening, nullptr, nullptr), openSocket()};
            const sockaddr_in server = loopback(serverPort().toInt());
            m_pairs.push_back(pair);
            if (::connect(pair.server, reinterpret_cast<const sockaddr *>(&server), sizeof server) != 0)
                cutAll();
        }
    }

    const Socket m_listening;
    int m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop = false;
    std::atomic<bool> m_cutNow = false;
    std::atomic<bool> m_cut = false;
    std::atomic<bool> m_down = false;
    std::mutex m_mutex;
    QByteArray m_text;
    int m_occurrence = 0;
    bool m_sent = false;
    std::vector<Pair> m_pairs;
};

// Messages without the server's own words, which follow in brackets.
QStringList withoutReasons(QStringList messages)
{
    for (QString &message : messages)
        message = message.section(u" ("_s, 0, 0);
    return messages;
}

// The tables, columns, types, keys and indexes of a register, one a line, in the server's words.
QStringList layout(const QString &archive, bool server)
{
    QStringList lines;
    if (server) {
        lines << queryLines(archive, u"select lower(c.relname || ' ' || a.attnum || ' ' || a.attname || ' ' || "
                                     u"format_type(a.atttypid, a.atttypmod) || coalesce(' ' || co.collname, '')) "
                                     u"from pg_attribute a join pg_class c on c.oid = a.attrelid left join "
                                     u"pg_collation co on co.oid = a.attcollation where c.relnamespace = "
                                     u"current_schema()::regnamespace and c.relkind = 'r' and a.attnum > 0 and not "
                                     u"a.attisdropped"_s)
              << queryLines(archive, u"select lower(replace(replace(indexdef, 'public.', ''), ' USING btree', '')) "
                                     u"from pg_indexes where schemaname = current_schema()"_s);
    } else {
        for (const QString &table : queryLines(
                 archive, u"select name, substr(sql, instr(sql, '(') + 1) from sqlite_master where type = 'table'"_s)) {
            const QStringList columns = table.section(u'|', 1).chopped(1).split(u", "_s);
            for (qsizetype i = 0; i < columns.size(); ++i) {
                lines << u"%1 %2 %3"_s.arg(table.section(u'|', 0, 0)).arg(i + 1).arg(columns[i]).toLower();
                lines.last().replace(u" collate nocase"_s, u" sentaro_nocase"_s);
                lines.last().replace(u" real"_s, u" double precision"_s);
            }
        }
        lines << queryLines(archive, u"select lower(sql) from sqlite_master where type = 'index' and sql not null"_s);
    }
    // The thresholds a register starts with, however it was made.
    lines << queryLines(archive, u"select 'soglie ' || CLASSE || ' ' || coalesce(cast(cast(OREANNO as integer) as "
                                 u"text), '-') || ' ' || coalesce(cast(cast(ORESETTIMANA as integer) as text), '-') "
                                 u"from SOGLIE"_s);
    lines.sort();
    return lines;
}

int layoutVersion(const QString &archive, bool server)
{
    const Schema::Dialect dialect = server ? Schema::Dialect::Server : Schema::Dialect::File;
    return Schema::versionFound(dialect, queryValue(archive, Schema::versionQuery(dialect)));
}
} // namespace

class TestServer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void archiveThatCannotBeOpenedStopsTheStart_data();
    void archiveThatCannotBeOpenedStopsTheStart();
    void passwordAskedWhenNoneIsGiven_data();
    void passwordAskedWhenNoneIsGiven();
    void readOnlyUserReadsButNeverWrites_data();
    void readOnlyUserReadsButNeverWrites();
    void firstConnectionCopiesTheLocalArchiveIfWanted_data();
    void firstConnectionCopiesTheLocalArchiveIfWanted();
    void dailyCopyIsASnapshotThatRestores();
    void movedRowsAndLostSessionsAreFoundAgain();
    void pressMeetingAServerLossIsWholeAndSaid_data();
    void pressMeetingAServerLossIsWholeAndSaid();
    void registerHasOneLayoutHoweverItIsMade_data();
    void registerHasOneLayoutHoweverItIsMade();

private:
    QTemporaryDir m_roots; // root certificates for verificato
};

void TestServer::initTestCase()
{
    if (!serverArchive())
        QSKIP("runs only against the test server");
    // No password file of whoever runs the tests may answer for the program.
    qputenv("PGPASSFILE", QDir::temp().filePath(u"sentaro-nessun-pgpass"_s).toUtf8());
    // The test server's certificate, its own root, and one of no server, a root it does not answer to.
    for (const QString &name : {u"server.crt"_s, u"altro.crt"_s})
        QVERIFY(QFile::copy(QDir(qEnvironmentVariable("SENTARO_TEST_SERVER")).filePath(name), m_roots.filePath(name)));
}

void TestServer::cleanup()
{
    qunsetenv("PGSSLROOTCERT");
    stopSentaro();
}

void TestServer::archiveThatCannotBeOpenedStopsTheStart_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message"); // its start; empty when the archive opens
    // How the program reaches the server: under verificato (unless the row sets ssl), the root certificate
    // PGSSLROOTCERT names, "sentaro-ca.crt=NAME" for the root NAME beside sentaro.ini, with PGSSLROOTCERT
    // naming the other one, or "nessuna" for none at all; "senza tls" through a line where the server offers
    // no TLS; or empty.
    QTest::addColumn<QString>("line");
    QTest::newRow("no server") << u"server"_s << u""_s
                               << u"Nel file sentaro.ini, sezione [archivio], manca il server."_s << QString();
    QTest::newRow("port not a number")
        << u"porta"_s << u"5432a"_s
        << u"Nel file sentaro.ini, sezione [archivio], la porta deve essere un numero da 1 a 65535."_s << QString();
    QTest::newRow("unknown ssl") << u"ssl"_s << u"sempre"_s
                                 << u"Nel file sentaro.ini, sezione [archivio], ssl deve essere preferito, richiesto "
                                    u"o verificato."_s
                                 << QString();
    QTest::newRow("misspelt section")
        << u"[archivio]"_s << u"[archivo]"_s
        << u"Nel file sentaro.ini la sezione [archivo] non è prevista: Sentaro legge solo [archivio]."_s << QString();
    QTest::newRow("no section") << u"[archivio]"_s << u""_s
                                << u"Nel file sentaro.ini la chiave server sta fuori dalla sezione [archivio]."_s
                                << QString();
    QTest::newRow("unknown key") << u"utente="_s << u"utenti="_s
                                 << u"Nel file sentaro.ini, sezione [archivio], la chiave utenti non è prevista."_s
                                 << QString();
    // Said twice, or read otherwise than written, a line would take the program to another archive.
    QTest::newRow("repeated key") << u"utente="_s << u"database=altro\nutente="_s
                                  << u"Nel file sentaro.ini, sezione [archivio], la chiave database è ripetuta."_s
                                  << QString();
    QTest::newRow("repeated section") << u"[archivio]"_s << u"[archivio]\n[archivio]"_s
                                      << u"Nel file sentaro.ini la sezione [archivio] è ripetuta."_s << QString();
    QTest::newRow("semicolon in a value")
        << u"server"_s << u"127.0.0.1;evil"_s
        << u"Nel file sentaro.ini, sezione [archivio], il server 127.0.0.1;evil non è un nome di computer o un "
           u"indirizzo valido."_s
        << QString();
    QTest::newRow("capitals") << u"[archivio]\ndatabase="_s << u"[Archivio]\nDATABASE="_s << QString() << QString();
    // Nothing listens on port 1 of this machine.
    QTest::newRow("closed port") << u"porta"_s << u"1"_s << u"Il server %1 non risponde ("_s << QString();
    QTest::newRow("missing database") << u"database"_s << u"nessuno"_s << u"Sul server %1 non c'è l'archivio nessuno."_s
                                      << QString();
    const QString tlsFailed = u"Il collegamento cifrato con il server %1 non è riuscito ("_s;
    QTest::newRow("verified without a root") << u"ssl"_s << u"verificato"_s << tlsFailed << u"assente.crt"_s;
    QTest::newRow("verified with an untrusted root") << u"ssl"_s << u"verificato"_s << tlsFailed << u"altro.crt"_s;
    QTest::newRow("verified under another name") << u"server"_s << u"localhost"_s << tlsFailed << u"server.crt"_s;
    QTest::newRow("verified with the server's certificate")
        << u"ssl"_s << u"verificato"_s << QString() << u"server.crt"_s;
    // The root beside sentaro.ini comes before the environment's, and under verificato alone.
    QTest::newRow("verified with sentaro-ca.crt")
        << u"ssl"_s << u"verificato"_s << QString() << u"sentaro-ca.crt=server.crt"_s;
    QTest::newRow("verified with an untrusted sentaro-ca.crt")
        << u"ssl"_s << u"verificato"_s << tlsFailed << u"sentaro-ca.crt=altro.crt"_s;
    QTest::newRow("required whatever sentaro-ca.crt")
        << u"ssl"_s << u"richiesto"_s << QString() << u"sentaro-ca.crt=altro.crt"_s;
    QTest::newRow("verified with no root anywhere") << u"ssl"_s << u"verificato"_s << tlsFailed << u"nessuna"_s;
    // With no ssl= the line must be encrypted; preferito takes one in clear, and says so.
    QTest::newRow("no ssl without TLS") << u"ssl="_s << u";ssl="_s << tlsFailed << u"senza tls"_s;
    QTest::newRow("preferred without TLS") << u"ssl"_s << u"preferito"_s << QString() << u"senza tls"_s;
    // A password asked for in clear over a line whose certificate nobody checked is not given.
    QTest::newRow("password in clear") << u"utente"_s << u"inchiaro"_s
                                       << u"Il server %1 non ha chiesto la password nel modo sicuro"_s << QString();
}

void TestServer::archiveThatCannotBeOpenedStopsTheStart()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, message);
    QFETCH(QString, line);
    WorkingFolder folder;
    setArchive(key, value);
    std::optional<Line> withoutTls;
    QString root; // the root file that a refusal names
    if (line == u"senza tls"_s) {
        withoutTls.emplace();
        setArchive(u"porta"_s, withoutTls->port());
    } else if (!line.isEmpty()) {
        if (key != u"ssl"_s)
            setArchive(u"ssl"_s, u"verificato"_s);
        qunsetenv("PGSSLROOTCERT");
        if (line.startsWith(u"sentaro-ca.crt="_s)) {
            const QString name = line.section(u'=', 1);
            root = QFileInfo(u"sentaro-ca.crt"_s).absoluteFilePath();
            QVERIFY(QFile::copy(m_roots.filePath(name), root));
            qputenv("PGSSLROOTCERT",
                    m_roots.filePath(name == u"server.crt"_s ? u"altro.crt"_s : u"server.crt"_s).toUtf8());
        } else if (line != u"nessuna"_s) {
            root = m_roots.filePath(line);
            qputenv("PGSSLROOTCERT", root.toUtf8());
        }
    }
    if (key == u"utente"_s)
        qputenv("PGPASSWORD", (value + u"-prova"_s).toUtf8());
    const QString port = withoutTls ? withoutTls->port() : serverPort();
    const QString server = (key == u"server"_s ? value : u"127.0.0.1"_s) + u':' + (key == u"porta"_s ? value : port);
    message = message.arg(server);
    const QStringList before = folderContents();
    Messages::ScriptedResponder answers;
    answers.answerYes();
    Form1 *main = startSentaro();
    if (message.isEmpty()) {
        QVERIFY2(main, qPrintable(answers.shown().join(u" | "_s)));
        QCOMPARE(answers.shown(), withoutTls ? QStringList{u"Connessione al server non cifrata."_s} : QStringList());
        const QLabel *where = main->findChild<QLabel *>(u"archivio"_s);
        QVERIFY(where);
        QCOMPARE(where->text(),
                 u"Archivio %1 sul server %2"_s.arg(
                     queryValue(Schema::registerFile, u"select current_database()"_s).toString(), server));
        stopSentaro(); // before its line goes
        return;
    }
    QVERIFY(!main);
    stopSentaro();
    QCOMPARE(answers.shown().size(), 1);
    const QString shown = answers.shown().constFirst();
    QVERIFY2(shown.startsWith(message), qPrintable(shown));
    QVERIFY(shown.endsWith(u"\nSentaro si chiude senza modificare nulla."_s));
    if (!line.isEmpty() && line != u"senza tls"_s) {
        // With no root anywhere, libpq names in its own words the file it looked for (so a root.crt of
        // whoever runs the tests would fail this row).
        if (root.isEmpty())
            root = QRegularExpression(u"\"([^\"]+\\.crt)\""_s).match(shown).captured(1);
        QVERIFY2(!root.isEmpty(), qPrintable(shown));
        // The program names it too, after libpq's words.
        QVERIFY2(shown.mid(shown.lastIndexOf(u")."_s))
                     .contains(QDir::toNativeSeparators(QFileInfo(root).absoluteFilePath())),
                 qPrintable(shown));
    }
    QCOMPARE(folderContents().join(u' '), before.join(u' '));
}

void TestServer::passwordAskedWhenNoneIsGiven_data()
{
    QTest::addColumn<QString>("answer");  // none when the prompt is cancelled
    QTest::addColumn<QString>("message"); // empty when the program starts
    QTest::newRow("right") << u"segreteria-prova"_s << QString();
    QTest::newRow("wrong") << u"segreteria-errata"_s
                           << u"Il server %1 non ha accettato la password dell'utente segreteria."_s;
    QTest::newRow("empty") << u""_s << u"Nessuna password per l'utente segreteria sul server %1."_s;
    QTest::newRow("cancelled") << QString() << u"Nessuna password per l'utente segreteria sul server %1."_s;
}

void TestServer::passwordAskedWhenNoneIsGiven()
{
    QFETCH(QString, answer);
    QFETCH(QString, message);
    WorkingFolder folder;
    qunsetenv("PGPASSWORD");
    Messages::ScriptedResponder answers;
    if (!answer.isNull())
        answers.answerPrompt(answer);
    else
        answers.answerPromptCancelled();
    answers.answerYes();
    Form1 *main = startSentaro();
    QCOMPARE(answers.shown().constFirst(), u"Password dell'utente segreteria sul server 127.0.0.1:"_s);
    if (message.isEmpty()) {
        QVERIFY2(main, qPrintable(answers.shown().join(u" | "_s)));
        QCOMPARE(answers.shown().size(), 1);
        stopSentaro();
    } else {
        QVERIFY(!main);
        QCOMPARE(answers.shown().value(1), message.arg(address()) + u"\nSentaro si chiude senza modificare nulla."_s);
    }
    for (const QString &name : folderContents()) {
        if (!answer.isEmpty() && QFileInfo(name).isFile())
            QVERIFY2(!fileBytes(name).contains(answer.toUtf8()), qPrintable(name));
    }
}

void TestServer::readOnlyUserReadsButNeverWrites_data()
{
    QTest::addColumn<QString>("tables");  // "", "lette" or "negate"
    QTest::addColumn<QString>("message"); // at start; the archive opens when it is the read-only notice
    const QString readOnly = u"L'utente consultazione può solo consultare l'archivio."_s;
    QTest::newRow("reads") << u"lette"_s << readOnly;
    QTest::newRow("no rights") << u"negate"_s
                               << u"L'utente consultazione non ha accesso all'archivio sul server %1.\nSentaro si "
                                  u"chiude senza modificare nulla."_s;
    QTest::newRow("empty database") << QString()
                                    << readOnly + u" Sul server %1 l'archivio %2 è vuoto: le sue tabelle le crea un "
                                                  u"utente che scrive.\nSentaro si chiude senza modificare nulla."_s;
}

void TestServer::readOnlyUserReadsButNeverWrites()
{
    QFETCH(QString, tables);
    QFETCH(QString, message);
    WorkingFolder folder;
    if (!tables.isEmpty()) {
        QVERIFY(makeWorkingFiles());
        runSql(Schema::registerFile, {activityRows, u"insert into ASSO (DENOM) values ('GRUPPO ALFA')"_s});
    }
    if (tables == u"negate"_s)
        runSql(Schema::registerFile, {u"revoke select on all tables in schema public from consultazione"_s});
    // Health data may be kept from a role that reads the rest.
    if (tables == u"lette"_s)
        runSql(Schema::registerFile, {u"revoke select on VISITE from consultazione"_s});
    message = message.arg(address(), queryValue(Schema::registerFile, u"select current_database()"_s).toString());
    setArchive(u"utente"_s, u"consultazione"_s);
    qputenv("PGPASSWORD", "consultazione-prova");
    Messages::ScriptedResponder answers;
    Form1 *main = startSentaro();
    QCOMPARE(answers.shown(), QStringList{message});
    if (tables != u"lette"_s) {
        qputenv("PGPASSWORD", "segreteria-prova");
        QVERIFY(!main);
        return;
    }
    QVERIFY(main);
    QCOMPARE(main->gridModel->rowCount(), 2);
    const Surveillance::Outcome surveillance =
        Surveillance::evaluate(*main->Data5, *main->Data4, QDate(2000, 1, 1), QDate(2030, 1, 1), QDate(2025, 1, 1));
    QVERIFY2(surveillance.refusal.ok() && surveillance.visitsHidden, qPrintable(surveillance.refusal.description));
    // Nor does adding volunteers to an activity stop on them.
    Store::Result refusal;
    bool hidden = false;
    QVERIFY(
        Surveillance::standingsOf(*main->Data5, {u"ROSSI MARIO"_s}, QDate(2025, 1, 1), &refusal, &hidden).isEmpty());
    QVERIFY2(refusal.ok() && hidden, qPrintable(refusal.description));

    main->findChild<QAction *>(u"mnvolinsman"_s)->trigger();
    Formvol *form = Windows::formvol();
    activate(form);
    form->fvcogn->setText(u"verdi"_s);
    form->fvnome->setText(u"anna"_s);
    form->fvdatana->setText(u"01/08/1985"_s);
    answers.answerYes();
    form->cmdregistra->click();
    QCOMPARE(answers.shown(), QStringList(2, message));
    stopSentaro();
    qputenv("PGPASSWORD", "segreteria-prova");
    QCOMPARE(count(u"VOLO"_s), 0);
}

void TestServer::firstConnectionCopiesTheLocalArchiveIfWanted_data()
{
    QTest::addColumn<bool>("copy");
    QTest::addColumn<QString>("awkward"); // a row the file holds and the server may refuse
    QTest::addColumn<QString>("refusal"); // the reason the copy gives, naming the row; empty when copied
    QTest::newRow("yes") << true << QString() << QString();
    QTest::newRow("no") << false << QString() << QString();
    QTest::newRow("fraction of a volunteer")
        << true << u"insert into ASSO (DENOM, NUMVOL) values ('GRUPPO ALFA', 7.5)"_s
        << u"nella tabella ASSO, riga \"GRUPPO ALFA\", il campo NUMVOL vale 7.5, che non è un numero intero"_s;
    QTest::newRow("names apart by an invisible space")
        << true << u"insert into VOLO (COGN, NOME) values ('ROSSI' || char(8203), 'MARIO')"_s
        << u"nella tabella VOLO, riga \"ROSSI<U+200B> MARIO\", per il server è uguale a un'altra riga, perché non "
           u"distingue maiuscole e minuscole né i caratteri che non si vedono"_s;
    QTest::newRow("bytes that are not UTF-8")
        << true << u"insert into VOLO (COGN, NOME, NOTE) values ('VERDI', 'ANNA', cast(x'41E842' as text))"_s
        << u"nella tabella VOLO, riga \"VERDI ANNA\", il campo NOTE contiene byte che non sono testo UTF-8 (mostrati "
           u"come <U+FFFD>): correggerlo nell'archivio locale"_s;
    QTest::newRow("NUL in a text")
        << true << u"insert into VOLO (COGN, NOME, NOTE) values ('VERDI', 'ANNA', 'A' || char(0) || 'B')"_s
        << u"nella tabella VOLO, riga \"VERDI ANNA\", il campo NOTE contiene un carattere nullo, che il server non "
           u"accetta"_s;
}

void TestServer::firstConnectionCopiesTheLocalArchiveIfWanted()
{
    QFETCH(bool, copy);
    QFETCH(QString, awkward);
    QFETCH(QString, refusal);
    WorkingFolder folder;
    makeLocalRegister(awkward);
    const QByteArray local = fileBytes(Schema::registerFile);
    Messages::ScriptedResponder answers;
    if (copy)
        answers.answerYes(2);
    else
        answers.answerNo();
    Form1 *main = startSentaro();
    QCOMPARE(answers.shown().constFirst(), u"Copio sul server l'archivio locale attivita.mdb?"_s);
    if (!refusal.isEmpty()) {
        QVERIFY(!main);
        QCOMPARE(answers.shown().mid(1),
                 QStringList{u"Non è stato possibile preparare l'archivio sul server %1: %2. Sul server non è stato "
                             u"scritto nulla.\nSentaro si chiude senza modificare nulla."_s.arg(address(), refusal)});
        stopSentaro();
        QCOMPARE(fileBytes(Schema::registerFile), local);
        return;
    }
    QVERIFY(main);
    // The doubles come along and are said; an empty register gets the key that keeps them out.
    // The rows counted are the archive's five and its six thresholds.
    QCOMPARE(answers.shown().mid(1),
             copy ? (QStringList{u"Copiate sul server 11 righe dall'archivio locale attivita.mdb, che resta com'era."_s,
                                 u"Presenze doppie: ROSSI MARIO in SISMA del 05/01/2011."_s})
                  : QStringList());
    QCOMPARE(count(u"ATTIVITA"_s), copy ? 2 : 0);
    QCOMPARE(count(u"VOLO"_s), copy ? 1 : 0);
    QCOMPARE(queryValue(Schema::registerFile, u"select count(*) from pg_indexes where indexname = 'attivdett_key'"_s)
                 .toInt(),
             copy ? 0 : 1);
    stopSentaro();
    QCOMPARE(fileBytes(Schema::registerFile), local);
}

void TestServer::dailyCopyIsASnapshotThatRestores()
{
    const QString copy = u"attivita-20300115.mdb"_s;
    QByteArray snapshot;
    {
        WorkingFolder folder;
        QVERIFY(makeWorkingFiles());
        runSql(Schema::registerFile, {activityRows, awkwardRow});
        // A day after the start that made the files, so that its copy is taken now.
        Clock::setFixed(QDateTime(QDate(2030, 1, 15), QTime(9, 0)));
        Messages::ScriptedResponder answers;
        QVERIFY(startSentaro());
        snapshot = fileBytes(u"backup/"_s + copy);
        QVERIFY(snapshot.startsWith("SQLite format 3"));
        QCOMPARE(queryValue(u"backup/"_s + copy, u"select count(*) from ATTIVITA"_s).toInt(), 3);
        QVERIFY(holdsAwkwardRow(u"backup/"_s + copy));
    }
    // Back into an empty database as a local archive copied at the first connection.
    WorkingFolder folder;
    QFile restored(Schema::registerFile);
    QVERIFY(restored.open(QIODevice::WriteOnly) && restored.write(snapshot) == snapshot.size());
    restored.close();
    Messages::ScriptedResponder answers;
    answers.answerYes(2);
    QVERIFY(startSentaro());
    QCOMPARE(answers.shown().size(), 2);
    QCOMPARE(count(u"ATTIVITA"_s), 3);
    QVERIFY(holdsAwkwardRow(Schema::registerFile));
}

// A cell edited in the grid moves its row on the server, and a broken session loses the
// statements prepared on it: the program finds both again.
void TestServer::movedRowsAndLostSessionsAreFoundAgain()
{
    WorkingFolder folder;
    QVERIFY(makeWorkingFiles());
    runSql(Schema::registerFile, {activityRows});
    Messages::ScriptedResponder answers;
    Form1 *main = startSentaro();
    QVERIFY(main);
    GridModel *grid = main->gridModel;
    const QModelIndex place = grid->index(0, 3);
    const QString description = grid->index(0, 2).data().toString();
    for (const QString &typed : {u"MILANO"_s, u"TORINO"_s}) {
        QVERIFY(grid->setData(place, typed));
        QCOMPARE(grid->index(0, 3).data().toString(), typed);
        QCOMPARE(
            queryValue(Schema::registerFile, u"select LOCATT from ATTIVITA where DESCRATT = '%1'"_s.arg(description))
                .toString(),
            typed);
    }
    QVERIFY2(answers.shown().isEmpty(), qPrintable(answers.shown().join(u" | "_s)));

    QVERIFY(main->Data7->refresh());
    // The server ends the program's session, as its restart or a broken network would.
    runSql(Schema::registerFile, {u"select pg_terminate_backend(pid) from pg_stat_activity where datname = "
                                  u"current_database() and pid <> pg_backend_pid()"_s});
    // The read opens the connection again, its statements prepared anew.
    QVERIFY2(main->Data7->refresh(), qPrintable(main->Data7->lastError().description));
    QCOMPARE(answers.shown(), QStringList{u"Connessione al server ripristinata."_s});
    QCOMPARE(main->Data7->value(u"DESCRATT"_s).toString().isEmpty(), false);
}

void TestServer::pressMeetingAServerLossIsWholeAndSaid_data()
{
    QTest::addColumn<QString>("action");   // "press" (details window) or "import" (volunteers)
    QTest::addColumn<QByteArray>("cutAt"); // the statement the line is cut at; none: while idle
    QTest::addColumn<int>("occurrence");
    // What becomes of that statement: "lost" on the way, its answer lost once carried out, or
    // lost with the server answering nobody until the next action ("down").
    QTest::addColumn<QString>("fate");
    QTest::addColumn<QStringList>("said"); // by the action, without the server's words (%1 the database, %2 the line)
    QTest::addColumn<int>("stored");       // rows the action left on the server
    const QString press = u"press"_s;
    const QString restored = u"Connessione al server ripristinata."_s;
    const QString lost = u"il collegamento con il server si è interrotto"_s;
    QTest::newRow("idle") << press << QByteArray() << 0 << u"lost"_s
                          << QStringList{restored, u"Volontari inseriti:  3"_s} << 3;
    QTest::newRow("idle, server down")
        << press << QByteArray() << 0 << u"down"_s
        << QStringList{u"Lettura dell'archivio non riuscita: archivio %1 sul server %2 non aperto"_s} << 0;
    // Nothing was done yet: the press begins again on a new connection, or, with none to be
    // had, writes nothing.
    QTest::newRow("begin") << press << QByteArrayLiteral("BEGIN") << 1 << u"lost"_s
                           << QStringList{restored, u"Volontari inseriti:  3"_s} << 3;
    QTest::newRow("begin, server down") << press << QByteArrayLiteral("BEGIN") << 1 << u"down"_s
                                        << QStringList{u"Nulla è stato cambiato: "_s + lost} << 0;
    // The second row's savepoint: the first row was written.
    QTest::newRow("amid the rows") << press << QByteArrayLiteral("SAVEPOINT sentaro_riga") << 2 << u"lost"_s
                                   << QStringList{u"Nulla è stato cambiato: "_s + lost} << 0;
    QTest::newRow("commit lost on the way")
        << press << QByteArrayLiteral("COMMIT") << 1 << u"lost"_s
        << QStringList{restored, u"Volontari inseriti:  0"_s, u"Volontari non registrati:\n"_s + lost} << 0;
    QTest::newRow("commit stored, answer lost") << press << QByteArrayLiteral("COMMIT") << 1 << u"answered"_s
                                                << QStringList{restored, u"Volontari inseriti:  3"_s} << 3;
    QTest::newRow("activity held by another PC")
        << press << QByteArrayLiteral("lock") << 0 << u"lost"_s
        << QStringList{u"L'attività è in uso su un'altra postazione: riprovare."_s} << 0;
    QTest::newRow("import") << u"import"_s << QByteArrayLiteral("COMMIT") << 1 << u"lost"_s
                            << QStringList{restored,
                                           u"Importazione interrotta: letti 2, aggiunti 0; rilanciare l'importazione "
                                           u"per completarla."_s,
                                           u"Gli ultimi volontari letti non sono stati registrati: "_s + lost}
                            << 0;
}

// An action whose line to the server breaks stores all its rows or none, says which, and the
// next one works on a connection opened again; a press that waits for another PC's hold gives
// up after the lock wait.
void TestServer::pressMeetingAServerLossIsWholeAndSaid()
{
    QFETCH(QString, action);
    QFETCH(QByteArray, cutAt);
    QFETCH(int, occurrence);
    QFETCH(QString, fate);
    QFETCH(QStringList, said);
    QFETCH(int, stored);
    WorkingFolder folder;
    QVERIFY(makeWorkingFiles());
    runSql(Schema::registerFile, {activityRows, u"insert into VOLO (COGN, NOME) values ('ROSSI', 'MARIO'), "
                                                u"('BIANCHI', 'ANNA'), ('VERDI', 'LUCA')"_s});
    runSql(Schema::importFile, {u"CREATE TABLE VOLO (COGN TEXT, NOME TEXT)"_s,
                                u"insert into VOLO values ('NERI', 'PAOLO'), ('GIALLI', 'ANNA')"_s});
    Line line;
    setArchive(u"porta"_s, line.port());
    setArchive(u"ssl"_s, u"preferito"_s);
    Messages::ScriptedResponder answers;
    QVERIFY(startSentaro());
    Windows::form1()->findChild<QAction *>(u"mnattinsdett"_s)->trigger();
    Form3 *form = Windows::form3();
    activate(form);
    choose(form->f3datain, u"05/01/2011"_s);
    const bool press = action == u"press"_s;
    const auto act = [&](QPushButton *button) {
        for (int i = 1; i < form->List2->count(); ++i)
            form->List2->item(i)->setSelected(true);
        form->orestandard->setText(u"2"_s);
        answers.clear();
        answers.answerYes(4);
        if (press)
            button->click();
        else
            Windows::form1()->findChild<QAction *>(u"mnvolimp"_s)->trigger();
    };
    const auto added = [&]() { return press ? count(u"ATTIVDETT"_s) : count(u"VOLO"_s) - 3; };
    for (QString &message : said)
        message = message.arg(queryValue(Schema::registerFile, u"select current_database()"_s).toString(),
                              u"127.0.0.1:"_s + line.port());
    line.setDown(fate == u"down"_s);
    std::unique_ptr<OtherPc> other;
    if (cutAt == "lock") {
        other = std::make_unique<OtherPc>(
            QStringList{u"select 1 from ATTIVITA where DESCRATT = 'SISMA' and DATAINATT = '05/01/2011' for update"_s},
            12000);
    } else if (cutAt.isEmpty()) {
        // Waited for without letting the window system in, which would have the windows read.
        line.cutNow();
        while (!line.wasCut())
            QThread::msleep(5);
    } else {
        line.cutAt(cutAt, occurrence, fate == u"answered"_s);
    }
    act(form->cmdr6);
    QCOMPARE(withoutReasons(answers.shown()).join(u" | "_s), said.join(u" | "_s));
    QCOMPARE(line.wasCut(), !other);
    QCOMPARE(added(), stored);
    QCOMPARE(queryValue(Schema::registerFile, u"select OREUOMO from ATTIVITA where DESCRATT = 'SISMA'"_s).toDouble(),
             press ? 2.0 * stored : 0.0);
    other.reset();
    line.setDown(false);

    // The next action needs no restart; the connection opened again is said once, by the
    // action that opened it.
    act(form->cmdr7);
    const QString restored = u"Connessione al server ripristinata."_s;
    QCOMPARE(said.count(restored) + answers.shown().count(restored), cutAt == "lock" ? 0 : 1);
    QCOMPARE(answers.shown().filter(press ? u"Volontari"_s : u"Importazione"_s),
             QStringList{press ? u"Volontari inseriti:  3"_s : u"Importazione terminata"_s});
    QCOMPARE(added(), press ? 3 : 2);
}

QTEST_MAIN(TestServer)
#include "tst_server.moc"

void TestServer::registerHasOneLayoutHoweverItIsMade_data()
{
    QTest::addColumn<bool>("server");
    QTest::addColumn<int>("version");     // of the register the start finds; 0 for none, -1 for an Access file
    QTest::addColumn<QString>("lacking"); // a field of VOLO it lacks, which stops the start
    QTest::newRow("new server archive") << true << 0 << QString();
    QTest::newRow("Access file converted") << false << -1 << QString();
    for (int version = 1; version < Schema::version; ++version) {
        QTest::addRow("file of version %d", version) << false << version << QString();
        QTest::addRow("server archive of version %d", version) << true << version << QString();
    }
    QTest::newRow("server archive of version 1 lacking a field") << true << 1 << u"NOTE3"_s;
}

// A new file is the model: a server archive, a converted Access file and every earlier register,
// once started, have its tables, columns, types, keys and indexes.
void TestServer::registerHasOneLayoutHoweverItIsMade()
{
    QFETCH(bool, server);
    QFETCH(int, version);
    QFETCH(QString, lacking);
    WorkingFolder folder;
    QVERIFY(QFile::rename(Server::settingsFile, u"server.ini"_s));
    QVERIFY(makeWorkingFiles());
    QVERIFY(QFile::rename(Schema::registerFile, u"nuovo.mdb"_s));
    const QStringList model = layout(u"nuovo.mdb"_s, false);
    QVERIFY(model.size() > 70);
    QVERIFY(model.contains(u"soglie 7 - 20"_s) && model.contains(u"soglie VISITE 5 12"_s));
    const QString made = server ? Schema::registerFile : u"vecchio.mdb"_s;
    if (server)
        QVERIFY(QFile::rename(u"server.ini"_s, Server::settingsFile));
    if (version < 0) {
        REQUIRE_SHARED_DATA(u"jet"_s);
        QVERIFY(QFile::copy(sharedDataFolder() + u"/jet/made/attivita.mdb"_s, made));
        QVERIFY(QFile::setPermissions(made, QFile::ReadOwner | QFile::WriteOwner));
    } else if (version > 0) {
        const Schema::Dialect dialect = server ? Schema::Dialect::Server : Schema::Dialect::File;
        QStringList statements;
        if (server)
            statements << Schema::serverCollationStatement();
        for (const Schema::Table &table : Schema::registerTables()) {
            Schema::Table then = Schema::asOf(table, version);
            if (table.name == Schema::volo)
                std::erase_if(then.fields, [&](const Schema::Field &field) { return field.name == lacking; });
            if (table.since <= version)
                statements << Schema::createStatements(then, dialect);
        }
        runSql(made, statements << Schema::versionStatement(dialect, version));
    }
    if (!server && version != 0)
        QVERIFY(QFile::rename(made, Schema::registerFile));
    Messages::ScriptedResponder answers;
    answers.answerYes(2);
    const bool started = startSentaro();
    stopSentaro();
    if (!lacking.isEmpty()) {
        // Checked before the new version is written: the register stays as it was.
        QVERIFY(!started);
        QCOMPARE(answers.shown(), QStringList{u"Sul server %1 la tabella VOLO non ha il campo NOTE3.\nSentaro si "
                                              u"chiude senza modificare nulla."_s.arg(address())});
        QCOMPARE(layoutVersion(made, server), version);
        return;
    }
    QVERIFY2(started, qPrintable(answers.shown().join(u" | "_s)));
    if (!server)
        QVERIFY(QFile::rename(Schema::registerFile, made));
    QCOMPARE(layout(made, server), model);
    QCOMPARE(layoutVersion(made, server), Schema::version);
}
