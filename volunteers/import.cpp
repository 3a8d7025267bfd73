#include "volunteers/import.h"

#include "app/form1.h"
#include "app/windows.h"
#include "common/hourglass.h"
#include "common/messages.h"
#include "store/database.h"
#include "store/datasource.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlError>

#include <memory>

using namespace Qt::StringLiterals;

namespace {
// Rows are committed in groups: one commit a row would make a large import wait on the disk
// thousands of times. A group is never older than this, so little is left to redo after a crash.
constexpr int rowsPerCommit = 500;
constexpr int millisecondsPerCommit = 500;

// A volunteer without surname or first name is compared as empty text: no value matches an
// empty field, and the reverse.
QString matching(const QString &field, bool blank)
{
    return blank ? u"("_s + field + u" IS NULL OR "_s + field + u" = '')"_s : field + u" = ?"_s;
}

QString lookup(bool blankSurname, bool blankName)
{
    return u" from volo where "_s + matching(u"COGN"_s, blankSurname) + u" AND "_s + matching(u"NOME"_s, blankName);
}
} // namespace

void importavolontari()
{
    if (const auto problem = Store::openImportFile()) {
        Messages::report(*problem);
        return;
    }
    Form1 *main = Windows::form1();
    DataSource *source = main->Data2;
    DataSource *target = main->Data6;
    QSqlDatabase db = target->database();
    Hourglass::set();
    int read = 0;
    int added = 0;
    int addedInGroup = 0;
    int refused = 0;
    QString firstRefusal;
    QElapsedTimer sinceCommit;
    sinceCommit.start();
    int uncommitted = 0;
    QString commitError;
    const auto commitGroup = [&]() {
        if (db.commit()) {
            addedInGroup = 0;
            return true;
        }
        commitError = db.lastError().text();
        db.rollback();
        added -= addedInGroup;
        return false;
    };
    const auto showCounts = [&]() {
        main->setWindowTitle(u"Sentaro - Letti:"_s + QString::number(read) + u" record aggiunti: "_s +
                             QString::number(added));
    };
    db.transaction();

    const QStringList fields = [] {
        QStringList names;
        for (const Schema::Field &field : Schema::findTable(Schema::volo)->fields)
            names << field.name;
        return names;
    }();
    // The look-ups and the insert are prepared once: preparing them again for each of
    // thousands of volunteers would cost more than running them. One look-up for each way
    // of missing the surname, the first name, both or neither.
    std::unique_ptr<PreparedStatement> finds[4];
    for (int blanks = 0; blanks < 4; ++blanks)
        finds[blanks] = std::make_unique<PreparedStatement>(db, u"select 1"_s + lookup(blanks & 1, blanks & 2));
    PreparedStatement insert(db, u"INSERT INTO "_s + Schema::volo + u" ("_s + fields.join(u", "_s) + u") VALUES ("_s +
                                     QStringList(fields.size(), u"?"_s).join(u", "_s) + u')');
    QVariantList row;
    QString lastLookup;
    QVariantList lastValues;
    // A read the store refused leaves the group it fell in uncommitted: whether the rest of
    // that group was already there is not known.
    Store::Result readError;
    DataSource::beforeWrite(target->fileName());
    source->setRecordSource(u"select * from volo order by COGN,NOME"_s);
    source->refresh();
    for (; !source->eof(); source->moveNext()) {
        ++read;
        const QVariant surname = source->value(u"COGN"_s);
        const QVariant name = source->value(u"NOME"_s);
        const bool blankSurname = surname.toString().isEmpty();
        const bool blankName = name.toString().isEmpty();
        lastLookup = u"select *"_s + lookup(blankSurname, blankName) + u" order by COGN,NOME"_s;
        lastValues.clear();
        if (!blankSurname)
            lastValues << surname;
        if (!blankName)
            lastValues << name;
        bool present = false;
        readError = finds[(blankSurname ? 1 : 0) + (blankName ? 2 : 0)]->run(lastValues, &present);
        if (!readError.ok())
            break;
        if (!present) {
            row.clear();
            for (const QString &field : fields)
                row << source->value(field);
            const Store::Result result = insert.run(row);
            if (result.ok()) {
                ++added;
                ++addedInGroup;
            } else {
                // A row the store refuses is left out; the others go on.
                if (refused++ == 0)
                    firstRefusal = surname.toString() + u' ' + name.toString() + u": "_s + result.description;
            }
        }
        showCounts();
        if (++uncommitted >= rowsPerCommit || sinceCommit.elapsed() >= millisecondsPerCommit) {
            if (!commitGroup())
                break;
            db.transaction();
            uncommitted = 0;
            sinceCommit.restart();
            // Let the caption repaint, without taking the user's clicks in the middle of the import.
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
    }
    if (readError.ok())
        readError = source->lastError();
    bool committed = commitError.isEmpty();
    if (committed && readError.ok()) {
        committed = commitGroup();
    } else if (committed) {
        db.rollback();
        added -= addedInGroup;
    }
    // The caption counts only what stayed.
    if (read > 0)
        showCounts();
    // The volunteer source is left on the last volunteer looked up.
    if (!lastLookup.isEmpty())
        target->setRecordSource(lastLookup, lastValues);
    target->refresh();
    Store::closeImportFile();
    Hourglass::reset();
    if (readError.ok())
        Messages::report(u"Importazione terminata"_s);
    else
        Messages::report(u"Importazione interrotta: "_s + readError.description +
                         u". Gli ultimi volontari letti non sono stati registrati."_s);
    if (!committed)
        Messages::report(u"Gli ultimi volontari letti non sono stati registrati: "_s + commitError);
    if (refused > 0)
        Messages::report(u"Volontari non importati perché rifiutati dall'archivio: "_s + QString::number(refused) +
                         u" (il primo: "_s + firstRefusal + u")."_s);
}
