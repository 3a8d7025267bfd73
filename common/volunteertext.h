#pragma once

#include <QString>

// A volunteer as lists and drop-down lists show it and detail rows store it.
namespace VolunteerText {
// Surname, one blank, first name (ROSSI MARIO).
QString of(const QString &surname, const QString &name);
// What two volunteer texts are compared by, as the store's unique keys compare them:
// letter case folded, accented capitals too.
QString key(const QString &text);
bool same(const QString &a, const QString &b);
// The key of the text detail rows store for a volunteer (no blank after it when he has no name).
QString textKey(const QString &surname, const QString &name);
// The key of his surname and name apart, as VOLO and VISITE hold them.
QString namesKey(const QString &surname, const QString &name);
} // namespace VolunteerText
