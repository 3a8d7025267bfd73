#include "database/tables.h"

namespace Schema {
namespace {
Catalogue &catalogue()
{
    static Catalogue given = nullptr;
    return given;
}
} // namespace

void setCatalogue(Catalogue find)
{
    catalogue() = find;
}

const Table *findTable(const QString &name)
{
    return catalogue() ? catalogue()(name) : nullptr;
}

Kind kindOf(const QString &table, const QString &field)
{
    if (const Table *found = findTable(table)) {
        for (const Field &candidate : found->fields) {
            if (candidate.name.compare(field, Qt::CaseInsensitive) == 0)
                return candidate.kind;
        }
    }
    return Kind::Text;
}
} // namespace Schema
