#include "participation/participation.h"

#include "common/clock.h"
#include "common/datecheck.h"
#include "common/globals.h"
#include "common/riskclasses.h"
#include "common/textformat.h"
#include "common/volunteertext.h"
#include "database/datasource.h"
#include "participation/form3.h"
#include "store/activities.h"
#include "store/details.h"
#include "store/surveillance.h"
#include "ui/controls.h"
#include "ui/hourglass.h"
#include "ui/mainwindowinterface.h"
#include "ui/messages.h"
#include "ui/refusals.h"
#include "ui/windowaccess.h"

#include <QComboBox>
#include <QDate>
#include <QHash>
#include <QMultiHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include <optional>

using namespace Qt::StringLiterals;
using TextFormat::Pattern;

void caricaattivitaform3()
{
    Form3 *window = Windows::form3();
    window->f3datafi->clear();
    window->f3datain->setEditText(QString());
    window->f3descr->setEditText(QString());
    window->f3loc->clear();
    window->f3note1->setText(QString());
    window->f3note2->setText(QString());
    window->f3oretot->setText(u"0"_s);
    window->f3oreuomo->setText(u"0"_s);
    window->f3prov->clear();
    Windows::fillActivityLists(window->f3datain, window->f3descr);
}

namespace {
// Points `activities` at the activity Form3's boxes name; false, having said why, when the
// store refused the read.
bool findCurrentActivity(DataSource *activities, const Form3 *window)
{
    Activities::findNamed(*activities, window->f3descr->currentText(), window->f3datain->currentText());
    return !readRefused(activities);
}

// The volunteers of the current activity with the hours of their rows outside the class at
// `riskIndex` (see Details::presence); nothing when the store refused the read, having said so.
std::optional<QHash<QString, double>> presentVolunteers(DataSource *details, const Form3 *window, size_t riskIndex)
{
    QHash<QString, double> present =
        Details::presence(*details, window->f3descr->currentText(), window->f3datain->currentText(), riskIndex);
    if (readRefused(details))
        return std::nullopt;
    return present;
}

// True when the hours to record leave no selected volunteer with more hours than the
// activity's days hold, or the user confirms them.
bool hoursFitOrConfirmed(const Form3 *window, const QHash<QString, double> &present, double hours)
{
    const auto limit = hoursTheDaysHold(window->f3datain->currentText(), window->f3datafi->text());
    if (!limit)
        return true;
    for (int i = 1; i < window->List2->count(); ++i) {
        const QListWidgetItem *entry = window->List2->item(i);
        if (entry->isSelected() && present.value(VolunteerText::key(entry->text())) + hours > *limit)
            return Messages::askYesNo(u"Ore superiori alla durata dell'attività: confermi?"_s, Messages::Default::No);
    }
    return true;
}

// Leaves out of `volunteers` each one not yet present whose last visit found him unfit, or whose
// visits are all past due, unless the user confirms him; false when the store refused the read
// of the visits, having said so. A role that may not read the visits is warned of nothing.
bool unfitLeftOut(QStringList &volunteers, const QHash<QString, double> &present)
{
    QStringList arriving;
    for (const QString &text : std::as_const(volunteers)) {
        if (!present.contains(VolunteerText::key(text)))
            arriving << text;
    }
    Store::Result refusal;
    const QHash<QString, Surveillance::Standing> standings =
        Surveillance::standingsOf(*Windows::mainWindow()->Data5, arriving, Clock::today(), &refusal);
    if (readRefused(!refusal.ok(), refusal.description))
        return false;
    // An archive may list two volunteers under one text: they are one answer.
    QHash<QString, bool> answers;
    const auto confirmed = [&](const QString &text) {
        const auto standing = standings.constFind(text);
        if (standing == standings.cend() || standing->warning == Surveillance::Standing::Warning::None)
            return true;
        if (const auto answer = answers.constFind(text); answer != answers.cend())
            return *answer;
        const QString question = standing->warning == Surveillance::Standing::Warning::Unfit
                                     ? u"%1 risulta non idoneo dal %2: aggiungo comunque?"_s
                                     : u"%1 ha la visita scaduta dal %2: aggiungo comunque?"_s;
        const bool yes = Messages::askYesNo(
            question.arg(TextFormat::withoutTrailingBlanks(text), standing->since.toString(u"dd/MM/yyyy"_s)),
            Messages::Default::No);
        answers.insert(text, yes);
        return yes;
    };
    QStringList kept;
    for (const QString &text : std::as_const(volunteers)) {
        if (present.contains(VolunteerText::key(text)) || confirmed(text))
            kept << text;
    }
    volunteers = kept;
    return true;
}

// Says what a press came to: the count after `countText` and the rows refused after
// `failuresText`. False when the press was taken back: then there is nothing to reload.
bool pressReported(const Details::Press &press, const QString &countText, const QString &failuresText)
{
    const Store::Result &why = press.why;
    switch (press.outcome) {
    case Details::Press::Outcome::NotHeld:
        Hourglass::reset();
        Messages::report(why.number == Store::readOnlyUser || why.number == Store::busy
                             ? why.description
                             : u"Nulla è stato cambiato: "_s + why.description + u'.');
        return false;
    case Details::Press::Outcome::ReadRefused:
        Hourglass::reset();
        Messages::report(readFailureMessage(why.description) + u"\nNulla è stato cambiato."_s);
        return false;
    case Details::Press::Outcome::Unknown:
        Hourglass::reset();
        Messages::report(why.description);
        return false;
    case Details::Press::Outcome::Stored:
        break;
    }
    // Those left out first, named: a count of none after them would say nothing more.
    for (const QString &volunteer : press.missing)
        Messages::report(u"%1 non è più nell'archivio dei volontari: elenco aggiornato."_s.arg(
            TextFormat::withoutTrailingBlanks(volunteer)));
    if (press.done > 0 || press.missing.isEmpty())
        Messages::report(countText + QString::number(press.done));
    if (!press.failures.isEmpty())
        Messages::report(failuresText + press.failures.join(u'\n'));
    return true;
}
} // namespace

