#pragma once

#include <QStringList>

// Generates the working folders when missing, runs every case against its floor or peer,
// and writes the results table. `arguments` are those after "run".
namespace Runner {
int run(const QStringList &arguments);
}
