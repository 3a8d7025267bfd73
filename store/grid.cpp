#include "store/grid.h"

using namespace Qt::StringLiterals;

namespace GridSource {
QString activities()
{
    return u"select * from ATTIVITA order by NOTE4 DESC, DESCRATT"_s;
}

QString organisations()
{
    return u"select * from ASSO order by DENOM"_s;
}

QString volunteers()
{
    return u"select * from VOLO order by COGN, NOME"_s;
}
} // namespace GridSource
