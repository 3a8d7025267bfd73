#include "common/volunteertext.h"

#include "common/textformat.h"

namespace VolunteerText {
QString of(const QString &surname, const QString &name)
{
    return surname + u' ' + name;
}

QString key(const QString &text)
{
    return text.toCaseFolded();
}

bool same(const QString &a, const QString &b)
{
    return key(a) == key(b);
}

QString textKey(const QString &surname, const QString &name)
{
    return key(TextFormat::withoutTrailingBlanks(of(surname, name)));
}

QString namesKey(const QString &surname, const QString &name)
{
    return key(surname) + QChar(0) + key(name);
}
} // namespace VolunteerText
