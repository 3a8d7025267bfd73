#include "participation/participation.h"

#include "activities/activityregistry.h"
#include "app/form1.h"
#include "app/windows.h"
#include "common/controls.h"
#include "common/globals.h"
#include "common/hourglass.h"
#include "common/messages.h"
#include "common/textformat.h"
#include "participation/form3.h"
#include "store/database.h"
#include "store/datasource.h"

#include <QComboBox>
#include <QHash>
#include <QMultiHash>
#include <QSet>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSqlError>
#include <QSqlQuery>

#include <optional>

using namespace Qt::StringLiterals;
using TextFormat::Pattern;

namespace {
const QString hourFields[] = {u"ORET0"_s, u"ORET6"_s, u"ORET7"_s, u"ORET8"_s, u"ORET9"_s, u"ORET10"_s};

const QString activityDetails = u"select * from attivdett where descratt = ? and datainatt = ?"_s;

// The field of a risk class ("0", "6" ... "10"); empty for no class.
QString classField(const QString &riskClass)
{
    const auto number = TextFormat::readNumber(riskClass);
    if (!number)
        return {};
    for (const QString &field : hourFields) {
        if (field.mid(4).toDouble() == *number)
            return field;
    }
    return {};
}

// A stored hour that holds no value counts as no hours.
double hoursOf(const DataSource *source, const QString &field)
{
    return source->value(field).toDouble();
}

// A new detail row carries the volunteer's tax code, found by the text the archive list shows.
// Three fields of the archive are enough: reading all twenty of thousands of volunteers
// would cost more than storing the rows.
QHash<QString, QString> volunteerTaxCodes(const QSqlDatabase &db)
{
    QHash<QString, QString> codes;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.exec(u"select COGN, NOME, CODFISC from VOLO"_s);
    while (query.next()) {
        const QString text = query.value(0).toString() + u' ' + query.value(1).toString();
        if (!codes.contains(text))
            codes.insert(text, query.value(2).toString());
    }
    return codes;
}

QVariantList currentActivity(const Form3 *window)
{
    return {window->f3descr->currentText(), window->f3datain->currentText()};
}

// Points `activities` at the activity Form3's boxes name; false, having said why, when the
// store refused the read.
bool findCurrentActivity(DataSource *activities, const Form3 *window)
{
    activities->setRecordSource(u"select * from attivita where descratt = ? and datainatt = ?"_s,
                                currentActivity(window));
    activities->refresh();
    return !readRefused(activities);
}

// Volunteer texts compare as the store's unique keys do: letter case folded, accents too.
QString volunteerKey(const QString &text)
{
    return text.toCaseFolded();
}

// The volunteers of the current activity as its detail rows hold them, whatever the lists
// show; nothing when the store refused the read, having said so.
std::optional<QSet<QString>> presentVolunteers(DataSource *details, const Form3 *window)
{
    QSet<QString> present;
    details->setRecordSource(activityDetails, currentActivity(window));
    details->refresh();
    for (; !details->eof(); details->moveNext())
        present.insert(volunteerKey(details->text(u"COGN"_s)));
    if (readRefused(details))
        return std::nullopt;
    return present;
}

// The rows a button stores or deletes go in one commit: a commit each would wait on the disk
// once per volunteer. A row the store refuses is left out alone and named afterwards; a read
// it refuses takes the whole press back, which would otherwise rest on rows it never saw.
class PressWrites {
public:
    explicit PressWrites(const DataSource *source)
        : m_db(source->database())
        , m_grouped(m_db.transaction())
    {
    }

    void written(const QString &volunteer, const Store::Result &result)
    {
        if (result.ok())
            ++m_done;
        else
            m_failures << volunteer + u": "_s + result.description;
    }
    void stop(const Store::Result &readFailure) { m_readFailure = readFailure; }
    bool stopped() const { return !m_readFailure.ok(); }

    // Commits and reports the count after `countText` and the rows refused after
    // `failuresText`. False when the press was taken back, having said why: then there is
    // nothing to recompute or reload.
    bool finish(const QString &countText, const QString &failuresText)
    {
        if (stopped()) {
            if (m_grouped)
                m_db.rollback();
            Hourglass::reset();
            Messages::report(readFailureMessage(m_readFailure.description) +
                             (m_grouped ? u"\nNulla è stato cambiato."_s : QString()));
            // Without a transaction the rows stored so far stand, and the totals must follow.
            return !m_grouped;
        }
        if (m_grouped && !m_db.commit()) {
            m_failures = QStringList{m_db.lastError().text()};
            m_db.rollback();
            m_done = 0;
        }
        Messages::report(countText + QString::number(m_done));
        if (!m_failures.isEmpty())
            Messages::report(failuresText + m_failures.join(u'\n'));
        return true;
    }

private:
    QSqlDatabase m_db;
    bool m_grouped;
    int m_done = 0;
    QStringList m_failures;
    Store::Result m_readFailure;
};
} // namespace

