#pragma once

#include "database/serverconnection.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace Server {

// Opens the register on the server (through Server::connect) under the connection name given,
// creating its tables on an empty database (and, if the user agrees, copying the working folder's attivita.mdb
// there first). The password comes from libpq's own sources, else from `askPassword`; it
// is never written anywhere. Returns the message to show when the register cannot be used;
// nothing in the working folder is touched then. Notices for the user go to `notices`.
std::optional<QString> openRegister(const QString &connectionName, const Settings &settings,
                                    const PasswordPrompt &askPassword, const Question &ask, QStringList *notices);

} // namespace Server
