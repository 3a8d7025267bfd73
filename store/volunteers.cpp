#include "store/volunteers.h"

#include "common/textformat.h"
#include "common/volunteertext.h"
#include "database/datasource.h"
#include "database/pgcopy.h"
#include "database/serverconnection.h"
#include "store/schema.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

using TextFormat::withoutTrailingBlanks;

using namespace Qt::StringLiterals;

namespace {

// Rows in one statement on a server: a round trip each would cost more than the rows.
constexpr size_t rowsPerStatement = 1000;
// Rows read from the export in one statement: a statement run each would cost more than the
// rows, but the statement names each row's place, and with a thousand it takes longer to prepare.
constexpr size_t rowsPerRead = 100;

// Points `volunteers` at the volunteer `surname` `name`.
void pointAt(DataSource &volunteers, const QString &surname, const QString &name)
{
    QVariantList values;
    const QString matching = Volunteers::matching(surname, name, &values);
    volunteers.setRecordSource(u"select * from volo where "_s + matching + u" order by COGN, NOME"_s, values);
}

// Every write is read back at once, so that the source shows what is stored.
Store::Result stored(DataSource &volunteers, const Store::Result &result)
{
    volunteers.refresh();
    return result;
}

void writeEntered(DataSource &volunteers, const Volunteer &v, const QStringList &untouched)
{
    Records::write(volunteers, v, Records::NoValue::Null, untouched);
    // A mail cleared is no value rather than empty text.
    if (!untouched.contains(u"MAIL"_s))
        volunteers.setValue(u"MAIL"_s, v.mail.isNull() ? QVariant() : QVariant(v.mail));
}
} // namespace

