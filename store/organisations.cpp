#include "store/organisations.h"

#include "database/datasource.h"

using namespace Qt::StringLiterals;

namespace Organisations {
namespace {
const QString named = u"select * from ASSO where DENOM = ? order by DENOM"_s;

std::optional<Organisation> current(const DataSource &organisations)
{
    if (organisations.eof())
        return std::nullopt;
    return Records::organisation(organisations);
}

// Every write is read back at once, so that the source shows what is stored.
Store::Result stored(DataSource &organisations, const Store::Result &result)
{
    organisations.refresh();
    return result;
}
} // namespace

const QString &inOrder()
{
    static const QString sql = u"select * from ASSO order by DENOM"_s;
    return sql;
}

QStringList names(DataSource &organisations)
{
    organisations.setRecordSource(inOrder());
    organisations.refresh();
    QStringList found;
    for (; !organisations.eof(); organisations.moveNext())
        found << organisations.text(u"DENOM"_s);
    return found;
}

std::optional<Organisation> first(DataSource &organisations)
{
    organisations.setRecordSource(inOrder());
    organisations.refresh();
    return current(organisations);
}

std::optional<Organisation> find(DataSource &organisations, const QString &name)
{
    organisations.setRecordSource(named, {name});
    organisations.refresh();
    return current(organisations);
}

Store::Result insert(DataSource &organisations, const Organisation &organisation)
{
    // Another window may have left the source on another table.
    organisations.setRecordSource(inOrder());
    organisations.addNew();
    Records::write(organisations, organisation, Records::NoValue::Null);
    return stored(organisations, organisations.update());
}

Store::Result rewrite(DataSource &organisations, const Organisation &organisation)
{
    organisations.edit();
    Records::write(organisations, organisation, Records::NoValue::Null);
    return stored(organisations, organisations.update());
}

Store::Result remove(DataSource &organisations)
{
    return stored(organisations, organisations.remove());
}
} // namespace Organisations
