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
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSqlError>
#include <QSqlQuery>

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
} // namespace

QString presentHeading()
{
    return u"Volontari presenti"_s + QString(57, u' ') + u"R0"_s + QString(12, u' ') + u"R6"_s +
           QString(14, u' ') + u"R7"_s + QString(13, u' ') + u"R8"_s + QString(12, u' ') + u"R9"_s +
           QString(14, u' ') + u"R10"_s + QString(15, u' ') + u"TOT."_s;
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
            lines << detailLine(details->text(u"COGN"_s), details->text(u"NOME"_s), hours);
        }
    }
    Controls::fillSorted(window->List1, lines);
}

void aggiungivolontari()
{
    Form3 *window = Windows::form3();
    Form1 *main = Windows::form1();
    if (window->f3descr->currentText().isEmpty()) {
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

    Hourglass::set();
    int stored = 0;
    QStringList present;
    for (int i = 0; i < window->List1->count(); ++i)
        present << window->List1->item(i)->text();
    DataSource *details = main->Data4;
    QHash<QString, QString> taxCodes;
    bool taxCodesRead = false;
    QStringList failures;
    // The notes now shown go with every row stored, new or changed.
    const auto storeRow = [&](const QString &volunteer) {
        details->setValue(u"NOTE1"_s, window->f3note1->text());
        details->setValue(u"NOTE2"_s, window->f3note2->text());
        for (const QString &note : {u"NOTE3"_s, u"NOTE4"_s, u"NOTE5"_s})
            details->setValue(note, QString(u""_s));
        if (const Store::Result result = details->update(); result.ok())
            ++stored;
        else
            failures << volunteer + u": "_s + result.description;
    };
    // One commit for all the rows: a commit each would wait on the disk once per volunteer.
    // A row the store refuses is left out alone; the others are kept.
    QSqlDatabase db = details->database();
    const bool grouped = db.transaction();
    for (int i = 1; i < window->List2->count(); ++i) {
        QListWidgetItem *entry = window->List2->item(i);
        if (!entry->isSelected())
            continue;
        const QString text = entry->text();
        const bool isPresent = std::any_of(present.cbegin(), present.cend(),
                                           [&](const QString &line) { return line.startsWith(text); });
        if (isPresent) {
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
            continue;
        }
        if (!taxCodesRead) {
            taxCodes = volunteerTaxCodes(details->database());
            taxCodesRead = true;
        }
        const QString taxCode = taxCodes.value(text, u""_s);
        details->addNew();
        details->setValue(u"DATAINATT"_s, window->f3datain->currentText());
        details->setValue(u"DATAFIATT"_s, window->f3datafi->text());
        details->setValue(u"DESCRATT"_s, window->f3descr->currentText());
        details->setValue(u"LOCATT"_s, window->f3loc->text());
        details->setValue(u"PROVATT"_s, window->f3prov->text());
        details->setValue(u"COGN"_s, text);
        details->setValue(u"CFISC"_s, taxCode);
        for (const QString &hourField : hourFields)
            details->setValue(hourField, 0.0);
        details->setValue(u"OREUOMO"_s, *hours);
        details->setValue(field, *hours);
        storeRow(text);
        details->refresh();
    }
    if (grouped && !db.commit()) {
        failures = QStringList{db.lastError().text()};
        db.rollback();
        stored = 0;
    }
    Messages::report(u"Volontari inseriti:  "_s + QString::number(stored));
    if (!failures.isEmpty())
        Messages::report(u"Volontari non registrati:\n"_s + failures.join(u'\n'));
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
    int removed = 0;
    for (int i = 0; i < window->List1->count(); ++i) {
        QListWidgetItem *line = window->List1->item(i);
        if (!line->isSelected())
            continue;
        const QString key = line->text().left(30);
        details->setRecordSource(activityDetails, currentActivity(window));
        details->refresh();
        for (; !details->eof(); details->moveNext()) {
            const QString name = TextFormat::fixedWidth(details->text(u"COGN"_s) + u' ' + details->text(u"NOME"_s), 30);
            if (name == key && details->remove().ok())
                ++removed;
        }
    }
    Messages::report(u"Volontari tolti:  "_s + QString::number(removed));
    ricalcolaore();
    caricadettagli();
    Hourglass::reset();
}

void ricalcolaore()
{
    Form3 *window = Windows::form3();
    Form1 *main = Windows::form1();
    DataSource *activities = main->Data3;
    activities->setRecordSource(u"select * from attivita where descratt = ? and datainatt = ?"_s,
                                currentActivity(window));
    activities->refresh();
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
    activities->setValue(u"OREUOMO"_s, manHours);
    for (size_t i = 0; i < totals.size(); ++i)
        activities->setValue(hourFields[i], totals[i]);
    if (const Store::Result result = activities->update(); !result.ok())
        Messages::report(u"Totali dell'attività non aggiornati: "_s + result.description);
}