namespace Volunteers {
QString matching(const QString &surname, const QString &name, QVariantList *values)
{
    const auto one = [values](const QString &field, const QString &value) {
        if (value.isEmpty())
            return u"("_s + field + u" IS NULL OR "_s + field + u" = '')"_s;
        *values << value;
        return field + u" = ?"_s;
    };
    // One after the other: the values go in the order of their fields.
    const QString bySurname = one(u"COGN"_s, surname);
    return bySurname + u" AND "_s + one(u"NOME"_s, name);
}

std::optional<Volunteer> findByText(DataSource &volunteers, const QString &text)
{
    const QString wanted = withoutTrailingBlanks(text);
    volunteers.setRecordSource(u"select * from VOLO order by NOME"_s);
    volunteers.refresh();
    for (; !volunteers.eof(); volunteers.moveNext()) {
        const QString candidate = VolunteerText::of(volunteers.text(u"COGN"_s), volunteers.text(u"NOME"_s));
        if (VolunteerText::same(withoutTrailingBlanks(candidate), wanted))
            return Records::volunteer(volunteers);
    }
    return std::nullopt;
}

std::optional<Volunteer> find(DataSource &volunteers, const QString &surname, const QString &name)
{
    pointAt(volunteers, surname, name);
    volunteers.refresh();
    if (volunteers.eof())
        return std::nullopt;
    return Records::volunteer(volunteers);
}

std::optional<QString> taxCodeHolder(DataSource &volunteers, const QString &taxCode, const QString &surname,
                                     const QString &name)
{
    if (taxCode.trimmed().isEmpty())
        return std::nullopt;
    volunteers.setRecordSource(u"select * from VOLO where CODFISC = ? order by COGN, NOME"_s, {taxCode});
    volunteers.refresh();
    for (; !volunteers.eof(); volunteers.moveNext()) {
        const QString holderSurname = volunteers.text(u"COGN"_s);
        const QString holderName = volunteers.text(u"NOME"_s);
        if (!VolunteerText::same(holderSurname, surname) || !VolunteerText::same(holderName, name))
            return VolunteerText::of(holderSurname, holderName);
    }
    return std::nullopt;
}

QStringList notInWindow()
{
    return {u"CODVOL"_s, u"TEL"_s, u"FAX"_s, u"MAIL"_s};
}

Store::Result insert(DataSource &volunteers, const Volunteer &volunteer, const QStringList &untouched)
{
    volunteers.addNew();
    writeEntered(volunteers, volunteer, untouched);
    return stored(volunteers, volunteers.update());
}

Store::Result rename(DataSource &volunteers, const QString &surname, const QString &name, const Volunteer &renamed,
                     const QStringList &untouched, const AsRead *asRead)
{
    const QString oldText = VolunteerText::of(surname, name);
    const QString newText = VolunteerText::of(renamed.surname, renamed.name);
    const Store::Result result = Store::inTransaction(volunteers.database(), [&]() -> Store::Result {
        // Looked up inside the transaction: on a server another PC may have changed him since he was shown.
        if (!find(volunteers, surname, name)) {
            return volunteers.failed() ? volunteers.lastError()
                                       : Store::failure(u"il volontario %1 non c'è più: un altro utente l'ha "
                                                        u"cambiato o tolto"_s.arg(oldText));
        }
        if (asRead && !volunteers.holds(asRead->fields, asRead->values))
            return Store::changedMeanwhile();
        volunteers.edit();
        writeEntered(volunteers, renamed, untouched);
        if (Store::Result written = volunteers.update(); !written.ok())
            return written;
        // His visits know him by his names, written after his row is held: another PC's new
        // visit of the old names is either here or refused for want of him.
        if (renamed.surname != surname || renamed.name != name) {
            QVariantList values{renamed.surname, renamed.name};
            const QString whose = matching(surname, name, &values);
            if (Store::Result moved = volunteers.execute(
                    u"update "_s + Schema::visite + u" set COGN = ?, NOME = ? where "_s + whose, values);
                !moved.ok())
                return moved;
        }
        if (newText == oldText)
            return Store::Result{};
        // The detail rows know a volunteer only by this text: they must follow it.
        return volunteers.execute(u"update ATTIVDETT set COGN = ? where COGN = ?"_s, {newText, oldText});
    });
    return stored(volunteers, result);
}

Store::Result remove(DataSource &volunteers, qint64 visits)
{
    const QString surname = volunteers.text(u"COGN"_s);
    const QString name = volunteers.text(u"NOME"_s);
    const Store::Result result = Store::inTransaction(volunteers.database(), [&]() -> Store::Result {
        // His row goes first: once it is held, no other PC can add him a visit, so the count
        // that follows is final.
        if (Store::Result removed = volunteers.remove(); !removed.ok())
            return removed;
        QVariantList values;
        const QString whose = matching(surname, name, &values);
        QSqlQuery query(volunteers.database());
        query.prepare(u"select count(*) from "_s + Schema::visite + u" where "_s + whose);
        for (const QVariant &value : std::as_const(values))
            query.addBindValue(value);
        if (!query.exec() || !query.next())
            return Store::classify(query.lastError());
        const qint64 found = query.value(0).toLongLong();
        query.finish();
        if (found != visits)
            return Store::Result{hasVisits,
                                 u"Il volontario %1 ha visite mediche registrate: non è stato eliminato."_s.arg(
                                     VolunteerText::of(surname, name))};
        return found == 0 ? Store::Result{}
                          : volunteers.execute(u"delete from "_s + Schema::visite + u" where "_s + whose, values);
    });
    return stored(volunteers, result);
}

void addExtraVolunteers(DataSource &extra, DataSource &volunteers)
{
    extra.setRecordSource(u"select * from VOLOEXTRA order by COGN, NOME"_s);
    extra.refresh();
    const int fields = int(Schema::findTable(Schema::voloextra)->fields.size());
    for (; !extra.eof(); extra.moveNext()) {
        volunteers.addNew();
        for (int position = 0; position < fields; ++position)
            volunteers.setValue(position, extra.value(position));
        volunteers.update();
        volunteers.refresh();
    }
}
} // namespace Volunteers

VolunteerImport::VolunteerImport(DataSource &volunteers)
    : m_volunteers(volunteers)
    , m_db(volunteers.database())
{
    for (const Schema::Field &field : Schema::findTable(Schema::volo)->fields)
        m_fields << field.name;
    m_insert = std::make_unique<PreparedStatement>(m_db, u"INSERT INTO "_s + Schema::volo + u" ("_s +
                                                             m_fields.join(u", "_s) + u") VALUES ("_s +
                                                             QStringList(m_fields.size(), u"?"_s).join(u", "_s) + u')');
    m_server = Server::isServer(m_db);
    DataSource::beforeWrite(volunteers.fileName());
}

