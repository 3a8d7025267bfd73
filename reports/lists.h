#pragma once

#include "store/database.h"

#include <QString>
#include <QStringList>

// The lines of the list window for a list mode ("EO", "EA", "ED", "EV", "EM", "EC",
// "ER"), read from the archive; any other mode gives no lines. `riskTable` is the table
// number typed for "ER". When the store refuses a read, no lines and its reason in `refusal`.
QStringList buildList(const QString &mode, const QString &riskTable, Store::Result *refusal = nullptr);

// The characters of the widest heading or column line of a list mode; 0 for a list of free text.
int listLayoutWidth(const QString &mode);

// The heading of the list of activities with their volunteers.
QString detailListHeader();
