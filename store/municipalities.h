#pragma once

#include <QStringList>

#include <optional>

class DataSource;

// The municipalities and foreign states with their cadastral codes, read through the
// municipality source the caller passes (the main window's).
namespace Municipalities {
// One entry a place of birth is chosen from: the name in 35 characters, two blanks, the province.
QString entry(const QString &name, const QString &province);
// Every entry, by name; the caller checks the source for a refused read.
QStringList entries(DataSource &municipalities);
// The cadastral code of a place, in that province when one is given; none when the place
// is unknown or the read was refused.
std::optional<QString> cadastralCode(DataSource &municipalities, const QString &name, const QString &province);
} // namespace Municipalities
