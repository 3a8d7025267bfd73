#include "store/grid.h"

#include "common/riskclasses.h"
#include "database/datasource.h"
#include "store/schema.h"

#include <QHash>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace GridSource {
QString activities()
{
    return u"select * from ATTIVITA order by NOTE4 DESC, DESCRATT"_s;
}

QString organisations()
{
    return u"select * from ASSO order by DENOM"_s;
}

QString volunteers()
{
    return u"select * from VOLO order by COGN, NOME"_s;
}

QString heading(const QString &table, const QString &field)
{
    static const QHash<QString, QHash<QString, QString>> headings = [] {
        QHash<QString, QString> activity = {{u"DATAINATT"_s, u"Data inizio"_s},
                                            {u"DATAFIATT"_s, u"Data fine"_s},
                                            {u"DESCRATT"_s, u"Descrizione"_s},
                                            {u"LOCATT"_s, u"Località"_s},
                                            {u"PROVATT"_s, u"Provincia"_s},
                                            {u"ORETOT"_s, u"Ore totali"_s},
                                            {u"OREUOMO"_s, u"Ore uomo"_s},
                                            {u"NOTE1"_s, u"Note 1"_s},
                                            {u"NOTE2"_s, u"Note 2"_s},
                                            {u"NOTE3"_s, u"Note 3"_s},
                                            {u"NOTE4"_s, u"Inizio (AAAA/MM/GG)"_s}};
        for (const RiskClass &riskClass : riskClasses)
            activity.insert(riskClass.hourField.toString(), u"Ore "_s + riskClass.label.toString());
        const QHash<QString, QString> volunteer = {{u"CODASS"_s, u"Codice organizzazione"_s},
                                                   {u"CODVOL"_s, u"Codice volontario"_s},
                                                   {u"COGN"_s, u"Cognome"_s},
                                                   {u"NOME"_s, u"Nome"_s},
                                                   {u"INDIR"_s, u"Indirizzo"_s},
                                                   {u"CAP"_s, u"CAP"_s},
                                                   {u"CITTA"_s, u"Città"_s},
                                                   {u"PROV"_s, u"Provincia"_s},
                                                   {u"DATANA"_s, u"Data di nascita"_s},
                                                   {u"LUOGONA"_s, u"Luogo di nascita"_s},
                                                   {u"PROVNA"_s, u"Provincia di nascita"_s},
                                                   {u"SESSO"_s, u"Sesso"_s},
                                                   {u"CODFISC"_s, u"Codice fiscale"_s},
                                                   {u"TEL"_s, u"Telefono"_s},
                                                   {u"FAX"_s, u"Fax"_s},
                                                   {u"MAIL"_s, u"E-mail"_s},
                                                   {u"SPEC"_s, u"Specializzazione"_s},
                                                   {u"NOTE"_s, u"Note"_s},
                                                   {u"NOTE2"_s, u"Note 2"_s},
                                                   {u"NOTE3"_s, u"Note 3"_s}};
        const QHash<QString, QString> organisation = {
            {u"CODASS"_s, u"Codice"_s},         {u"DENOM"_s, u"Denominazione"_s},
            {u"INDIR"_s, u"Indirizzo"_s},       {u"CAP"_s, u"CAP"_s},
            {u"CITTA"_s, u"Comune"_s},          {u"PROV"_s, u"Provincia"_s},
            {u"TEL"_s, u"Telefono"_s},          {u"FAX"_s, u"Fax"_s},
            {u"MAIL"_s, u"E-mail"_s},           {u"CFISC"_s, u"Codice fiscale"_s},
            {u"SPEC"_s, u"Specializzazione"_s}, {u"DATA1"_s, u"Prima data"_s},
            {u"DATAU"_s, u"Ultima data"_s},     {u"NUMVOL"_s, u"Numero volontari"_s},
            {u"RESP"_s, u"Responsabile"_s},     {u"TELRESP"_s, u"Tel. responsabile"_s},
            {u"NOTE3"_s, u"Note 3"_s}};
        return QHash<QString, QHash<QString, QString>>{
            {Schema::attivita, activity}, {Schema::volo, volunteer}, {Schema::asso, organisation}};
    }();
    return headings.value(table.toUpper()).value(field.toUpper(), field);
}

std::optional<qint64> rowIdentity(const DataSource &source, const QString &table, const QStringList &keyFields,
                                  const QVariantList &key)
{
    const QSqlDatabase db = source.database();
    QStringList matches;
    for (const QString &field : keyFields)
        matches << field + u" = ?"_s;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(u"SELECT "_s + DataSource::rowidOf(db) + u" FROM "_s + table + u" WHERE "_s +
                  matches.join(u" AND "_s));
    for (const QVariant &value : key)
        query.addBindValue(value);
    if (!query.exec() || !query.next())
        return std::nullopt;
    return query.value(0).toLongLong();
}
} // namespace GridSource
