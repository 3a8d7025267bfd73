#include "store/emptying.h"

#include "database/datasource.h"
#include "database/serverconnection.h"
#include "common/volunteertext.h"
#include "formats/xlswriter.h"
#include "store/organisations.h"
#include "store/schema.h"

using namespace Qt::StringLiterals;

namespace Maintenance {

Store::Result emptyActivities(DataSource &details, DataSource &activities, const QString &copy, bool *copied)
{
    *copied = false;
    // Another PC's press holds its activity and then writes detail rows: the tables taken before
    // the copy make it finish first, and be in the copy, or find no activity afterwards, so no row
    // is lost and none outlives its activity. The file has one writer at a time already.
    return Store::backupRegister(copy, u"LOCK TABLE attivita, attivdett IN EXCLUSIVE MODE"_s, [&]() {
        *copied = true;
        const Store::Result removed = details.execute(u"delete from attivdett"_s);
        return removed.ok() ? activities.execute(u"delete from attivita"_s) : removed;
    });
}

Store::Result emptyVolunteers(DataSource &volunteers, const QString &copy, bool *copied)
{
    *copied = false;
    // The volunteers first: a visit another PC is adding holds its volunteer's row, so the
    // deletion waits for it and the visits deleted next include it.
    return Store::backupRegister(copy, u"LOCK TABLE volo IN EXCLUSIVE MODE"_s, [&]() {
        *copied = true;
        const Store::Result removed = volunteers.execute(u"delete from volo"_s);
        return removed.ok() ? volunteers.execute(u"delete from "_s + Schema::visite) : removed;
    });
}

Store::Result exportDetails(DataSource &details, const QString &fileName)
{
    // A row names its volunteer by his text only: his organisation comes from the archive.
    const QHash<QString, QString> organisationOf = Organisations::ofVolunteers(details);
    if (details.failed())
        return details.lastError();

    Xls::WorkbookWriter writer(fileName);
    QStringList fields;
    for (const Schema::Field &field : Schema::findTable(Schema::attivdett)->fields)
        fields << field.name;
    writer.setHeading(fields + QStringList{u"ORGANIZZAZIONE"_s});
    details.setRecordSource(u"select * from ATTIVDETT"_s);
    details.refresh();
    bool written = true;
    for (; written && !details.eof(); details.moveNext()) {
        QVariantList row;
        row.reserve(fields.size() + 1);
        for (const QString &field : fields)
            row << details.value(field);
        row << organisationOf.value(VolunteerText::textKey(details.text(u"COGN"_s), details.text(u"NOME"_s)));
        written = writer.addRow(row);
    }
    if (details.failed())
        return details.lastError();
    if (!written || !writer.finish())
        return Store::failure(writer.errorString());
    return {};
}

} // namespace Maintenance
