#pragma once

#include <QString>

// The commands that act on whole archives.

// Empties the activity archive (details first) after a Yes, keeping a copy of the register.
void azzeraattivita();
// Empties the volunteer archive after a Yes, keeping a copy of the register.
void azzeravolontari();
// Writes every activity detail row into a new Excel 97 workbook in the working folder.
void esportadatabase();

// A free name for the copy of the register kept before an archive is emptied.
QString backupFileName();
