#include "store/workingfiles.h"

#include "store/database.h"
#include "store/referencedata.h"
#include "store/schema.h"
#include "store/server.h"

using namespace Qt::StringLiterals;

namespace Store {

std::optional<QString> openWorkingFiles(QStringList *notices, const Server::PasswordPrompt &askPassword,
                                        const Server::Question &ask)
{
    closeAll();
    QString settingsProblem;
    const std::optional<Server::Settings> server = Server::settings(&settingsProblem);
    if (!settingsProblem.isEmpty())
        return settingsProblem;
    if (server) {
        if (auto problem =
                Server::openRegister(connectionName(Schema::registerFile), *server, askPassword, ask, notices)) {
            closeAll();
            return problem;
        }
    } else if (auto problem = openRegister(notices)) {
        return problem;
    }
    if (auto problem = openMunicipalities(notices)) {
        closeAll();
        return problem;
    }
    if (auto problem = writeDefaultSpecialisations(Schema::specialisationsFile)) {
        closeAll();
        return problem;
    }
    return std::nullopt;
}

} // namespace Store
