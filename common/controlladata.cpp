#include "common/controlladata.h"

#include "common/globals.h"

#include <QString>

using namespace Qt::StringLiterals;

bool controlladata(const QString &date)
{
    Globals &g = globals();
    g.datacontrollo = date;
    const bool acceptable = isAcceptableDate(date);
    g.esitodata = acceptable ? u"0"_s : u"1"_s;
    return acceptable;
}
