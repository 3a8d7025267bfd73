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

using namespace Qt::StringLiterals;

namespace {
// Rows are committed in groups: one commit a row would make a large import wait on the disk
// thousands of times. A group is never older than this, so little is left to redo after a crash.
constexpr int rowsPerCommit = 500;
constexpr int millisecondsPerCommit = 500;
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
    int refused = 0;
    QString firstRefusal;
    QElapsedTimer sinceCommit;
    sinceCommit.start();
    int uncommitted = 0;
    QString commitError;
    const auto commitGroup = [&]() {
        if (db.commit())
            return true;
        commitError = db.lastError().text();
        db.rollback();
        return false;
    };
    db.transaction();

    const QStringList fields = [] {
        QStringList names;
        for (const Schema::Field &field : Schema::findTable(Schema::volo)->fields)
            names << field.name;
        return names;
    }();
    // The look-ups and the insert are prepared once: preparing them again for each of
    // thousands of volunteers would cost more than running them.
    const QString withName = u"select * from volo where COGN = ? AND NOME = ? order by COGN,NOME"_s;
    const QString withoutName =
        u"select * from volo where COGN = ? AND (NOME IS NULL OR NOME = '') order by COGN,NOME"_s;
    PreparedStatement findWithName(db, u"select 1 from volo where COGN = ? AND NOME = ?"_s);
    PreparedStatement findWithoutName(db, u"select 1 from volo where COGN = ? AND (NOME IS NULL OR NOME = '')"_s);
    PreparedStatement insert(db, u"INSERT INTO "_s + Schema::volo + u" ("_s + fields.join(u", "_s) + u") VALUES ("_s +
                                     QStringList(fields.size(), u"?"_s).join(u", "_s) + u')');
    QVariantList row;
    QString lastLookup;
    QVariantList lastValues;
    DataSource::beforeWrite(target->fileName());
    source->setRecordSource(u"select * from volo order by COGN,NOME"_s);
    source->refresh();
    for (; !source->eof(); source->moveNext()) {
        ++read;
        const QVariant surname = source->value(u"COGN"_s);
        const QVariant name = source->value(u"NOME"_s);
        // No first name at all matches a volunteer whose first name is empty, and the reverse.
        const bool nameless = name.isNull() || name.toString().isEmpty();
        PreparedStatement &find = nameless ? findWithoutName : findWithName;
        lastLookup = nameless ? withoutName : withName;
        lastValues = nameless ? QVariantList{surname} : QVariantList{surname, name};
        bool present = false;
        find.run(lastValues, &present);
        if (!present) {
            row.clear();
            for (const QString &field : fields)
                row << source->value(field);
            const Store::Result result = insert.run(row);
            if (result.ok()) {
                ++added;
            } else {
                // A row the store refuses is left out; the others go on.
                if (refused++ == 0)
                    firstRefusal = surname.toString() + u' ' + name.toString() + u": "_s + result.description;
            }
        }
        main->setWindowTitle(u"Sentaro - Letti:"_s + QString::number(read) + u" record aggiunti: "_s +
                             QString::number(added));
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
    // The volunteer source is left on the last volunteer looked up.
    if (!lastLookup.isEmpty())
        target->setRecordSource(lastLookup, lastValues);
    const bool committed = commitError.isEmpty() && commitGroup();
    target->refresh();
    Store::closeImportFile();
    Hourglass::reset();
    Messages::report(u"Importazione terminata"_s);
    if (!committed)
        Messages::report(u"Gli ultimi volontari letti non sono stati registrati: "_s + commitError);
    if (refused > 0)
        Messages::report(u"Volontari non importati perché rifiutati dall'archivio: "_s + QString::number(refused) +
                         u" (il primo: "_s + firstRefusal + u")."_s);
}