std::array<PresentColumn, 7> presentColumns()
{
    // After the name's 30 characters, each column is two blanks and six characters wide.
    const QString captions[] = {u"R0"_s, u"R6"_s, u"R7"_s, u"R8"_s, u"R9"_s, u"R10"_s, u"TOT."_s};
    std::array<PresentColumn, 7> columns;
    for (int i = 0; i < 7; ++i)
        columns[size_t(i)] = {captions[i], 32 + 8 * i};
    return columns;
}

QString detailLine(const QString &surname, const QString &name, const std::array<double, 6> &hours,
                   const QLocale &locale)
{
    QString line = TextFormat::fixedWidth(surname + name, 30);
    double sum = 0;
    for (const double value : hours) {
        line += u"  "_s + TextFormat::formatNumber(value, Pattern::LeadingZeros, locale);
        sum += value;
    }
    return line + u"  "_s + TextFormat::formatNumber(sum, Pattern::LeadingZeros, locale);
}

void caricadettagli()
{
    Globals &g = globals();
    Form3 *window = Windows::form3();
    Form1 *main = Windows::form1();
    g.descrattivita = window->f3descr->currentText();
    window->List1->clear();
    DataSource *activities = main->Data3;
    activities->setRecordSource(
        u"select * from Attivita where descratt = ? and datainatt = ? order by datainatt, descratt"_s,
        {g.descrattivita, g.dataattivita});
    activities->refresh();
    QStringList lines;
    // The line shows the name cut and run together; removing it needs the row's own fields.
    QMultiHash<QString, QStringList> volunteers;
    for (; !activities->eof(); activities->moveNext()) {
        window->f3datain->setEditText(activities->text(u"DATAINATT"_s));
        window->showActivityFields(activities);
        DataSource *details = main->Data4;
        details->setRecordSource(
            u"select * from Attivdett Where datainatt = ? And descratt = ? order by cogn, nome"_s,
            {window->f3datain->currentText(), window->f3descr->currentText()});
        details->refresh();
        for (; !details->eof(); details->moveNext()) {
            std::array<double, 6> hours{};
            for (size_t i = 0; i < hours.size(); ++i)
                hours[i] = hoursOf(details, hourFields[i]);
            const QString surname = details->text(u"COGN"_s);
            const QString name = details->text(u"NOME"_s);
            lines << detailLine(surname, name, hours);
            volunteers.insert(lines.constLast(), {surname, name});
        }
        if (readRefused(details))
            return;
    }
    if (readRefused(activities))
        return;
    Controls::fillSorted(window->List1, lines);
    for (int i = 0; i < window->List1->count(); ++i) {
        QListWidgetItem *line = window->List1->item(i);
        line->setData(Qt::UserRole, volunteers.take(line->text()));
    }
}

