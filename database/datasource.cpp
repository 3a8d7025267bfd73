#include "database/datasource.h"

#include "common/textformat.h"
#include "database/serverconnection.h"
#include "database/sql.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlRecord>
#include <QSqlResult>
#include <QStringEncoder>

#include <sqlite3.h>

#include <cmath>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString rowidColumn = u"sentaro_rowid"_s;

std::vector<DataSource *> &openSources()
{
    static std::vector<DataSource *> sources;
    return sources;
}

// "select * from TABLE rest" or a bare table name: the shapes a data source can write back to.
const QRegularExpression &singleTableSelect()
{
    static const QRegularExpression pattern(u"^\\s*select\\s+\\*\\s+from\\s+\\[?([A-Za-z_][A-Za-z0-9_]*)\\]?(.*)$"_s,
                                            QRegularExpression::CaseInsensitiveOption |
                                                QRegularExpression::DotMatchesEverythingOption);
    return pattern;
}

int &readsBeforeRefusal()
{
    static int reads = -1;
    return reads;
}

// True when the test hook refuses this read.
bool readRefusedForTest()
{
    int &reads = readsBeforeRefusal();
    if (reads < 0)
        return false;
    if (reads == 0)
        return true;
    --reads;
    return false;
}

Store::Result refusedForTest()
{
    return Store::failure(u"lettura rifiutata dall'archivio (prova)"_s);
}

const QRegularExpression &bareTableName()
{
    static const QRegularExpression pattern(u"^\\s*([A-Za-z_][A-Za-z0-9_]*)\\s*$"_s);
    return pattern;
}

std::optional<QVariant> numberFor(Schema::Kind kind, double number)
{
    if (kind != Schema::Kind::Integer)
        return QVariant(number);
    if (std::fabs(number) > 1e15 || number != std::trunc(number))
        return std::nullopt;
    return QVariant(static_cast<qint64>(number));
}

// A value as the table stores it: numbers in number fields, whatever the user typed.
std::optional<QVariant> storedValue(const QString &table, const QString &field, const QVariant &value)
{
    const Schema::Kind kind = Schema::catalogueKind(table, field);
    if (kind == Schema::Kind::Text || value.isNull())
        return value;
    if (value.typeId() == QMetaType::QString) {
        const QString typed = value.toString();
        if (typed.trimmed().isEmpty())
            return QVariant();
        const auto number = TextFormat::readNumber(typed);
        if (!number)
            return std::nullopt;
        return numberFor(kind, *number);
    }
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return numberFor(kind, number);
}

// A field as Qt's SQLite driver gives it: integers as qlonglong, reals as double, text
// as QString, no value as a null QString. Text is decoded from the file's own UTF-8, which
// spares SQLite a conversion into a buffer of its own for every value.
QVariant columnValue(sqlite3_stmt *handle, int column)
{
    switch (sqlite3_column_type(handle, column)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(handle, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(handle, column));
    case SQLITE_NULL:
        return QVariant(QMetaType::fromType<QString>());
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char *>(sqlite3_column_blob(handle, column)),
                                   sqlite3_column_bytes(handle, column)));
    default: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(handle, column));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(handle, column)));
    }
    }
}

sqlite3_stmt *statementHandle(const QSqlQuery &query)
{
    const QSqlResult *result = query.result();
    const QVariant handle = result ? result->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3_stmt*") != 0)
        return nullptr;
    return *static_cast<sqlite3_stmt *const *>(handle.constData());
}

} // namespace

PreparedStatement::PreparedStatement(const QSqlDatabase &db, const QString &sql)
    : m_query(db)
{
    m_server = Server::isServer(db);
    // Qt's driver reads a forward-only query's rows from a server one message at a time: the
    // rows a statement here reads cost less read whole.
    m_query.setForwardOnly(!m_server);
    if (m_server)
        m_db = db;
    if (!m_query.prepare(sql))
        m_prepareFailure = Store::classify(m_query.lastError());
    else if (!m_server && !statementHandle(m_query))
        m_prepareFailure = Store::failure(u"istruzione non preparata"_s);
}

