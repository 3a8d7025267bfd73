#pragma once

#include <QByteArray>
#include <QString>

namespace Jet {
// One value of a line of the Access reader: \N is no value; \\, \t, \n and \r stand for
// themselves escaped. Whatever the bytes, the result is a text (invalid UTF-8 replaced).
QString unescapeField(const QByteArray &field, bool *isNull);
} // namespace Jet
