#include "store/records.h"

#include "database/datasource.h"

#include <algorithm>

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

template <class T> QVariant stored(const std::optional<T> &value)
{
    return value ? QVariant(*value) : QVariant();
}

template <class T> std::optional<T> held(const QVariant &value)
{
    return value.isValid() ? std::optional<T>(value.value<T>()) : std::nullopt;
}

using Records::Field;
using Records::Kind;

template <class Record, QString Record::*member> Field<Record> text(const QString &name)
{
    return {name, Kind::Text, [](const Record &r) { return QVariant(r.*member); },
            [](Record &r, const QVariant &v) { r.*member = v.toString(); }};
}

template <class Record, std::optional<double> Record::*member> Field<Record> hours(const QString &name)
{
    return {name, Kind::Number, [](const Record &r) { return stored(r.*member); },
            [](Record &r, const QVariant &v) { r.*member = held<double>(v); }};
}

// The hours of one risk class, in the order of riskClasses.
template <class Record, size_t index> Field<Record> riskHour()
{
    return {riskClasses[index].hourField.toString(), Kind::Number,
            [](const Record &r) { return stored(r.risk.hours[index]); },
            [](Record &r, const QVariant &v) { r.risk.hours[index] = held<double>(v); }};
}

template <class Record> QList<Field<Record>> riskHourFields()
{
    static_assert(riskClasses.size() == 6);
    return {riskHour<Record, 0>(), riskHour<Record, 1>(), riskHour<Record, 2>(),
            riskHour<Record, 3>(), riskHour<Record, 4>(), riskHour<Record, 5>()};
}

template <class Record> Record readFields(const DataSource &source, const QList<Field<Record>> &fields)
{
    Record record;
    for (const Field<Record> &field : fields) {
        switch (field.kind) {
        case Kind::Text:
            field.set(record, source.text(field.name));
            break;
        case Kind::Number:
            field.set(record, stored(number(source, field.name)));
            break;
        case Kind::Count: {
            const QVariant count = source.value(field.name);
            field.set(record, count.isValid() && !count.isNull() ? QVariant(count.toLongLong()) : QVariant());
            break;
        }
        }
    }
    return record;
}

template <class Record> AsRead pick(const Record &record, const QList<Field<Record>> &all, const QStringList &fields)
{
    AsRead read{fields, {}};
    for (const QString &name : fields) {
        const auto field =
            std::find_if(all.cbegin(), all.cend(), [&](const Field<Record> &f) { return f.name == name; });
        read.values << (field == all.cend() ? QVariant() : field->get(record));
    }
    return read;
}

