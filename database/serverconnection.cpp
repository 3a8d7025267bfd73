#include "database/serverconnection.h"

#include "database/connection.h"
#include "database/pgcopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace Server {
namespace {

std::optional<Settings> &currentSettings()
{
    static std::optional<Settings> settings;
    return settings;
}

// The words of sentaro.ini for libpq's TLS modes.
const QList<std::pair<QString, QString>> sslModes{
    {u"preferito"_s, u"prefer"_s}, {u"richiesto"_s, u"require"_s}, {u"verificato"_s, u"verify-full"_s}};

// libpq and the server speak the language of the machine they run on: the reasons are
// recognised in English and in Italian.
bool says(const QString &why, const QStringList &phrases)
{
    return std::any_of(phrases.cbegin(), phrases.cend(),
                       [&](const QString &phrase) { return why.contains(phrase, Qt::CaseInsensitive); });
}

bool wrongPassword(const QString &why)
{
    return says(why, {u"password authentication failed"_s, u"autenticazione con password fallita"_s});
}

bool wantsPassword(const QString &why)
{
    return wrongPassword(why) || says(why, {u"no password supplied"_s, u"nessuna password"_s});
}

// No wait without an end: a line that froze or a server that went away is noticed in about
// half a minute, by TCP's keepalives while the program waits and by the unacknowledged data's
// limit while it sends, and the server notices a PC gone as soon, letting go of what its
// transaction held; a write waits about ten seconds for what another PC holds; a statement
// gives up after five minutes, well beyond the biggest list on a slow line.
QString waitLimits()
{
    return u"keepalives=1;keepalives_idle=10;keepalives_interval=5;keepalives_count=4;tcp_user_timeout=30000;"
           u"options='-c lock_timeout=10000 -c statement_timeout=300000 -c tcp_keepalives_idle=10 "
           u"-c tcp_keepalives_interval=5 -c tcp_keepalives_count=4'"_s;
}

// A folder's socket on this machine: no network between, and no TLS on it.
bool localSocket(const Settings &settings)
{
    return settings.host.startsWith(u'/') || settings.host.startsWith(u'@');
}

// The root certificate that vouches for the server under verificato, beside sentaro.ini.
const QString rootCertificateFile = u"sentaro-ca.crt"_s;

// The root certificate file verificato checks the server against: sentaro-ca.crt beside sentaro.ini,
// else libpq's own choice, the file PGSSLROOTCERT names or the user's root.crt, which Windows keeps
// among the roaming application data.
QString rootCertificate()
{
    if (QFileInfo::exists(rootCertificateFile))
        return QFileInfo(rootCertificateFile).absoluteFilePath();
    if (!qEnvironmentVariableIsEmpty("PGSSLROOTCERT"))
        return QFileInfo(qEnvironmentVariable("PGSSLROOTCERT")).absoluteFilePath();
#ifdef Q_OS_WIN
    return QDir(qEnvironmentVariable("APPDATA")).filePath(u"postgresql/root.crt"_s);
#else
    return QDir::home().filePath(u".postgresql/root.crt"_s);
#endif
}

// Under richiesto the certificate is not checked, so a machine between could pose as the server:
// the login is then only SCRAM bound to the encrypted line, which such a machine can neither
// complete nor read a password from, and libpq answers no request for a password in clear or
// md5. Under verificato the certificate names the server, and the line is bound wherever the
// server offers SCRAM, whatever the machine's environment says.
QString tlsOptions(const Settings &settings)
{
    if (localSocket(settings))
        return {};
    if (settings.sslMode == u"require"_s)
        return u";channel_binding=require"_s;
    if (settings.sslMode != u"verify-full"_s)
        return {};
    // Named to libpq under verificato alone: under richiesto, a root named would have it check the chain too.
    // By its name in the working folder, the program's current folder: Qt's driver makes a space of every
    // ';' in the options and hands them over in the local 8-bit encoding, which a full path need not survive.
    return QFileInfo::exists(rootCertificateFile) ? u";channel_binding=prefer;sslrootcert="_s + rootCertificateFile
                                                  : u";channel_binding=prefer"_s;
}

// Under verificato, the root certificate the server's was checked against, or where it was looked for.
QString rootCertificateSaid()
{
    const QString root = QDir::toNativeSeparators(rootCertificate());
    if (QFileInfo::exists(root))
        return u" Il certificato radice usato per verificare il server è %1."_s.arg(root);
    return u" Il certificato radice che verifica il server non c'è: Sentaro l'ha cercato in %1 e in %2."_s.arg(
        QDir::toNativeSeparators(QFileInfo(rootCertificateFile).absoluteFilePath()), root);
}

// libpq's reasons, said in Italian with the server named; its own words follow for whoever
// has to look into it.
QString connectionProblem(const Settings &settings, const QString &why)
{
    const QString server = settings.address();
    if (says(why, {u"channel binding"_s, u"binding del canale"_s, u"associazione di canale"_s}))
        return u"Il server %1 non ha chiesto la password nel modo sicuro (SCRAM legato al collegamento cifrato) e il "
               u"suo certificato non è verificato: la password non è stata inviata. Servono password SCRAM sul "
               u"server, oppure ssl=verificato con il certificato del server (%2)."_s.arg(server, why);
    if (wrongPassword(why))
        return u"Il server %1 non ha accettato la password dell'utente %2."_s.arg(server, settings.user);
    const bool missing = says(why, {u"does not exist"_s, u"non esiste"_s});
    if (missing && says(why, {u"database"_s}))
        return u"Sul server %1 non c'è l'archivio %2."_s.arg(server, settings.database);
    if (missing && says(why, {u"role"_s, u"ruolo"_s}))
        return u"Il server %1 non conosce l'utente %2."_s.arg(server, settings.user);
    if (says(why, {u"SSL"_s, u"certificate"_s, u"certificato"_s}))
        return u"Il collegamento cifrato con il server %1 non è riuscito (%2)."_s.arg(server, why) +
               (settings.sslMode == u"verify-full"_s ? rootCertificateSaid() : QString());
    if (says(why, {u"Connection refused"_s, u"Connessione rifiutata"_s, u"timeout"_s, u"could not"_s,
                   u"translate host name"_s, u"nome host"_s, u"No route to host"_s}))
        return u"Il server %1 non risponde (%2)."_s.arg(server, why);
    return u"Il server %1 ha rifiutato il collegamento (%2)."_s.arg(server, why);
}

} // namespace

