#include "store/municipalities.h"

#include "common/textformat.h"
#include "database/datasource.h"

using namespace Qt::StringLiterals;

namespace Municipalities {
QString entry(const QString &name, const QString &province)
{
    return TextFormat::fixedWidth(name, 35) + u"  "_s + province;
}

QStringList entries(DataSource &municipalities)
{
    municipalities.setRecordSource(u"select * from comuni ORDER BY comune "_s);
    municipalities.refresh();
    QStringList found;
    for (; !municipalities.eof(); municipalities.moveNext())
        found << entry(municipalities.text(u"comune"_s), municipalities.text(u"prov"_s));
    return found;
}

std::optional<QString> cadastralCode(DataSource &municipalities, const QString &name, const QString &province)
{
    if (province.isEmpty())
        municipalities.setRecordSource(u"select * from comuni where comune = ?"_s, {name});
    else
        municipalities.setRecordSource(u"select * from comuni where comune = ? and prov = ?"_s, {name, province});
    municipalities.refresh();
    if (municipalities.eof())
        return std::nullopt;
    return municipalities.text(u"codice"_s);
}
} // namespace Municipalities
