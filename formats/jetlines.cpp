#include "formats/jetlines.h"

namespace Jet {

QString unescapeField(const QByteArray &field, bool *isNull)
{
    *isNull = field == "\\N";
    if (*isNull)
        return {};
    QByteArray plain;
    plain.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 1 < field.size()) {
            const char next = field[++i];
            plain += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        } else {
            plain += c;
        }
    }
    return QString::fromUtf8(plain);
}

} // namespace Jet