VolunteerImport::~VolunteerImport()
{
    endReading();
}

void VolunteerImport::endReading()
{
    m_exportedRow.reset();
    m_copy.reset();
    m_exportedRows.reset();
    if (m_attached)
        Store::execute(m_db, u"DETACH DATABASE esportazione"_s);
    m_attached = false;
    if (m_exportDb.isOpen())
        m_exportDb.rollback();
    m_exportDb = QSqlDatabase();
}

// The surname and the first name folded as the key's collation folds them, apart by a
// character below any other, so that comparing keys orders by surname, then first name.
VolunteerImport::Name VolunteerImport::named(const QVariant &surname, const QVariant &name, qint64 row)
{
    Name made{surname.toString(), name.toString(), {}, row};
    // ASCII, by far the most common, is folded here: Qt's general folding costs more than
    // everything else done with a name.
    const auto ascii = [](const QString &text) {
        return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
    };
    if (!ascii(made.surname) || !ascii(made.name)) {
        made.key = VolunteerText::namesKey(made.surname, made.name);
        return made;
    }
    made.key.resize(made.surname.size() + 1 + made.name.size());
    QChar *out = made.key.data();
    const auto fold = [&out](const QString &text) {
        for (const QChar c : text)
            *out++ = (c >= u'A' && c <= u'Z') ? QChar(c.unicode() + 32) : c;
    };
    fold(made.surname);
    *out++ = QChar(0);
    fold(made.name);
    return made;
}

bool VolunteerImport::before(const Name &a, const Name &b)
{
    return a.key < b.key;
}

bool VolunteerImport::same(const Name &a, const Name &b)
{
    return a.key == b.key;
}

Store::Result VolunteerImport::read(const DataSource &exported)
{
    m_exported.clear();
    m_stored.clear();
    m_nextStored = 0;
    m_lastAsked = -1;
    m_exportDb = exported.database();
    m_exportDb.transaction();
    QSqlDatabase &exportDb = m_exportDb;
    QList<QVariantList> rows;
    Store::Result result = PreparedStatement(exportDb, u"select rowid, COGN, NOME from volo"_s).select({}, &rows);
    for (const QVariantList &row : std::as_const(rows))
        m_exported.push_back(named(row[1], row[2], row[0].toLongLong()));
    // Stable, so that a volunteer the export repeats is taken from its first row.
    std::stable_sort(m_exported.begin(), m_exported.end(), before);
    if (!result.ok())
        return result;
    rows.clear();
    result = PreparedStatement(m_db, u"select COGN, NOME from "_s + Schema::volo).select({}, &rows);
    if (!result.ok())
        return result;
    for (const QVariantList &row : std::as_const(rows))
        m_stored.push_back(named(row[0], row[1]));
    std::sort(m_stored.begin(), m_stored.end(), before);
    // The export's fields in VOLO's order; one the export lacks is added without a value.
    const QSqlRecord exportedFields = exportDb.record(u"volo"_s);
    QStringList columns;
    for (const QString &field : std::as_const(m_fields))
        columns << (exportedFields.contains(field) ? field : u"NULL"_s);
    m_exportedRow = std::make_unique<PreparedStatement>(exportDb, u"select "_s + columns.join(u", "_s) +
                                                                      u" from volo where rowid = ?"_s);
    // The rows waiting are read a hundred at a time, in the order asked: the left side of a
    // cross join is SQLite's outer loop. On a file the register's connection copies them
    // straight from the export; one that cannot be attached is copied row by row.
    const auto waitingRows = [&](const QString &table) {
        QStringList from;
        for (const QString &column : std::as_const(columns))
            from << (column == u"NULL"_s ? column : u"e."_s + column);
        return u"SELECT "_s + from.join(u", "_s) + u" FROM (VALUES "_s +
               QStringList(rowsPerRead, u"(?)"_s).join(u", "_s) + u") AS k CROSS JOIN "_s + table +
               u" AS e WHERE e.rowid = k.column1"_s;
    };
    if (m_server) {
        m_exportedRows = std::make_unique<PreparedStatement>(exportDb, waitingRows(u"volo"_s));
    } else if (!Store::transactionOpen(m_db)) {
        m_attached = Store::execute(m_db, u"ATTACH DATABASE ? AS esportazione"_s, {exportDb.databaseName()}).ok();
        if (m_attached)
            m_copy = std::make_unique<PreparedStatement>(m_db, u"INSERT INTO "_s + Schema::volo + u" ("_s +
                                                                   m_fields.join(u", "_s) + u") "_s +
                                                                   waitingRows(u"esportazione.volo"_s));
    }
    return {};
}

