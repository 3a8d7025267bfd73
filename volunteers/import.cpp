#include "volunteers/import.h"

#include "database/datasource.h"
#include "store/database.h"
#include "store/volunteers.h"
#include "ui/hourglass.h"
#include "ui/mainwindowinterface.h"
#include "ui/messages.h"
#include "ui/windowaccess.h"

#include <QCoreApplication>
#include <QElapsedTimer>

using namespace Qt::StringLiterals;

namespace {
// Rows are committed in groups: each commit waits on the disk, which costs more than writing
// hundreds of rows. A group is never older than this, so little is left to redo after a crash;
// only the rows written count towards its size, since a volunteer already there writes nothing.
constexpr int rowsPerCommit = 5000;
constexpr int millisecondsPerCommit = 500;
} // namespace

void importavolontari()
{
    if (const auto problem = Store::openImportFile()) {
        Messages::report(*problem);
        return;
    }
    MainWindowInterface *main = Windows::mainWindow();
    DataSource *source = main->Data2;
    DataSource *target = main->Data6;
    Hourglass::set();
    int read = 0;
    QElapsedTimer sinceCommit;
    sinceCommit.start();
    QString commitError;
    QString readOnly;     // the store's words when every row would be refused
    bool unknown = false; // whether the last group's commit was stored is not known
    VolunteerImport copy(*target);
    const auto stopOn = [&](const Store::Result &result) {
        if (result.number == Store::readOnlyUser)
            readOnly = result.description;
        else
            commitError = result.description;
        unknown = result.number == Store::unknownOutcome;
        return false;
    };
    const auto commitGroup = [&]() {
        const Store::Result result = copy.commit();
        return result.ok() || stopOn(result);
    };
    const auto showCounts = [&]() {
        main->setCaption(u"Sentaro - Letti:"_s + QString::number(read) + u" record aggiunti: "_s +
                         QString::number(copy.added()));
    };
    // The names are read before anything is written; a refusal there writes nothing.
    Store::Result readError = copy.read(*source);
    if (!readError.ok())
        read = int(copy.count());
    // Nothing is added outside a group: a group that cannot begin stops the import.
    bool stopped = false;
    if (const Store::Result begun = readError.ok() ? copy.begin() : Store::Result{}; !begun.ok())
        stopped = !stopOn(begun);

    // A read the store refused leaves the group it fell in uncommitted: whether the rest of
    // that group was already there is not known.
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
            // The caption is shown only when events are let through, so it is set just before:
            // setting it for every row cost more than reading the row.
            showCounts();
            // Let the caption repaint, without taking the user's clicks in the middle of the import.
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
    }
    bool committed = commitError.isEmpty();
    if (!stopped && readError.ok())
        committed = commitGroup();
    else if (!stopped)
        copy.rollback();
    // The caption counts only what stayed.
    if (read > 0)
        showCounts();
    // The volunteer source is left on the last volunteer looked up.
    copy.showLastLookedUp();
    copy.endReading();
    Store::closeImportFile();
    Hourglass::reset();
    if (!readOnly.isEmpty()) {
        Messages::report(readOnly);
    } else if (!readError.ok()) {
        Messages::report(u"Importazione interrotta: "_s + readError.description +
                         u". Gli ultimi volontari letti non sono stati registrati."_s);
    } else if (!committed) {
        // Stopped before the end of the export: what was read and what stayed, and the reason.
        Messages::report(
            u"Importazione interrotta: letti %1, aggiunti %2; rilanciare l'importazione per completarla."_s.arg(read)
                .arg(copy.added()));
        Messages::report(unknown ? commitError
                                 : u"Gli ultimi volontari letti non sono stati registrati: "_s + commitError);
    } else {
        Messages::report(u"Importazione terminata"_s);
    }
    if (copy.refused() > 0)
        Messages::report(u"Volontari non importati perché rifiutati dall'archivio: "_s +
                         QString::number(copy.refused()) + u" (il primo: "_s + copy.firstRefusal() + u")."_s);
}
