#include "cases.h"

#include "generator.h"

#include "app/form1.h"
#include "app/maintenance.h"
#include "app/startup.h"
#include "app/windows.h"
#include "common/clock.h"
#include "common/compactlines.h"
#include "common/globals.h"
#include "common/riskclasses.h"
#include "database/datasource.h"
#include "database/serverconnection.h"
#include "participation/participation.h"
#include "reports/lists.h"
#include "reports/register.h"
#include "statistics/statistics.h"
#include "store/activities.h"
#include "store/backup.h"
#include "store/database.h"
#include "store/details.h"
#include "store/registercheck.h"
#include "store/schema.h"
#include "store/surveillance.h"
#include "ui/activation.h"
#include "ui/controls.h"
#include "ui/mainwindowinterface.h"
#include "ui/messages.h"
#include "ui/printer.h"
#include "ui/twips.h"
#include "volunteers/import.h"
#include "volunteers/taxcode.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace Cases {
namespace {

constexpr int registerLines = 10000;
constexpr int volunteersAdded = 50;

void say(const QString &key, const QString &text)
{
    std::fputs(qPrintable(key + u' ' + text + u'\n'), stdout);
    std::fflush(stdout);
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// The program waiting for the user: its event loop blocks once, and does what it does then
// (it lets go of the reads it holds open), before the next timed step.
void idle()
{
    settle();
    QTimer::singleShot(1, [] {});
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    settle();
}

MainWindowInterface &mainWindow()
{
    return *Windows::mainWindow();
}

QSqlDatabase registerDb()
{
    return Store::connection(Schema::registerFile);
}

// Rows in the order they were written: SQLite's rowid, the program's own row identity on a server.
QString rowOrder()
{
    return Server::isServer(registerDb()) ? Server::rowidSelect() : u"rowid"_s;
}

// Grows with every row written: on a server the writing transaction's number, since a row's
// place there may be one freed earlier (a fresh cluster's numbers have not wrapped around).
QString writeMark()
{
    return Server::isServer(registerDb()) ? u"xmin::text::bigint"_s : u"rowid"_s;
}

QVariant scalar(const QString &sql, const QVariantList &values = {})
{
    QSqlQuery query(registerDb());
    query.prepare(sql);
    for (const QVariant &value : values)
        query.addBindValue(value);
    return query.exec() && query.next() ? query.value(0) : QVariant();
}

// Writes to the register between repetitions, as another program would while Sentaro waits.
QString write(const QString &sql, const QVariantList &values = {})
{
    DataSource::beforeWrite(Schema::registerFile);
    const Store::Result result = Store::execute(registerDb(), sql, values);
    return result.ok() ? QString() : result.description;
}

// On a server the rows a repetition deleted stay behind, and the next repetition would step
// over them in the key indexes until a vacuum: a file keeps none.
QString vacuumed(const QStringList &tables)
{
    if (!Server::isServer(registerDb()))
        return {};
    QSqlQuery query(registerDb());
    for (const QString &table : tables) {
        if (!query.exec(u"VACUUM "_s + table))
            return query.lastError().text();
    }
    return {};
}

// The program started in a working folder, its message boxes answered by script.
class Program {
public:
    // `yes`: the boxes of the start itself answered Yes.
    explicit Program(const QString &folder, int yes = 0)
        : m_previous(QDir::currentPath())
    {
        QDir::setCurrent(folder);
        Activation::followWindowSystem(false);
        Printer::setTarget(Printer::Target::Pdf);
        m_answers = std::make_unique<Messages::ScriptedResponder>();
        if (yes > 0)
            m_answers->answerYes(yes);
        startProgram();
        settle();
    }
    ~Program()
    {
        Windows::destroyAll();
        resetGlobals();
        Activation::reset();
        m_answers.reset();
        QDir::setCurrent(m_previous);
    }
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    bool started() const { return Windows::existingForm1() != nullptr; }
    Messages::ScriptedResponder &answers() { return *m_answers; }

private:
    QString m_previous;
    std::unique_ptr<Messages::ScriptedResponder> m_answers;
};

struct Case {
    std::function<QString()> prepare = [] { return QString(); }; // once; an error stops the case
    std::function<void()> before = [] {};                        // untimed, before each repetition
    std::function<void()> timed;
    std::function<QString()> after; // untimed: checks, puts the data back
    std::function<void()> finish = [] {};
    qint64 rows = 0;
    QStringList notes;
};

// Lines built by a timed repetition, with the read the store refused, for the checks after it.
struct Built {
    QStringList lines;
    qsizetype compactLines = 0; // lines kept as the list window keeps them
    Store::Result refusal;

    // Counts the lines and lets them go: the next repetition builds its own.
    QString take(Case *c, qsizetype fewest, const QString &tooFew)
    {
        c->rows = lines.size() + compactLines;
        lines.clear();
        compactLines = 0;
        if (!refusal.ok())
            return u"the store refused a read: "_s + refusal.description;
        return c->rows >= fewest ? QString() : tooFew;
    }
};

// The statistics' reads and lines, as "Elabora" builds them.
std::unique_ptr<Case> statistics()
{
    auto c = std::make_unique<Case>();
    Case *self = c.get();
    auto built = std::make_shared<Built>();
    c->timed = [built] {
        built->lines = buildStatistics({statisticsFrom, statisticsTo, u"TUTTI"_s, u"TUTTI"_s}, &built->refusal);
    };
    c->after = [self, built] { return built->take(self, 4, u"the statistics list no volunteer"_s); };
    return c;
}

// The health surveillance's reads and evaluation, as "Elabora" runs them.
std::unique_ptr<Case> surveillance()
{
    auto c = std::make_unique<Case>();
    Case *self = c.get();
    auto outcome = std::make_shared<Surveillance::Outcome>();
    c->timed = [outcome] {
        const QDate to = QDate::fromString(surveillanceTo, u"dd/MM/yyyy"_s);
        *outcome = Surveillance::evaluate(*mainWindow().Data5, *mainWindow().Data4,
                                          QDate::fromString(surveillanceFrom, u"dd/MM/yyyy"_s), to, to);
    };
    c->after = [self, outcome] {
        self->rows = outcome->rows.size();
        outcome->rows.clear();
        if (!outcome->refusal.ok())
            return u"the store refused a read: "_s + outcome->refusal.description;
        return self->rows >= 4 ? QString() : u"the evaluation lists no volunteer"_s;
    };
    return c;
}

// A list's reads and lines, as the list window builds them when it comes up.
std::unique_ptr<Case> list(const QString &mode)
{
    auto c = std::make_unique<Case>();
    Case *self = c.get();
    auto built = std::make_shared<Built>();
    // Coming from the main window, whose grid reads the activities again.
    c->before = [] { mainWindow().showActivities(); };
    c->timed = [mode, built] {
        // Kept as the list window keeps them, so that the memory measured is the window's.
        CompactLines lines;
        QStringList keys;
        built->refusal = buildList(
            mode, riskTable, [&](const QString &line) { lines.append(line); }, &keys);
        lines.squeeze();
        built->compactLines = lines.size();
    };
    c->after = [self, built] { return built->take(self, 1, u"the list is empty"_s); };
    return c;
}

std::unique_ptr<Case> import(Program &program)
{
    auto c = std::make_unique<Case>();
    Case *self = c.get();
    auto lastRow = std::make_shared<qint64>(0);
    c->prepare = [lastRow] {
        *lastRow = scalar(u"select max(%1) from VOLO"_s.arg(writeMark())).toLongLong();
        return QFile::exists(Schema::importFile) ? QString() : u"no voloesp.mdb"_s;
    };
    c->before = [&program] { program.answers().answerYes(); };
    c->timed = [] { importavolontari(); };
    c->after = [self, lastRow] {
        self->rows = scalar(u"select count(*) from VOLO where %1 > ?"_s.arg(writeMark()), {*lastRow}).toLongLong();
        // The next repetition finds the register as it was.
        const QString problem = write(u"delete from VOLO where %1 > ?"_s.arg(writeMark()), {*lastRow});
        return problem.isEmpty() ? vacuumed({u"VOLO"_s}) : problem;
    };
    return c;
}

std::unique_ptr<Case> exportDetails(Program &program)
{
    auto c = std::make_unique<Case>();
    Case *self = c.get();
    c->before = [&program] { program.answers().answerYes(); };
    c->timed = [] { esportadatabase(); };
    c->after = [self, &program] {
        const QStringList files = QDir().entryList({u"dbattivitaesp*.xls"_s}, QDir::Files);
        if (files.size() != 1)
            return u"no workbook written: "_s + program.answers().shown().join(u" | "_s);
        self->rows = scalar(u"select count(*) from ATTIVDETT"_s).toLongLong();
        self->notes = QStringList{u"workbook of %1 bytes"_s.arg(QFileInfo(files.first()).size())};
        QFile::remove(files.first());
        return QString();
    };
    return c;
}

// Prints from the start date at which the register reaches the wanted number of lines.
std::unique_ptr<Case> registerPrintout(Program &program, const QString &drawingFile)
{
    auto c = std::make_unique<Case>();
    Case *self = c.get();
    c->prepare = [self] {
        QSqlQuery query(registerDb());
        query.exec(u"select a.NOTE4, (select count(*) from ATTIVDETT d where d.DESCRATT = a.DESCRATT and "
                   u"d.DATAINATT = a.DATAINATT) from ATTIVITA a order by a.NOTE4 desc"_s);
        QString start;
        qint64 lines = 0;
        while (query.next()) {
            const QString date = query.value(0).toString();
            if (lines >= registerLines && date != start)
                break;
            start = date;
            lines += 1 + query.value(1).toLongLong();
        }
        globals().datainiziostampa = start;
        self->rows = lines;
        self->notes << u"from "_s + start;
        return lines > 0 ? QString() : u"no activity to print"_s;
    };
    // What the warm-up drew is kept for the floor; the timed runs draw as the program does,
    // without recording.
    auto drawn = std::make_shared<QList<DrawnItem>>();
    auto warmUp = std::make_shared<bool>(true);
    // Where the PDF went (left unopened), and that the register was printed.
    c->before = [&program, warmUp] {
        program.answers().answerNo();
        program.answers().answerYes();
        Printer::setRecording(*warmUp);
    };
    c->timed = [] { stamparegistro(); };
    c->after = [drawn, warmUp] {
        const QStringList pdfs = QDir().entryList({u"registro-attivita-*.pdf"_s}, QDir::Files);
        for (const QString &pdf : pdfs)
            QFile::remove(pdf);
        if (*warmUp)
            *drawn = Printer::lastRecording();
        *warmUp = false;
        Printer::setRecording(false);
        return pdfs.isEmpty() || drawn->isEmpty() ? u"nothing printed"_s : QString();
    };
    c->finish = [drawingFile, drawn] {
        if (drawingFile.isEmpty())
            return;
        // What was drawn, for the floor to draw again with the same fonts and positions.
        QFile out(drawingFile);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return;
        QString text;
        for (const DrawnItem &item : std::as_const(*drawn)) {
            const QString kind = item.kind == DrawnItem::Kind::Text        ? u"T"_s
                                 : item.kind == DrawnItem::Kind::Rectangle ? u"R"_s
                                                                           : u"P"_s;
            const QString font = item.kind == DrawnItem::Kind::Text
                                     ? Twips::font(item.font, item.size, item.bold).toString()
                                     : QString();
            text += QStringList{kind,
                                QString::number(item.page),
                                QString::number(item.x),
                                QString::number(item.y),
                                QString::number(item.width),
                                QString::number(item.height),
                                font,
                                item.text}
                        .join(u'\t') +
                    u'\n';
        }
        out.write(text.toUtf8());
    };
    return c;
}

// Volunteers added to a busy activity through the details window, and what they are added with.
struct Addition {
    QString description;
    QString start;
    QStringList newcomers; // their texts, as the window's archive lists them
    qint64 lastRow = 0;
    QVariant hours6;
    QVariant manHours;
    Activity activity;   // as the window shows it once chosen
    QStringList present; // the lines of the volunteers present after the addition
    QString problem;
};

// The activity and the lines of its volunteers present, as the details window reads and
// lists them on choosing it; false when the store refused a read.
bool choose(Addition &addition)
{
    MainWindowInterface &main = mainWindow();
    addition.present.clear();
    for (const Activity &activity :
         Activities::named(*main.Data3, addition.description, addition.start, Activities::Order::Start)) {
        addition.activity = activity;
        for (const DetailRow &row : Details::listed(*main.Data4, activity.start, activity.description)) {
            std::array<double, riskClasses.size()> hours{};
            for (size_t i = 0; i < hours.size(); ++i)
                hours[i] = row.risk.at(i);
            addition.present << detailLine(row.surname, row.name, hours);
        }
    }
    Controls::sortLikeList(addition.present);
    return !main.Data3->failed() && !main.Data4->failed();
}

// The button of class R6 for the newcomers: their rows and the activity's totals in one commit.
QString addNewcomers(const Addition &addition)
{
    MainWindowInterface &main = mainWindow();
    Details::Addition press;
    press.description = addition.description;
    press.start = addition.start;
    press.end = addition.activity.end;
    press.place = addition.activity.place;
    press.province = addition.activity.province;
    press.note1 = addition.activity.note1;
    press.note2 = addition.activity.note2;
    press.riskIndex = size_t(riskClassOfLabel(u"R6") - riskClasses.data());
    press.hours = 2.5;
    press.volunteers = addition.newcomers;
    const Details::Press done = Details::addVolunteers(*main.Data3, *main.Data4, press);
    if (done.outcome != Details::Press::Outcome::Stored)
        return done.why.description;
    if (!done.failures.isEmpty())
        return done.failures.join(u'\n');
    return done.done == addition.newcomers.size() ? QString() : u"not every newcomer was added"_s;
}

// What a user's addition of volunteers reads and writes: the details window opened from the
// menu, the activity chosen, the button pressed, the window's lists read again.
std::unique_ptr<Case> details()
{
    auto c = std::make_unique<Case>();
    Case *self = c.get();
    auto state = std::make_shared<Addition>();
    c->prepare = [state, self] {
        QSqlQuery query(registerDb());
        query.prepare(u"select DESCRATT, DATAINATT from ATTIVDETT group by DESCRATT, DATAINATT having count(*) = ? "
                      u"limit 1"_s);
        query.addBindValue(Generator::busyActivityVolunteers);
        if (!query.exec() || !query.next())
            return u"no activity with %1 volunteers"_s.arg(Generator::busyActivityVolunteers);
        state->description = query.value(0).toString();
        state->start = query.value(1).toString();
        query.prepare(u"select COGN || ' ' || NOME from VOLO where COGN || ' ' || NOME not in (select COGN from "
                      u"ATTIVDETT where DESCRATT = ? and DATAINATT = ?) order by %1 limit ?"_s.arg(rowOrder()));
        query.addBindValue(state->description);
        query.addBindValue(state->start);
        query.addBindValue(volunteersAdded);
        query.exec();
        while (query.next())
            state->newcomers << query.value(0).toString();
        state->lastRow = scalar(u"select max(%1) from ATTIVDETT"_s.arg(writeMark())).toLongLong();
        query.prepare(u"select ORET6, OREUOMO from ATTIVITA where DESCRATT = ? and DATAINATT = ?"_s);
        query.addBindValue(state->description);
        query.addBindValue(state->start);
        if (query.exec() && query.next()) {
            state->hours6 = query.value(0);
            state->manHours = query.value(1);
        }
        self->notes << state->description + u" of "_s + state->start;
        return state->newcomers.size() == volunteersAdded ? QString() : u"not enough volunteers to add"_s;
    };
    // Coming from the main window, whose grid reads the activities again.
    c->before = [] { mainWindow().showActivities(); };
    c->timed = [state] {
        MainWindowInterface &main = mainWindow();
        // Opening: every activity for the window's lists, the archive of volunteers for its own.
        Activities::startsAndDescriptions(*main.Data3);
        Details::archive(*main.Data6);
        // Choosing the day, then the activity.
        Activities::ofDate(*main.Data3, state->start);
        state->problem = choose(*state) ? addNewcomers(*state) : u"the activity could not be read"_s;
        if (!state->problem.isEmpty())
            return;
        Details::archive(*main.Data6);
        if (!choose(*state) || main.Data6->failed())
            state->problem = u"the lists could not be read again"_s;
    };
    c->after = [state, self] {
        if (!state->problem.isEmpty())
            return state->problem;
        self->rows = state->present.size();
        if (self->rows != Generator::busyActivityVolunteers + volunteersAdded)
            return u"%1 volunteers present after adding"_s.arg(self->rows);
        QString problem = write(u"delete from ATTIVDETT where %1 > ?"_s.arg(writeMark()), {state->lastRow});
        if (problem.isEmpty())
            problem = write(u"update ATTIVITA set ORET6 = ?, OREUOMO = ? where DESCRATT = ? and DATAINATT = ?"_s,
                            {state->hours6, state->manHours, state->description, state->start});
        return problem.isEmpty() ? vacuumed({u"ATTIVDETT"_s, u"ATTIVITA"_s}) : problem;
    };
    return c;
}

// The copy kept at the first start of a day, before anything is written.
std::unique_ptr<Case> dailyBackup()
{
    auto c = std::make_unique<Case>();
    Case *self = c.get();
    const QString copy = u"backup/attivita-"_s + Clock::today().toString(u"yyyyMMdd"_s) + u".mdb"_s;
    // Each repetition is the day's first start again: the program made today's copy when it started.
    c->before = [copy] { QFile::remove(copy); };
    auto failure = std::make_shared<std::optional<QString>>();
    c->timed = [failure] { *failure = Store::keepDailyBackup(); };
    c->after = [self, copy, failure] {
        if (*failure)
            return **failure;
        self->rows = scalar(u"select count(*) from ATTIVDETT"_s).toLongLong();
        self->notes = QStringList{u"copy of %1 MB"_s.arg(QFileInfo(copy).size() / 1048576)};
        return QFile::exists(copy) ? QString() : u"no copy made"_s;
    };
    return c;
}

// "Controlla archivio": the whole register read and checked, as the window does before showing it.
std::unique_ptr<Case> registerCheck()
{
    auto c = std::make_unique<Case>();
    Case *self = c.get();
    auto report = std::make_shared<RegisterCheck::Report>();
    c->timed = [report] {
        *report = RegisterCheck::check(*Windows::form1()->Data4,
                                       [](const QString &code) { return TaxCode::wrongCheckCharacter(code); });
    };
    c->after = [self, report] {
        if (!report->refusal.ok())
            return report->refusal.description;
        self->rows = scalar(u"select count(*) from ATTIVDETT"_s).toLongLong();
        self->notes = QStringList{u"%1 findings"_s.arg(report->findings.size())};
        return QString();
    };
    return c;
}

std::unique_ptr<Case> makeCase(const QString &name, Program &program, const QString &extra)
{
    if (name == u"statistics"_s)
        return statistics();
    if (name == u"surveillance"_s)
        return surveillance();
    if (name == u"list-ed"_s)
        return list(u"ED"_s);
    if (name == u"list-er"_s)
        return list(u"ER"_s);
    if (name == u"list-ev"_s)
        return list(u"EV"_s);
    if (name == u"import"_s)
        return import(program);
    if (name == u"export"_s)
        return exportDetails(program);
    if (name == u"register"_s)
        return registerPrintout(program, extra);
    if (name == u"details"_s)
        return details();
    if (name == u"backup"_s)
        return dailyBackup();
    if (name == u"check"_s)
        return registerCheck();
    return nullptr;
}

// Runs one case in a started program; false after saying what went wrong.
bool runIn(Program &program, const QString &name, int repetitions, const QString &extra, bool printTimes)
{
    const std::unique_ptr<Case> c = makeCase(name, program, extra);
    if (!c) {
        say(u"error"_s, u"unknown case "_s + name);
        return false;
    }
    if (const QString problem = c->prepare(); !problem.isEmpty()) {
        say(u"error"_s, problem);
        return false;
    }
    for (int i = 0; i <= repetitions; ++i) {
        c->before();
        idle();
        QElapsedTimer timer;
        timer.start();
        c->timed();
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        if (const QString problem = c->after(); !problem.isEmpty()) {
            say(u"error"_s, problem);
            return false;
        }
        // The first run is the warm-up.
        if (i > 0 && printTimes)
            say(u"time"_s, QString::number(seconds, 'f', 6));
    }
    c->finish();
    if (printTimes) {
        say(u"rows"_s, QString::number(c->rows));
        for (const QString &note : c->notes) {
            if (!note.isEmpty())
                say(u"note"_s, note);
        }
    }
    if (!program.answers().unexpected().isEmpty()) {
        say(u"error"_s, u"unexpected message: "_s + program.answers().unexpected().join(u" | "_s));
        return false;
    }
    return true;
}

} // namespace

QStringList names()
{
    return {u"statistics"_s, u"surveillance"_s, u"list-ed"_s,  u"list-er"_s, u"list-ev"_s,
            u"import"_s,     u"export"_s,       u"register"_s, u"details"_s, u"backup"_s};
}

long peakResidentKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int runCase(const QString &name, const QString &folder, int repetitions, const QString &extra)
{
    bool ok = false;
    {
        Program program(folder);
        if (!program.started())
            say(u"error"_s, u"the program did not start in "_s + folder);
        else
            ok = runIn(program, name, repetitions, extra, true);
    }
    say(u"rss"_s, QString::number(peakResidentKilobytes()));
    return ok ? 0 : 1;
}

int copyToServer(const QString &folder)
{
    bool copied = false;
    {
        // Yes to the copy, then OK to the count of rows copied.
        Program program(folder, 2);
        const QStringList shown = program.answers().shown();
        copied = program.started() && shown.size() == 2 && shown.last().startsWith(u"Copiate sul server"_s);
        if (!copied)
            say(u"error"_s, u"the register was not copied to the server: "_s + shown.join(u" | "_s));
    }
    return copied ? 0 : 1;
}

int runStartup(const QString &folder)
{
    QDir::setCurrent(folder);
    Messages::ScriptedResponder answers;
    startProgram();
    // Idle: the main window is shown and the event loop has nothing left to do, the
    // program's own work on going idle done first.
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, [&answers]() {
        const Form1 *main = Windows::existingForm1();
        if (!main || !main->isVisible())
            return;
        if (!answers.unexpected().isEmpty())
            say(u"error"_s, u"unexpected message: "_s + answers.unexpected().join(u" | "_s));
        say(u"rss"_s, QString::number(peakResidentKilobytes()));
        // Nothing is left to tear down that the measurement should include.
        std::_Exit(answers.unexpected().isEmpty() ? 0 : 1);
    });
    return QApplication::exec();
}

int runSession(const QString &folder, const QString &exportFolder)
{
    bool ok = true;
    {
        Program program(folder);
        ok = program.started();
        for (const QString &name : names()) {
            if (ok && name != u"export"_s)
                ok = runIn(program, name, 0, QString(), false);
        }
    }
    if (ok) {
        Program program(exportFolder);
        ok = program.started() && runIn(program, u"export"_s, 0, QString(), false);
    }
    say(u"rss"_s, QString::number(peakResidentKilobytes()));
    return ok ? 0 : 1;
}

} // namespace Cases
