#include "store/mainsources.h"

#include "database/datasource.h"
#include "store/schema.h"

#include <array>

using namespace Qt::StringLiterals;

namespace MainSources {
namespace {
struct Definition {
    QString name;
    const QString &fileName;
    QString recordSource;
};
} // namespace

DataSource *make(const QString &name, QObject *parent)
{
    static const std::array<Definition, 8> definitions{{
        {u"Data20"_s, Schema::municipalitiesFile, u"comuni"_s},
        {u"Data8"_s, Schema::registerFile, u"ASSO"_s},
        {u"Data7"_s, Schema::registerFile, u"Attivita"_s},
        {u"Data5"_s, Schema::registerFile, u"Voloextra"_s},
        {u"Data6"_s, Schema::registerFile, u"VOLO"_s},
        {u"Data4"_s, Schema::registerFile, u"ATTIVDETT"_s},
        {u"Data3"_s, Schema::registerFile, u"Attivita"_s},
        {u"Data2"_s, Schema::importFile, u"VOLO"_s},
    }};
    for (const Definition &definition : definitions) {
        if (definition.name == name)
            return new DataSource(definition.name, definition.fileName, definition.recordSource, parent);
    }
    return nullptr;
}
} // namespace MainSources
