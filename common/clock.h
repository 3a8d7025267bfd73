#pragma once

#include <QDate>
#include <QDateTime>

// Today's date and the current time, which a test can fix.
namespace Clock {
QDateTime now();
QDate today();
void setFixed(const QDateTime &moment);
void release();
} // namespace Clock
