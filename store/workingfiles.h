#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace Store {

// Opens attivita.mdb and comuni.mdb in the current folder, creating a missing one, and
// writes a missing specializzazioni.dat. An archive of the earlier program (Access) is
// converted first, the original kept aside; what was converted goes into `notices`.
// Never changes a file it cannot use: it returns the message to show, naming the file
// and what is wrong with it.
// With sentaro.ini naming a server, the register is there instead (see store/server.h):
// `askPassword` and `ask` put its questions to the user.
std::optional<QString> openWorkingFiles(QStringList *notices = nullptr,
                                        const std::function<std::optional<QString>(const QString &)> &askPassword = {},
                                        const std::function<bool(const QString &)> &ask = {});

} // namespace Store
