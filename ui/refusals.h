#pragma once

#include <QString>

// What a window says when it will not act on what it read or what was typed.

// Says so, once the pointer is back, with the store's reason, when the store refused a read
// since the source's last refresh; true then, and what was read must not be acted on.
bool readRefused(bool refused, const QString &reason);
// Any data source: its last read, as the store left it.
template <typename Source> bool readRefused(const Source *source)
{
    return readRefused(source->failed(), source->lastError().description);
}
QString readFailureMessage(const QString &reason);

// The check of `date` as every window runs it (controlladata): its own message first and then
// `refusal`. True when the date was refused.
bool dateRefused(const QString &date, const QString &refusal);
// The same for a date that must be given, such as a bound of a period: an empty one passes the
// date check but bounds nothing, so it is refused with `refusal` alone.
bool requiredDateRefused(const QString &date, const QString &refusal);
