#include "volunteers/specialisations.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList items = readDelimitedItems(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    for (const QString &item : items) {
        // No item is empty or longer than the file.
        if (item.isEmpty() || size_t(item.size()) > size)
            std::abort();
    }
    return 0;
}
