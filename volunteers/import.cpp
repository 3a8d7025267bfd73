#include "volunteers/import.h"

#include "database/datasource.h"
#include "store/database.h"
#include "store/volunteers.h"
#include "ui/hourglass.h"
#include "ui/mainwindowinterface.h"
#include "ui/messages.h"
#include "ui/windowaccess.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

void importavolontari()
{
    if (const auto problem = Store::openImportFile()) {
        Messages::report(*problem);
        return;
    }
    MainWindowInterface *main = Windows::mainWindow();
    Hourglass::set();
    const auto showCounts = [main](int read, int added) {
        main->setCaption(u"Sentaro - Letti:"_s + QString::number(read) + u" record aggiunti: "_s +
                         QString::number(added));
    };
    const ImportOutcome outcome = Volunteers::importFrom(*main->Data2, *main->Data6, [&](int read, int added) {
        // The caption is shown only when events are let through, so it is set just before:
        // setting it for every row cost more than reading the row.
        showCounts(read, added);
        // Let the caption repaint, without taking the user's clicks in the middle of the import.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    // The caption counts only what stayed.
    if (outcome.read > 0)
        showCounts(outcome.read, outcome.added);
    Store::closeImportFile();
    Hourglass::reset();
    if (!outcome.readOnly.isEmpty()) {
        Messages::report(outcome.readOnly);
    } else if (!outcome.readError.ok()) {
        Messages::report(u"Importazione interrotta: "_s + outcome.readError.description +
                         u". Gli ultimi volontari letti non sono stati registrati."_s);
    } else if (!outcome.committed) {
        // Stopped before the end of the export: what was read and what stayed, and the reason.
        Messages::report(u"Importazione interrotta: letti %1, aggiunti %2; rilanciare l'importazione per completarla."_s
                             .arg(outcome.read)
                             .arg(outcome.added));
        Messages::report(outcome.unknown
                             ? outcome.commitError
                             : u"Gli ultimi volontari letti non sono stati registrati: "_s + outcome.commitError);
    } else {
        Messages::report(u"Importazione terminata"_s);
    }
    if (outcome.refused > 0)
        Messages::report(u"Volontari non importati perché rifiutati dall'archivio: "_s +
                         QString::number(outcome.refused) + u" (il primo: "_s + outcome.firstRefusal + u")."_s);
}