QString VolunteerImport::text(qsizetype i) const
{
    return VolunteerText::of(m_exported[i].surname, m_exported[i].name);
}

bool VolunteerImport::present(qsizetype i)
{
    const Name &volunteer = m_exported[i];
    // A volunteer the export repeats comes right after its first row.
    if (m_lastAsked >= 0 && m_lastHeld && same(m_exported[m_lastAsked], volunteer)) {
        m_lastAsked = i;
        return true;
    }
    while (m_nextStored < m_stored.size() && before(m_stored[m_nextStored], volunteer))
        ++m_nextStored;
    m_lastAsked = i;
    m_lastHeld = m_nextStored < m_stored.size() && same(m_stored[m_nextStored], volunteer);
    return m_lastHeld;
}

namespace {
// A role that may only read, a lost connection, or a group SQLite ended on a file: every other
// row would be refused alike, or written outside its group.
bool stopsEveryRow(const QSqlDatabase &db, const Store::Result &result)
{
    return result.number == Store::readOnlyUser || result.number == Store::lostConnection ||
           (!result.ok() && Store::transactionEnded(db));
}
} // namespace

void VolunteerImport::counted(qsizetype i, const Store::Result &result)
{
    if (result.ok()) {
        ++m_added;
        ++m_addedInGroup;
    } else if (m_refused++ == 0) {
        m_firstRefusal = text(i) + u": "_s + result.description;
    }
}

Store::Result VolunteerImport::add(qsizetype i, Store::Result *read)
{
    if (!m_server && !m_attached) {
        const Store::Result result = m_insert->runWithRowOf(*m_exportedRow, {m_exported[i].row}, read);
        if (!read->ok())
            return {};
        if (stopsEveryRow(m_db, result))
            return result;
        counted(i, result);
        m_lastHeld = m_lastHeld || result.ok();
        return {};
    }
    m_waiting.push_back(i);
    // Counted as stored until the statement says otherwise.
    counted(i, {});
    m_lastHeld = true;
    return m_waiting.size() >= (m_server ? rowsPerStatement : rowsPerRead) ? sendWaiting(read) : Store::Result{};
}

// The places in the export of the rows waiting from `first`, as many as one statement reads.
QVariantList VolunteerImport::waitingKeys(size_t first, qsizetype *rows) const
{
    QVariantList keys;
    keys.reserve(rowsPerRead);
    for (size_t at = first; at < m_waiting.size() && keys.size() < qsizetype(rowsPerRead); ++at)
        keys << m_exported[m_waiting[at]].row;
    *rows = keys.size();
    // The statement's other places name no row.
    keys.resize(rowsPerRead);
    return keys;
}

Store::Result VolunteerImport::sendWaiting(Store::Result *read)
{
    if (m_waiting.empty())
        return {};
    Store::Result result;
    qsizetype rows = 0;
    if (m_server) {
        // The rows go straight from the export's texts into the statement, a hundred at a time:
        // the server adds them while the next are read.
        size_t first = 0;
        const auto readNext = [&](QByteArray &part) {
            if (!read->ok() || first >= m_waiting.size())
                return false;
            const QVariantList keys = waitingKeys(first, &rows);
            first += rowsPerRead;
            qsizetype found = 0;
            *read = m_exportedRows->selectTexts(keys, [&](const std::vector<PreparedStatement::Text> &row) {
                PgCopy::appendRow(part, row);
                ++found;
            });
            if (read->ok() && found != rows)
                *read = Store::failure(u"riga non più nel file"_s);
            // Rows already sent are let go with the group, which a failed read rolls back.
            return read->ok();
        };
        result = Store::guarded(m_db, [&]() { return PgCopy::copyIn(m_db, Schema::volo, m_fields, readNext); });
    } else {
        const QVariantList keys = waitingKeys(0, &rows);
        result = m_copy->runCopying(keys, rows, read);
    }
    if (read->ok() && !result.ok() && !stopsEveryRow(m_db, result)) {
        // A row refused spoils the statement: the rows go again one by one, each on its own.
        result = {};
        for (const qsizetype i : m_waiting) {
            const Store::Result single = m_insert->runWithRowOf(*m_exportedRow, {m_exported[i].row}, read);
            if (!read->ok())
                break;
            if (stopsEveryRow(m_db, single)) {
                result = single;
                break;
            }
            if (!single.ok()) {
                --m_added;
                --m_addedInGroup;
                counted(i, single);
            }
        }
    }
    m_waiting.clear();
    return result;
}