QString errorText(const QSqlError &error)
{
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.text().trimmed() : text;
}

QString Settings::address() const
{
    return host + u':' + QString::number(port);
}

QString Settings::where() const
{
    return u"Archivio %1 sul server %2"_s.arg(database, address());
}

std::optional<Settings> settings(QString *problem)
{
    problem->clear();
    if (!QFileInfo::exists(settingsFile))
        return std::nullopt;
    QFile file(settingsFile);
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = u"Il file %1 non si può leggere."_s.arg(settingsFile);
        return std::nullopt;
    }
    // The file is there to name a server: a misspelt, repeated or misread line would otherwise
    // leave the user on another archive, or a new local one, without a word. So it is read as
    // written: a comment is a whole line starting with ';' or '#', a value everything after '='.
    // Letter case does not count.
    const auto refuse = [&](const QString &what) {
        *problem = u"Nel file %1 %2."_s.arg(settingsFile, what);
        return std::nullopt;
    };
    const auto wrong = [&](const QString &what) {
        *problem = u"Nel file %1, sezione [archivio], %2."_s.arg(settingsFile, what);
        return std::nullopt;
    };
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    static const QStringList known{u"server"_s, u"porta"_s, u"database"_s, u"utente"_s, u"ssl"_s};
    bool inSection = false;
    QHash<QString, QString> values;
    for (const QString &written : text.split(u'\n')) {
        const QString line = written.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            const QString name = line.endsWith(u']') ? line.mid(1, line.size() - 2).trimmed() : line;
            if (name.compare(u"archivio"_s, Qt::CaseInsensitive) != 0)
                return refuse(u"la sezione [%1] non è prevista: Sentaro legge solo [archivio]"_s.arg(name));
            if (inSection)
                return refuse(u"la sezione [archivio] è ripetuta"_s);
            inSection = true;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        const QString key = line.left(equals).trimmed();
        if (!inSection)
            return refuse(u"la chiave %1 sta fuori dalla sezione [archivio]"_s.arg(key));
        if (equals < 0)
            return wrong(u"la riga \"%1\" non è nella forma chiave=valore"_s.arg(line));
        const QString word = key.toLower();
        if (!known.contains(word))
            return wrong(u"la chiave %1 non è prevista"_s.arg(key));
        if (values.contains(word))
            return wrong(u"la chiave %1 è ripetuta"_s.arg(word));
        QString value = line.mid(equals + 1).trimmed();
        // Files written by earlier versions quote a value holding a comma or a semicolon.
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2).replace(u"\\\""_s, u"\""_s).replace(u"\\\\"_s, u"\\"_s);
        if (std::any_of(value.cbegin(), value.cend(), [](QChar c) { return c.category() == QChar::Other_Control; }))
            return wrong(u"il valore di %1 contiene caratteri di controllo"_s.arg(word));
        values.insert(word, value);
    }
    if (!inSection)
        return refuse(u"manca la sezione [archivio] con il server"_s);
    Settings settings;
    settings.host = values.value(u"server"_s);
    if (settings.host.isEmpty())
        return wrong(u"manca il server"_s);
    // A name or an address, as libpq takes it: anything else would be cut or misread on the way.
    static const QRegularExpression hostShape(u"^[A-Za-z0-9._:-]+$"_s);
    if (!hostShape.match(settings.host).hasMatch())
        return wrong(u"il server %1 non è un nome di computer o un indirizzo valido"_s.arg(settings.host));
    bool ok = true;
    settings.port = values.value(u"porta"_s, u"5432"_s).toInt(&ok);
    if (!ok || settings.port < 1 || settings.port > 65535)
        return wrong(u"la porta deve essere un numero da 1 a 65535"_s);
    settings.database = values.value(u"database"_s, u"sentaro"_s);
    if (settings.database.isEmpty())
        return wrong(u"manca il database"_s);
    settings.user = values.value(u"utente"_s);
    if (settings.user.isEmpty())
        return wrong(u"manca l'utente"_s);
    const QString ssl = values.value(u"ssl"_s, u"richiesto"_s).toLower();
    settings.sslMode.clear();
    for (const auto &[word, mode] : sslModes) {
        if (word == ssl)
            settings.sslMode = mode;
    }
    if (settings.sslMode.isEmpty())
        return wrong(u"ssl deve essere preferito, richiesto o verificato"_s);
    return settings;
}

