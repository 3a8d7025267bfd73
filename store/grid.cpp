#include "store/grid.h"

#include "common/riskclasses.h"
#include "database/datasource.h"
#include "database/sql.h"
#include "store/schema.h"

#include <QHash>
#include <QSqlQuery>
#include <QSqlRecord>

#include <limits>
#include <unordered_set>

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

std::optional<int> countRows(const DataSource &source, const QString &rowidSql, const QVariantList &values)
{
    // The order is left out of the count: ordering is what costs.
    const std::optional<QString> unordered = Sql::withoutOrder(rowidSql);
    if (!unordered)
        return std::nullopt;
    QSqlQuery query(source.database());
    query.setForwardOnly(true);
    const bool ok = query.prepare(u"SELECT count(*) FROM ("_s + *unordered + u") AS righe"_s);
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!ok || !query.exec() || !query.next())
        return std::nullopt;
    return query.value(0).toInt();
}

bool readRowids(const DataSource &source, const QString &rowidSql, const QVariantList &values, size_t count,
                std::vector<qint64> &rowids)
{
    QSqlQuery query(source.database());
    query.setForwardOnly(true);
    // A server sends the whole answer at once: the rows wanted are asked for, no more.
    const bool limited = count < std::numeric_limits<size_t>::max() && !Sql::hasLimit(rowidSql);
    bool ok = query.prepare(limited ? rowidSql + u" LIMIT "_s + QString::number(count + rowids.size()) : rowidSql);
    for (const QVariant &value : values)
        query.addBindValue(value);
    ok = ok && query.exec();
    // The rows known already keep their places, wherever an edit in the grid has moved
    // them since, so that no row shows twice and none is left out.
    const std::unordered_set<qint64> known(rowids.begin(), rowids.end());
    while (ok && rowids.size() < count && query.next()) {
        const qint64 id = query.value(0).toLongLong();
        if (!known.contains(id))
            rowids.push_back(id);
    }
    // No read stays open while the program waits for the user.
    query.finish();
    return ok;
}

bool readRows(const DataSource &source, const QString &table, const std::vector<qint64> &rowids, QStringList &fields,
              const std::function<void(qint64 rowid, QVariantList values)> &row)
{
    const QSqlDatabase db = source.database();
    QSqlQuery query(db);
    query.setForwardOnly(true);
    const int count = static_cast<int>(rowids.size());
    query.prepare(DataSource::rowsWithRowids(db, table, count));
    for (int i = 0; i < count; ++i)
        query.bindValue(i, DataSource::rowidValue(db, rowids[static_cast<size_t>(i)]));
    if (count == 0)
        query.bindValue(0, DataSource::rowidValue(db, 0));
    if (!query.exec())
        return false;
    const QSqlRecord record = query.record();
    if (fields.isEmpty()) {
        for (int i = 1; i < record.count(); ++i)
            fields << DataSource::declaredName(db, record.fieldName(i));
    }
    while (query.next()) {
        QVariantList values;
        values.reserve(fields.size());
        for (int i = 1; i < record.count(); ++i)
            values << query.value(i);
        row(query.value(0).toLongLong(), std::move(values));
    }
    // No read stays open while the program waits for the user.
    query.finish();
    return true;
}

void readAll(const DataSource &source, const QString &sql, bool hasRowid, const QVariantList &values,
             QStringList &fields, const std::function<void(qint64 rowid, QVariantList values)> &row)
{
    QSqlQuery query(source.database());
    query.setForwardOnly(true);
    const bool ok = query.prepare(sql);
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!ok || !query.exec())
        return;
    const QSqlRecord record = query.record();
    const int first = hasRowid ? 1 : 0;
    for (int i = first; i < record.count(); ++i)
        fields << DataSource::declaredName(source.database(), record.fieldName(i));
    while (query.next()) {
        QVariantList rowValues;
        rowValues.reserve(fields.size());
        for (int i = first; i < record.count(); ++i)
            rowValues << query.value(i);
        row(hasRowid ? query.value(0).toLongLong() : -1, std::move(rowValues));
    }
}
} // namespace GridSource
