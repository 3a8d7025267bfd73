#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Access (Jet 3 and 4) files of earlier programs, read by our own reader process
// (sentaro-jetreader) so that a damaged file can never take the program down.
namespace Jet {

// True when the file's header is that of an Access database.
bool isJetFile(const QString &path);

// Runs the reader on `path` with the reader's command first in `arguments` and hands over its
// lines (formats/jetlines.h reads their fields). A reader that crashes, says it failed, stops
// answering, or writes more than the file could hold, gives the reason instead.
std::optional<QString> runReader(const QString &path, const QStringList &arguments,
                                 const std::function<void(const QByteArray &)> &onLine);

// How long the reader may go without giving a row before it is stopped.
void setReaderTimeLimit(int milliseconds);
// Another reader program, for tests that need one that fails; empty for ours.
void setReaderProgram(const QString &path);

} // namespace Jet