bool writeSettings(const QString &file, const Settings &settings)
{
    // Written as it is read back: one key a line, the value as it is.
    QString text = u"[archivio]\nserver=%1\nporta=%2\ndatabase=%3\nutente=%4\n"_s.arg(
        settings.host, QString::number(settings.port), settings.database, settings.user);
    for (const auto &[word, mode] : sslModes) {
        if (mode == settings.sslMode)
            text += u"ssl="_s + word + u'\n';
    }
    QSaveFile out(file);
    return out.open(QIODevice::WriteOnly) && out.write(text.toUtf8()) >= 0 && out.commit();
}

std::optional<QString> connect(const QString &connectionName, const Settings &settings,
                               const PasswordPrompt &askPassword, QStringList *notices)
{
    forget();
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, connectionName);
    if (!db.isValid())
        return u"In questo Sentaro manca il modulo per i server PostgreSQL: l'archivio sul server %1 non si può "
               u"usare."_s.arg(settings.address());
    db.setHostName(settings.host);
    db.setPort(settings.port);
    db.setDatabaseName(settings.database);
    db.setUserName(settings.user);
    db.setConnectOptions(u"sslmode=%1;connect_timeout=10;application_name=Sentaro"_s.arg(settings.sslMode));
    db.setConnectOptions(db.connectOptions() + tlsOptions(settings));
    db.setConnectOptions(db.connectOptions() + u';' + waitLimits());
    bool asked = false;
    while (!db.open()) {
        const QString why = errorText(db.lastError());
        if (asked || !wantsPassword(why))
            return connectionProblem(settings, why);
        asked = true;
        const auto password =
            !askPassword ? std::nullopt
                         : askPassword(u"Password dell'utente %1 sul server %2:"_s.arg(settings.user, settings.host));
        // libpq takes an empty password for none and the server would only refuse it.
        if (!password || password->isEmpty())
            return u"Nessuna password per l'utente %1 sul server %2."_s.arg(settings.user, settings.address());
        db.setPassword(*password);
    }
    // preferito may have settled for a line in clear: said once, at the start.
    if (settings.sslMode == u"prefer"_s && !localSocket(settings) && notices && !PgCopy::encrypted(db).value_or(true))
        *notices << u"Connessione al server non cifrata."_s;
    return std::nullopt;
}

