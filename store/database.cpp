#include "store/database.h"

#include "common/clock.h"
#include "store/datasource.h"
#include "store/jetfile.h"
#include "store/layout.h"
#include "store/pgcopy.h"
#include "store/referencedata.h"
#include "store/schema.h"
#include "store/server.h"

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

Result executeOnce(QSqlDatabase db, const QString &sql, const QVariantList &values);

QString readOnlyFolderMessage()
{
    return u"La cartella di lavoro %1 è di sola lettura: Sentaro non potrebbe registrare nulla."_s.arg(
        QDir::toNativeSeparators(QDir::currentPath()));
}

namespace {

const QString connectionPrefix = u"sentaro:"_s;

// Letter case is folded beyond ASCII (È equals è), so the unique keys and look-ups
// treat ROSSI and Rossi, FOÀ and Foà, as one. Equal bytes, by far the most common in an
// index's neighbours, are passed over eight at a time, and ASCII text is compared without
// leaving UTF-8.
int compareFolded(void *, int lengthA, const void *a, int lengthB, const void *b)
{
    const auto *textA = static_cast<const unsigned char *>(a);
    const auto *textB = static_cast<const unsigned char *>(b);
    const int common = std::min(lengthA, lengthB);
    int i = 0;
    while (i < common) {
        while (i + 8 <= common && std::memcmp(textA + i, textB + i, 8) == 0)
            i += 8;
        if (i == common)
            break;
        const unsigned char ca = textA[i];
        const unsigned char cb = textB[i];
        if (ca == cb) {
            ++i;
            continue;
        }
        if (ca >= 0x80 || cb >= 0x80)
            break;
        const int la = (ca >= 'A' && ca <= 'Z') ? ca + 32 : ca;
        const int lb = (cb >= 'A' && cb <= 'Z') ? cb + 32 : cb;
        if (la != lb)
            return la - lb;
        ++i;
    }
    if (i == common)
        return lengthA - lengthB;
    // From the start of the character that differs: the bytes passed over were equal.
    while (i > 0 && ((textA[i] & 0xC0) == 0x80 || (textB[i] & 0xC0) == 0x80))
        --i;
    const QString restA = QString::fromUtf8(reinterpret_cast<const char *>(textA + i), lengthA - i);
    const QString restB = QString::fromUtf8(reinterpret_cast<const char *>(textB + i), lengthB - i);
    return QString::compare(restA, restB, Qt::CaseInsensitive);
}

// LIKE with the same folding: % any run of characters, _ one character, and an
// optional escape character that makes the next one literal.
bool likeMatches(const QString &pattern, const QString &text, QChar escape)
{
    qsizetype p = 0;
    qsizetype t = 0;
    qsizetype starP = -1;
    qsizetype starT = 0;
    while (t < text.size()) {
        if (p < pattern.size()) {
            const QChar c = pattern[p];
            if (c == escape && p + 1 < pattern.size()) {
                if (pattern[p + 1] == text[t]) {
                    p += 2;
                    ++t;
                    continue;
                }
            } else if (c == u'%') {
                starP = p++;
                starT = t;
                continue;
            } else if (c == u'_' || c == text[t]) {
                ++p;
                ++t;
                continue;
            }
        }
        if (starP < 0)
            return false;
        p = starP + 1;
        t = ++starT;
    }
    while (p < pattern.size() && pattern[p] == u'%')
        ++p;
    return p == pattern.size();
}

QString argumentText(sqlite3_value *value)
{
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_value_text(value));
    return bytes ? QString::fromUtf8(bytes, sqlite3_value_bytes(value)) : QString();
}

void likeFunction(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
            sqlite3_result_null(context);
            return;
        }
    }
    QChar escape;
    if (argc == 3) {
        const QString escapeText = argumentText(argv[2]);
        if (escapeText.size() != 1) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
        escape = escapeText[0].toCaseFolded();
    }
    const QString pattern = argumentText(argv[0]).toCaseFolded();
    const QString text = argumentText(argv[1]).toCaseFolded();
    sqlite3_result_int(context, likeMatches(pattern, text, escape) ? 1 : 0);
}

sqlite3 *handleOf(const QSqlDatabase &db)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

} // namespace

