#include "app/gridedit.h"

#include "common/controlladata.h"
#include "common/datecheck.h"
#include "common/globals.h"
#include "common/riskclasses.h"
#include "common/textformat.h"
#include "common/volunteertext.h"
#include "database/datasource.h"
#include "store/activities.h"
#include "store/details.h"
#include "store/grid.h"
#include "store/schema.h"
#include "store/volunteers.h"
#include "ui/mainwindowinterface.h"
#include "ui/messages.h"
#include "ui/refusals.h"
#include "ui/windowaccess.h"
#include "volunteers/taxcode.h"

#include <QDate>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {
using Checked = std::optional<QVariant>;

Checked refused(const QString &message)
{
    Messages::report(message);
    return std::nullopt;
}

Checked required(const QString &text, const QString &missing)
{
    return text.isEmpty() ? refused(missing) : Checked(text);
}

// Dates are stored as typed, once the shared check passes them; it speaks first.
Checked date(const QString &typed, const QString &missing, const QString &wrong)
{
    if (typed.isEmpty() && !missing.isEmpty())
        return refused(missing);
    return dateRefused(typed, wrong) ? Checked(std::nullopt) : Checked(typed);
}

Checked hours(const QString &typed, const QString &what)
{
    const auto read = typedHours(typed, true);
    return read ? Checked(*read) : refused(wrongHoursMessage(what));
}

// The fields no window checks: numbers must be numbers, text goes as typed.
Checked unchecked(const QString &table, const QString &field, const QString &typed)
{
    if (Schema::kindOf(table, field) == Schema::Kind::Text)
        return typed;
    if (typed.trimmed().isEmpty())
        return QVariant();
    const auto number = TextFormat::readNumber(typed);
    if (!number)
        return refused(
            u"Il campo %1 accetta solo numeri: resta il valore registrato."_s.arg(GridSource::heading(table, field)));
    // A server's field of whole numbers holds no fraction: the file's must not either.
    if (Schema::kindOf(table, field) == Schema::Kind::Integer && *number != std::trunc(*number))
        return refused(u"Il campo %1 accetta solo numeri interi: resta il valore registrato."_s.arg(
            GridSource::heading(table, field)));
    return *number;
}

// Reports and the details window count an activity's days from its start to its end; false
// after saying so when the end comes first.
bool inOrder(const QString &start, const QString &end)
{
    const QDate first = calendarDate(start);
    const QDate last = calendarDate(end);
    return !(first.isValid() && last.isValid() && last < first) ||
           refused(u"La data di fine è precedente alla data di inizio."_s);
}

Checked activityField(const QString &field, const QString &typed, const GridEdit::Row &row)
{
    const QString upper = typed.toUpper();
    if (field == u"DATAINATT"_s) {
        const Checked start = date(typed, u"Manca la data di inizio attività"_s, u"Data inizio errata."_s);
        return start && inOrder(typed, row.text(u"DATAFIATT"_s)) ? start : std::nullopt;
    }
    if (field == u"DATAFIATT"_s) {
        const Checked end = date(typed, u"Manca la data di fine attività"_s, u"Data fine errata."_s);
        return end && inOrder(row.text(u"DATAINATT"_s), typed) ? end : std::nullopt;
    }
    if (field == u"DESCRATT"_s)
        return required(upper, u"Manca descrizione o nome dell'attività"_s);
    if (field == u"LOCATT"_s)
        return required(upper, u"Manca Località principale dove si è svolta l'attività"_s);
    if (field == u"PROVATT"_s)
        return required(upper, u"Manca la sigla della provincia principale dove si è svolta l'attività"_s);
    if (field == u"ORETOT"_s)
        return hours(typed, u"Numero ore totali"_s);
    if (field == u"OREUOMO"_s)
        return hours(typed, u"Numero ore uomo"_s);
    // The registry's note boxes take a hundred characters.
    if (field == u"NOTE1"_s || field == u"NOTE2"_s)
        return upper.left(100);
    return unchecked(Schema::attivita, field, typed);
}

