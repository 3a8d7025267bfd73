#include "app/maintenance.h"

#include "app/form1.h"
#include "app/windows.h"
#include "common/clock.h"
#include "database/datasource.h"
#include "store/database.h"
#include "store/emptying.h"
#include "ui/hourglass.h"
#include "ui/messages.h"

#include <QFile>

#include <functional>
#include <optional>

using namespace Qt::StringLiterals;

// Nothing is emptied or mended without a copy of the register as it was, holding every row changed:
// the change cannot be undone otherwise. None when no copy could be kept, said here.
std::optional<Store::Result> changedAfterCopy(const QString &notDone,
                                              const std::function<Store::Result(const QString &, bool *)> &change)
{
    // The copy waits for no read in progress.
    DataSource::releaseAll();
    const QString copy = backupFileName();
    bool copied = false;
    const Store::Result result = change(copy, &copied);
    if (!copied) {
        QString reason = result.description;
        if (!reason.isEmpty())
            reason[0] = reason[0].toUpper();
        Messages::report(u"Non è stato possibile salvare la copia di sicurezza "_s + copy + u": "_s + notDone +
                         u". "_s + reason);
        return std::nullopt;
    }
    return result;
}

QString backupFileName()
{
    return Clock::freeStampedName(u"attivita"_s, u"mdb"_s);
}

void azzeraattivita()
{
    Form1 *main = Windows::form1();
    std::optional<Store::Result> emptied;
    if (Messages::askYesNo(u"Azzero l'archivio attività?"_s, Messages::Default::No)) {
        emptied = changedAfterCopy(u"l'archivio non è stato azzerato"_s, [&](const QString &copy, bool *copied) {
            return Maintenance::emptyActivities(*main->Data4, *main->Data3, copy, copied);
        });
    }
    main->Data4->refresh();
    main->Data3->refresh();
    main->showActivities();
    Hourglass::reset();
    // After a No, or when no copy could be kept (already said), nothing more to say.
    if (!emptied)
        return;
    Messages::report(emptied->ok() ? u"Archivio Attività azzerato."_s
                                   : Store::refusal(u"Archivio Attività non azzerato: "_s, *emptied));
}

void azzeravolontari()
{
    Form1 *main = Windows::form1();
    std::optional<Store::Result> emptied;
    if (Messages::askYesNo(u"Azzero l'archivio Volontari e le loro visite mediche?"_s, Messages::Default::No)) {
        emptied = changedAfterCopy(u"l'archivio non è stato azzerato"_s, [&](const QString &copy, bool *copied) {
            return Maintenance::emptyVolunteers(*main->Data6, copy, copied);
        });
    }
    main->Data6->refresh();
    if (!emptied)
        return;
    Messages::report(emptied->ok() ? u"Archivio Volontari azzerato."_s
                                   : Store::refusal(u"Archivio Volontari non azzerato: "_s, *emptied));
}

void esportadatabase()
{
    const QDateTime now = Clock::now();
    const QString fileName = u"dbattivitaesp"_s + now.toString(u"yyyyMMdd"_s) + now.toString(u"hhmmss"_s) + u".xls"_s;
    // Two exports in the same second: the first file stays as it is.
    if (QFile::exists(fileName)) {
        Messages::report(u"Il file "_s + fileName + u" esiste già: esportazione non eseguita."_s);
        return;
    }
    Hourglass::set();
    const Store::Result exported = Maintenance::exportDetails(*Windows::form1()->Data4, fileName);
    Hourglass::reset();
    if (exported.ok())
        Messages::report(u"Data Base Dettagli esportato sul file "_s + fileName);
    else
        Messages::report(u"Esportazione non riuscita: "_s + exported.description);
}
