#pragma once

#include <QString>
#include <QStringList>

// Our side of each benchmark, run inside a child process so that its peak resident memory
// is its own. A child prints one line per fact on its standard output:
//   time <seconds>   one timed repetition (the warm-up is not printed)
//   rows <n>         what the case produced, to compare with the floor's output
//   note <text>      what the case worked on
//   rss <kilobytes>  the peak resident set of the process, last
//   error <text>     the case could not run
namespace Cases {

// What our side and the floors are both asked for.
inline const QString statisticsFrom = QStringLiteral("01/01/2014");
inline const QString statisticsTo = QStringLiteral("31/12/2023");
inline const QString riskTable = QStringLiteral("6");
// Twelve months of the health surveillance, the last the archive holds; the last day is also today.
inline const QString surveillanceFrom = QStringLiteral("01/01/2025");
inline const QString surveillanceTo = QStringLiteral("31/12/2025");

// The cases timed inside one process, in the order they run.
QStringList names();

// Starts the program in `folder`, runs `name` once as a warm-up and then `repetitions`
// times. `extra` names a file for the case's by-product (the register's drawing, for the
// floor to draw again). Returns the process exit code.
int runCase(const QString &name, const QString &folder, int repetitions, const QString &extra);

// Starts the program once in `folder`, whose sentaro.ini names an empty database on a server,
// answering Yes to copying the folder's attivita.mdb there. Returns the process exit code.
int copyToServer(const QString &folder);

// Starts the program in `folder` and exits as soon as the main window is shown and the
// program waits for the user, printing the peak resident set.
int runStartup(const QString &folder);

// A user's session: every case once in one process (the export in `exportFolder`),
// printing the peak resident set.
int runSession(const QString &folder, const QString &exportFolder);

// The peak resident set of this process, in kilobytes.
long peakResidentKilobytes();

} // namespace Cases
