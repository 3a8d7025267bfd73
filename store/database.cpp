#include "store/database.h"

#include "common/clock.h"
#include "common/textformat.h"
#include "database/datasource.h"
#include "database/pgcopy.h"
#include "store/jetfile.h"
#include "store/layout.h"
#include "store/referencedata.h"
#include "store/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QThread>
#include <QHash>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <unordered_map>

using namespace Qt::StringLiterals;

namespace Store {

QString readOnlyFolderMessage()
{
    return u"La cartella di lavoro %1 è di sola lettura: Sentaro non potrebbe registrare nulla."_s.arg(
        QDir::toNativeSeparators(QDir::currentPath()));
}

namespace {

enum class Format { Missing, SQLite, Jet, Unknown, Unreadable };

// The file's own header tells what it is, never its name.
Format detectFormat(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return Format::Missing;
    if (!file.open(QIODevice::ReadOnly))
        return Format::Unreadable;
    const QByteArray header = file.read(32);
    if (header.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return Format::SQLite;
    return Jet::isJetFile(path) ? Format::Jet : Format::Unknown;
}

// A program stopped in the middle of a write leaves a journal that SQLite rolls back, or a
// log that it reads again, at the next open that may write; an open that only reads refuses
// the file meanwhile, which would pass a sound archive off as damaged. Such a file is opened
// once for writing, which puts it back to its last complete state, before it is checked.
void settleInterruptedWrite(const QString &fileName)
{
    const QString name = connectionName(u"settle:"_s + fileName);
    bool interrupted = false;
    {
        QSqlDatabase db = openConnection(name, fileName, true);
        QSqlQuery probe(db);
        // SQLITE_READONLY_RECOVERY and SQLITE_READONLY_ROLLBACK
        const QStringList codes{u"264"_s, u"776"_s};
        interrupted = db.isOpen() && !probe.exec(u"select count(*) from sqlite_master"_s) &&
                      codes.contains(probe.lastError().nativeErrorCode());
    }
    dropConnection(name);
    if (!interrupted)
        return;
    {
        QSqlDatabase db = openConnection(name, fileName, false);
        QSqlQuery(db).exec(u"select count(*) from sqlite_master"_s);
    }
    dropConnection(name);
}

// What is wrong with the tables of an open file.
std::optional<QString> tableProblem(QSqlDatabase db, const QString &fileName, const std::vector<Schema::Table> &tables)
{
    for (const Schema::Table &table : tables) {
        QSqlQuery query(db);
        if (!query.exec(u"PRAGMA table_info("_s + table.name + u')'))
            return u"Il file %1 è danneggiato o non è un archivio di Sentaro (%2)."_s.arg(fileName,
                                                                                          query.lastError().text());
        QStringList present;
        while (query.next())
            present << query.value(1).toString().toUpper();
        if (query.lastError().isValid())
            return u"Il file %1 è danneggiato (%2)."_s.arg(fileName, query.lastError().text());
        if (present.isEmpty())
            return u"Nel file %1 manca la tabella %2: non è un archivio di Sentaro."_s.arg(fileName, table.name);
        for (const Schema::Field &field : table.fields) {
            if (!present.contains(field.name.toUpper()))
                return u"Nel file %1 la tabella %2 non ha il campo %3."_s.arg(fileName, table.name, field.name);
        }
    }
    return std::nullopt;
}

// What is wrong with the tables of an existing file, read without changing it.
std::optional<QString> checkTables(const QString &fileName, const std::vector<Schema::Table> &tables,
                                   const QString &path = QString())
{
    const QString name = connectionName(u"check:"_s + fileName);
    std::optional<QString> problem;
    {
        QSqlDatabase db = openConnection(name, path.isEmpty() ? fileName : path, true);
        if (!db.isOpen())
            problem = u"Il file %1 non si può aprire: %2"_s.arg(fileName, db.lastError().text());
        else
            problem = tableProblem(db, fileName, tables);
    }
    dropConnection(name);
    return problem;
}

// A register of an earlier version is brought up to date (see Store::migrateRegister); one of
// a later version is left alone, since this program would misread it. `found` is the version
// the file had.
std::optional<QString> migrateFile(QSqlDatabase db, const QString &fileName, int *found)
{
    QSqlQuery query(db);
    if (!query.exec(Schema::versionQuery(Schema::Dialect::File)) || !query.next()) {
        // Whatever keeps the version from being read also keeps the file from being checked,
        // and the check says it better.
        return std::nullopt;
    }
    *found = Schema::versionFound(Schema::Dialect::File, query.value(0));
    if (*found > Schema::version)
        return u"Il file %1 è di una versione di Sentaro più recente: aggiornare il programma."_s.arg(fileName);
    if (*found == Schema::version)
        return std::nullopt;
    query.finish();
    std::optional<QString> problem;
    const Result migrated =
        Store::migrateRegister(db, [&]() { return problem = tableProblem(db, fileName, Schema::registerTables()); });
    if (!migrated.ok() && !problem)
        problem = u"Non è stato possibile aggiornare il file %1 alla versione di questo Sentaro: %2. Il "
                  u"file non è stato modificato."_s.arg(fileName, migrated.description);
    return problem;
}

std::optional<QString> describeUnusable(const QString &fileName, Format format)
{
    switch (format) {
    case Format::Unreadable:
        return u"Il file %1 non si può leggere: controllare i permessi del file."_s.arg(fileName);
    case Format::Jet:
    case Format::Unknown:
        return u"Il file %1 non è un archivio di Sentaro oppure è danneggiato."_s.arg(fileName);
    case Format::Missing:
    case Format::SQLite:
        break;
    }
    return std::nullopt;
}

// Builds a new database under a temporary name and gives it its real name only when
// complete, so that an interrupted first start leaves no half-made file behind.
std::optional<QString> createDatabase(const QString &fileName, const std::vector<Schema::Table> &tables,
                                      const std::function<Result(QSqlDatabase &)> &fill)
{
    const QString temporary = fileName + u".nuovo"_s;
    QFile::remove(temporary);
    const QString name = connectionName(u"create:"_s + fileName);
    Result result;
    {
        QSqlDatabase db = openConnection(name, temporary, false);
        if (!db.isOpen()) {
            result = classify(db.lastError());
        } else {
            // The indexes of a snapshot of a server are sorted from hundreds of thousands of
            // rows: the sort may use the machine's other cores.
            QSqlQuery(db).exec(u"PRAGMA threads = %1"_s.arg(std::clamp(QThread::idealThreadCount(), 1, 4)));
            result = inTransaction(
                db, [&]() { return makeTables(db, tables, [&]() { return fill ? fill(db) : Result{}; }); });
        }
    }
    dropConnection(name);
    if (result.ok() && !QFile::rename(temporary, fileName))
        result = failure(u"il file non si può rinominare"_s);
    if (!result.ok()) {
        QFile::remove(temporary);
        return u"Impossibile creare il file %1: %2"_s.arg(fileName, result.description);
    }
    return std::nullopt;
}

// The converted file waits under this name between its check and its swap with the original.
QString convertedName(const QString &fileName)
{
    return fileName + u".convertito"_s;
}

// A conversion stopped between setting the original aside and giving the new file its
// name leaves only the checked new file: it takes its place.
void finishInterruptedConversion(const QString &fileName, QStringList *notices)
{
    if (QFile::exists(fileName) || !QFile::exists(convertedName(fileName)))
        return;
    if (QFile::rename(convertedName(fileName), fileName) && notices)
        *notices << u"La conversione del file %1 era stata interrotta: è stata completata."_s.arg(fileName);
}

// An archive of the earlier program, in Access format, becomes ours: written beside it under
// a temporary name, checked row by row, and only then swapped in, the original kept aside.
std::optional<QString> convertArchive(const QString &fileName, const std::vector<Schema::Table> &tables,
                                      QStringList *notices)
{
    const QString working = fileName + u".conversione"_s;
    const QString ready = convertedName(fileName);
    QFile::remove(ready);
    Jet::Conversion done;
    const auto failed = [&](const QString &why) {
        QFile::remove(working);
        QFile::remove(ready);
        return u"Il file %1 è un archivio Access che non è stato possibile convertire: %2. Il file non è stato "
               u"modificato."_s.arg(fileName, why);
    };
    if (auto problem = Jet::convert(fileName, working, tables, &done))
        return failed(*problem);
    if (!QFile::rename(working, ready))
        return failed(u"il file convertito non si può scrivere"_s);
    const QString original = Clock::freeStampedName(QFileInfo(fileName).completeBaseName() + u"-access"_s, u"mdb"_s);
    if (!QFile::rename(fileName, original))
        return failed(u"il file originale non si può rinominare"_s);
    if (!QFile::rename(ready, fileName)) {
        QFile::rename(original, fileName);
        return failed(u"il file convertito non si può rinominare"_s);
    }
    QStringList counts;
    for (auto it = done.rows.cbegin(); it != done.rows.cend(); ++it)
        counts << u"%1 %2 righe"_s.arg(it.key()).arg(it.value());
    QString notice = u"Il file %1 era un archivio Access ed è stato convertito nel formato di Sentaro (%2). "
                     u"L'originale è conservato come %3."_s.arg(fileName, counts.join(u", "_s), original);
    if (!done.ignored.isEmpty())
        notice += u" Non convertiti perché Sentaro non li usa: "_s + done.ignored.join(u", "_s) + u'.';
    if (notices)
        *notices << notice;
    return std::nullopt;
}

} // namespace

std::optional<QString> openRegister(QStringList *notices)
{
    const QString &fileName = Schema::registerFile;
    // Checked before SQLite opens anything: even a reading connection leaves its own
    // read-only side files beside a read-only archive, and those would stop every later start.
    if (!QFileInfo(QDir::currentPath()).isWritable())
        return readOnlyFolderMessage();
    if (QFileInfo::exists(fileName) && !QFileInfo(fileName).isWritable())
        return u"Il file %1 è di sola lettura: Sentaro non potrebbe registrare nulla."_s.arg(fileName);
    finishInterruptedConversion(fileName, notices);
    Format format = detectFormat(fileName);
    const bool converted = format == Format::Jet;
    if (format == Format::Jet) {
        if (auto problem = convertArchive(fileName, Schema::registerTables(), notices))
            return problem;
        format = detectFormat(fileName);
    }
    if (format == Format::Missing) {
        if (auto problem = createDatabase(fileName, Schema::registerTables(), {}))
            return problem;
        format = Format::SQLite;
    }
    if (auto problem = describeUnusable(fileName, format))
        return problem;
    // One connection that may write does it all: opening it settles an interrupted write,
    // and the migration, the check and the journal settings follow on it.
    const QString name = connectionName(fileName);
    QSqlDatabase db = openConnection(name, fileName, false);
    std::optional<QString> problem;
    if (!db.isOpen()) {
        problem = u"Il file %1 non si può aprire: %2"_s.arg(fileName, db.lastError().text());
    } else if (int found = Schema::version; !(problem = migrateFile(db, fileName, &found)) &&
                                            !(problem = tableProblem(db, fileName, Schema::registerTables()))) {
        addDetailKey(db, converted || found < Schema::detailKeyVersion ? notices : nullptr);
        // WAL keeps every committed row through a crash of the program; FULL sync keeps it
        // through a power cut too.
        QSqlQuery pragma(db);
        if (!pragma.exec(u"PRAGMA journal_mode = WAL"_s) || !pragma.next() ||
            pragma.value(0).toString().compare(u"wal"_s, Qt::CaseInsensitive) != 0 ||
            !pragma.exec(u"PRAGMA synchronous = FULL"_s) || !pragma.exec(u"BEGIN IMMEDIATE"_s) ||
            !pragma.exec(u"ROLLBACK"_s)) {
            problem = u"Il file %1 è in uso da un altro programma o non si può scrivere (%2)."_s.arg(
                fileName, pragma.lastError().text());
        }
    }
    if (problem)
        dropConnection(name);
    return problem;
}

std::optional<QString> openMunicipalities(QStringList *notices)
{
    const QString &fileName = Schema::municipalitiesFile;
    const std::vector<Schema::Table> tables{Schema::municipalitiesTable()};
    finishInterruptedConversion(fileName, notices);
    Format format = detectFormat(fileName);
    if (format == Format::Jet) {
        if (auto problem = convertArchive(fileName, tables, notices))
            return problem;
        format = detectFormat(fileName);
    }
    if (format == Format::Missing) {
        if (auto problem = createDatabase(fileName, tables, fillMunicipalities))
            return problem;
        format = Format::SQLite;
    }
    if (auto problem = describeUnusable(fileName, format))
        return problem;
    settleInterruptedWrite(fileName);
    // The list is only read, so a read-only file will do; its tables are checked on it.
    const QString name = connectionName(fileName);
    QSqlDatabase db = openConnection(name, fileName, true);
    std::optional<QString> problem;
    if (!db.isOpen())
        problem = u"Il file %1 non si può aprire: %2"_s.arg(fileName, db.lastError().text());
    else
        problem = tableProblem(db, fileName, tables);
    if (problem)
        dropConnection(name);
    return problem;
}

std::unique_ptr<QTemporaryDir> &importScratch()
{
    static std::unique_ptr<QTemporaryDir> folder;
    return folder;
}

std::optional<QString> openImportFile()
{
    const QString &fileName = Schema::importFile;
    closeImportFile();
    Format format = detectFormat(fileName);
    if (format == Format::Missing)
        return u"Il file %1 non è nella cartella di lavoro: nessun volontario importato."_s.arg(fileName);
    // The volunteers are found by surname and first name; the other fields may be missing.
    const Schema::Table volunteers{
        Schema::volo, {{u"COGN"_s, Schema::Kind::Text}, {u"NOME"_s, Schema::Kind::Text}}, {}, {}};
    QString readable = fileName;
    if (format == Format::Jet) {
        // The export of the other program is an Access file: read through a copy in our format.
        importScratch() = std::make_unique<QTemporaryDir>();
        readable = importScratch()->filePath(u"voloesp.sqlite"_s);
        Jet::Conversion done;
        // Without its key: an export may repeat a volunteer, which the import then skips.
        Schema::Table exported = *Schema::findTable(Schema::volo);
        exported.uniqueKey = {};
        if (auto problem = Jet::convert(fileName, readable, {exported}, &done)) {
            closeImportFile();
            return u"Il file %1 non si può leggere: %2. Nessun volontario importato."_s.arg(fileName, *problem);
        }
        if (done.missing.contains(Schema::volo)) {
            closeImportFile();
            return u"Nel file %1 manca la tabella VOLO: nessun volontario importato."_s.arg(fileName);
        }
        format = Format::SQLite;
    }
    if (auto problem = describeUnusable(fileName, format))
        return *problem + u" Nessun volontario importato."_s;
    if (auto problem = checkTables(fileName, {volunteers}, readable)) {
        closeImportFile();
        return *problem + u" Nessun volontario importato."_s;
    }
    const QString name = connectionName(fileName);
    QSqlDatabase db = openConnection(name, readable, true);
    if (!db.isOpen()) {
        const QString error = db.lastError().text();
        closeImportFile();
        return u"Il file %1 non si può aprire: %2"_s.arg(fileName, error);
    }
    return std::nullopt;
}

void closeImportFile()
{
    dropConnection(connectionName(Schema::importFile));
    importScratch().reset();
}

namespace {
// A value as a server's column takes it, or none with the reason in `why`: SQLite keeps whatever
// it is given, a server only numbers in a number field, whole ones in a field of whole numbers,
// and no text with a NUL in it.
std::optional<QVariant> serverValue(Schema::Kind kind, const QVariant &value, QString *why)
{
    if (value.isNull())
        return value;
    if (kind == Schema::Kind::Text) {
        const QString text = value.toString();
        // Bytes that are not UTF-8 reach here as the replacement character: sent on, the text
        // would change without a word.
        if (text.contains(QChar::ReplacementCharacter)) {
            *why = u"contiene byte che non sono testo UTF-8 (mostrati come <U+FFFD>): correggerlo nell'archivio "
                   u"locale"_s;
            return std::nullopt;
        }
        if (!text.contains(QChar(0)))
            return value;
        *why = u"contiene un carattere nullo, che il server non accetta"_s;
        return std::nullopt;
    }
    bool ok = false;
    double number = 0;
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        if (text.isEmpty())
            return QVariant();
        number = QString(text).replace(u',', u'.').toDouble(&ok);
    } else {
        number = value.toDouble(&ok);
    }
    if (!ok) {
        *why = u"vale \"%1\", che non è un numero"_s.arg(value.toString());
        return std::nullopt;
    }
    if (kind == Schema::Kind::Number)
        return QVariant(number);
    if (std::fabs(number) < 1e18 && number == std::trunc(number))
        return QVariant(qlonglong(number));
    *why = u"vale %1, che non è un numero intero"_s.arg(value.toString());
    return std::nullopt;
}

// The fields that name a row of `table` for the user: its key, else its first look-up.
QStringList namingFields(const Schema::Table &table)
{
    if (!table.uniqueKey.fields.isEmpty() || table.indexes.empty())
        return table.uniqueKey.fields;
    return table.indexes.front().fields;
}

// A row named by its values, each character that shows nothing written as its code.
QString rowName(const QStringList &values)
{
    return u'"' + TextFormat::withVisibleCodes(values.join(u' ')) + u'"';
}
} // namespace

Result copyTables(QSqlDatabase from, QSqlDatabase to, qint64 *rows)
{
    // Rows cross in bulk through the server's COPY: one statement for a thousand rows to the
    // server, one for a whole table from it.
    constexpr qint64 rowsPerCopy = 1000;
    const bool toServer = Server::isServer(to);
    const QStringList fromTables = Server::isServer(from) ? QStringList() : from.tables();
    for (const Schema::Table &table : Schema::registerTables()) {
        // A local file of an earlier version lacks the later tables: they start as new ones do.
        if (table.since > 1 && !fromTables.isEmpty() && !fromTables.contains(table.name, Qt::CaseInsensitive))
            continue;
        QStringList names;
        std::vector<Schema::Kind> kinds;
        for (const Schema::Field &field : table.fields) {
            names << field.name;
            kinds.push_back(field.kind);
        }
        const QString select = u"select "_s + names.join(u", "_s) + u" from "_s + table.name;
        if (!toServer) {
            PreparedStatement insert(to, u"insert into "_s + table.name + u" ("_s + names.join(u", "_s) +
                                             u") values ("_s + QStringList(names.size(), u"?"_s).join(u", "_s) + u')');
            const Result copied = PgCopy::copyOut(from, select, [&](const std::vector<PgCopy::Field> &fields) {
                ++*rows;
                return insert.runWithTexts(fields, kinds);
            });
            if (!copied.ok())
                return copied;
            continue;
        }
        QSqlQuery read(from);
        read.setForwardOnly(true);
        if (!read.exec(select))
            return classify(read.lastError());
        // A row the server would refuse, or refuses, is named: the user can mend it and copy again.
        std::vector<int> naming;
        for (const QString &field : namingFields(table))
            naming.push_back(int(names.indexOf(field)));
        const auto refused = [&](const QString &row, const QString &why) {
            return failure(u"nella tabella %1, riga %2, %3"_s.arg(table.name, row, why));
        };
        QByteArray waiting;
        QStringList waitingNames;
        QVariantList values(names.size());
        for (bool more = read.next();; more = read.next()) {
            if (!more || waitingNames.size() == rowsPerCopy) {
                if (!waitingNames.isEmpty()) {
                    qint64 refusedRow = 0;
                    const Result sent = PgCopy::copyIn(to, table.name, names, waiting, &refusedRow);
                    if (!sent.ok() && refusedRow >= 1 && refusedRow <= waitingNames.size())
                        return refused(waitingNames[refusedRow - 1],
                                       sent.number == duplicateKey
                                           ? u"per il server è uguale a un'altra riga, perché non distingue maiuscole "
                                             u"e minuscole né i caratteri che non si vedono"_s
                                           : sent.description);
                    if (!sent.ok())
                        return sent;
                }
                waiting.clear();
                waitingNames.clear();
            }
            if (!more)
                break;
            QStringList key;
            for (const int position : naming)
                key << read.value(position).toString();
            waitingNames << rowName(key);
            for (int i = 0; i < names.size(); ++i) {
                QString why;
                const auto stored = serverValue(kinds[size_t(i)], read.value(i), &why);
                if (!stored)
                    return refused(waitingNames.constLast(), u"il campo %1 %2"_s.arg(names[i], why));
                values[i] = *stored;
            }
            PgCopy::appendRow(waiting, values);
            ++*rows;
        }
        if (read.lastError().isValid())
            return classify(read.lastError());
    }
    return {};
}

Result backupRegister(const QString &fileName, const QString &serverLock, const std::function<Result()> &after)
{
    QSqlDatabase db = connection(Schema::registerFile);
    if (Server::isServer(db)) {
        // A snapshot of the server's tables in a file of the local kind, so that a copy is
        // restored the same way wherever the register was; the tables are read as they stood
        // at one moment, the one after `serverLock` was taken.
        const auto copy = [&]() -> Result {
            const auto problem = createDatabase(fileName, Schema::registerTables(), [&](QSqlDatabase &file) {
                if (QFile::exists(fileName))
                    return failure(u"la copia esiste già"_s);
                qint64 rows = 0;
                return copyTables(db, file, &rows);
            });
            return problem ? failure(*problem) : Result{};
        };
        return inTransaction(db, [&]() -> Result {
            // A whole table crosses in one statement: on a slow line it may take longer than
            // the statement limit that suits the lists, and only this copy lifts it.
            if (Result snapshot = executeOnce(db,
                                              after ? u"SET TRANSACTION ISOLATION LEVEL REPEATABLE READ; "
                                                      u"SET LOCAL statement_timeout = 0"_s
                                                    : u"SET TRANSACTION ISOLATION LEVEL REPEATABLE READ READ ONLY; "
                                                      u"SET LOCAL statement_timeout = 0"_s,
                                              {});
                !snapshot.ok())
                return snapshot;
            if (!serverLock.isEmpty()) {
                if (Result held = executeOnce(db, serverLock, {}); !held.ok())
                    return held;
            }
            if (Result copied = copy(); !copied.ok())
                return copied;
            return after ? after() : Result{};
        });
    }
    // Written under another name and renamed when complete: a copy is whole or absent.
    const QString partial = fileName + u".parziale"_s;
    QFile::remove(partial);
    Result result = copyFile(connection(Schema::registerFile), partial);
    if (result.ok() && !QFile::rename(partial, fileName))
        result = failure(u"la copia non si può rinominare"_s);
    if (!result.ok()) {
        QFile::remove(partial);
        return result;
    }
    // The file has one writer, this program: nothing changes between the copy and `after`.
    return after ? inTransaction(db, after) : result;
}

} // namespace Store