bool useProgramCollation(QSqlDatabase &db)
{
    sqlite3 *handle = handleOf(db);
    if (!handle)
        return false;
    sqlite3_extended_result_codes(handle, 1);
    constexpr int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    return sqlite3_create_collation(handle, "NOCASE", SQLITE_UTF8, nullptr, compareFolded) == SQLITE_OK &&
           sqlite3_create_function(handle, "like", 2, flags, nullptr, likeFunction, nullptr, nullptr) == SQLITE_OK &&
           sqlite3_create_function(handle, "like", 3, flags, nullptr, likeFunction, nullptr, nullptr) == SQLITE_OK;
}

namespace {

QSqlDatabase openConnection(const QString &name, const QString &path, bool readOnly)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
    db.setDatabaseName(path);
    // Another program holding the file gets a few seconds before a write gives up.
    db.setConnectOptions(readOnly ? u"QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=3000"_s
                                  : u"QSQLITE_BUSY_TIMEOUT=3000"_s);
    if (db.open() && !useProgramCollation(db))
        db.close();
    return db;
}

void dropConnection(const QString &name)
{
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

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
    const QString name = connectionPrefix + u"settle:"_s + fileName;
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
    const QString name = connectionPrefix + u"check:"_s + fileName;
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
    const Result migrated = Store::migrateRegister(
        db, [&]() { return problem = tableProblem(db, fileName, Schema::registerTables()); });
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
    const QString name = connectionPrefix + u"create:"_s + fileName;
    Result result;
    {
        QSqlDatabase db = openConnection(name, temporary, false);
        if (!db.isOpen()) {
            result = classify(db.lastError());
        } else {
            // The indexes of a snapshot of a server are sorted from hundreds of thousands of
            // rows: the sort may use the machine's other cores.
            QSqlQuery(db).exec(u"PRAGMA threads = %1"_s.arg(std::clamp(QThread::idealThreadCount(), 1, 4)));
            result = inTransaction(db, [&]() {
                return makeTables(db, tables, [&]() { return fill ? fill(db) : Result{}; });
            });
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
    const QString name = connectionPrefix + fileName;
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
    const QString name = connectionPrefix + fileName;
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

} // namespace

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
    const QString name = connectionPrefix + fileName;
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
    dropConnection(connectionPrefix + Schema::importFile);
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
        if (!value.toString().contains(QChar(0)))
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

// A row named by its values, each character that shows nothing written as its code, so that
// two rows that look alike can be told apart.
QString rowName(const QStringList &values)
{
    QString name;
    for (const QChar c : values.join(u' ')) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            name += u"<U+"_s + QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0') + u'>';
        else
            name += c;
    }
    return u'"' + name + u'"';
}
} // namespace

