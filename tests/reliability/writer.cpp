// Runs the program's writing operations over and over in a working folder, saying after
// each one that has completed what it wrote, so that a test can kill it at any moment and
// check that what was completed is still there.
//
//   sentaro-writer GROUP FOLDER RUN
//
// GROUP: activities, people, bulk, conversion, start, readonly
// Lines: STARTED, then per completed operation one of
//   ACTIVITY name | DETAILS name | RENAMED old new | DELETED name
//   VOLUNTEER surname | NOVOLUNTEER surname | ORGANISATION name | NOORGANISATION name
//   IMPORTED | EMPTIEDVOLUNTEERS | EMPTIEDACTIVITIES | EXPORTED | CONVERSION
// and, for "start" (the start alone) and "readonly", one line per message shown: MESSAGE text

#include "activities/form2.h"
#include "app/form1.h"
#include "app/maintenance.h"
#include "app/windows.h"
#include "common/controls.h"
#include "common/globals.h"
#include "common/messages.h"
#include "organisations/formass.h"
#include "participation/form3.h"
#include "participation/participation.h"
#include "testsupport.h"
#include "volunteers/formvol.h"
#include "volunteers/import.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRandomGenerator>

#include <cstdio>

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

void fillActivity(Form2 *form, const QString &name)
{
    form->f2datain->setEditText(u"01/02/2011"_s);
    form->f2datafi->setText(u"01/02/2011"_s);
    form->f2descr->setEditText(name);
    form->f2loc->setText(u"ROMA"_s);
    form->f2prov->setText(u"RM"_s);
}

void activities(int run)
{
    Form2 *form = Windows::form2();
    Form3 *details = Windows::form3();
    for (int i = 0;; ++i) {
        const QString name = u"ATT %1 %2"_s.arg(run).arg(i);
        doing(u"ACTIVITY "_s + name);
        fillActivity(form, name);
        form->cmdreg->click();
        say(u"ACTIVITY "_s + name);

        doing(u"DETAILS "_s + name);
        activate(Windows::form1());
        activate(details);
        globals().dataattivita = u"01/02/2011"_s;
        details->f3descr->setEditText(name);
        caricadettagli();
        for (int v = 1; v <= 3 && v < details->List2->count(); ++v)
            details->List2->item(v)->setSelected(true);
        details->orestandard->setText(u"2,5"_s);
        details->cmdr6->click();
        say(u"DETAILS "_s + name);

        const QString renamed = u"REN %1 %2"_s.arg(run).arg(i);
        doing(u"RENAMED "_s + name + u'|' + renamed);
        globals().descrattivita = name;
        fillActivity(form, renamed);
        form->cmdmodifica->click();
        say(u"RENAMED "_s + name + u'|' + renamed);

        if (i % 2 == 1) {
            doing(u"DELETED "_s + renamed);
            fillActivity(form, renamed);
            form->cmdelimina->click();
            say(u"DELETED "_s + renamed);
        }
    }
}

void people(int run)
{
    Formvol *volunteer = Windows::formvol();
    Formass *organisation = Windows::formass();
    for (int i = 0;; ++i) {
        globals().tipoopvol = u"I"_s;
        const QString surname = u"VOL%1X%2"_s.arg(run).arg(i);
        doing(u"VOLUNTEER "_s + surname);
        volunteer->cmbassdenom->setEditText(u"GRUPPO"_s);
        volunteer->fvcogn->setText(surname);
        volunteer->fvnome->setText(u"NOME"_s);
        volunteer->cmdregistra->click();
        say(u"VOLUNTEER "_s + surname);
        if (i % 3 == 2) {
            doing(u"NOVOLUNTEER "_s + surname);
            globals().tipoopvol = u"C"_s;
            volunteer->fvcogn->setText(surname);
            volunteer->fvnome->setText(u"NOME"_s);
            volunteer->cmdregistra->click();
            say(u"NOVOLUNTEER "_s + surname);
        }
        globals().tipoopass = u"I"_s;
        const QString name = u"ORG %1 %2"_s.arg(run).arg(i);
        doing(u"ORGANISATION "_s + name);
        organisation->cmbassdenom->setEditText(name);
        organisation->cmdassregistra->click();
        say(u"ORGANISATION "_s + name);
        if (i % 3 == 2) {
            doing(u"NOORGANISATION "_s + name);
            globals().tipoopass = u"A"_s;
            organisation->cmbassdenom->setEditText(name);
            organisation->cmdassregistra->click();
            say(u"NOORGANISATION "_s + name);
        }
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
    QFile::setPermissions(QDir::currentPath(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadUser |
                                                   QFile::ExeUser);
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
    else if (group == u"readonly"_s) {
        readOnlyFolder();
        tell();
    }
    // "conversion" and "start": the start alone.
    return 0;
}