// On a server Qt's driver prepares the text once and, at each run, writes the values into the EXECUTE
// text itself, each escaped by libpq as a literal: user text never becomes SQL, but it does travel inside
// the statement (and so shows in the server's log of statements).
Store::Result PreparedStatement::runOnServer(const QVariantList &values, QList<QVariantList> *rows, bool *gaveRow)
{
    for (int i = 0; i < values.size(); ++i)
        m_query.bindValue(i, values[i]);
    if (!m_query.exec())
        return Store::classify(m_query.lastError());
    // The driver makes the record's fields anew at each call.
    const int columns = m_query.isSelect() ? m_query.record().count() : 0;
    while (m_query.isSelect() && m_query.next()) {
        if (gaveRow)
            *gaveRow = true;
        if (!rows)
            break;
        if (readRefusedForTest()) {
            m_query.finish();
            return refusedForTest();
        }
        QVariantList row;
        row.reserve(columns);
        for (int column = 0; column < columns; ++column)
            row << m_query.value(column);
        rows->push_back(std::move(row));
    }
    const Store::Result result = Store::classify(m_query.lastError());
    m_query.finish();
    return result;
}

Store::Result PreparedStatement::run(const QVariantList &values, bool *gaveRow)
{
    if (gaveRow)
        *gaveRow = false;
    if (!m_prepareFailure.ok())
        return m_prepareFailure;
    if (m_server)
        return Store::guarded(m_db, [&]() { return runOnServer(values, nullptr, gaveRow); });
    int status = bind(values);
    if (status == SQLITE_OK) {
        status = sqlite3_step(statementHandle(m_query));
        if (status == SQLITE_ROW && gaveRow)
            *gaveRow = true;
    }
    return finish(status);
}

Store::Result PreparedStatement::select(const QVariantList &values, QList<QVariantList> *rows)
{
    if (m_server && m_prepareFailure.ok()) {
        if (readRefusedForTest())
            return refusedForTest();
        return runOnServer(values, rows, nullptr);
    }
    return stepRows(values, [&](sqlite3_stmt *handle) {
        const int columns = sqlite3_column_count(handle);
        QVariantList row;
        row.reserve(columns);
        for (int column = 0; column < columns; ++column)
            row << columnValue(handle, column);
        rows->push_back(std::move(row));
    });
}

Store::Result PreparedStatement::selectTexts(const QVariantList &values,
                                             const std::function<void(const std::vector<Text> &)> &row)
{
    std::vector<Text> texts;
    return stepRows(values, [&](sqlite3_stmt *handle) {
        const int columns = sqlite3_column_count(handle);
        texts.clear();
        for (int column = 0; column < columns; ++column) {
            if (sqlite3_column_type(handle, column) == SQLITE_NULL) {
                texts.emplace_back(std::nullopt);
                continue;
            }
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(handle, column));
            texts.emplace_back(QByteArrayView(text, sqlite3_column_bytes(handle, column)));
        }
        row(texts);
    });
}

Store::Result PreparedStatement::stepRows(const QVariantList &values, const std::function<void(sqlite3_stmt *)> &row)
{
    if (!m_prepareFailure.ok())
        return m_prepareFailure;
    if (readRefusedForTest())
        return refusedForTest();
    if (m_server)
        return Store::failure(u"lettura per testi non disponibile sul server"_s);
    sqlite3_stmt *handle = statementHandle(m_query);
    int status = bind(values);
    while (status == SQLITE_OK || status == SQLITE_ROW) {
        status = sqlite3_step(handle);
        if (status != SQLITE_ROW)
            break;
        if (readRefusedForTest()) {
            finish(SQLITE_DONE);
            return refusedForTest();
        }
        row(handle);
    }
    return finish(status);
}

Store::Result PreparedStatement::runWithRowOf(PreparedStatement &from, const QVariantList &values, Store::Result *read)
{
    *read = from.m_prepareFailure;
    if (!read->ok())
        return {};
    if (!m_prepareFailure.ok())
        return m_prepareFailure;
    if (m_server || from.m_server) {
        // Between a file and a server the fields go through Qt values.
        QList<QVariantList> rows;
        *read = from.select(values, &rows);
        if (read->ok() && rows.isEmpty())
            *read = Store::failure(u"riga non più nel file"_s);
        return read->ok() ? run(rows.constFirst()) : Store::Result{};
    }
    if (readRefusedForTest()) {
        *read = refusedForTest();
        return {};
    }
    sqlite3_stmt *source = statementHandle(from.m_query);
    int status = from.bind(values);
    if (status == SQLITE_OK)
        status = sqlite3_step(source);
    if (status != SQLITE_ROW || readRefusedForTest()) {
        if (status == SQLITE_ROW)
            *read = refusedForTest();
        else if (status == SQLITE_DONE)
            *read = Store::failure(u"riga non più nel file"_s);
        else
            *read = from.finish(status);
        from.finish(SQLITE_DONE);
        return {};
    }
    sqlite3_stmt *target = statementHandle(m_query);
    sqlite3_reset(target);
    status = SQLITE_OK;
    const int columns = sqlite3_column_count(source);
    for (int column = 0; column < columns && status == SQLITE_OK; ++column) {
        // A text is bound where the source row holds it, which stays put until the insert has
        // run: copying each of twenty texts a row costs more than the rest of the copy.
        if (sqlite3_column_type(source, column) == SQLITE_TEXT) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(source, column));
            status = sqlite3_bind_text(target, column + 1, text, sqlite3_column_bytes(source, column), SQLITE_STATIC);
        } else {
            status = sqlite3_bind_value(target, column + 1, sqlite3_column_value(source, column));
        }
    }
    if (status == SQLITE_OK)
        status = sqlite3_step(target);
    const Store::Result written = finish(status);
    from.finish(SQLITE_DONE);
    return written;
}

