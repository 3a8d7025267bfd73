#pragma once

#include <optional>

class QDate;
class QString;

// Two digits, a slash, two digits, a slash, four digits, naming a real day.
bool isCalendarDate(const QString &text);
// The day such a text names; an invalid date for any other text.
QDate calendarDate(const QString &text);

// The date check without its message: true when `text` is empty or a real GG/MM/AAAA date.
bool isAcceptableDate(const QString &text);

// The hours one volunteer can work in an activity: 24 for each of its days, both ends counted;
// nothing when its dates do not say how long it lasted.
std::optional<double> hoursTheDaysHold(const QString &start, const QString &end);
