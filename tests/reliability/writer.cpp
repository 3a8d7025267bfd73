// Runs the program's writing operations over and over in a working folder, saying after
// each one that has completed what it wrote, so that a test can kill it at any moment and
// check that what was completed is still there.
//
//   sentaro-writer GROUP FOLDER RUN
//
// GROUP: activities, people, bulk, conversion, start, readonly, shared, windows
// Lines: STARTED, then per completed operation one of
//   ACTIVITY name | DETAILS name | RENAMED old new | DELETED name
//   VOLUNTEER surname | NOVOLUNTEER surname | ORGANISATION name | NOORGANISATION name
//   IMPORTED | EMPTIEDVOLUNTEERS | EMPTIEDACTIVITIES | EXPORTED | CONVERSION
// and, for "start" (the start alone) and "readonly", one line per message shown: MESSAGE text
//
// "shared" (a PC of several on one server archive) adds three detail rows of its own to the
// activity CONDIVISA and removes one of them, sharedPresses times once a line comes on its
// standard input, each press with the activity's totals in the same commit as the details
// window does; lines: SHARED n. Run 3 instead renames the activity as many times, between
// CONDIVISA and Condivisa (the same key, so the others still find it); lines: RENAMED n.
// "windows" works the program's own windows once for each line on its standard input: runs 1
// and 2 press "< Rischio 6" for the four volunteers of the archive on CONDIVISA in the details
// window, run 3 empties the activities from the menu; lines: MESSAGE text for each message
// shown, then DONE and the line read. A line may instead be one step of a window that another
// PC's change overtakes: SHOWACTIVITY (CONDIVISA in the activity window), PLACE text or NOTE
// text (typed there, then "Modifica"; says SHOWN and the place shown after), SHOWDETAILS
// (CONDIVISA in the details window), PRESSONE text (that volunteer of the list, pressed for 5
// hours), RENAMEVOLUNTEER surname (VERDI LUCA renamed, as the volunteer window does).
// "activities" and "people" call the store's operations on the main window's data sources,
// as the windows do; "bulk" and "readonly" run the archive commands, whose copies kept
// before emptying and whose messages are part of what is checked.

#include "app/form1.h"
#include "app/maintenance.h"
#include "app/windows.h"
#include "common/riskclasses.h"
#include "common/textformat.h"
#include "database/datasource.h"
#include "activities/form2.h"
#include "participation/form3.h"
#include "store/activities.h"
#include "store/details.h"
#include "store/organisations.h"
#include "store/volunteers.h"
#include "testsupport.h"
#include "ui/controls.h"
#include "ui/mainwindowinterface.h"
#include "ui/messages.h"
#include "ui/windowaccess.h"
#include "volunteers/import.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QDir>

#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace Qt::StringLiterals;