Store::Result PreparedStatement::runCopying(const QVariantList &values, qsizetype rows, Store::Result *read)
{
    *read = {};
    if (m_server)
        return Store::failure(u"copia tra file non disponibile sul server"_s);
    for (qsizetype step = 0; step <= rows; ++step) {
        if (readRefusedForTest()) {
            *read = refusedForTest();
            return {};
        }
    }
    const Store::Result written = run(values);
    if (written.ok() && sqlite3_changes(sqlite3_db_handle(statementHandle(m_query))) != rows)
        *read = Store::failure(u"riga non più nel file"_s);
    return written;
}

int PreparedStatement::bind(const QVariantList &values)
{
    sqlite3_stmt *handle = statementHandle(m_query);
    sqlite3_reset(handle);
    // Texts go in as UTF-8, the file's own encoding, written one after the other into a buffer
    // kept from run to run and held until the statement has run: an import binds twenty for
    // each of thousands of rows. It is sized first, so that it does not move while filled.
    const auto textOf = [](const QVariant &value) {
        return value.typeId() == QMetaType::QString ? *static_cast<const QString *>(value.constData())
                                                    : value.toString();
    };
    qsizetype room = 0;
    for (const QVariant &value : values)
        room += textOf(value).size() * 3;
    m_texts.resize(room);
    char *next = m_texts.data();
    QStringEncoder toUtf8(QStringEncoder::Utf8);
    int status = SQLITE_OK;
    for (int i = 0; i < values.size() && status == SQLITE_OK; ++i) {
        const QVariant &value = values[i];
        const int position = i + 1;
        const bool null = value.isNull() || (value.typeId() == QMetaType::QString &&
                                             static_cast<const QString *>(value.constData())->isNull());
        if (null) {
            status = sqlite3_bind_null(handle, position);
            continue;
        }
        switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::Bool:
            status = sqlite3_bind_int64(handle, position, value.toLongLong());
            break;
        case QMetaType::Double:
            status = sqlite3_bind_double(handle, position, value.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            status = sqlite3_bind_blob(handle, position, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            char *const start = next;
            toUtf8.resetState();
            next = toUtf8.appendToBuffer(next, textOf(value));
            status = sqlite3_bind_text(handle, position, start, int(next - start), SQLITE_STATIC);
            break;
        }
        }
    }
    return status;
}

// Lets go of the run's row and values; a status other than a row or the end is the failure.
Store::Result PreparedStatement::runWithTexts(const std::vector<Text> &values, const std::vector<Schema::Kind> &kinds)
{
    if (!m_prepareFailure.ok())
        return m_prepareFailure;
    sqlite3_stmt *handle = statementHandle(m_query);
    sqlite3_reset(handle);
    int status = SQLITE_OK;
    for (size_t i = 0; i < values.size() && status == SQLITE_OK; ++i) {
        const int position = int(i) + 1;
        if (!values[i]) {
            status = sqlite3_bind_null(handle, position);
            continue;
        }
        const QByteArrayView text = *values[i];
        const Schema::Kind kind = i < kinds.size() ? kinds[i] : Schema::Kind::Text;
        bool ok = false;
        if (kind == Schema::Kind::Integer) {
            const qlonglong number = text.toLongLong(&ok);
            if (ok) {
                status = sqlite3_bind_int64(handle, position, number);
                continue;
            }
        } else if (kind == Schema::Kind::Number) {
            const double number = text.toDouble(&ok);
            if (ok) {
                status = sqlite3_bind_double(handle, position, number);
                continue;
            }
        }
        // Held by the caller until the statement has run.
        status = sqlite3_bind_text(handle, position, text.data(), int(text.size()), SQLITE_STATIC);
    }
    if (status == SQLITE_OK)
        status = sqlite3_step(handle);
    return finish(status);
}

