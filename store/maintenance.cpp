#include "store/maintenance.h"

#include "store/datasource.h"
#include "store/schema.h"
#include "store/xlswriter.h"

using namespace Qt::StringLiterals;

namespace Maintenance {

void copyExtraVolunteers(DataSource &extra, DataSource &volunteers)
{
    // The nineteen fields VOLOEXTRA shares with VOLO, in the same order.
    constexpr int sharedFields = 19;
    extra.setRecordSource(u"select * from VOLOEXTRA order by COGN, NOME"_s);
    extra.refresh();
    while (!extra.eof()) {
        volunteers.addNew();
        for (int position = 0; position < sharedFields; ++position)
            volunteers.setValue(position, extra.value(position));
        volunteers.update();
        volunteers.refresh();
        extra.moveNext();
    }
}

std::vector<Municipality> municipalities(DataSource &source)
{
    source.setRecordSource(u"select * from comuni ORDER BY comune "_s);
    source.refresh();
    std::vector<Municipality> result;
    for (; !source.eof(); source.moveNext())
        result.push_back({source.text(u"comune"_s), source.text(u"prov"_s)});
    return result;
}

Store::Result emptyActivities(DataSource &details, DataSource &activities)
{
    return Store::inTransaction(details.database(), [&]() {
        const Store::Result removed = details.execute(u"delete from attivdett"_s);
        return removed.ok() ? activities.execute(u"delete from attivita"_s) : removed;
    });
}

Store::Result emptyVolunteers(DataSource &volunteers)
{
    return volunteers.execute(u"delete from volo"_s);
}

Store::Result exportDetails(DataSource &details, const QString &fileName)
{
    Xls::WorkbookWriter writer(fileName);
    QStringList heading;
    for (const Schema::Field &field : Schema::findTable(Schema::attivdett)->fields)
        heading << field.name;
    writer.setHeading(heading);
    details.setRecordSource(u"select * from ATTIVDETT"_s);
    details.refresh();
    bool written = true;
    for (; written && !details.eof(); details.moveNext()) {
        QVariantList row;
        row.reserve(heading.size());
        for (const QString &field : heading)
            row << details.value(field);
        written = writer.addRow(row);
    }
    if (details.failed())
        return details.lastError();
    if (!written || !writer.finish())
        return Store::failure(writer.errorString());
    return {};
}

} // namespace Maintenance
