#pragma once

#include "common/riskclasses.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <array>
#include <optional>

class DataSource;

// The rows of the register as plain values, read from and written through the data sources.
// A text field with no value reads as empty text; an hour field with no value as no value.

// Hours in each risk class, in the order of riskClasses.
struct RiskHours {
    std::array<std::optional<double>, riskClasses.size()> hours{};

    double at(size_t index) const { return hours[index].value_or(0); }
    // No value counts as no hours.
    double total() const;
};

struct Activity {
    QString start; // DATAINATT, GG/MM/AAAA as typed
    QString end;   // DATAFIATT
    QString description;
    QString place;
    QString province;
    std::optional<double> totalHours; // ORETOT
    std::optional<double> manHours;   // OREUOMO: the sum of the risk hours of its detail rows
    RiskHours risk;
    QString note1;
    QString note2;
    QString note3;
    QString sortKey; // NOTE4: the start date year first, AAAA/MM/GG, so that text order is date order
};

// One volunteer's part in one activity.
struct DetailRow {
    QString start;
    QString end;
    QString description;
    QString place;
    QString province;
    QString surname; // the volunteer's text, surname, blank, first name (VolunteerText::of)
    QString name;    // empty in rows the program writes
    QString taxCode;
    RiskHours risk;
    std::optional<double> manHours; // OREUOMO
    QString note1;
    QString note2;
    QString note3;
    QString note4;
    QString note5;
};

struct Volunteer {
    QString organisationCode; // CODASS
    QString code;             // CODVOL
    QString surname;
    QString name;
    QString address;
    QString postCode;
    QString city;
    QString province;
    QString birthDate;
    QString birthPlace;
    QString birthProvince;
    QString sex;
    QString taxCode;
    QString phone;
    QString fax;
    QString mail;
    QString specialisation;
    QString note;
    QString note2;
    QString note3;
};

struct Organisation {
    QString code; // CODASS
    QString name; // DENOM, the key
    QString address;
    QString postCode;
    QString city;
    QString province;
    QString phone;
    QString fax;
    QString mail;
    QString taxCode;
    QString specialisation;
    QString date1;
    QString dateU;
    std::optional<qint64> volunteers; // NUMVOL
    QString head;                     // RESP
    QString headPhone;                // TELRESP
    QString note3;
};

// One health check of a volunteer (VISITE): basic check or surveillance visit.
struct Visit {
    QString surname; // the volunteer's, as VOLO holds it
    QString name;
    QString date;    // DATAVISITA, GG/MM/AAAA
    QString type;    // TIPO
    QString outcome; // ESITO, empty when not yet known
    QString due;     // SCADENZA, GG/MM/AAAA; empty when the interval of its type sets it
    QString note;
};

// The thresholds of one risk class ("6" ... "10"), or the intervals of the checks ("VISITE").
struct Threshold {
    QString riskClass;            // CLASSE
    std::optional<double> yearly; // OREANNO
    std::optional<double> weekly; // ORESETTIMANA
};

// What a window read of a row, in the fields it shows and writes back: a write over it goes ahead only
// while the row still holds these values (DataSource::holds), or it would undo another PC's change.
struct AsRead {
    QStringList fields;
    QVariantList values;
};

// Each record's fields in the order of their table, and how a record holds each.
namespace Records {
enum class Kind {
    Text,   // empty text when the row holds no value
    Number, // hours: no value stays no value
    Count,
};

template <class Record> struct Field {
    QString name;
    Kind kind;
    // The record's value: an invalid QVariant for a number or count it holds none of.
    QVariant (*get)(const Record &);
    // Sets the record's value from one read as `kind` says (invalid for none).
    void (*set)(Record &, const QVariant &);
};

const QList<Field<Activity>> &activityFields();
const QList<Field<DetailRow>> &detailFields();
const QList<Field<Volunteer>> &volunteerFields();
const QList<Field<Organisation>> &organisationFields();
const QList<Field<Visit>> &visitFields();
const QList<Field<Threshold>> &thresholdFields();

// The values of `fields` in a record as a window read it.
AsRead asRead(const Activity &activity, const QStringList &fields);
AsRead asRead(const Volunteer &volunteer, const QStringList &fields);
AsRead asRead(const Organisation &organisation, const QStringList &fields);

// What a write stores for a number or count the record holds no value for.
enum class NoValue { Null, Zero };

// The current row of a data source as a record; fields the source does not read stay empty.
Activity activity(const DataSource &source);
DetailRow detail(const DataSource &source);
Volunteer volunteer(const DataSource &source);
Organisation organisation(const DataSource &source);
Visit visit(const DataSource &source);
Threshold threshold(const DataSource &source);
// The risk hours of the current row of a source over the activities or the detail rows.
RiskHours riskHours(const DataSource &source);

// Sets the fields of the row being added or edited from a record: every field of its table
// but those `untouched` names, which keep what the row holds (a new row its default).
void write(DataSource &source, const Activity &activity, NoValue noValue, const QStringList &untouched = {});
void write(DataSource &source, const DetailRow &detail, NoValue noValue, const QStringList &untouched = {});
void write(DataSource &source, const Volunteer &volunteer, NoValue noValue, const QStringList &untouched = {});
void write(DataSource &source, const Organisation &organisation, NoValue noValue, const QStringList &untouched = {});
void write(DataSource &source, const Visit &visit, NoValue noValue, const QStringList &untouched = {});
void write(DataSource &source, const Threshold &threshold, NoValue noValue, const QStringList &untouched = {});
} // namespace Records