Store::Result PreparedStatement::finish(int status)
{
    sqlite3_stmt *handle = statementHandle(m_query);
    const bool failed = status != SQLITE_ROW && status != SQLITE_DONE;
    const int code = failed ? sqlite3_extended_errcode(sqlite3_db_handle(handle)) : SQLITE_OK;
    const QString message = failed ? QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(handle))) : QString();
    sqlite3_reset(handle);
    sqlite3_clear_bindings(handle);
    if (!failed)
        return {};
    // As Qt's driver reports a failed step, so that the store classifies it the same way.
    return Store::classify(QSqlError(QCoreApplication::translate("QSQLiteResult", "Unable to fetch row"), message,
                                     QSqlError::ConnectionError, QString::number(code)));
}

DataSource::DataSource(const QString &name, const QString &fileName, const QString &defaultRecordSource,
                       QObject *parent)
    : QObject(parent)
    , m_name(name)
    , m_fileName(fileName)
    , m_recordSource(defaultRecordSource)
{
    setObjectName(name);
    openSources().push_back(this);
    static bool releasingWhenIdle = false;
    if (!releasingWhenIdle) {
        if (auto *dispatcher = QAbstractEventDispatcher::instance()) {
            connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, dispatcher, &DataSource::releaseAll);
            releasingWhenIdle = true;
        }
    }
}

DataSource::~DataSource()
{
    auto &sources = openSources();
    std::erase(sources, this);
}

QSqlDatabase DataSource::database() const
{
    return Store::connection(m_fileName);
}

void DataSource::setRecordSource(const QString &sql, const QVariantList &values)
{
    m_recordSource = sql;
    m_values = values;
}

QString DataSource::tableName() const
{
    auto match = singleTableSelect().match(m_recordSource);
    if (match.hasMatch())
        return match.captured(1);
    match = bareTableName().match(m_recordSource);
    return match.hasMatch() ? match.captured(1) : QString();
}

DataSource::Statement DataSource::statement() const
{
    const QString rowid = rowidOf(database());
    if (auto match = singleTableSelect().match(m_recordSource); match.hasMatch())
        return {u"SELECT "_s + rowid + u" AS "_s + rowidColumn + u", * FROM "_s + match.captured(1) + match.captured(2),
                true};
    if (auto bare = bareTableName().match(m_recordSource); bare.hasMatch())
        return {u"SELECT "_s + rowid + u" AS "_s + rowidColumn + u", * FROM "_s + bare.captured(1), true};
    return {m_recordSource, false};
}

QString DataSource::rowidStatement() const
{
    const QString rowid = rowidOf(database());
    if (auto match = singleTableSelect().match(m_recordSource); match.hasMatch())
        return u"SELECT "_s + rowid + u" FROM "_s + match.captured(1) + match.captured(2);
    if (auto bare = bareTableName().match(m_recordSource); bare.hasMatch())
        return u"SELECT "_s + rowid + u" FROM "_s + bare.captured(1);
    return {};
}

QString DataSource::declaredName(const QSqlDatabase &db, const QString &returned)
{
    // A server gives back unquoted names in small letters; the register's are all capitals.
    return Server::isServer(db) ? returned.toUpper() : returned;
}

QString DataSource::rowidOf(const QSqlDatabase &db)
{
    return Server::isServer(db) ? Server::rowidSelect() : u"rowid"_s;
}

QString DataSource::rowidMatch(const QSqlDatabase &db)
{
    return Server::isServer(db) ? Server::rowidMatch() : u"rowid = ?"_s;
}

QVariant DataSource::rowidValue(const QSqlDatabase &db, qint64 rowid)
{
    return Server::isServer(db) ? Server::rowidValue(rowid) : QVariant(rowid);
}

QString DataSource::rowsWithRowids(const QSqlDatabase &db, const QString &table, int count)
{
    const QString marks =
        QStringList(std::max(count, 1), Server::isServer(db) ? u"CAST(? AS tid)"_s : u"?"_s).join(u", "_s);
    return u"SELECT "_s + rowidOf(db) + u", * FROM "_s + table +
           (Server::isServer(db) ? u" WHERE ctid IN ("_s : u" WHERE rowid IN ("_s) + marks + u')';
}

