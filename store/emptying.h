#pragma once

#include "store/database.h"

#include <QString>

class DataSource;

// The work on whole tables of the archive commands.
namespace Maintenance {

// Copies the register into `copy` (see Store::backupRegister), then empties the detail rows (through
// `details`) and the activities (through `activities`): both or neither, and only once the copy,
// which holds every row emptied, is kept; `copied` says whether it was.
Store::Result emptyActivities(DataSource &details, DataSource &activities, const QString &copy, bool *copied);
// The same for the volunteers and their visits; the thresholds stay.
Store::Result emptyVolunteers(DataSource &volunteers, const QString &copy, bool *copied);

// Writes every detail row, walked through `details`, into the new Excel 97 workbook
// `fileName`: the field names in table order first, then ORGANIZZAZIONE, the name of the row's
// volunteer's organisation. A walk the store cut short writes no
// file, as does a failure of the writer; the result says which.
Store::Result exportDetails(DataSource &details, const QString &fileName);

} // namespace Maintenance
