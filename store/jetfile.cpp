#include "store/jetfile.h"

#include "common/textformat.h"
#include "formats/jetlines.h"
#include "formats/jetprocess.h"
#include "store/database.h"
#include "store/layout.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <functional>

using namespace Qt::StringLiterals;

namespace Jet {
namespace {

QVariant storedValue(const QString &text, bool isNull, char kind, Schema::Kind field)
{
    if (isNull)
        return {};
    if (field == Schema::Kind::Text)
        return text;
    bool ok = false;
    double number = QLocale::c().toDouble(text, &ok);
    if (!ok && kind != 'N') {
        const auto typed = TextFormat::readNumber(text);
        ok = typed.has_value();
        number = typed.value_or(0);
    }
    if (!ok)
        return {};
    if (field == Schema::Kind::Integer)
        return static_cast<qint64>(std::llround(number));
    return number;
}

// One table of the file into the same table here.
std::optional<QString> copyTable(const QString &jetPath, const QString &jetName, const Schema::Table &table,
                                 QSqlDatabase &db, Conversion *done)
{
    struct Source {
        int field = -1; // position among the table's fields, -1 when it has none
        char kind = 'T';
    };
    std::vector<Source> sources;
    std::optional<QSqlQuery> insert;
    std::optional<QString> problem;
    int rows = 0;
    int counted = -1;
    const auto prepare = [&]() {
        QStringList names;
        QStringList marks;
        for (const Source &source : sources) {
            if (source.field >= 0) {
                names << table.fields[size_t(source.field)].name;
                marks << u"?"_s;
            }
        }
        insert.emplace(db);
        if (names.isEmpty())
            insert->prepare(u"INSERT INTO "_s + table.name + u" DEFAULT VALUES"_s);
        else
            insert->prepare(u"INSERT INTO "_s + table.name + u" ("_s + names.join(u", "_s) + u") VALUES ("_s +
                            marks.join(u", "_s) + u')');
    };
    const auto failure = runReader(jetPath, {u"dump"_s, jetName}, [&](const QByteArray &line) {
        if (problem)
            return;
        const QList<QByteArray> parts = line.split('\t');
        if (parts.constFirst() == "C" && parts.size() == 3) {
            bool isNull = false;
            const QString name = unescapeField(parts[1], &isNull);
            Source source;
            source.kind = parts[2].isEmpty() ? 'X' : parts[2][0];
            for (size_t i = 0; i < table.fields.size(); ++i) {
                if (table.fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
                    source.field = int(i);
            }
            if (source.field < 0 || source.kind == 'X')
                done->ignored << table.name + u'.' + name;
            sources.push_back(source);
        } else if (parts.constFirst() == "R") {
            if (!insert)
                prepare();
            if (parts.size() != qsizetype(sources.size()) + 1) {
                problem = u"riga %1 della tabella %2 non leggibile"_s.arg(rows + 1).arg(jetName);
                return;
            }
            for (size_t i = 0; i < sources.size(); ++i) {
                if (sources[i].field < 0)
                    continue;
                bool isNull = false;
                const QString text = unescapeField(parts[qsizetype(i) + 1], &isNull);
                insert->addBindValue(storedValue(text, isNull || sources[i].kind == 'X', sources[i].kind,
                                                 table.fields[size_t(sources[i].field)].kind));
            }
            if (!insert->exec()) {
                problem = u"riga %1 della tabella %2: %3"_s.arg(rows + 1).arg(jetName, insert->lastError().text());
                return;
            }
            ++rows;
        } else if (parts.constFirst() == "OK" && parts.size() == 3) {
            // A damaged file may give fewer rows than its table says it holds: not a copy.
            counted = parts[1].toInt() == parts[2].toInt() ? parts[1].toInt() : -1;
        }
    });
    if (failure)
        return failure;
    if (problem)
        return problem;
    if (counted != rows)
        return u"la tabella %1 non è stata letta per intero"_s.arg(jetName);
    done->rows.insert(table.name, rows);
    return std::nullopt;
}

} // namespace

std::optional<QString> convert(const QString &jetPath, const QString &sqlitePath,
                               const std::vector<Schema::Table> &tables, Conversion *done)
{
    *done = Conversion{};
    QFile::remove(sqlitePath);
    QStringList present;
    if (auto failure = runReader(jetPath, {u"tables"_s}, [&](const QByteArray &line) {
            if (line.startsWith("T\t"))
                present << QString::fromUtf8(line.mid(2));
        }))
        return failure;

    const QString connectionName = u"sentaro:conversion:"_s + sqlitePath;
    std::optional<QString> problem;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connectionName);
        db.setDatabaseName(sqlitePath);
        if (!db.open() || !Store::useProgramCollation(db)) {
            problem = db.lastError().text();
        } else {
            const Store::Result result = Store::inTransaction(db, [&]() -> Store::Result {
                return Store::makeTables(db, tables, [&]() -> Store::Result {
                    for (const Schema::Table &table : tables) {
                        const auto found = std::find_if(present.cbegin(), present.cend(), [&](const QString &name) {
                            return name.compare(table.name, Qt::CaseInsensitive) == 0;
                        });
                        // A table the earlier file lacks stays empty; the earlier program had none of
                        // the later ones, so their absence is no news.
                        if (found == present.cend() && table.since > 1)
                            continue;
                        if (found == present.cend()) {
                            done->rows.insert(table.name, 0);
                            done->missing << table.name;
                            continue;
                        }
                        if (auto failure = copyTable(jetPath, *found, table, db, done))
                            return Store::failure(*failure);
                    }
                    return {};
                });
            });
            if (!result.ok())
                problem = result.description;
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connectionName);
    for (const QString &name : present) {
        const bool known = std::any_of(tables.cbegin(), tables.cend(), [&](const Schema::Table &table) {
            return table.name.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (!known)
            done->ignored << name;
    }
    if (problem)
        QFile::remove(sqlitePath);
    return problem;
}

} // namespace Jet