bool DataSource::refresh()
{
    // The statement stays prepared for the next refresh; only its rows are let go.
    m_query.finish();
    m_rowQuery = QSqlQuery();
    m_rowQueryTable.clear();
    m_firstRowRead = false;
    m_directEnd = false;
    m_walking = false;
    m_eof = true;
    m_remaining.clear();
    m_fieldNames.clear();
    m_positions.clear();
    m_row.clear();
    m_rowid = -1;
    m_rowDeleted = false;
    m_mode = Mode::Browsing;
    m_lastError = {};

    QSqlDatabase db = database();
    Server::reconnectIfLost(db);
    if (!db.isOpen()) {
        m_query = QSqlQuery();
        m_preparedSql.clear();
        setFailure(Server::isServer(db) ? Store::Result{Store::lostConnection, Server::notOpen(db)}
                                        : Store::failure(u"archivio %1 non aperto"_s.arg(m_fileName)));
        emit refreshed();
        return false;
    }
    if (readRefusedForTest()) {
        m_query = QSqlQuery();
        m_preparedSql.clear();
        setFailure(refusedForTest());
        emit refreshed();
        return false;
    }
    const Statement run = statement();
    m_hasRowid = run.hasRowid;
    // A list runs the same statement for each of thousands of activities: it is prepared
    // once, on this connection, and run again with the new values.
    bool ok = true;
    if (m_preparedSql != run.sql || m_preparedValues != m_values.size() || !m_query.driver() ||
        m_query.driver() != db.driver() || m_preparedGeneration != Server::generation()) {
        // A statement prepared on a connection since lost is let go with a DEALLOCATE that
        // the new one refuses, which would spoil a transaction open there: a savepoint takes it.
        if (m_preparedGeneration != Server::generation())
            Store::guarded(db, [&]() {
                m_query = QSqlQuery();
                return Store::failure(u"istruzione di un collegamento perso"_s);
            });
        m_preparedGeneration = Server::generation();
        m_query = QSqlQuery(db);
        // A server's rows come whole with the answer, so that a walk is never cut by another
        // statement on the connection and never sees a write made meanwhile.
        m_query.setForwardOnly(!Server::isServer(db));
        ok = m_query.prepare(run.sql);
        m_preparedSql = ok ? run.sql : QString();
        m_preparedValues = m_values.size();
    }
    if (ok) {
        for (qsizetype i = 0; i < m_values.size(); ++i)
            m_query.bindValue(int(i), m_values[i]);
        ok = m_query.exec();
    }
    if (!ok) {
        setFailure(Store::failed(db, m_query.lastError(), u"lettura non riuscita"_s));
        m_query = QSqlQuery();
        m_preparedSql.clear();
        // A break found by a read outside a transaction is mended by reading again on a new
        // connection: nothing was done on the old one.
        if (m_lastError.number == Store::lostConnection && !Store::transactionOpen(db) && !m_rereading) {
            m_rereading = true;
            const bool reread = refresh();
            m_rereading = false;
            return reread;
        }
        emit refreshed();
        return false;
    }
    const QSqlRecord record = m_query.record();
    for (int i = m_hasRowid ? 1 : 0; i < record.count(); ++i) {
        const QString name = declaredName(db, record.fieldName(i));
        m_positions.insert(name.toUpper(), static_cast<int>(m_fieldNames.size()));
        m_fieldNames << name;
    }
    // Under the names as declared too: the callers mostly spell them so, and are then found
    // without an upper-case copy of the name for every value read.
    for (const QString &name : std::as_const(m_fieldNames))
        m_positions.insert(name, m_positions.value(name.toUpper()));
    m_walking = true;
    moveNext();
    emit refreshed();
    return !m_lastError.number;
}

bool DataSource::eof() const
{
    return m_eof;
}

void DataSource::readCurrent()
{
    m_row.clear();
    const int offset = m_hasRowid ? 1 : 0;
    m_rowid = m_hasRowid ? m_query.value(0).toLongLong() : -1;
    for (int i = 0; i < fieldCount(); ++i)
        m_row << m_query.value(i + offset);
    m_rowDeleted = false;
    m_eof = false;
}

// The rows after the first are stepped here rather than through QSqlQuery, whose cache
// copies every field of every row once more: a walk over the details is 200,000 rows.
bool DataSource::stepDirectly()
{
    sqlite3_stmt *handle = statementHandle(m_query);
    if (!handle || m_query.numericalPrecisionPolicy() != QSql::LowPrecisionDouble)
        return false;
    const int status = sqlite3_step(handle);
    if (status != SQLITE_ROW) {
        if (status != SQLITE_DONE)
            setFailure(Store::failure(QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(handle)))));
        m_directEnd = true;
        return false;
    }
    m_row.clear();
    const int offset = m_hasRowid ? 1 : 0;
    m_rowid = m_hasRowid ? sqlite3_column_int64(handle, 0) : -1;
    for (int i = 0; i < fieldCount(); ++i)
        m_row << columnValue(handle, i + offset);
    m_rowDeleted = false;
    m_eof = false;
    return true;
}