std::array<PresentColumn, riskClasses.size() + 1> presentColumns()
{
    // After the name's 30 characters, each column is two blanks and six characters wide.
    std::array<PresentColumn, riskClasses.size() + 1> columns;
    for (size_t i = 0; i < columns.size(); ++i) {
        const QString caption = i < riskClasses.size() ? riskClasses[i].label.toString() : u"TOT."_s;
        columns[i] = {caption, 32 + 8 * int(i)};
    }
    return columns;
}

QString detailLine(const QString &surname, const QString &name, const std::array<double, riskClasses.size()> &hours,
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

namespace {
// Fills the list of the present volunteers of the activity the window names; with `showFields`, its
// boxes too, from the activity as stored. False when a read was refused (said).
bool loadDetails(bool showFields)
{
    Globals &g = globals();
    Form3 *window = Windows::form3();
    MainWindowInterface *main = Windows::mainWindow();
    g.descrattivita = window->f3descr->currentText();
    window->List1->clear();
    DataSource *activities = main->Data3;
    DataSource *details = main->Data4;
    QStringList lines;
    // The line shows the name cut and run together; removing it needs the row's own fields.
    QMultiHash<QString, QStringList> volunteers;
    for (const Activity &activity :
         Activities::named(*activities, g.descrattivita, g.dataattivita, Activities::Order::Start)) {
        if (showFields) {
            window->f3datain->setEditText(activity.start);
            window->showActivityFields(activity);
        }
        for (const DetailRow &row :
             Details::listed(*details, window->f3datain->currentText(), window->f3descr->currentText())) {
            std::array<double, riskClasses.size()> hours{};
            for (size_t i = 0; i < hours.size(); ++i)
                hours[i] = row.risk.at(i);
            lines << detailLine(row.surname, row.name, hours);
            volunteers.insert(lines.constLast(), {row.surname, row.name});
        }
        if (readRefused(details))
            return false;
    }
    if (readRefused(activities))
        return false;
    Controls::fillSorted(window->List1, lines);
    for (int i = 0; i < window->List1->count(); ++i) {
        QListWidgetItem *line = window->List1->item(i);
        line->setData(Qt::UserRole, volunteers.take(line->text()));
    }
    return true;
}
} // namespace

void caricadettagli()
{
    loadDetails(true);
}

void presentVolunteersAgain()
{
    loadDetails(false);
}

void aggiungivolontari()
{
    Form3 *window = Windows::form3();
    MainWindowInterface *main = Windows::mainWindow();
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
    const RiskClass *riskClass = riskClassOfCode(globals().classerischio);
    if (!riskClass)
        return;
    const auto riskIndex = size_t(riskClass - riskClasses.data());
    DataSource *details = main->Data4;
    // Asked before the activity is held: no other PC waits on a question.
    const auto present = presentVolunteers(details, window, riskIndex);
    if (!present || !hoursFitOrConfirmed(window, *present, *hours))
        return;
    QStringList volunteers;
    for (int i = 1; i < window->List2->count(); ++i) {
        if (window->List2->item(i)->isSelected())
            volunteers << window->List2->item(i)->text();
    }
    if (!unfitLeftOut(volunteers, *present))
        return;

    Hourglass::set();
    Details::Addition addition;
    addition.description = window->f3descr->currentText();
    addition.start = window->f3datain->currentText();
    addition.end = window->f3datafi->text();
    addition.place = window->f3loc->text();
    addition.province = window->f3prov->text();
    addition.note1 = window->f3note1->text();
    addition.note2 = window->f3note2->text();
    addition.riskIndex = riskIndex;
    addition.hours = *hours;
    addition.volunteers = volunteers;
    if (!pressReported(Details::addVolunteers(*main->Data3, *details, addition), u"Volontari inseriti:  "_s,
                       u"Volontari non registrati:\n"_s))
        return;
    Hourglass::reset();
    window->fillArchive();
    caricadettagli();
}

void toglivolontari()
{
    Form3 *window = Windows::form3();
    MainWindowInterface *main = Windows::mainWindow();
    QList<std::pair<QString, QString>> volunteers;
    for (int i = 0; i < window->List1->count(); ++i) {
        const QListWidgetItem *line = window->List1->item(i);
        const QStringList volunteer = line->data(Qt::UserRole).toStringList();
        if (line->isSelected() && volunteer.size() == 2)
            volunteers.append({volunteer.constFirst(), volunteer.constLast()});
    }
    // Their hours go with them: the user says so first.
    if (!volunteers.isEmpty() &&
        !Messages::askYesNo(volunteers.size() == 1 ? u"Tolgo 1 volontario dall'attività?"_s
                                                   : u"Tolgo %1 volontari dall'attività?"_s.arg(volunteers.size()),
                            Messages::Default::No))
        return;
    Hourglass::set();
    if (!pressReported(Details::removeVolunteers(*main->Data3, *main->Data4, window->f3descr->currentText(),
                                                 window->f3datain->currentText(), volunteers),
                       u"Volontari tolti:  "_s, u"Volontari non tolti:\n"_s))
        return;
    caricadettagli();
    Hourglass::reset();
}

void ricalcolaore()
{
    const Form3 *window = Windows::form3();
    MainWindowInterface *main = Windows::mainWindow();
    if (const Store::Result result = Details::totalActivity(*main->Data3, *main->Data4, window->f3descr->currentText(),
                                                            window->f3datain->currentText());
        !result.ok())
        Messages::report(u"Totali dell'attività non aggiornati: "_s + result.description);
}
