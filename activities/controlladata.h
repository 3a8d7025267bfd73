#pragma once

class QString;

// Checks globals().datacontrollo, shows what is wrong and leaves "0" (acceptable or
// empty) or "1" in globals().esitodata.
void controlladata();

// Two digits, a slash, two digits, a slash, four digits, naming a real day.
bool isCalendarDate(const QString &text);

// The check without its message: true when `text` is empty or a real GG/MM/AAAA date.
bool isAcceptableDate(const QString &text);