void DataSource::moveNext()
{
    m_mode = Mode::Browsing;
    if ((m_walking || !m_remaining.empty()) && readRefusedForTest()) {
        stopWalk(refusedForTest());
        return;
    }
    if (m_walking) {
        // The first row is the one Qt fetched when running the statement.
        if (m_firstRowRead && stepDirectly())
            return;
        if (m_lastError.ok() && !m_directEnd && m_query.next()) {
            m_firstRowRead = true;
            readCurrent();
            return;
        }
        if (m_lastError.ok() && m_query.lastError().isValid())
            setFailure(Store::classify(m_query.lastError()));
        m_walking = false;
        m_query.finish();
    }
    while (m_lastError.ok() && !m_remaining.empty()) {
        const qint64 rowid = m_remaining.front();
        m_remaining.pop_front();
        if (loadRow(rowid))
            return;
    }
    stopWalk(m_lastError);
}

// A walk that the store cut short ends there: its rows after the failure are not visited.
void DataSource::stopWalk(const Store::Result &failure)
{
    if (!failure.ok())
        setFailure(failure);
    m_query.finish();
    m_walking = false;
    m_remaining.clear();
    m_eof = true;
    m_row.clear();
    m_rowid = -1;
}

void DataSource::refuseReadsAfter(int steps)
{
    readsBeforeRefusal() = steps;
}

// Reads one row of a detached walk again, as it stands now; false when it is gone. The
// statement is prepared once per walk: a detached walk may have thousands of rows to go.
bool DataSource::loadRow(qint64 rowid)
{
    const QString table = tableName();
    if (m_rowQueryTable != table) {
        m_rowQuery = QSqlQuery(database());
        m_rowQuery.setForwardOnly(true);
        m_rowQuery.prepare(u"SELECT "_s + rowidOf(database()) + u" AS "_s + rowidColumn + u", * FROM "_s + table +
                           u" WHERE "_s + rowidMatch(database()));
        m_rowQueryTable = table;
    }
    m_rowQuery.bindValue(0, rowidValue(database(), rowid));
    if (!m_rowQuery.exec()) {
        setFailure(Store::classify(m_rowQuery.lastError()));
        m_rowQuery = QSqlQuery();
        m_rowQueryTable.clear();
        return false;
    }
    const bool found = m_rowQuery.next();
    if (!found && m_rowQuery.lastError().isValid())
        setFailure(Store::classify(m_rowQuery.lastError()));
    if (found) {
        m_row.clear();
        m_rowid = rowid;
        for (int i = 0; i < fieldCount(); ++i)
            m_row << m_rowQuery.value(i + 1);
        m_rowDeleted = false;
        m_eof = false;
    }
    // No read stays open between rows.
    m_rowQuery.finish();
    return found;
}

// SQLite leaves undefined what an open statement sees of a write on its own connection,
// so a walk takes the list of the rows it still has to visit before anything is written.
void DataSource::detach()
{
    // A server's answer is already whole on this side (see refresh).
    if (!m_walking || Server::isServer(database()))
        return;
    if (m_hasRowid) {
        // Only the row identities are wanted: stepping the statement itself spares reading
        // every field of every remaining row into values that would be thrown away.
        if (m_directEnd) {
            // The walk had already come to its end.
        } else if (sqlite3_stmt *handle = statementHandle(m_query)) {
            int status = SQLITE_ROW;
            while ((status = sqlite3_step(handle)) == SQLITE_ROW)
                m_remaining.push_back(sqlite3_column_int64(handle, 0));
            // The rows the store would not give are not silently left out of the walk.
            if (status != SQLITE_DONE)
                setFailure(Store::failure(QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(handle)))));
        } else {
            while (m_query.next())
                m_remaining.push_back(m_query.value(0).toLongLong());
        }
    } else {
        // Without row identities the rest of the walk is read now.
        setFailure(Store::failure(u"lettura interrotta da una scrittura"_s));
    }
    m_query.finish();
    m_walking = false;
}

void DataSource::beforeWrite(const QString &fileName)
{
    for (DataSource *source : openSources()) {
        if (source->m_fileName == fileName)
            source->detach();
    }
}

void DataSource::releaseAll()
{
    for (DataSource *source : openSources())
        source->detach();
}

QString DataSource::fieldName(int position) const
{
    if (m_mode == Mode::Adding)
        return m_addNames.value(position);
    return m_fieldNames.value(position);
}