Result copyTables(QSqlDatabase from, QSqlDatabase to, qint64 *rows)
{
    // Rows cross in bulk through the server's COPY: one statement for a thousand rows to the
    // server, one for a whole table from it.
    constexpr qint64 rowsPerCopy = 1000;
    const bool toServer = Server::isServer(to);
    for (const Schema::Table &table : Schema::registerTables()) {
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

Result backupRegister(const QString &fileName)
{
    QSqlDatabase db = connection(Schema::registerFile);
    if (Server::isServer(db)) {
        // A snapshot of the server's tables in a file of the local kind, so that a copy is
        // restored the same way wherever the register was; the tables are read as they stood
        // at one moment.
        const auto problem = createDatabase(fileName, Schema::registerTables(), [&](QSqlDatabase &copy) {
            if (QFile::exists(fileName))
                return failure(u"la copia esiste già"_s);
            qint64 rows = 0;
            const Result read = inTransaction(db, [&]() -> Result {
                // A whole table crosses in one statement: on a slow line it may take longer than
                // the statement limit that suits the lists, and only this copy lifts it.
                if (Result snapshot = executeOnce(db,
                                                  u"SET TRANSACTION ISOLATION LEVEL REPEATABLE READ READ ONLY; "
                                                  u"SET LOCAL statement_timeout = 0"_s,
                                                  {});
                    !snapshot.ok())
                    return snapshot;
                return copyTables(db, copy, &rows);
            });
            return read;
        });
        return problem ? failure(*problem) : Result{};
    }
    // Written under another name and renamed when complete: a copy is whole or absent.
    const QString partial = fileName + u".parziale"_s;
    QFile::remove(partial);
    Result result = execute(connection(Schema::registerFile), u"VACUUM INTO ?"_s, {partial});
    if (result.ok() && !QFile::rename(partial, fileName))
        result = failure(u"la copia non si può rinominare"_s);
    if (!result.ok())
        QFile::remove(partial);
    return result;
}

namespace {
Result classifyServer(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    // The server's own sentence: its first line, without the severity before it.
    QString text = error.databaseText().trimmed().isEmpty() ? error.text().trimmed() : error.databaseText().trimmed();
    text = text.section(u'\n', 0, 0).trimmed();
    for (const QString &severity : {u"ERROR:"_s, u"FATAL:"_s, u"ERRORE:"_s}) {
        if (text.startsWith(severity))
            text = text.mid(severity.size()).trimmed();
    }
    if (code == u"23505"_s) // unique_violation
        return {duplicateKey, text};
    // insufficient_privilege, read_only_sql_transaction
    if (code == u"42501"_s || code == u"25006"_s) {
        const auto &server = Server::current();
        return {readOnlyUser, u"L'utente %1 può solo consultare l'archivio."_s.arg(server ? server->user : QString())};
    }
    if (code == u"40001"_s || code == u"40P01"_s) // serialization_failure, deadlock_detected
        return {conflict, u"l'archivio è occupato da un altro utente, riprovare (%1)"_s.arg(text)};
    if (code == u"55P03"_s) // lock_not_available: the lock wait ran out
        return {busy, u"L'archivio è in uso su un'altra postazione: riprovare."_s};
    if (code == u"57014"_s) // query_canceled: the statement limit ran out
        return {otherFailure, u"il server non ha risposto in tempo (%1)"_s.arg(text)};
    // connection_exception, admin_shutdown, crash_shutdown, cannot_connect_now
    if (code.startsWith(u"08"_s) || code == u"57P01"_s || code == u"57P02"_s || code == u"57P03"_s) {
        Server::markLost();
        return {lostConnection, u"il collegamento con il server si è interrotto (%1)"_s.arg(text)};
    }
    // Whatever the code, a break of the connection itself is told by libpq's words.
    if (Server::connectionBroke(text)) {
        Server::markLost();
        return {lostConnection, u"il collegamento con il server si è interrotto (%1)"_s.arg(text)};
    }
    return {otherFailure, text};
}

// The store speaks English: the usual troubles are said in Italian first, its own words kept
// after them for whoever has to look into it. Empty for the others.
QString italianReason(int code, const QString &text)
{
    switch (code & 0xff) {
    case 1: // SQLITE_ERROR: only its text tells the usual cases apart
        for (const auto &[english, italian] :
             {std::pair{u"no such table"_s, u"nell'archivio manca una tabella"_s},
              std::pair{u"no such column"_s, u"nell'archivio manca un campo"_s},
              std::pair{u"too many SQL variables"_s, u"troppi valori in una sola istruzione"_s}}) {
            if (text.contains(english))
                return italian;
        }
        return {};
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return u"l'archivio è bloccato da un altro programma"_s;
    case 7: // SQLITE_NOMEM
        return u"memoria insufficiente"_s;
    case 8: // SQLITE_READONLY
        return u"l'archivio non si può scrivere"_s;
    case 10: // SQLITE_IOERR
        return u"errore di lettura o scrittura sul disco"_s;
    case 11: // SQLITE_CORRUPT
    case 26: // SQLITE_NOTADB
        return u"l'archivio è danneggiato"_s;
    case 13: // SQLITE_FULL
        return u"il disco o l'archivio è pieno"_s;
    case 14: // SQLITE_CANTOPEN
        return u"il file non si può creare o aprire"_s;
    case 18: // SQLITE_TOOBIG
        return u"un testo o un dato è troppo grande per l'archivio"_s;
    case 19: // SQLITE_CONSTRAINT other than a repeated key; a trigger's (1811) author said why
        return code == 1811 ? QString() : u"un dato non è ammesso dall'archivio"_s;
    }
    return {};
}
} // namespace

QString refusal(const QString &what, const Result &result)
{
    return result.number == readOnlyUser || result.number == busy ? result.description : what + result.description;
}

Result classify(const QSqlError &error)
{
    if (!error.isValid())
        return {};
    const QString code = error.nativeErrorCode();
    // A server's codes are five-character SQLSTATEs; SQLite's are numbers of at most four digits.
    if (code.size() == 5)
        return classifyServer(error);
    // A connection to a server that broke gives no code, only the client library's words.
    if (Server::current() && Server::connectionBroke(error.text())) {
        Server::markLost();
        return {lostConnection, u"il collegamento con il server si è interrotto (%1)"_s.arg(error.text().trimmed())};
    }
    // SQLITE_CONSTRAINT_UNIQUE and SQLITE_CONSTRAINT_PRIMARYKEY
    if (code == u"2067"_s || code == u"1555"_s || error.text().contains(u"UNIQUE constraint failed"_s))
        return {duplicateKey, error.text()};
    const QString text = error.text().trimmed();
    if (text.isEmpty())
        return {otherFailure, u"errore sconosciuto"_s};
    const QString said = italianReason(code.toInt(), text);
    return {otherFailure, said.isEmpty() ? text : said + u" ("_s + text + u')'};
}

Result failure(const QString &description)
{
    return {otherFailure, description};
}

QSqlDatabase connection(const QString &fileName)
{
    return QSqlDatabase::database(connectionPrefix + fileName, false);
}

std::optional<QString> openWorkingFiles(QStringList *notices, const Server::PasswordPrompt &askPassword,
                                        const Server::Question &ask)
{
    closeAll();
    QString settingsProblem;
    const std::optional<Server::Settings> server = Server::settings(&settingsProblem);
    if (!settingsProblem.isEmpty())
        return settingsProblem;
    if (server) {
        if (auto problem =
                Server::openRegister(connectionPrefix + Schema::registerFile, *server, askPassword, ask, notices)) {
            closeAll();
            return problem;
        }
    } else if (auto problem = openRegister(notices)) {
        return problem;
    }
    if (auto problem = openMunicipalities(notices)) {
        closeAll();
        return problem;
    }
    if (auto problem = writeDefaultSpecialisations(Schema::specialisationsFile)) {
        closeAll();
        return problem;
    }
    return std::nullopt;
}

void closeAll()
{
    forgetPrepared();
    Server::forget();
    for (const QString &name : QSqlDatabase::connectionNames()) {
        if (name.startsWith(connectionPrefix))
            dropConnection(name);
    }
}

namespace {
// The store's open transactions, by connection, each with whether its row savepoint stands.
QHash<QString, bool> &openTransactions()
{
    static QHash<QString, bool> names;
    return names;
}
} // namespace

bool begin(QSqlDatabase db)
{
    Server::reconnectIfLost(db);
    const bool begun = db.transaction();
    if (begun)
        openTransactions().insert(db.connectionName(), false);
    return begun;
}

bool commit(QSqlDatabase db)
{
    const bool committed = db.commit();
    if (committed)
        openTransactions().remove(db.connectionName());
    return committed;
}

void rollback(QSqlDatabase db)
{
    db.rollback();
    openTransactions().remove(db.connectionName());
}

bool transactionOpen(const QSqlDatabase &db)
{
    return openTransactions().contains(db.connectionName());
}

Result failed(QSqlDatabase db, const QSqlError &error, const QString &otherwise)
{
    Result result = classify(error);
    if (result.number != lostConnection && Server::isServer(db) && !db.isOpen()) {
        Server::markLost();
        result = {lostConnection, Server::notOpen(db)};
    }
    return result.ok() ? failure(otherwise) : result;
}

namespace {
Result refusedOrLost(QSqlDatabase db, const QString &otherwise)
{
    return failed(db, db.lastError(), otherwise);
}
} // namespace

Result beginOrSay(QSqlDatabase db)
{
    if (begin(db))
        return {};
    // A break found by BEGIN is found before anything was done: it is begun on a new connection.
    if (refusedOrLost(db, {}).number == lostConnection && begin(db))
        return {};
    return refusedOrLost(db, u"la transazione non è cominciata"_s);
}

Result commitOrSay(QSqlDatabase db)
{
    // The transaction's number, none when it wrote nothing: a commit cut by a break of the
    // connection is settled by asking the server about it.
    qint64 number = 0;
    if (Server::isServer(db)) {
        QSqlQuery query(db);
        if (query.exec(u"select txid_current_if_assigned()"_s) && query.next())
            number = query.value(0).toLongLong();
    }
    if (commit(db))
        return {};
    const Result failed = refusedOrLost(db, u"il salvataggio non è riuscito"_s);
    rollback(db);
    if (failed.number != lostConnection || number == 0)
        return failed;
    // The server knows what became of the transaction, once it can be asked again.
    Server::reconnectIfLost(db);
    QString status;
    // The server may take a moment to notice the old connection's end and settle its transaction.
    for (int asked = 0; asked < 20 && (asked == 0 || status == u"in progress"_s); ++asked) {
        if (asked > 0)
            QThread::msleep(100);
        QSqlQuery query(db);
        query.prepare(u"select txid_status(?)"_s);
        query.addBindValue(number);
        status = db.isOpen() && query.exec() && query.next() ? query.value(0).toString() : QString();
    }
    if (status == u"committed"_s)
        return {};
    if (status == u"aborted"_s)
        return {lostConnection, failed.description + u": nulla è stato registrato"_s};
    return {unknownOutcome, u"Il collegamento con il server si è interrotto durante il salvataggio e non si sa se è "
                            u"stato registrato: rileggere quando il server risponde."_s};
}

Result inOpenTransaction(QSqlDatabase db, const std::function<Result()> &work)
{
    return transactionOpen(db) ? work() : inTransaction(db, work);
}

Result guarded(QSqlDatabase db, const std::function<Result()> &statement)
{
    const auto open = openTransactions().find(db.connectionName());
    if (!Server::isServer(db) || open == openTransactions().end())
        return statement();
    // The savepoint of the row before is let go in the same round trip that sets this one's.
    QSqlQuery mark(db);
    if (!mark.exec(*open ? u"RELEASE SAVEPOINT sentaro_riga; SAVEPOINT sentaro_riga"_s : u"SAVEPOINT sentaro_riga"_s))
        return classify(mark.lastError());
    *open = true;
    const Result result = statement();
    // Rolled back to, a savepoint stands, to be let go with the next.
    if (!result.ok())
        mark.exec(u"ROLLBACK TO SAVEPOINT sentaro_riga"_s);
    return result;
}

Result inTransaction(QSqlDatabase db, const std::function<Result()> &work)
{
    constexpr int attempts = 3;
    for (int attempt = 1;; ++attempt) {
        if (Result begun = beginOrSay(db); !begun.ok())
            return begun;
        Result result = work();
        if (result.ok())
            result = commitOrSay(db);
        else
            rollback(db);
        if (result.ok())
            return result;
        if (result.number != conflict || attempt == attempts)
            return result;
        // Another PC's write held what this one needed; it is over by now, or soon.
        QThread::msleep(50 * attempt);
    }
}

Result execute(QSqlDatabase db, const QString &sql, const QVariantList &values)
{
    Server::reconnectIfLost(db);
    // Qt runs nothing on a connection that is not open, and gives no reason.
    if (Server::isServer(db) && !db.isOpen())
        return refusedOrLost(db, {});
    return guarded(db, [&]() { return executeOnce(db, sql, values); });
}

namespace {
// On a server a statement is prepared once and run again by its name: preparing it and
// letting it go are a round trip each, for each row a window writes. At most this many are
// kept, by connection and text.
constexpr qsizetype preparedKept = 64;

std::unordered_map<QString, std::unique_ptr<QSqlQuery>> &preparedOnServer()
{
    static std::unordered_map<QString, std::unique_ptr<QSqlQuery>> queries;
    return queries;
}
} // namespace

void forgetPrepared()
{
    preparedOnServer().clear();
}

Result executeOnce(QSqlDatabase db, const QString &sql, const QVariantList &values)
{
    const QString notRun = u"istruzione non eseguita"_s;
    // Without values the text runs as it is: a server prepares only statements that take
    // values, not CREATE and the like.
    if (values.isEmpty()) {
        QSqlQuery query(db);
        return query.exec(sql) ? Result{} : failed(db, query.lastError(), notRun);
    }
    QSqlQuery once(db);
    QSqlQuery *query = &once;
    const QString key = db.connectionName() + u'\n' + sql;
    if (Server::isServer(db)) {
        auto &kept = preparedOnServer();
        auto found = kept.find(key);
        if (found == kept.end()) {
            auto made = std::make_unique<QSqlQuery>(db);
            if (!made->prepare(sql))
                return failed(db, made->lastError(), notRun);
            if (qsizetype(kept.size()) >= preparedKept)
                kept.clear();
            found = kept.emplace(key, std::move(made)).first;
        }
        query = found->second.get();
    } else if (!once.prepare(sql)) {
        return failed(db, once.lastError(), notRun);
    }
    for (int i = 0; i < values.size(); ++i)
        query->bindValue(i, values[i]);
    if (!query->exec()) {
        const Result refused = failed(db, query->lastError(), notRun);
        // Prepared anew next time: the refusal may have been the statement's own, such as a
        // table another PC changed under it.
        if (query != &once)
            preparedOnServer().erase(key);
        return refused;
    }
    return {};
}

} // namespace Store
