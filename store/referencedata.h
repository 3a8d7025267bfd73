#pragma once

#include "store/database.h"

#include <optional>

// Reference data compiled into the program, written out on the first start.
namespace Store {

// Registers the data compiled into the program (a static library drops it otherwise).
void initResources();

// Every Italian municipality and foreign state with its province and cadastral code.
Result fillMunicipalities(QSqlDatabase &db);

// Writes the default list of specialisations when the file is missing; an existing file
// is never touched. Returns the message to show when the file cannot be written.
std::optional<QString> writeDefaultSpecialisations(const QString &fileName);

} // namespace Store
