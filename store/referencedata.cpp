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
    initResources();
    // The shipped list quotes every entry that holds a comma, so that it stays one entry.
    QFile shipped(u":/data/specializzazioni.dat"_s);
    QSaveFile file(fileName);
    if (!shipped.open(QIODevice::ReadOnly) || !file.open(QIODevice::WriteOnly) || file.write(shipped.readAll()) < 0 ||
        !file.commit())
        return u"Impossibile creare il file %1: %2"_s.arg(fileName, file.errorString());
    return std::nullopt;
}

} // namespace Store
