#include "ui/refusals.h"

#include "common/controlladata.h"
#include "ui/hourglass.h"
#include "ui/messages.h"

using namespace Qt::StringLiterals;

bool readRefused(bool refused, const QString &reason)
{
    if (!refused)
        return false;
    Hourglass::reset();
    Messages::report(readFailureMessage(reason));
    return true;
}

QString readFailureMessage(const QString &reason)
{
    return u"Lettura dell'archivio non riuscita: "_s + reason;
}

bool dateRefused(const QString &date, const QString &refusal)
{
    if (controlladata(date))
        return false;
    Messages::report(u"Data errata. Deve essere nel formato GG/MM/AAAA."_s);
    Messages::report(refusal);
    return true;
}

bool requiredDateRefused(const QString &date, const QString &refusal)
{
    if (dateRefused(date, refusal))
        return true;
    if (date.isEmpty())
        Messages::report(refusal);
    return date.isEmpty();
}
