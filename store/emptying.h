#pragma once

#include "store/database.h"

#include <QString>

class DataSource;

// The work on whole tables of the archive commands.
namespace Maintenance {

// Empties the detail rows (through `details`) and then the activities (through
// `activities`): both or neither.
Store::Result emptyActivities(DataSource &details, DataSource &activities);
// Empties the volunteers and their visits, both or neither; the thresholds stay.
Store::Result emptyVolunteers(DataSource &volunteers);

// Writes every detail row, walked through `details`, into the new Excel 97 workbook
// `fileName`: the field names in table order first. A walk the store cut short writes no
// file, as does a failure of the writer; the result says which.
Store::Result exportDetails(DataSource &details, const QString &fileName);

} // namespace Maintenance