// A tax code another volunteer holds is stored only once the user confirms it.
Checked taxCode(const QString &code, const GridEdit::Row &row)
{
    if (const auto problem = TaxCode::problemWithCode(code))
        return refused(*problem);
    DataSource *volunteers = Windows::mainWindow()->Data6;
    const auto holder = Volunteers::taxCodeHolder(*volunteers, code, row.text(u"COGN"_s), row.text(u"NOME"_s));
    if (readRefused(volunteers))
        return std::nullopt;
    if (holder && !Messages::askYesNo(u"Codice fiscale già presente per %1: registro comunque?"_s.arg(*holder),
                                      Messages::Default::No))
        return std::nullopt;
    return code;
}

Checked volunteerField(const QString &field, const QString &typed, const GridEdit::Row &row)
{
    const QString upper = typed.toUpper();
    if (field == u"COGN"_s) {
        if (upper.trimmed().isEmpty())
            return refused(u"Manca Cognome."_s);
        return upper.size() > 25 ? refused(u"Cognome volontario troppo lungo. Massimo 25 caratteri."_s) : upper;
    }
    if (field == u"NOME"_s)
        return upper.size() > 25 ? refused(u"Nome volontario troppo lungo. Massimo 25 caratteri."_s) : upper;
    if (field == u"PROV"_s)
        return typed == u"roma"_s || typed == u"ROMA"_s ? u"RM"_s : upper;
    if (field == u"DATANA"_s)
        return date(typed, QString(), u"Data di nascita errata."_s);
    if (field == u"LUOGONA"_s) {
        // A municipality entry is the name padded to 35 characters, two blanks and the province.
        QString place = upper.left(37);
        while (place.endsWith(u' '))
            place.chop(1);
        return place;
    }
    if (field == u"SESSO"_s)
        return upper.isEmpty() || upper == u"F"_s || upper == u"M"_s ? Checked(upper) : refused(u"Sesso errato."_s);
    if (field == u"CODFISC"_s)
        return taxCode(upper, row);
    static const QStringList capitals = {u"INDIR"_s,  u"CAP"_s,  u"CITTA"_s, u"SPEC"_s,
                                         u"PROVNA"_s, u"NOTE"_s, u"NOTE2"_s, u"NOTE3"_s};
    return capitals.contains(field) ? Checked(upper) : unchecked(Schema::volo, field, typed);
}

Checked organisationField(const QString &field, const QString &typed)
{
    const QString upper = typed.toUpper();
    if (field == u"DENOM"_s) {
        // The window keeps double quotes out of names, and passes an empty one over without a word.
        QString name = upper;
        name.replace(u'"', u'\'');
        if (name.isEmpty())
            return std::nullopt;
        if (name.size() > 40)
            return refused(u"Denominazione troppo lunga. Potrebbe creare problemi nella stampa degli attestati. "
                           u"Abbreviarla entro i 40 caratteri."_s);
        return name;
    }
    if (field == u"NUMVOL"_s) {
        // A count of people: whole, not below zero, and within what both archives' fields hold.
        if (typed.trimmed().isEmpty())
            return QVariant();
        const auto number = TextFormat::readNumber(typed);
        if (!number || *number != std::trunc(*number) || *number < 0 || *number > 99999)
            return refused(u"Numero volontari dell'organizzazione errato."_s);
        return qint64(*number);
    }
    static const QStringList capitals = {u"INDIR"_s, u"CITTA"_s, u"PROV"_s,   u"TEL"_s,
                                         u"FAX"_s,   u"RESP"_s,  u"TELRESP"_s};
    return capitals.contains(field) ? Checked(upper) : unchecked(Schema::asso, field, typed);
}
} // namespace

