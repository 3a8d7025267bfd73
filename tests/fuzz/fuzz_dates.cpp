#include "common/datecheck.h"

#include <QDate>
#include <QString>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const bool calendar = isCalendarDate(text);
    const bool acceptable = isAcceptableDate(text);
    // Whatever is a calendar date from 1900 on is acceptable; whatever is acceptable and not
    // empty is a real day in GG/MM/AAAA.
    if (acceptable && !text.isEmpty() && (!calendar || !QDate::fromString(text, u"dd/MM/yyyy").isValid()))
        std::abort();
    if (calendar && text.mid(6, 4) >= u"1900" && !acceptable)
        std::abort();
    return 0;
}
