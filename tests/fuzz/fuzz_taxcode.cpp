#include "volunteers/taxcode.h"

#include <QStringList>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList fields = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)).split(u'\n');
    const QString surname = fields.value(0);
    const QString name = fields.value(1);
    const QString sex = fields.value(2);
    const QString date = fields.value(3);
    const QString place = fields.value(4);
    for (const QString &letters : {TaxCode::lettersOf(surname), TaxCode::lettersOf(name)}) {
        for (const QChar c : letters) {
            if (c < u'A' || c > u'Z')
                std::abort();
        }
        if (TaxCode::surnamePart(letters).size() != 3 || TaxCode::firstNamePart(letters).size() != 3)
            std::abort();
    }
    if (TaxCode::problemWith(surname, name, sex, place, date))
        return 0;
    // Usable data with a four-character cadastral code make a sixteen-character code.
    const QString code = TaxCode::compute(surname, name, sex, date, QStringLiteral("H501"));
    if (code.size() != 16 || code.back() < u'A' || code.back() > u'Z' ||
        TaxCode::checkCharacter(code.left(15)) != code.back())
        std::abort();
    return 0;
}
