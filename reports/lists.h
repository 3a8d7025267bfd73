#pragma once

#include <QString>
#include <QStringList>

// The lines of the list window for a list mode ("EO", "EA", "ED", "EV", "EM", "EC",
// "ER"), read from the archive; any other mode gives no lines. `riskTable` is the table
// number typed for "ER".
QStringList buildList(const QString &mode, const QString &riskTable);

// The heading of the list of activities with their volunteers.
QString detailListHeader();
