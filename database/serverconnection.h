#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>

class QSqlError;

// The register kept on a PostgreSQL server, named by sentaro.ini in the working folder,
// instead of attivita.mdb. Everything else (municipalities, import, copies, documents)
// stays in the working folder.
namespace Server {

inline const QString settingsFile = QStringLiteral("sentaro.ini");

struct Settings {
    QString host;
    int port = 5432;
    QString database;
    QString user;
    QString sslMode = QStringLiteral("require"); // as libpq names it
    // "127.0.0.1:5432", as messages name the server.
    QString address() const;
    // Where the register is, for the user to read: server, port and database.
    QString where() const;
};

// The [archivio] section of sentaro.ini, section and keys in any letter case; none when the
// working folder has no such file. A file that names no server, holds a section or key of its
// own or a value that cannot be used gives the message to show in `problem`.
std::optional<Settings> settings(QString *problem);

// Writes the [archivio] section of a sentaro.ini (`file`), as settings() reads it; false when
// the file cannot be written.
bool writeSettings(const QString &file, const Settings &settings);

// Asks the user for a password with the text given; none when the user gives up.
using PasswordPrompt = std::function<std::optional<QString>(const QString &text)>;
// Asks the user a question; true for Yes.
using Question = std::function<bool(const QString &text)>;

// Opens a connection to the server under the connection name given. The password comes from
// libpq's own sources, else from `askPassword`; it is never written anywhere. Returns the
// message to show when the server cannot be reached; a line in clear is said in `notices`. Under
// verificato the server's certificate is checked against sentaro-ca.crt beside sentaro.ini, else
// against libpq's own root certificate, and a refusal names the file.
std::optional<QString> connect(const QString &connectionName, const Settings &settings,
                               const PasswordPrompt &askPassword, QStringList *notices);
// The settings of a register found usable on the server, from now on the one open.
void setCurrent(const Settings &settings);
// The server's reason for a failure, in its own words.
QString errorText(const QSqlError &error);

// The settings of the register open on a server; none when the register is the local file.
const std::optional<Settings> &current();
void forget();

bool isServer(const QSqlDatabase &db);

// A connection lost (the server stopped, the network broke) is said once, by the command
// that met it; the next command opens it again with the password already given, unless a
// transaction was open on it: that one is gone, and what follows in it must fail rather than
// run outside it. Statements prepared on the old one are prepared anew: `generation` counts
// the openings. A connection opened again is said to the user through the notice set.
bool connectionBroke(const QString &clientText);
void markLost();
void reconnectIfLost(QSqlDatabase db);
int generation();
void setNotice(const std::function<void(const QString &text)> &show);
// Why the register on the server cannot be read now, naming the server and its database.
QString notOpen(const QSqlDatabase &db);

// Row identities on the server: a row's physical place (ctid), as a number, since SQLite's
// rowid is what the data sources keep. A row rewritten gets a new place; the write says which.
QString rowidSelect();
// "ctid = ?" with the value rowidValue() makes.
QString rowidMatch();
QVariant rowidValue(qint64 rowid);

} // namespace Server