void aggiungivolontari()
{
    Form3 *window = Windows::form3();
    Form1 *main = Windows::form1();
    if (window->f3descr->currentText().isEmpty()) {
        Messages::report(u"Prima scegliere l'attività."_s);
        return;
    }
    // Rows of an activity that does not exist would belong to nothing.
    if (!findCurrentActivity(main->Data3, window))
        return;
    if (main->Data3->eof()) {
        Messages::report(u"Prima scegliere l'attività."_s);
        return;
    }
    const QString typed = window->orestandard->text();
    if (typed.isEmpty()) {
        Messages::report(u"Inserire il numero di ore."_s);
        return;
    }
    const auto hours = typedHours(typed, false);
    if (!hours) {
        Messages::report(wrongHoursMessage(u"Numero di ore"_s));
        return;
    }
    const QString field = classField(globals().classerischio);
    if (field.isEmpty())
        return;
    DataSource *details = main->Data4;
    const auto present = presentVolunteers(details, window);
    if (!present)
        return;

    Hourglass::set();
    QHash<QString, QString> taxCodes;
    bool taxCodesRead = false;
    PressWrites writes(details);
    // The notes now shown go with every row stored, new or changed.
    const auto storeRow = [&](const QString &volunteer) {
        details->setValue(u"NOTE1"_s, window->f3note1->text());
        details->setValue(u"NOTE2"_s, window->f3note2->text());
        for (const QString &note : {u"NOTE3"_s, u"NOTE4"_s, u"NOTE5"_s})
            details->setValue(note, QString(u""_s));
        writes.written(volunteer, details->update());
    };
    for (int i = 1; i < window->List2->count() && !writes.stopped(); ++i) {
        QListWidgetItem *entry = window->List2->item(i);
        if (!entry->isSelected())
            continue;
        const QString text = entry->text();
        if (present->contains(volunteerKey(text))) {
            details->setRecordSource(activityDetails + u" and cogn = ?"_s, currentActivity(window) + QVariantList{text});
            details->refresh();
            for (; !details->eof(); details->moveNext()) {
                details->edit();
                details->setValue(field, *hours);
                double sum = 0;
                for (const QString &hourField : hourFields)
                    sum += details->value(hourField).toDouble();
                details->setValue(u"OREUOMO"_s, sum);
                storeRow(text);
            }
            if (details->failed())
                writes.stop(details->lastError());
            continue;
        }
        if (!taxCodesRead) {
            taxCodes = volunteerTaxCodes(details->database());
            taxCodesRead = true;
        }
        // Another window may have left Data4 on a listing that cannot take a row.
        details->setRecordSource(activityDetails, currentActivity(window));
        details->addNew();
        details->setValue(u"DATAINATT"_s, window->f3datain->currentText());
        details->setValue(u"DATAFIATT"_s, window->f3datafi->text());
        details->setValue(u"DESCRATT"_s, window->f3descr->currentText());
        details->setValue(u"LOCATT"_s, window->f3loc->text());
        details->setValue(u"PROVATT"_s, window->f3prov->text());
        details->setValue(u"COGN"_s, text);
        details->setValue(u"CFISC"_s, taxCodes.value(text, u""_s));
        for (const QString &hourField : hourFields)
            details->setValue(hourField, 0.0);
        details->setValue(u"OREUOMO"_s, *hours);
        details->setValue(field, *hours);
        storeRow(text);
    }
    if (!writes.finish(u"Volontari inseriti:  "_s, u"Volontari non registrati:\n"_s))
        return;
    ricalcolaore();
    Hourglass::reset();
    window->fillArchive();
    caricadettagli();
}

void toglivolontari()
{
    Form3 *window = Windows::form3();
    DataSource *details = Windows::form1()->Data4;
    Hourglass::set();
    PressWrites writes(details);
    for (int i = 0; i < window->List1->count() && !writes.stopped(); ++i) {
        QListWidgetItem *line = window->List1->item(i);
        const QStringList volunteer = line->data(Qt::UserRole).toStringList();
        if (!line->isSelected() || volunteer.size() != 2)
            continue;
        // The rows of the volunteer the line shows, compared as the keys compare.
        details->setRecordSource(activityDetails + u" and cogn = ?"_s,
                                 currentActivity(window) + QVariantList{volunteer.constFirst()});
        details->refresh();
        for (; !details->eof(); details->moveNext()) {
            if (volunteerKey(details->text(u"NOME"_s)) == volunteerKey(volunteer.constLast()))
                writes.written(volunteer.join(u' ').trimmed(), details->remove());
        }
        if (details->failed())
            writes.stop(details->lastError());
    }
    if (!writes.finish(u"Volontari tolti:  "_s, u"Volontari non tolti:\n"_s))
        return;
    ricalcolaore();
    caricadettagli();
    Hourglass::reset();
}

void ricalcolaore()
{
    Form3 *window = Windows::form3();
    Form1 *main = Windows::form1();
    DataSource *activities = main->Data3;
    if (!findCurrentActivity(activities, window))
        return;
    // No activity of that name: the detail rows stand alone and there is nothing to total.
    if (!activities->edit())
        return;
    std::array<double, 6> totals{};
    double manHours = 0;
    DataSource *details = main->Data4;
    details->setRecordSource(activityDetails, currentActivity(window));
    details->refresh();
    for (; !details->eof(); details->moveNext()) {
        manHours += hoursOf(details, u"OREUOMO"_s);
        for (size_t i = 0; i < totals.size(); ++i)
            totals[i] += hoursOf(details, hourFields[i]);
    }
    // Totals of some of the rows would pass for the activity's: the old ones stay.
    if (details->failed()) {
        activities->cancelUpdate();
        readRefused(details);
        return;
    }
    activities->setValue(u"OREUOMO"_s, manHours);
    for (size_t i = 0; i < totals.size(); ++i)
        activities->setValue(hourFields[i], totals[i]);
    if (const Store::Result result = activities->update(); !result.ok())
        Messages::report(u"Totali dell'attività non aggiornati: "_s + result.description);
}
