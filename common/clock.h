#pragma once

#include <QDate>
#include <QDateTime>

// Today's date and the current time, which a test can fix.
namespace Clock {
QDateTime now();
QDate today();
void setFixed(const QDateTime &moment);
void release();

// A name for a new file of the working folder stamped with the current time,
// `base-AAAAMMGG-hhmmss.extension`, followed by -2, -3... when a file already has it.
QString freeStampedName(const QString &base, const QString &extension);
} // namespace Clock