namespace {
void say(const QString &line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

// Said before an operation starts: a kill between this and its completion leaves the
// operation either done or not, never half done where it promises all or nothing.
void doing(const QString &line)
{
    say(u"DOING "_s + line);
}

// An operation the store refused ends the writer, which otherwise never ends by itself: the
// test sees that, rather than a completion that did not happen.
void require(bool done, const QString &what)
{
    if (done)
        return;
    std::fprintf(stderr, "%s\n", what.toUtf8().constData());
    std::fflush(stderr);
    std::_Exit(4);
}

void require(const Store::Result &result, const QString &what)
{
    require(result.ok(), what + u": "_s + result.description);
}

const QString start = u"01/02/2011"_s;

// An activity as the registry enters it with only its day, description and place typed.
Activity activityNamed(const QString &name)
{
    Activity activity;
    activity.start = start;
    activity.end = start;
    activity.description = name;
    activity.place = u"ROMA"_s;
    activity.province = u"RM"_s;
    activity.totalHours = 0;
    activity.manHours = 0;
    activity.sortKey = TextFormat::yearFirst(start);
    return activity;
}

// One press of the details window on the activity `name`: the rows `rows` writes, then the
// activity's totals, in one commit, the activity held first.
void press(MainWindowInterface &main, const QString &name, const std::function<void(DataSource &)> &rows)
{
    DataSource &details = *main.Data4;
    Details::WriteGroup group(details, name, start);
    require(group.held(), u"holding "_s + name);
    rows(details);
    require(Activities::findNamed(*main.Data3, name, start), u"no activity "_s + name);
    const auto totals = Details::recomputeTotals(*main.Data3, details, name, start);
    require(totals.has_value() && totals->ok(), u"totals of "_s + name);
    require(group.commit(), u"press on "_s + name);
}

// Three volunteers of the archive take 2,5 hours of class R6 each, as the details window's
// button adds new volunteers.
void addDetails(MainWindowInterface &main, const QString &name)
{
    require(Activities::findNamed(*main.Data3, name, start), u"no activity "_s + name);
    const QStringList volunteers = Details::archive(*main.Data6).mid(0, 3);
    require(volunteers.size() == 3 && !main.Data6->failed(), u"no three volunteers"_s);
    const QHash<QString, QString> taxCodes = Details::volunteerTaxCodes(*main.Data4);
    const size_t riskIndex = size_t(riskClassOfCode(u"6"_s) - riskClasses.data());
    press(main, name, [&](DataSource &details) {
        for (const QString &volunteer : volunteers) {
            DetailRow row;
            row.start = start;
            row.end = start;
            row.description = name;
            row.place = u"ROMA"_s;
            row.province = u"RM"_s;
            row.surname = volunteer;
            row.taxCode = taxCodes.value(volunteer, u""_s);
            row.risk.hours[riskIndex] = 2.5;
            row.manHours = 2.5;
            require(Details::add(details, row), u"detail row of "_s + volunteer);
        }
    });
}

// Renamed as the registry's Modifica does: the name with the detail rows, then the fields.
void rename(MainWindowInterface &main, const QString &name, const QString &renamed)
{
    DataSource &activities = *main.Data3;
    require(Activities::findNamed(activities, name, start), u"no activity "_s + name);
    require(!Activities::findNamed(activities, renamed, start) && !activities.failed(), u"taken "_s + renamed);
    require(Activities::rename(activities, *main.Data4, name, start, renamed), u"renaming "_s + name);
    const Activity typed = activityNamed(renamed);
    require(Activities::change(activities, *main.Data4, renamed, start, nullptr,
                               [&](Activity &activity) {
                                   activity.end = typed.end;
                                   activity.place = typed.place;
                                   activity.province = typed.province;
                               }),
            u"rewriting "_s + renamed);
}

void activities(int run)
{
    MainWindowInterface &main = *Windows::mainWindow();
    DataSource &activities = *main.Data3;
    for (int i = 0;; ++i) {
        const QString name = u"ATT %1 %2"_s.arg(run).arg(i);
        doing(u"ACTIVITY "_s + name);
        require(!Activities::find(activities, start, name) && !activities.failed(), u"exists "_s + name);
        require(Activities::insert(activities, activityNamed(name)), u"adding "_s + name);
        say(u"ACTIVITY "_s + name);

        doing(u"DETAILS "_s + name);
        addDetails(main, name);
        say(u"DETAILS "_s + name);

        const QString renamed = u"REN %1 %2"_s.arg(run).arg(i);
        doing(u"RENAMED "_s + name + u'|' + renamed);
        rename(main, name, renamed);
        say(u"RENAMED "_s + name + u'|' + renamed);

        if (i % 2 == 1) {
            doing(u"DELETED "_s + renamed);
            require(Activities::find(activities, start, renamed), u"no activity "_s + renamed);
            require(Activities::removeWithDetails(activities, *main.Data4, start, renamed), u"deleting "_s + renamed);
            say(u"DELETED "_s + renamed);
        }
    }
}

void people(int run)
{
    MainWindowInterface &main = *Windows::mainWindow();
    DataSource &volunteers = *main.Data6;
    DataSource &organisations = *main.Data8;
    for (int i = 0;; ++i) {
        Volunteer volunteer;
        volunteer.surname = u"VOL%1X%2"_s.arg(run).arg(i);
        volunteer.name = u"NOME"_s;
        doing(u"VOLUNTEER "_s + volunteer.surname);
        require(!Volunteers::find(volunteers, volunteer.surname, volunteer.name) && !volunteers.failed(),
                u"exists "_s + volunteer.surname);
        require(Volunteers::insert(volunteers, volunteer), u"adding "_s + volunteer.surname);
        say(u"VOLUNTEER "_s + volunteer.surname);
        if (i % 3 == 2) {
            doing(u"NOVOLUNTEER "_s + volunteer.surname);
            require(Volunteers::find(volunteers, volunteer.surname, volunteer.name).has_value(),
                    u"no volunteer "_s + volunteer.surname);
            require(Volunteers::remove(volunteers), u"deleting "_s + volunteer.surname);
            say(u"NOVOLUNTEER "_s + volunteer.surname);
        }
        Organisation organisation;
        organisation.name = u"ORG %1 %2"_s.arg(run).arg(i);
        organisation.volunteers = 0;
        doing(u"ORGANISATION "_s + organisation.name);
        require(Organisations::insert(organisations, organisation), u"adding "_s + organisation.name);
        say(u"ORGANISATION "_s + organisation.name);
        if (i % 3 == 2) {
            doing(u"NOORGANISATION "_s + organisation.name);
            require(Organisations::find(organisations, organisation.name).has_value(),
                    u"no organisation "_s + organisation.name);
            require(Organisations::remove(organisations), u"deleting "_s + organisation.name);
            say(u"NOORGANISATION "_s + organisation.name);
        }
    }
}

constexpr int sharedPresses = 50;

void shared(int run)
{
    // The PCs start pressing together, when the test says so on the standard input.
    char go[8] = {};
    require(std::fgets(go, sizeof go, stdin) != nullptr, u"no start signal"_s);
    MainWindowInterface &main = *Windows::mainWindow();
    if (run == 3) {
        for (int i = 0; i < sharedPresses; ++i) {
            const QString renamed = i % 2 == 0 ? u"Condivisa"_s : u"CONDIVISA"_s;
            require(Activities::rename(*main.Data3, *main.Data4, u"CONDIVISA"_s, start, renamed), u"renaming"_s);
            say(u"RENAMED "_s + QString::number(i));
        }
        return;
    }
    const size_t riskIndex = size_t(riskClassOfCode(u"6"_s) - riskClasses.data());
    for (int i = 0; i < sharedPresses; ++i) {
        const QString prefix = u"PC%1 %2 "_s.arg(run).arg(i);
        press(main, u"CONDIVISA"_s, [&](DataSource &details) {
            // The name as the activity holds it now, while it is held: the rows take it.
            require(Activities::findNamed(*main.Data3, u"CONDIVISA"_s, start), u"no activity"_s);
            const QString name = main.Data3->text(u"DESCRATT"_s);
            for (int k = 0; k < 3; ++k) {
                DetailRow row;
                row.start = start;
                row.description = name;
                row.surname = prefix + QString::number(k);
                row.risk.hours[riskIndex] = 1.5 + k;
                row.manHours = 1.5 + k;
                require(Details::add(details, row), u"detail row "_s + row.surname);
            }
        });
        press(main, u"CONDIVISA"_s, [&](DataSource &details) {
            const QList<Store::Result> removed =
                Details::removeVolunteer(details, u"CONDIVISA"_s, start, prefix + u'0', QString());
            require(removed.size() == 1 && removed.constFirst().ok(), u"removing "_s + prefix + u'0');
        });
        say(u"SHARED "_s + QString::number(i));
    }
}

// One step of a PC working a window while another changes what it shows; false for a line that
// is not a step.
bool windowStep(const QString &line)
{
    const QString command = line.section(u' ', 0, 0);
    const QString argument = line.section(u' ', 1);
    Form1 *main = Windows::existingForm1();
    if (command == u"SHOWACTIVITY"_s) {
        main->findChild<QAction *>(u"mnattins"_s)->trigger();
        Form2 *form = Windows::form2();
        activate(form);
        choose(form->f2datain, start);
        choose(form->f2descr, u"CONDIVISA"_s);
    } else if (command == u"PLACE"_s || command == u"NOTE"_s) {
        Form2 *form = Windows::form2();
        if (command == u"PLACE"_s)
            form->f2loc->setText(argument);
        else
            form->f2note1->setText(argument);
        form->cmdmodifica->click();
        say(u"SHOWN "_s + form->f2loc->text());
    } else if (command == u"SHOWDETAILS"_s) {
        main->findChild<QAction *>(u"mnattinsdett"_s)->trigger();
        Form3 *form = Windows::form3();
        activate(form);
        const int day = form->f3datain->findText(start);
        require(day >= 0, u"no activity on "_s + start);
        form->f3datain->setCurrentIndex(day);
        emit form->f3datain->activated(day);
    } else if (command == u"PRESSONE"_s) {
        // The volunteer as the list showed him when it was read.
        Form3 *form = Windows::form3();
        for (int i = 0; i < form->List2->count(); ++i)
            form->List2->item(i)->setSelected(form->List2->item(i)->text().trimmed() == argument);
        form->orestandard->setText(u"5"_s);
        form->cmdr6->click();
    } else if (command == u"RENAMEVOLUNTEER"_s) {
        // Another PC's volunteer window: VERDI LUCA becomes argument LUCA.
        DataSource &volunteers = *main->Data6;
        std::optional<Volunteer> found = Volunteers::find(volunteers, u"VERDI"_s, u"LUCA"_s);
        require(found.has_value(), u"no VERDI LUCA"_s);
        Volunteer renamed = *found;
        renamed.surname = argument;
        require(Volunteers::rename(volunteers, u"VERDI"_s, u"LUCA"_s, renamed), u"renaming VERDI LUCA"_s);
    } else {
        return false;
    }
    return true;
}

void windows(int run, Messages::ScriptedResponder &answers)
{
    Form1 *main = Windows::existingForm1();
    char line[256] = {};
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
        answers.clear();
        const QString step = QString::fromUtf8(line).trimmed();
        const bool round = !step.isEmpty() && step.front().isDigit();
        if (round && run == 3) {
            main->findChild<QAction *>(u"mnazzatt"_s)->trigger();
        } else if (round) {
            windowStep(u"SHOWDETAILS"_s);
            Form3 *form = Windows::form3();
            for (int i = 0; i < form->List2->count(); ++i)
                form->List2->item(i)->setSelected(!form->List2->item(i)->text().trimmed().isEmpty());
            form->orestandard->setText(u"5"_s);
            form->cmdr6->click();
        } else {
            require(windowStep(step), u"unknown step "_s + step);
        }
        for (const QString &message : answers.shown())
            say(u"MESSAGE "_s + QString(message).replace(u'\n', u' '));
        say(u"DONE "_s + QString::fromLatin1(line).trimmed());
    }
}

// Each run starts with another operation, so that the kills fall on all of them.
void bulk(int run)
{
    const std::pair<QString, void (*)()> operations[] = {{u"IMPORTED"_s, importavolontari},
                                                         {u"EXPORTED"_s, esportadatabase},
                                                         {u"EMPTIEDVOLUNTEERS"_s, azzeravolontari},
                                                         {u"EMPTIEDACTIVITIES"_s, azzeraattivita}};
    for (int i = run;; ++i) {
        const auto &[name, operation] = operations[i % 4];
        doing(name);
        operation();
        say(name);
    }
}
// The folder turns read-only under the running program: the operations that make new
// files in it (the export, the copy kept before emptying) must fail with a message.
void readOnlyFolder()
{
    QFile::setPermissions(QDir::currentPath(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadUser | QFile::ExeUser);
    esportadatabase();
    azzeravolontari();
    azzeraattivita();
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 4)
        return 2;
    QDir::setCurrent(QString::fromLocal8Bit(argv[2]));
    const QString group = QString::fromLocal8Bit(argv[1]);
    const int run = QString::fromLocal8Bit(argv[3]).toInt();
    Messages::ScriptedResponder answers;
    answers.answerYesToAll();
    // The start of "conversion" converts an Access archive.
    const bool converting = group == u"conversion"_s;
    if (converting)
        doing(u"CONVERSION"_s);
    const bool started = startSentaro() != nullptr;
    if (converting && started)
        say(u"CONVERSION"_s);
    const auto tell = [&answers]() {
        for (const QString &message : answers.shown())
            say(u"MESSAGE "_s + QString(message).replace(u'\n', u' '));
    };
    if (group == u"start"_s)
        tell();
    if (!started)
        return 3;
    say(u"STARTED"_s);
    if (group == u"activities"_s)
        activities(run);
    else if (group == u"people"_s)
        people(run);
    else if (group == u"bulk"_s)
        bulk(run);
    else if (group == u"shared"_s)
        shared(run);
    else if (group == u"windows"_s)
        windows(run, answers);
    else if (group == u"readonly"_s) {
        readOnlyFolder();
        tell();
    }
    // "conversion" and "start": the start alone.
    return 0;
}
