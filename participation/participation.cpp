#include "participation/participation.h"

#include "common/datecheck.h"
#include "common/globals.h"
#include "common/riskclasses.h"
#include "common/textformat.h"
#include "common/volunteertext.h"
#include "database/datasource.h"
#include "participation/form3.h"
#include "store/activities.h"
#include "store/details.h"
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

#include <algorithm>
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

// The volunteers of the current activity as its detail rows hold them, whatever the lists
// show, each with the most hours one of its rows holds outside the class at `riskIndex`;
// nothing when the store refused the read, having said so.
QHash<QString, double> readPresence(DataSource *details, const Form3 *window, size_t riskIndex)
{
    QHash<QString, double> present;
    for (const DetailRow &row :
         Details::rows(*details, window->f3descr->currentText(), window->f3datain->currentText())) {
        double &otherClasses = present[VolunteerText::key(row.surname)];
        otherClasses = std::max(otherClasses, row.risk.total() - row.risk.at(riskIndex));
    }
    return present;
}

std::optional<QHash<QString, double>> presentVolunteers(DataSource *details, const Form3 *window, size_t riskIndex)
{
    QHash<QString, double> present = readPresence(details, window, riskIndex);
    if (readRefused(details))
        return std::nullopt;
    return present;
}

// The hours one volunteer can work in an activity: 24 for each of its days, both ends
// counted; nothing when its dates do not say how long it lasted.
std::optional<double> hoursTheDaysHold(const QString &start, const QString &end)
{
    const QDate first = calendarDate(start);
    const QDate last = calendarDate(end);
    if (!first.isValid() || !last.isValid() || last < first)
        return std::nullopt;
    return 24.0 * double(first.daysTo(last) + 1);
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

// The rows a button stores or deletes go in one commit: a commit each would wait on the disk
// once per volunteer. A row the store refuses is left out alone and named afterwards; a read
// it refuses takes the whole press back, which would otherwise rest on rows it never saw.
class PressWrites {
public:
    PressWrites(const DataSource *source, const QString &description, const QString &start)
        : m_group(*source, description, start)
    {
    }

    // A connection broken under a write takes the whole press back: its transaction is gone.
    void written(const QString &volunteer, const QList<Store::Result> &results)
    {
        for (const Store::Result &result : results) {
            if (result.ok())
                ++m_done;
            else if (result.number == Store::lostConnection)
                m_broken = result;
            else
                m_failures << volunteer + u": "_s + result.description;
        }
    }
    void stop(const Store::Result &readFailure) { m_readFailure = readFailure; }
    bool stopped() const { return !m_readFailure.ok() || !m_broken.ok(); }

    // Totals the activity from its rows in the same commit, so that PCs sharing a server
    // never leave totals that miss another's rows; commits and reports the count after
    // `countText` and the rows refused after `failuresText`. False when the press was taken
    // back, having said why: then there is nothing to reload.
    bool finish(const QString &countText, const QString &failuresText)
    {
        const Store::Result &held = m_group.held();
        if (!held.ok() || !m_broken.ok()) {
            const Store::Result &why = held.ok() ? m_broken : held;
            m_group.rollback();
            Hourglass::reset();
            Messages::report(why.number == Store::readOnlyUser || why.number == Store::busy
                                 ? why.description
                                 : u"Nulla è stato cambiato: "_s + why.description + u'.');
            return false;
        }
        if (stopped()) {
            m_group.rollback();
            Hourglass::reset();
            Messages::report(readFailureMessage(m_readFailure.description) + u"\nNulla è stato cambiato."_s);
            return false;
        }
        Store::Result committed = totalCurrentActivity();
        if (committed.ok())
            committed = m_group.commit();
        else
            m_group.rollback();
        if (committed.number == Store::unknownOutcome) {
            Hourglass::reset();
            Messages::report(committed.description);
            return false;
        }
        if (!committed.ok()) {
            m_failures = QStringList{committed.description};
            m_done = 0;
        }
        Messages::report(countText + QString::number(m_done));
        if (!m_failures.isEmpty())
            Messages::report(failuresText + m_failures.join(u'\n'));
        return true;
    }

private:
    Details::WriteGroup m_group;
    int m_done = 0;
    QStringList m_failures;
    Store::Result m_readFailure;
    Store::Result m_broken;
};
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

void caricadettagli()
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
        window->f3datain->setEditText(activity.start);
        window->showActivityFields(activity);
        for (const DetailRow &row :
             Details::listed(*details, window->f3datain->currentText(), window->f3descr->currentText())) {
            std::array<double, riskClasses.size()> hours{};
            for (size_t i = 0; i < hours.size(); ++i)
                hours[i] = row.risk.at(i);
            lines << detailLine(row.surname, row.name, hours);
            volunteers.insert(lines.constLast(), {row.surname, row.name});
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
    auto present = presentVolunteers(details, window, riskIndex);
    if (!present || !hoursFitOrConfirmed(window, *present, *hours))
        return;

    Hourglass::set();
    const QString description = window->f3descr->currentText();
    const QString start = window->f3datain->currentText();
    QHash<QString, QString> taxCodes;
    bool taxCodesRead = false;
    PressWrites writes(details, description, start);
    // Another PC may have added the same volunteers since the check above: who is present is
    // read again under the activity's hold, which its press took too, so no one gets two rows.
    present = readPresence(details, window, riskIndex);
    if (details->failed())
        writes.stop(details->lastError());
    // The notes now shown go with every row stored, new or changed.
    for (int i = 1; i < window->List2->count() && !writes.stopped(); ++i) {
        QListWidgetItem *entry = window->List2->item(i);
        if (!entry->isSelected())
            continue;
        const QString text = entry->text();
        if (present->contains(VolunteerText::key(text))) {
            writes.written(text, Details::setHours(*details, description, start, text, riskIndex, *hours,
                                                   window->f3note1->text(), window->f3note2->text()));
            if (details->failed())
                writes.stop(details->lastError());
            continue;
        }
        if (!taxCodesRead) {
            taxCodes = Details::volunteerTaxCodes(*details);
            taxCodesRead = true;
        }
        DetailRow row;
        row.start = start;
        row.end = window->f3datafi->text();
        row.description = description;
        row.place = window->f3loc->text();
        row.province = window->f3prov->text();
        row.surname = text;
        row.taxCode = taxCodes.value(text, u""_s);
        row.risk.hours[riskIndex] = *hours;
        row.manHours = *hours;
        row.note1 = window->f3note1->text();
        row.note2 = window->f3note2->text();
        writes.written(text, {Details::add(*details, row)});
    }
    if (!writes.finish(u"Volontari inseriti:  "_s, u"Volontari non registrati:\n"_s))
        return;
    Hourglass::reset();
    window->fillArchive();
    caricadettagli();
}

void toglivolontari()
{
    Form3 *window = Windows::form3();
    DataSource *details = Windows::mainWindow()->Data4;
    Hourglass::set();
    PressWrites writes(details, window->f3descr->currentText(), window->f3datain->currentText());
    for (int i = 0; i < window->List1->count() && !writes.stopped(); ++i) {
        QListWidgetItem *line = window->List1->item(i);
        const QStringList volunteer = line->data(Qt::UserRole).toStringList();
        if (!line->isSelected() || volunteer.size() != 2)
            continue;
        // The rows of the volunteer the line shows, compared as the keys compare.
        writes.written(volunteer.join(u' ').trimmed(),
                       Details::removeVolunteer(*details, window->f3descr->currentText(),
                                                window->f3datain->currentText(), volunteer.constFirst(),
                                                volunteer.constLast()));
        if (details->failed())
            writes.stop(details->lastError());
    }
    if (!writes.finish(u"Volontari tolti:  "_s, u"Volontari non tolti:\n"_s))
        return;
    caricadettagli();
    Hourglass::reset();
}

Store::Result totalCurrentActivity()
{
    Form3 *window = Windows::form3();
    MainWindowInterface *main = Windows::mainWindow();
    DataSource *activities = main->Data3;
    Activities::findNamed(*activities, window->f3descr->currentText(), window->f3datain->currentText());
    if (activities->failed())
        return activities->lastError();
    // No activity of that name leaves the detail rows alone, with nothing to total.
    DataSource *details = main->Data4;
    const auto result = Details::recomputeTotals(*activities, *details, window->f3descr->currentText(),
                                                 window->f3datain->currentText());
    if (details->failed())
        return details->lastError();
    return result.value_or(Store::Result{});
}

void ricalcolaore()
{
    if (const Store::Result result = totalCurrentActivity(); !result.ok())
        Messages::report(u"Totali dell'attività non aggiornati: "_s + result.description);
}