int DataSource::position(const QString &field) const
{
    if (m_mode == Mode::Adding) {
        for (int i = 0; i < m_addNames.size(); ++i) {
            if (m_addNames[i].compare(field, Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    }
    if (const auto found = m_positions.constFind(field); found != m_positions.cend())
        return *found;
    return m_positions.value(field.toUpper(), -1);
}

QVariant DataSource::value(const QString &field) const
{
    return value(position(field));
}

QVariant DataSource::value(int position) const
{
    if (m_mode != Mode::Browsing)
        return m_buffer.value(position);
    if (m_rowDeleted)
        return {};
    return m_row.value(position);
}

QString DataSource::text(const QString &field) const
{
    const QVariant v = value(field);
    return v.isNull() ? QString() : v.toString();
}

const QStringList &DataSource::writeNames() const
{
    return m_mode == Mode::Adding ? m_addNames : m_fieldNames;
}

void DataSource::addNew()
{
    m_addNames.clear();
    m_addNames = Schema::catalogueFields(tableName());
    if (m_addNames.isEmpty())
        m_addNames = m_fieldNames;
    m_mode = Mode::Adding;
    m_buffer = QVariantList(m_addNames.size());
    m_changed = QList<bool>(m_addNames.size(), false);
}

bool DataSource::edit()
{
    if (m_eof || m_rowDeleted || m_rowid < 0)
        return false;
    m_mode = Mode::Editing;
    m_buffer = m_row;
    m_changed = QList<bool>(m_row.size(), false);
    return true;
}

void DataSource::setValue(const QString &field, const QVariant &value)
{
    setValue(position(field), value);
}

void DataSource::setValue(int position, const QVariant &value)
{
    if (m_mode == Mode::Browsing || position < 0 || position >= m_buffer.size())
        return;
    m_buffer[position] = value;
    m_changed[position] = true;
}

void DataSource::cancelUpdate()
{
    m_mode = Mode::Browsing;
    m_buffer.clear();
}

Store::Result DataSource::writeRow()
{
    const QString table = tableName();
    if (table.isEmpty())
        return Store::failure(u"questa lettura non si può modificare"_s);
    QStringList columns;
    QVariantList values;
    const QStringList &names = writeNames();
    for (int i = 0; i < m_buffer.size(); ++i) {
        if (!m_changed[i])
            continue;
        const auto stored = storedValue(table, names[i], m_buffer[i]);
        if (!stored)
            return Store::failure(u"il campo %1 accetta solo numeri"_s.arg(names[i]));
        columns << names[i];
        values << *stored;
    }
    beforeWrite(m_fileName);
    if (m_mode == Mode::Adding) {
        if (columns.isEmpty())
            return Store::execute(database(), u"INSERT INTO "_s + table + u" DEFAULT VALUES"_s);
        QStringList marks(columns.size(), u"?"_s);
        return Store::execute(database(),
                              u"INSERT INTO "_s + table + u" ("_s + columns.join(u", "_s) + u") VALUES ("_s +
                                  marks.join(u", "_s) + u')',
                              values);
    }
    if (columns.isEmpty())
        return {};
    const QSqlDatabase db = database();
    values << rowidValue(db, m_rowid);
    const QString sql =
        u"UPDATE "_s + table + u" SET "_s + columns.join(u" = ?, "_s) + u" = ? WHERE "_s + rowidMatch(db);
    return Store::inOpenTransaction(db, [&]() {
        if (Store::Result held = stillAsRead(db, table, m_rowid, m_fieldNames, m_row); !held.ok())
            return held;
        if (!Server::isServer(db))
            return Store::execute(db, sql, values);
        // A row rewritten on a server takes a new place: the source follows it there.
        return writeOnServer(sql + u" RETURNING "_s + Server::rowidSelect(), values);
    });
}

namespace {
bool sameValue(const QVariant &stored, const QVariant &read)
{
    if (stored.isNull() || read.isNull())
        return stored.isNull() && read.isNull();
    if (stored.typeId() == QMetaType::QString || read.typeId() == QMetaType::QString)
        return stored.toString() == read.toString();
    return stored.toDouble() == read.toDouble();
}

} // namespace

bool DataSource::holds(const QStringList &fields, const QVariantList &values) const
{
    // A window shows no value and empty text alike.
    const auto blank = [](const QVariant &v) {
        return v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty());
    };
    if (m_eof)
        return false;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QVariant stored = value(fields[i]);
        const QVariant read = values.value(i);
        if (blank(stored) || blank(read) ? !(blank(stored) && blank(read)) : !sameValue(stored, read))
            return false;
    }
    return true;
}

// A row is known by its place, which is not its identity: on a server another row takes a
// deleted row's place after a vacuum, and a row changed by another PC moves on. A write
// goes ahead only where the place still holds every value read, key included, and holds
// the row until it commits.
Store::Result DataSource::stillAsRead(const QSqlDatabase &db, const QString &table, qint64 rowid,
                                      const QStringList &fields, const QVariantList &read)
{
    if (fields.isEmpty())
        return Store::changedMeanwhile();
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(u"SELECT "_s + fields.join(u", "_s) + u" FROM "_s + table + u" WHERE "_s + rowidMatch(db) +
                  (Server::isServer(db) ? u" FOR UPDATE"_s : QString()));
    query.addBindValue(rowidValue(db, rowid));
    const QString unread = u"la riga da cambiare non si è potuta rileggere"_s;
    if (!query.exec())
        return Store::failed(db, query.lastError(), unread);
    if (!query.next())
        return query.lastError().isValid() ? Store::failed(db, query.lastError(), unread) : Store::changedMeanwhile();
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (!sameValue(query.value(int(i)), read.value(i)))
            return Store::changedMeanwhile();
    }
    return {};
}

