#include "database/pgcopy.h"

#include <QLibrary>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>

#include <cctype>
#include <optional>
#include <type_traits>
#include <utility>

#include <libpq-fe.h>

using namespace Qt::StringLiterals;

namespace PgCopy {

namespace {
void appendField(QByteArray &rows, const Field &value)
{
    if (!value) {
        rows += "\\N";
        return;
    }
    for (const char c : *value) {
        switch (c) {
        case '\\':
            rows += "\\\\";
            break;
        case '\t':
            rows += "\\t";
            break;
        case '\n':
            rows += "\\n";
            break;
        case '\r':
            rows += "\\r";
            break;
        default:
            rows += c;
        }
    }
}
} // namespace

void appendRow(QByteArray &rows, const std::vector<Field> &values)
{
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            rows += '\t';
        appendField(rows, values[i]);
    }
    rows += '\n';
}

void appendRow(QByteArray &rows, const QVariantList &values)
{
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            rows += '\t';
        const QVariant &value = values[i];
        const bool null = value.isNull() || (value.typeId() == QMetaType::QString &&
                                             static_cast<const QString *>(value.constData())->isNull());
        appendField(rows, null ? Field() : Field(value.toString().toUtf8()));
    }
    rows += '\n';
}

namespace {
// The server's client library, loaded on first use as Qt's driver loads it: a program that
// never opens a server does not load it, with its Kerberos and LDAP libraries, at every start.
struct Client {
    decltype(&PQexec) exec = nullptr;
    decltype(&PQresultStatus) resultStatus = nullptr;
    decltype(&PQresultErrorField) resultErrorField = nullptr;
    decltype(&PQerrorMessage) errorMessage = nullptr;
    decltype(&PQclear) clear = nullptr;
    decltype(&PQgetResult) getResult = nullptr;
    decltype(&PQputCopyData) putCopyData = nullptr;
    decltype(&PQputCopyEnd) putCopyEnd = nullptr;
    decltype(&PQgetCopyData) getCopyData = nullptr;
    decltype(&PQfreemem) freemem = nullptr;
    decltype(&PQsslInUse) sslInUse = nullptr;
};

const Client *client()
{
    static const std::optional<Client> loaded = []() -> std::optional<Client> {
#ifdef Q_OS_WIN
        QLibrary library(u"libpq"_s);
#else
        QLibrary library(u"pq"_s, 5);
#endif
        if (!library.load())
            return std::nullopt;
        Client found;
        bool complete = true;
        const auto resolve = [&](auto &function, const char *name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(library.resolve(name));
            complete = complete && function;
        };
        resolve(found.exec, "PQexec");
        resolve(found.resultStatus, "PQresultStatus");
        resolve(found.resultErrorField, "PQresultErrorField");
        resolve(found.errorMessage, "PQerrorMessage");
        resolve(found.clear, "PQclear");
        resolve(found.getResult, "PQgetResult");
        resolve(found.putCopyData, "PQputCopyData");
        resolve(found.putCopyEnd, "PQputCopyEnd");
        resolve(found.getCopyData, "PQgetCopyData");
        resolve(found.freemem, "PQfreemem");
        resolve(found.sslInUse, "PQsslInUse");
        return complete ? std::optional<Client>(found) : std::nullopt;
    }();
    return loaded ? &*loaded : nullptr;
}

PGconn *connectionOf(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    // Qt's driver hands its PGconn under the name of the struct behind the typedef.
    if (!client() || !handle.isValid() ||
        (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn *const *>(handle.constData());
}

// The server's refusal as Qt's driver would describe it, so that the store tells it alike.
Store::Result refusal(PGconn *connection, const PGresult *result)
{
    const char *state = result ? client()->resultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const char *primary = result ? client()->resultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    return Store::classify(QSqlError(QString::fromUtf8(client()->errorMessage(connection)),
                                     primary ? QString::fromUtf8(primary) : QString(), QSqlError::StatementError,
                                     state ? QString::fromLatin1(state) : QString()));
}

// The row of a COPY that the server refused, from 1, as its context names it ("COPY volo, line
// 3", in the server's language); 0 when it names none.
qint64 refusedRowOf(const PGresult *result)
{
    static const QRegularExpression row(u"^COPY [^,]+, \\S+ (\\d+)"_s);
    const char *context = client()->resultErrorField(result, PG_DIAG_CONTEXT);
    return context ? row.match(QString::fromUtf8(context)).captured(1).toLongLong() : 0;
}

// The outcome of the COPY once its rows are through; the connection is left ready.
Store::Result finished(PGconn *connection, qint64 *refusedRow = nullptr)
{
    Store::Result outcome;
    while (PGresult *result = client()->getResult(connection)) {
        if (client()->resultStatus(result) != PGRES_COMMAND_OK && outcome.ok()) {
            outcome = refusal(connection, result);
            if (refusedRow)
                *refusedRow = refusedRowOf(result);
        }
        client()->clear(result);
    }
    return outcome;
}

// Starts `command`, which must answer with `expected`.
Store::Result started(PGconn *connection, const QString &command, ExecStatusType expected)
{
    if (!connection)
        return Store::failure(u"il collegamento con il server non è disponibile"_s);
    PGresult *result = client()->exec(connection, command.toUtf8().constData());
    const Store::Result outcome =
        client()->resultStatus(result) == expected ? Store::Result{} : refusal(connection, result);
    client()->clear(result);
    return outcome;
}

// Splits one row (without its line end) into its fields, undoing COPY's escapes in place:
// a field's text never grows when its escapes are undone.
void split(char *text, qsizetype length, std::vector<Field> &fields)
{
    fields.clear();
    char *in = text;
    char *const end = text + length;
    for (;;) {
        if (end - in >= 2 && in[0] == '\\' && in[1] == 'N' && (end - in == 2 || in[2] == '\t')) {
            fields.emplace_back(std::nullopt);
            in += 2;
        } else {
            char *const start = in;
            char *out = in;
            while (in < end && *in != '\t') {
                if (*in != '\\' || in + 1 == end) {
                    *out++ = *in++;
                    continue;
                }
                const char c = in[1];
                in += 2;
                if (c >= '0' && c <= '7') {
                    int value = c - '0';
                    for (int digits = 1; digits < 3 && in < end && *in >= '0' && *in <= '7'; ++digits)
                        value = value * 8 + (*in++ - '0');
                    *out++ = char(value);
                    continue;
                }
                if (c == 'x' && in < end && std::isxdigit(static_cast<unsigned char>(*in))) {
                    int value = 0;
                    for (int digits = 0; digits < 2 && in < end && std::isxdigit(static_cast<unsigned char>(*in));
                         ++digits, ++in)
                        value = value * 16 +
                                (std::isdigit(static_cast<unsigned char>(*in)) ? *in - '0' : (*in | 0x20) - 'a' + 10);
                    *out++ = char(value);
                    continue;
                }
                switch (c) {
                case 'b':
                    *out++ = '\b';
                    break;
                case 'f':
                    *out++ = '\f';
                    break;
                case 'n':
                    *out++ = '\n';
                    break;
                case 'r':
                    *out++ = '\r';
                    break;
                case 't':
                    *out++ = '\t';
                    break;
                case 'v':
                    *out++ = '\v';
                    break;
                default:
                    *out++ = c;
                }
            }
            fields.emplace_back(QByteArrayView(start, out - start));
        }
        if (in >= end)
            return;
        ++in; // the tab before the next field
    }
}
} // namespace

Store::Result copyIn(const QSqlDatabase &db, const QString &table, const QStringList &fields, const QByteArray &rows,
                     qint64 *refusedRow)
{
    bool made = false;
    return copyIn(
        db, table, fields,
        [&](QByteArray &part) {
            part = rows;
            return !std::exchange(made, true);
        },
        refusedRow);
}

Store::Result copyIn(const QSqlDatabase &db, const QString &table, const QStringList &fields,
                     const std::function<bool(QByteArray &rows)> &next, qint64 *refusedRow)
{
    if (refusedRow)
        *refusedRow = 0;
    PGconn *connection = connectionOf(db);
    if (Store::Result begun =
            started(connection, u"COPY "_s + table + u" ("_s + fields.join(u", "_s) + u") FROM STDIN"_s, PGRES_COPY_IN);
        !begun.ok())
        return begun;
    QByteArray part;
    bool sent = true;
    while (sent && next(part)) {
        sent = part.isEmpty() || client()->putCopyData(connection, part.constData(), int(part.size())) == 1;
        part.truncate(0);
    }
    if (!sent || client()->putCopyEnd(connection, nullptr) != 1) {
        const Store::Result broken = refusal(connection, nullptr);
        finished(connection);
        return broken;
    }
    return finished(connection, refusedRow);
}

Store::Result copyOut(const QSqlDatabase &db, const QString &select,
                      const std::function<Store::Result(const std::vector<Field> &)> &row)
{
    PGconn *connection = connectionOf(db);
    if (Store::Result begun = started(connection, u"COPY ("_s + select + u") TO STDOUT"_s, PGRES_COPY_OUT); !begun.ok())
        return begun;
    Store::Result outcome;
    std::vector<Field> fields;
    char *line = nullptr;
    int length = 0;
    while ((length = client()->getCopyData(connection, &line, 0)) > 0) {
        if (outcome.ok()) {
            split(line, line[length - 1] == '\n' ? length - 1 : length, fields);
            outcome = row(fields);
        }
        client()->freemem(line);
    }
    if (length == -2 && outcome.ok())
        outcome = refusal(connection, nullptr);
    const Store::Result end = finished(connection);
    return outcome.ok() ? end : outcome;
}

std::optional<bool> encrypted(const QSqlDatabase &db)
{
    PGconn *connection = connectionOf(db);
    return connection ? std::optional<bool>(client()->sslInUse(connection) == 1) : std::nullopt;
}

} // namespace PgCopy