namespace GridEdit {

bool editable(const QString &table, const QString &field)
{
    if (table.toUpper() != Schema::attivita)
        return true;
    return field != u"NOTE4"_s && std::none_of(riskClasses.cbegin(), riskClasses.cend(),
                                               [&](const RiskClass &c) { return c.hourField == field; });
}

QString Row::text(const QString &field) const
{
    return values.value(fields.indexOf(field)).toString();
}

std::optional<QVariant> checked(const QString &table, const QString &field, const QString &typed, const Row &row)
{
    const QString name = table.toUpper();
    if (name == Schema::attivita)
        return activityField(field, typed, row);
    if (name == Schema::volo)
        return volunteerField(field, typed, row);
    if (name == Schema::asso)
        return organisationField(field, typed);
    return unchecked(table, field, typed);
}

bool movesOtherRows(const QString &table, const QString &field)
{
    static const QStringList copied = {u"DATAFIATT"_s, u"LOCATT"_s, u"PROVATT"_s};
    return keyFields(table).contains(field) || (table.toUpper() == Schema::attivita && copied.contains(field));
}

QStringList keyFields(const QString &table)
{
    const QString name = table.toUpper();
    if (name == Schema::attivita)
        return {u"DESCRATT"_s, u"DATAINATT"_s};
    if (name == Schema::volo)
        return {u"COGN"_s, u"NOME"_s};
    return {};
}

KeyChange changeKey(const QString &table, const QString &field, const QVariant &value, const Row &row)
{
    MainWindowInterface *main = Windows::mainWindow();
    QVariantList key;
    Store::Result result;
    if (table.toUpper() == Schema::volo) {
        const QString surname = row.text(u"COGN"_s);
        const QString name = row.text(u"NOME"_s);
        DataSource *volunteers = main->Data6;
        auto volunteer = Volunteers::find(*volunteers, surname, name);
        if (readRefused(volunteers))
            return {};
        if (!volunteer) {
            Messages::report(u"Volontario non trovato."_s);
            return {};
        }
        (field == u"COGN"_s ? volunteer->surname : volunteer->name) = value.toString();
        // The grid starts editing on any key: a rename is asked first, as the volunteer window asks it.
        if (!Messages::askYesNo(u"Rinomino %1 in %2?"_s.arg(VolunteerText::of(surname, name),
                                                            VolunteerText::of(volunteer->surname, volunteer->name)),
                                Messages::Default::No))
            return {};
        // His detail rows know him by his text: they take the new one in the same transaction.
        result = Volunteers::rename(*volunteers, surname, name, *volunteer);
        key = {volunteer->surname, volunteer->name};
    } else {
        const QString description = row.text(u"DESCRATT"_s);
        const QString start = row.text(u"DATAINATT"_s);
        if (field == u"DESCRATT"_s && !Messages::askYesNo(u"Vuoi modificare la denominazione? "_s))
            return {};
        const QString newStart = field == u"DATAINATT"_s ? value.toString() : start;
        const QString newEnd = field == u"DATAFIATT"_s ? value.toString() : row.text(u"DATAFIATT"_s);
        if (newStart != start || newEnd != row.text(u"DATAFIATT"_s)) {
            // Fewer days may hold fewer hours than a volunteer has in the activity, as the registry asks.
            DataSource *details = main->Data4;
            const double most = Details::mostHours(*details, description, start);
            if (readRefused(details))
                return {};
            const auto limit = hoursTheDaysHold(newStart, newEnd);
            if (limit && most > *limit &&
                !Messages::askYesNo(u"Ore superiori alla durata dell'attività: confermi?"_s, Messages::Default::No))
                return {};
        }
        // Written only while the activity holds what the grid shows of it.
        const AsRead asRead{row.fields, row.values};
        result = Activities::change(*main->Data3, *main->Data4, description, start, &asRead, [&](Activity &activity) {
            const QString text = value.toString();
            if (field == u"DATAINATT"_s)
                activity.sortKey = TextFormat::yearFirst(text);
            QString *changed = field == u"DESCRATT"_s    ? &activity.description
                               : field == u"DATAINATT"_s ? &activity.start
                               : field == u"DATAFIATT"_s ? &activity.end
                               : field == u"LOCATT"_s    ? &activity.place
                                                         : &activity.province;
            *changed = text;
        });
        key = {field == u"DESCRATT"_s ? value.toString() : description, newStart};
    }
    if (result.number == Store::changedElsewhere)
        return {std::nullopt, true};
    // The store's key refuses a second row of that key, whoever wrote it.
    if (!result.ok()) {
        Messages::report(result.number == Store::duplicateKey
                             ? duplicateMessage(table)
                             : Store::refusal(u"Modifica non registrata, nulla è stato cambiato: "_s, result));
        return {};
    }
    return {key, false};
}

QString duplicateMessage(const QString &table)
{
    const QString name = table.toUpper();
    if (name == Schema::attivita)
        return u"Attività già esistente."_s;
    if (name == Schema::volo)
        return u"Volontario già presente."_s;
    if (name == Schema::asso)
        return u"Organizzazione già presente"_s;
    return u"Esiste già un'altra riga con questo valore: modifica non registrata."_s;
}

} // namespace GridEdit
