#include "database/tables.h"

namespace Schema {
namespace {
Catalogue &given()
{
    static Catalogue catalogue;
    return catalogue;
}
} // namespace

void setCatalogue(const Catalogue &catalogue)
{
    given() = catalogue;
}

QStringList catalogueFields(const QString &table)
{
    return given().fieldNames ? given().fieldNames(table) : QStringList();
}

Kind catalogueKind(const QString &table, const QString &field)
{
    return given().kindOf ? given().kindOf(table, field) : Kind::Text;
}

} // namespace Schema
