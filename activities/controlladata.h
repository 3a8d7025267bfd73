#pragma once

#include "activities/datecheck.h"

// Checks globals().datacontrollo, shows what is wrong and leaves "0" (acceptable or
// empty) or "1" in globals().esitodata.
void controlladata();

