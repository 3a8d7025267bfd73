#include "common/volunteertext.h"

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
} // namespace VolunteerText
