#pragma once

#include <QByteArray>
#include <QStringList>

// Items of a delimited text file: an item ends at a comma or a line end, blanks before
// it are skipped, and an item between double quotes may hold commas. Empty items are
// left out. The file may be UTF-8 or, as older programs wrote it, Windows-1252.
QStringList readDelimitedItems(const QByteArray &content);
