#pragma once

#include "common/datecheck.h"

class QString;

// Checks `date` and gives its verdict: true when acceptable (empty, or a real GG/MM/AAAA day).
// The date and the verdict ("0" acceptable, "1" wrong) stay in globals().datacontrollo and
// globals().esitodata, where the windows read them.
bool controlladata(const QString &date);
