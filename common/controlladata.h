#pragma once

#include "activities/datecheck.h"

// Checks globals().datacontrollo, shows what is wrong and leaves "0" (acceptable or
// empty) or "1" in globals().esitodata.
void controlladata();

// The check of `date` as every window runs it: through the globals, its own message first and
// then `refusal`. True when the date was refused.
bool dateRefused(const QString &date, const QString &refusal);

