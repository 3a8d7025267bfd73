#pragma once

#include "store/database.h"

#include <QString>

#include <functional>
#include <optional>

// The commands that act on whole archives.

// Empties the activity archive (details first) after a Yes, keeping a copy of the register.
void azzeraattivita();
// Empties the volunteer archive after a Yes, keeping a copy of the register.
void azzeravolontari();
// Writes every activity detail row into a new Excel 97 workbook in the working folder.
void esportadatabase();

// Runs `change` with a free name for a copy of the register it keeps first; when no copy was kept,
// says so with `notDone` ("l'archivio non è stato …") and gives none.
std::optional<Store::Result> changedAfterCopy(const QString &notDone,
                                              const std::function<Store::Result(const QString &, bool *)> &change);

// A free name for the copy of the register kept before an archive is emptied.
QString backupFileName();
