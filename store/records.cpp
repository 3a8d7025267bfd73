#include "store/records.h"

#include "database/datasource.h"

using namespace Qt::StringLiterals;

namespace {
std::optional<double> number(const DataSource &source, const QString &field)
{
    const QVariant value = source.value(field);
    if (value.isNull() || !value.isValid())
        return std::nullopt;
    bool ok = false;
    const double result = value.toDouble(&ok);
    return ok ? std::optional<double>(result) : std::nullopt;
}

QVariant stored(const std::optional<double> &value)
{
    return value ? QVariant(*value) : QVariant();
}
} // namespace

double RiskHours::total() const
{
    double sum = 0;
    for (size_t i = 0; i < hours.size(); ++i)
        sum += at(i);
    return sum;
}

namespace Records {
RiskHours riskHours(const DataSource &source)
{
    RiskHours risk;
    for (size_t i = 0; i < riskClasses.size(); ++i)
        risk.hours[i] = number(source, riskClasses[i].hourField.toString());
    return risk;
}

Activity activity(const DataSource &source)
{
    Activity a;
    a.start = source.text(u"DATAINATT"_s);
    a.end = source.text(u"DATAFIATT"_s);
    a.description = source.text(u"DESCRATT"_s);
    a.place = source.text(u"LOCATT"_s);
    a.province = source.text(u"PROVATT"_s);
    a.totalHours = number(source, u"ORETOT"_s);
    a.manHours = number(source, u"OREUOMO"_s);
    a.risk = riskHours(source);
    a.note1 = source.text(u"NOTE1"_s);
    a.note2 = source.text(u"NOTE2"_s);
    a.note3 = source.text(u"NOTE3"_s);
    a.sortKey = source.text(u"NOTE4"_s);
    return a;
}

DetailRow detail(const DataSource &source)
{
    DetailRow d;
    d.start = source.text(u"DATAINATT"_s);
    d.end = source.text(u"DATAFIATT"_s);
    d.description = source.text(u"DESCRATT"_s);
    d.place = source.text(u"LOCATT"_s);
    d.province = source.text(u"PROVATT"_s);
    d.surname = source.text(u"COGN"_s);
    d.name = source.text(u"NOME"_s);
    d.taxCode = source.text(u"CFISC"_s);
    d.risk = riskHours(source);
    d.manHours = number(source, u"OREUOMO"_s);
    d.note1 = source.text(u"NOTE1"_s);
    d.note2 = source.text(u"NOTE2"_s);
    d.note3 = source.text(u"NOTE3"_s);
    d.note4 = source.text(u"NOTE4"_s);
    d.note5 = source.text(u"NOTE5"_s);
    return d;
}

Volunteer volunteer(const DataSource &source)
{
    Volunteer v;
    v.organisationCode = source.text(u"CODASS"_s);
    v.code = source.text(u"CODVOL"_s);
    v.surname = source.text(u"COGN"_s);
    v.name = source.text(u"NOME"_s);
    v.address = source.text(u"INDIR"_s);
    v.postCode = source.text(u"CAP"_s);
    v.city = source.text(u"CITTA"_s);
    v.province = source.text(u"PROV"_s);
    v.birthDate = source.text(u"DATANA"_s);
    v.birthPlace = source.text(u"LUOGONA"_s);
    v.birthProvince = source.text(u"PROVNA"_s);
    v.sex = source.text(u"SESSO"_s);
    v.taxCode = source.text(u"CODFISC"_s);
    v.phone = source.text(u"TEL"_s);
    v.fax = source.text(u"FAX"_s);
    v.mail = source.text(u"MAIL"_s);
    v.specialisation = source.text(u"SPEC"_s);
    v.note = source.text(u"NOTE"_s);
    v.note2 = source.text(u"NOTE2"_s);
    v.note3 = source.text(u"NOTE3"_s);
    return v;
}

Organisation organisation(const DataSource &source)
{
    Organisation o;
    o.code = source.text(u"CODASS"_s);
    o.name = source.text(u"DENOM"_s);
    o.address = source.text(u"INDIR"_s);
    o.postCode = source.text(u"CAP"_s);
    o.city = source.text(u"CITTA"_s);
    o.province = source.text(u"PROV"_s);
    o.phone = source.text(u"TEL"_s);
    o.fax = source.text(u"FAX"_s);
    o.mail = source.text(u"MAIL"_s);
    o.taxCode = source.text(u"CFISC"_s);
    o.specialisation = source.text(u"SPEC"_s);
    o.date1 = source.text(u"DATA1"_s);
    o.dateU = source.text(u"DATAU"_s);
    const QVariant count = source.value(u"NUMVOL"_s);
    if (count.isValid() && !count.isNull())
        o.volunteers = count.toLongLong();
    o.head = source.text(u"RESP"_s);
    o.headPhone = source.text(u"TELRESP"_s);
    o.note3 = source.text(u"NOTE3"_s);
    return o;
}

void write(DataSource &source, const Activity &a)
{
    source.setValue(u"DATAINATT"_s, a.start);
    source.setValue(u"DATAFIATT"_s, a.end);
    source.setValue(u"DESCRATT"_s, a.description);
    source.setValue(u"LOCATT"_s, a.place);
    source.setValue(u"PROVATT"_s, a.province);
    source.setValue(u"ORETOT"_s, stored(a.totalHours));
    source.setValue(u"OREUOMO"_s, stored(a.manHours));
    for (size_t i = 0; i < riskClasses.size(); ++i)
        source.setValue(riskClasses[i].hourField.toString(), stored(a.risk.hours[i]));
    source.setValue(u"NOTE1"_s, a.note1);
    source.setValue(u"NOTE2"_s, a.note2);
    source.setValue(u"NOTE3"_s, a.note3);
    source.setValue(u"NOTE4"_s, a.sortKey);
}

void write(DataSource &source, const DetailRow &d)
{
    source.setValue(u"DATAINATT"_s, d.start);
    source.setValue(u"DATAFIATT"_s, d.end);
    source.setValue(u"DESCRATT"_s, d.description);
    source.setValue(u"LOCATT"_s, d.place);
    source.setValue(u"PROVATT"_s, d.province);
    source.setValue(u"COGN"_s, d.surname);
    source.setValue(u"NOME"_s, d.name);
    source.setValue(u"CFISC"_s, d.taxCode);
    for (size_t i = 0; i < riskClasses.size(); ++i)
        source.setValue(riskClasses[i].hourField.toString(), stored(d.risk.hours[i]));
    source.setValue(u"OREUOMO"_s, stored(d.manHours));
    source.setValue(u"NOTE1"_s, d.note1);
    source.setValue(u"NOTE2"_s, d.note2);
    source.setValue(u"NOTE3"_s, d.note3);
    source.setValue(u"NOTE4"_s, d.note4);
    source.setValue(u"NOTE5"_s, d.note5);
}

void write(DataSource &source, const Volunteer &v)
{
    source.setValue(u"CODASS"_s, v.organisationCode);
    source.setValue(u"CODVOL"_s, v.code);
    source.setValue(u"COGN"_s, v.surname);
    source.setValue(u"NOME"_s, v.name);
    source.setValue(u"INDIR"_s, v.address);
    source.setValue(u"CAP"_s, v.postCode);
    source.setValue(u"CITTA"_s, v.city);
    source.setValue(u"PROV"_s, v.province);
    source.setValue(u"DATANA"_s, v.birthDate);
    source.setValue(u"LUOGONA"_s, v.birthPlace);
    source.setValue(u"PROVNA"_s, v.birthProvince);
    source.setValue(u"SESSO"_s, v.sex);
    source.setValue(u"CODFISC"_s, v.taxCode);
    source.setValue(u"TEL"_s, v.phone);
    source.setValue(u"FAX"_s, v.fax);
    source.setValue(u"MAIL"_s, v.mail);
    source.setValue(u"SPEC"_s, v.specialisation);
    source.setValue(u"NOTE"_s, v.note);
    source.setValue(u"NOTE2"_s, v.note2);
    source.setValue(u"NOTE3"_s, v.note3);
}

void write(DataSource &source, const Organisation &o)
{
    source.setValue(u"CODASS"_s, o.code);
    source.setValue(u"DENOM"_s, o.name);
    source.setValue(u"INDIR"_s, o.address);
    source.setValue(u"CAP"_s, o.postCode);
    source.setValue(u"CITTA"_s, o.city);
    source.setValue(u"PROV"_s, o.province);
    source.setValue(u"TEL"_s, o.phone);
    source.setValue(u"FAX"_s, o.fax);
    source.setValue(u"MAIL"_s, o.mail);
    source.setValue(u"CFISC"_s, o.taxCode);
    source.setValue(u"SPEC"_s, o.specialisation);
    source.setValue(u"DATA1"_s, o.date1);
    source.setValue(u"DATAU"_s, o.dateU);
    source.setValue(u"NUMVOL"_s, o.volunteers ? QVariant(*o.volunteers) : QVariant());
    source.setValue(u"RESP"_s, o.head);
    source.setValue(u"TELRESP"_s, o.headPhone);
    source.setValue(u"NOTE3"_s, o.note3);
}
} // namespace Records
