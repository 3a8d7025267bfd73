#include "activities/controlladata.h"

#include "common/globals.h"
#include "common/messages.h"

#include <QString>

using namespace Qt::StringLiterals;

void controlladata()
{
    Globals &g = globals();
    g.esitodata = u"0"_s;
    if (isAcceptableDate(g.datacontrollo))
        return;
    Messages::report(u"Data errata. Deve essere nel formato GG/MM/AAAA."_s);
    g.esitodata = u"1"_s;
}

bool dateRefused(const QString &date, const QString &refusal)
{
    globals().datacontrollo = date;
    controlladata();
    if (globals().esitodata != u"1"_s)
        return false;
    Messages::report(refusal);
    return true;
}