void setCurrent(const Settings &settings)
{
    currentSettings() = settings;
}

const std::optional<Settings> &current()
{
    return currentSettings();
}

void forget()
{
    currentSettings().reset();
}

namespace {
bool &lost()
{
    static bool flag = false;
    return flag;
}
int &openings()
{
    static int count = 0;
    return count;
}
std::function<void(const QString &)> &notice()
{
    static std::function<void(const QString &)> show;
    return show;
}
} // namespace

bool connectionBroke(const QString &clientText)
{
    // In English and in libpq's Italian, as says() reads the reasons.
    return says(clientText,
                {u"server closed the connection"_s, u"no connection to the server"_s, u"terminating connection"_s,
                 u"could not receive data from server"_s, u"could not send data to server"_s,
                 u"connection to server was lost"_s, u"SSL SYSCALL error"_s, u"SSL connection has been closed"_s,
                 u"il server ha chiuso la connessione"_s, u"nessuna connessione al server"_s,
                 u"ricezione dati dal server fallita"_s, u"invio dati al server fallito"_s, u"errore SSL SYSCALL"_s,
                 u"la connessione SSL è stata chiusa"_s});
}

void markLost()
{
    lost() = true;
}

void reconnectIfLost(QSqlDatabase db)
{
    // libpq tells a connection it found broken from one still open: that one is lost too,
    // whichever statement met the break.
    if (!isServer(db) || !current() || (!lost() && db.isOpen()) || Store::transactionOpen(db))
        return;
    lost() = true;
    Store::forgetPrepared();
    db.close();
    if (!db.open())
        return;
    lost() = false;
    ++openings();
    if (notice())
        notice()(u"Connessione al server ripristinata."_s);
}

void setNotice(const std::function<void(const QString &)> &show)
{
    notice() = show;
}

QString notOpen(const QSqlDatabase &db)
{
    const auto &settings = current();
    if (!settings)
        return u"archivio sul server non aperto"_s;
    const QString why = errorText(db.lastError());
    return u"archivio %1 sul server %2 non aperto"_s.arg(settings->database, settings->address()) +
           (why.isEmpty() ? QString() : u" ("_s + why + u')');
}

int generation()
{
    return openings();
}

bool isServer(const QSqlDatabase &db)
{
    return db.driverName() == u"QPSQL"_s;
}

QString rowidSelect()
{
    return u"((ctid::text::point)[0]::bigint * 65536 + (ctid::text::point)[1]::bigint)"_s;
}

QString rowidMatch()
{
    return u"ctid = CAST(? AS tid)"_s;
}

QVariant rowidValue(qint64 rowid)
{
    return u"(%1,%2)"_s.arg(rowid >> 16).arg(rowid & 0xffff);
}

} // namespace Server
