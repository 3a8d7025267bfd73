#pragma once

#include <QByteArray>
#include <QString>

// Writes `bytes` whole, or not at all, into a new file of the working folder named from `base`, the
// date and time and `extension`; then says where ("`done` PATH") or why it could not.
void exportStamped(const QString &base, const QString &extension, const QByteArray &bytes, const QString &done);