Store::Result VolunteerImport::begin()
{
    m_addedInGroup = 0;
    return Store::beginOrSay(m_db);
}

Store::Result VolunteerImport::commit(Store::Result *read)
{
    Store::Result result = sendWaiting(read);
    if (!read->ok() || !result.ok()) {
        rollback();
        return result;
    }
    result = Store::commitOrSay(m_db);
    if (!result.ok())
        m_added -= m_addedInGroup;
    m_addedInGroup = 0;
    return result;
}

void VolunteerImport::rollback()
{
    m_waiting.clear();
    Store::rollback(m_db);
    m_added -= m_addedInGroup;
    m_addedInGroup = 0;
}

void VolunteerImport::showLastLookedUp()
{
    if (m_lastAsked >= 0)
        pointAt(m_volunteers, m_exported[m_lastAsked].surname, m_exported[m_lastAsked].name);
    m_volunteers.refresh();
}

namespace {
// Rows are committed in groups: each commit waits on the disk, which costs more than writing
// hundreds of rows. A group is never older than this, so little is left to redo after a crash;
// only the rows written count towards its size, since a volunteer already there writes nothing.
constexpr int rowsPerCommit = 5000;
constexpr int millisecondsPerCommit = 500;
} // namespace

ImportOutcome Volunteers::importFrom(DataSource &exported, DataSource &volunteers,
                                     const std::function<void(int read, int added)> &progress)
{
    ImportOutcome outcome;
    int &read = outcome.read;
    QElapsedTimer sinceCommit;
    sinceCommit.start();
    VolunteerImport copy(volunteers);
    const auto stopOn = [&](const Store::Result &result) {
        if (result.number == Store::readOnlyUser)
            outcome.readOnly = result.description;
        else
            outcome.commitError = result.description;
        outcome.unknown = result.number == Store::unknownOutcome;
        return false;
    };
    Store::Result &readError = outcome.readError;
    const auto commitGroup = [&]() {
        const Store::Result result = copy.commit(&readError);
        return readError.ok() && (result.ok() || stopOn(result));
    };
    // The names are read before anything is written; a refusal there writes nothing.
    readError = copy.read(exported);
    if (!readError.ok())
        read = int(copy.count());
    // Nothing is added outside a group: a group that cannot begin stops the import.
    bool stopped = false;
    if (const Store::Result begun = readError.ok() ? copy.begin() : Store::Result{}; !begun.ok())
        stopped = !stopOn(begun);

    for (qsizetype i = 0; readError.ok() && !stopped && i < copy.count(); ++i) {
        ++read;
        if (!copy.present(i)) {
            const Store::Result result = copy.add(i, &readError);
            if (!readError.ok())
                break;
            if (!result.ok()) {
                // Every other row would be refused the same way.
                stopOn(result);
                copy.rollback();
                stopped = true;
                break;
            }
        }
        if (copy.addedInGroup() >= rowsPerCommit || sinceCommit.elapsed() >= millisecondsPerCommit) {
            if (!commitGroup()) {
                stopped = true;
                break;
            }
            if (const Store::Result begun = copy.begin(); !begun.ok()) {
                stopped = !stopOn(begun);
                break;
            }
            sinceCommit.restart();
            progress(read, copy.added());
        }
    }
    outcome.committed = outcome.commitError.isEmpty();
    if (!stopped && readError.ok())
        outcome.committed = commitGroup();
    else if (!stopped)
        copy.rollback();
    outcome.added = copy.added();
    outcome.refused = copy.refused();
    outcome.firstRefusal = copy.firstRefusal();
    copy.endReading();
    copy.showLastLookedUp();
    return outcome;
}
