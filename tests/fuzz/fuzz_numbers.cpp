#include "common/textformat.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int width = data[0] % 40;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    for (const QLocale &locale : {QLocale(QLocale::Italian, QLocale::Italy), QLocale::c()}) {
        const auto number = TextFormat::readNumber(text, locale);
        if (number && !std::isfinite(*number))
            std::abort();
        const double value = number.value_or(text.size());
        for (const auto pattern :
             {TextFormat::Pattern::LeadingZeros, TextFormat::Pattern::NoZeroInteger, TextFormat::Pattern::OneDigit}) {
            const QString formatted = TextFormat::formatNumber(value, pattern, locale);
            // What is formatted reads back as the same number to the cent.
            const auto again = TextFormat::readNumber(formatted, locale);
            if (!again ||
                std::fabs(*again - std::fabs(value) * (value < 0 ? -1 : 1)) > 0.006 * std::max(1.0, std::fabs(value)))
                std::abort();
            if (TextFormat::numberField(formatted, width, locale).size() < width)
                std::abort();
        }
    }
    if (width > 0 && TextFormat::fixedWidth(text, width).size() != width)
        std::abort();
    TextFormat::yearFirst(text);
    return 0;
}
