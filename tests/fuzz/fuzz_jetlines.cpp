#include "formats/jetlines.h"

#include <QList>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray line(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QByteArray &field : line.split('\t')) {
        bool isNull = false;
        const QString value = Jet::unescapeField(field, &isNull);
        if (isNull && !value.isEmpty())
            std::abort();
        // Unescaping never makes a value longer than what came.
        if (value.toUtf8().size() > field.size() * 3)
            std::abort();
    }
    return 0;
}