Store::Result DataSource::writeOnServer(const QString &sql, const QVariantList &values)
{
    return Store::guarded(database(), [&]() { return writeOnServerOnce(sql, values); });
}

Store::Result DataSource::writeOnServerOnce(const QString &sql, const QVariantList &values)
{
    QSqlQuery query(database());
    query.prepare(sql);
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!query.exec())
        return Store::failed(database(), query.lastError(), u"la riga non è stata scritta"_s);
    if (query.isSelect() ? !query.next() : query.numRowsAffected() < 1)
        return Store::changedMeanwhile();
    if (query.isSelect())
        m_rowid = query.value(0).toLongLong();
    return {};
}

Store::Result DataSource::update()
{
    if (m_mode == Mode::Browsing)
        return Store::failure(u"nessuna riga in scrittura"_s);
    const Store::Result result = writeRow();
    if (result.ok() && m_mode == Mode::Editing) {
        for (int i = 0; i < m_buffer.size(); ++i) {
            if (m_changed[i])
                m_row[i] = storedValue(tableName(), m_fieldNames[i], m_buffer[i]).value_or(m_buffer[i]);
        }
    }
    m_mode = Mode::Browsing;
    m_buffer.clear();
    return result;
}

Store::Result DataSource::remove()
{
    if (m_eof || m_rowDeleted || m_rowid < 0 || tableName().isEmpty())
        return Store::failure(u"nessuna riga da eliminare"_s);
    beforeWrite(m_fileName);
    const QSqlDatabase db = database();
    const QString sql = u"DELETE FROM "_s + tableName() + u" WHERE "_s + rowidMatch(db);
    const Store::Result result = Store::inOpenTransaction(db, [&]() {
        if (Store::Result held = stillAsRead(db, tableName(), m_rowid, m_fieldNames, m_row); !held.ok())
            return held;
        return Server::isServer(db) ? writeOnServer(sql, {rowidValue(db, m_rowid)})
                                    : Store::execute(db, sql, {m_rowid});
    });
    if (result.ok())
        m_rowDeleted = true;
    return result;
}

Store::Result DataSource::setField(const QString &table, const QString &field, const QVariant &value, qint64 *rowid,
                                   QVariant *kept, const QStringList &fields, const QVariantList &read)
{
    beforeWrite(m_fileName);
    QSqlDatabase db = database();
    Server::reconnectIfLost(db);
    const QString match = u" WHERE "_s + rowidMatch(db);
    return Store::inOpenTransaction(db, [&]() -> Store::Result {
        if (Store::Result held = stillAsRead(db, table, *rowid, fields, read); !held.ok())
            return held;
        if (Server::isServer(db)) {
            QSqlQuery query(db);
            query.prepare(u"UPDATE "_s + table + u" SET "_s + field + u" = ?"_s + match + u" RETURNING "_s +
                          Server::rowidSelect() + u", "_s + field);
            query.addBindValue(value);
            query.addBindValue(rowidValue(db, *rowid));
            if (!query.exec())
                return Store::failed(db, query.lastError(), u"la riga non è stata scritta"_s);
            if (!query.next())
                return Store::changedMeanwhile();
            *rowid = query.value(0).toLongLong();
            *kept = query.value(1);
            return {};
        }
        const Store::Result result =
            Store::execute(db, u"UPDATE "_s + table + u" SET "_s + field + u" = ?"_s + match, {value, *rowid});
        if (!result.ok())
            return result;
        QSqlQuery readBack(db);
        readBack.prepare(u"SELECT "_s + field + u" FROM "_s + table + match);
        readBack.addBindValue(*rowid);
        *kept = readBack.exec() && readBack.next() ? readBack.value(0) : value;
        return {};
    });
}

Store::Result DataSource::execute(const QString &sql, const QVariantList &values)
{
    beforeWrite(m_fileName);
    return Store::execute(database(), sql, values);
}

void DataSource::setFailure(const Store::Result &failure)
{
    m_lastError = failure;
}
