#include "store/referencedata.h"

#include "store/schema.h"

#include <QFile>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

static void initDataResource()
{
    Q_INIT_RESOURCE(data);
}

namespace Store {
namespace {

// Civil-protection specialisations, in the delimited form the volunteer window reads:
// items end at a comma or a line end, and a quoted item may hold commas.
const char defaultSpecialisations[] =
    "ANTINCENDIO BOSCHIVO\r\n"
    "SOCCORSO SANITARIO\r\n"
    "LOGISTICA\r\n"
    "\"RADIO, TELECOMUNICAZIONI\"\r\n"
    "CUCINA DA CAMPO\r\n"
    "SEGRETERIA, AMMINISTRAZIONE\r\n"
    "RICERCA DISPERSI\r\n"
    "UNITA' CINOFILE\r\n"
    "SOCCORSO IN ACQUA\r\n"
    "SOCCORSO ALPINO E SPELEOLOGICO\r\n"
    "RISCHIO IDROGEOLOGICO\r\n"
    "MOTOPOMPE E IDROVORE\r\n"
    "MONTAGGIO TENDE E CAMPI\r\n"
    "AUTISTA MEZZI PESANTI\r\n"
    "OPERATORE MOTOSEGA\r\n"
    "ASSISTENZA ALLA POPOLAZIONE\r\n"
    "PSICOLOGIA DELL'EMERGENZA\r\n"
    "ELETTRICISTA\r\n"
    "INFORMATICA\r\n"
    "VIGILANZA E PRESIDIO DEL TERRITORIO\r\n";

Result insertCsv(QSqlQuery &insert, const QString &resource)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return failure(u"dati dei comuni mancanti nel programma"_s);
    file.readLine(); // heading
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty())
            continue;
        const QStringList fields = line.split(u';');
        if (fields.size() != 3)
            return failure(u"riga dei comuni non valida: "_s + line);
        for (const QString &field : fields)
            insert.addBindValue(field);
        if (!insert.exec())
            return classify(insert.lastError());
    }
    return {};
}

} // namespace

void initResources()
{
    initDataResource();
}

Result fillMunicipalities(QSqlDatabase &db)
{
    initResources();
    QSqlQuery insert(db);
    if (!insert.prepare(u"INSERT INTO "_s + Schema::comuni + u" (comune, prov, codice) VALUES (?, ?, ?)"_s))
        return classify(insert.lastError());
    Result result = insertCsv(insert, u":/data/comuni.csv"_s);
    if (result.ok())
        result = insertCsv(insert, u":/data/stati_esteri.csv"_s);
    return result;
}

std::optional<QString> writeDefaultSpecialisations(const QString &fileName)
{
    if (QFile::exists(fileName))
        return std::nullopt;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(defaultSpecialisations) < 0 || !file.commit())
        return u"Impossibile creare il file %1: %2"_s.arg(fileName, file.errorString());
    return std::nullopt;
}

} // namespace Store
