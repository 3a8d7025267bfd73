#pragma once

class QString;

// Checks globals().datacontrollo, shows what is wrong and leaves "0" (acceptable or
// empty) or "1" in globals().esitodata.
void controlladata();

// The check without its message: true when `text` is empty or a real GG/MM/AAAA date.
bool isAcceptableDate(const QString &text);
