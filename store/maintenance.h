#pragma once

#include "store/database.h"

#include <QString>

#include <vector>

class DataSource;

// The work on whole tables of the main window's start and of the archive commands.
namespace Maintenance {

// Offers every extra volunteer, in surname and name order, to the volunteers: `extra` walks
// them, `volunteers` gets each as a new row, copied field by field by position. A volunteer
// already there (same surname and name, any letter case) is refused by the key and skipped,
// as is any other row the store refuses, so the start is never stopped by it.
void copyExtraVolunteers(DataSource &extra, DataSource &volunteers);

struct Municipality {
    QString name;
    QString province;
};
// Every municipality in name order, walked through `source`.
std::vector<Municipality> municipalities(DataSource &source);

// Empties the detail rows (through `details`) and then the activities (through
// `activities`): both or neither.
Store::Result emptyActivities(DataSource &details, DataSource &activities);
// Empties the volunteers.
Store::Result emptyVolunteers(DataSource &volunteers);

// Writes every detail row, walked through `details`, into the new Excel 97 workbook
// `fileName`: the field names in table order first. A walk the store cut short writes no
// file, as does a failure of the writer; the result says which.
Store::Result exportDetails(DataSource &details, const QString &fileName);

} // namespace Maintenance