template <class Record>
void writeFields(DataSource &source, const Record &record, const QList<Field<Record>> &fields, Records::NoValue noValue,
                 const QStringList &untouched)
{
    for (const Field<Record> &field : fields) {
        if (untouched.contains(field.name))
            continue;
        const QVariant value = field.get(record);
        if (field.kind == Kind::Text || value.isValid() || noValue == Records::NoValue::Null)
            source.setValue(field.name, value);
        else
            source.setValue(field.name, field.kind == Kind::Count ? QVariant(qint64(0)) : QVariant(0.0));
    }
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
const QList<Field<Activity>> &activityFields()
{
    using A = Activity;
    static const QList<Field<A>> fields = [] {
        QList<Field<A>> f{text<A, &A::start>(u"DATAINATT"_s),      text<A, &A::end>(u"DATAFIATT"_s),
                          text<A, &A::description>(u"DESCRATT"_s), text<A, &A::place>(u"LOCATT"_s),
                          text<A, &A::province>(u"PROVATT"_s),     hours<A, &A::totalHours>(u"ORETOT"_s),
                          hours<A, &A::manHours>(u"OREUOMO"_s)};
        f << riskHourFields<A>();
        f << QList<Field<A>>{text<A, &A::note1>(u"NOTE1"_s), text<A, &A::note2>(u"NOTE2"_s),
                             text<A, &A::note3>(u"NOTE3"_s), text<A, &A::sortKey>(u"NOTE4"_s)};
        return f;
    }();
    return fields;
}

const QList<Field<DetailRow>> &detailFields()
{
    using D = DetailRow;
    static const QList<Field<D>> fields = [] {
        QList<Field<D>> f{text<D, &D::start>(u"DATAINATT"_s),
                          text<D, &D::end>(u"DATAFIATT"_s),
                          text<D, &D::description>(u"DESCRATT"_s),
                          text<D, &D::place>(u"LOCATT"_s),
                          text<D, &D::province>(u"PROVATT"_s),
                          text<D, &D::surname>(u"COGN"_s),
                          text<D, &D::name>(u"NOME"_s),
                          text<D, &D::taxCode>(u"CFISC"_s)};
        f << riskHourFields<D>();
        f << QList<Field<D>>{hours<D, &D::manHours>(u"OREUOMO"_s), text<D, &D::note1>(u"NOTE1"_s),
                             text<D, &D::note2>(u"NOTE2"_s),       text<D, &D::note3>(u"NOTE3"_s),
                             text<D, &D::note4>(u"NOTE4"_s),       text<D, &D::note5>(u"NOTE5"_s)};
        return f;
    }();
    return fields;
}

const QList<Field<Volunteer>> &volunteerFields()
{
    using V = Volunteer;
    static const QList<Field<V>> fields{
        text<V, &V::organisationCode>(u"CODASS"_s),
        text<V, &V::code>(u"CODVOL"_s),
        text<V, &V::surname>(u"COGN"_s),
        text<V, &V::name>(u"NOME"_s),
        text<V, &V::address>(u"INDIR"_s),
        text<V, &V::postCode>(u"CAP"_s),
        text<V, &V::city>(u"CITTA"_s),
        text<V, &V::province>(u"PROV"_s),
        text<V, &V::birthDate>(u"DATANA"_s),
        text<V, &V::birthPlace>(u"LUOGONA"_s),
        text<V, &V::birthProvince>(u"PROVNA"_s),
        text<V, &V::sex>(u"SESSO"_s),
        text<V, &V::taxCode>(u"CODFISC"_s),
        text<V, &V::phone>(u"TEL"_s),
        text<V, &V::fax>(u"FAX"_s),
        text<V, &V::mail>(u"MAIL"_s),
        text<V, &V::specialisation>(u"SPEC"_s),
        text<V, &V::note>(u"NOTE"_s),
        text<V, &V::note2>(u"NOTE2"_s),
        text<V, &V::note3>(u"NOTE3"_s),
    };
    return fields;
}

const QList<Field<Organisation>> &organisationFields()
{
    using O = Organisation;
    static const QList<Field<O>> fields{
        text<O, &O::code>(u"CODASS"_s),
        text<O, &O::name>(u"DENOM"_s),
        text<O, &O::address>(u"INDIR"_s),
        text<O, &O::postCode>(u"CAP"_s),
        text<O, &O::city>(u"CITTA"_s),
        text<O, &O::province>(u"PROV"_s),
        text<O, &O::phone>(u"TEL"_s),
        text<O, &O::fax>(u"FAX"_s),
        text<O, &O::mail>(u"MAIL"_s),
        text<O, &O::taxCode>(u"CFISC"_s),
        text<O, &O::specialisation>(u"SPEC"_s),
        text<O, &O::date1>(u"DATA1"_s),
        text<O, &O::dateU>(u"DATAU"_s),
        {u"NUMVOL"_s, Kind::Count, [](const O &o) { return stored(o.volunteers); },
         [](O &o, const QVariant &v) { o.volunteers = held<qint64>(v); }},
        text<O, &O::head>(u"RESP"_s),
        text<O, &O::headPhone>(u"TELRESP"_s),
        text<O, &O::note3>(u"NOTE3"_s),
    };
    return fields;
}

const QList<Field<Visit>> &visitFields()
{
    using V = Visit;
    static const QList<Field<V>> fields{
        text<V, &V::surname>(u"COGN"_s), text<V, &V::name>(u"NOME"_s),     text<V, &V::date>(u"DATAVISITA"_s),
        text<V, &V::type>(u"TIPO"_s),    text<V, &V::outcome>(u"ESITO"_s), text<V, &V::due>(u"SCADENZA"_s),
        text<V, &V::note>(u"NOTE"_s),
    };
    return fields;
}

const QList<Field<Threshold>> &thresholdFields()
{
    using T = Threshold;
    static const QList<Field<T>> fields{
        text<T, &T::riskClass>(u"CLASSE"_s),
        hours<T, &T::yearly>(u"OREANNO"_s),
        hours<T, &T::weekly>(u"ORESETTIMANA"_s),
    };
    return fields;
}

RiskHours riskHours(const DataSource &source)
{
    RiskHours risk;
    for (size_t i = 0; i < riskClasses.size(); ++i)
        risk.hours[i] = number(source, riskClasses[i].hourField.toString());
    return risk;
}

Activity activity(const DataSource &source)
{
    return readFields(source, activityFields());
}

DetailRow detail(const DataSource &source)
{
    return readFields(source, detailFields());
}

Volunteer volunteer(const DataSource &source)
{
    return readFields(source, volunteerFields());
}

Organisation organisation(const DataSource &source)
{
    return readFields(source, organisationFields());
}

Visit visit(const DataSource &source)
{
    return readFields(source, visitFields());
}

Threshold threshold(const DataSource &source)
{
    return readFields(source, thresholdFields());
}

AsRead asRead(const Activity &activity, const QStringList &fields)
{
    return pick(activity, activityFields(), fields);
}

AsRead asRead(const Volunteer &volunteer, const QStringList &fields)
{
    return pick(volunteer, volunteerFields(), fields);
}

AsRead asRead(const Organisation &organisation, const QStringList &fields)
{
    return pick(organisation, organisationFields(), fields);
}

void write(DataSource &source, const Visit &visit, NoValue noValue, const QStringList &untouched)
{
    writeFields(source, visit, visitFields(), noValue, untouched);
}

void write(DataSource &source, const Threshold &threshold, NoValue noValue, const QStringList &untouched)
{
    writeFields(source, threshold, thresholdFields(), noValue, untouched);
}

void write(DataSource &source, const Activity &activity, NoValue noValue, const QStringList &untouched)
{
    writeFields(source, activity, activityFields(), noValue, untouched);
}

void write(DataSource &source, const DetailRow &detail, NoValue noValue, const QStringList &untouched)
{
    writeFields(source, detail, detailFields(), noValue, untouched);
}

void write(DataSource &source, const Volunteer &volunteer, NoValue noValue, const QStringList &untouched)
{
    writeFields(source, volunteer, volunteerFields(), noValue, untouched);
}

void write(DataSource &source, const Organisation &organisation, NoValue noValue, const QStringList &untouched)
{
    writeFields(source, organisation, organisationFields(), noValue, untouched);
}
} // namespace Records
