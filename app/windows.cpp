#include "app/windows.h"

#include "activities/activityregistry.h"
#include "activities/form2.h"
#include "app/form1.h"
#include "app/form11.h"
#include "app/help.h"
#include "common/globals.h"
#include "organisations/formass.h"
#include "participation/form3.h"
#include "reports/formlist.h"
#include "statistics/form4.h"
#include "store/backup.h"
#include "store/database.h"
#include "surveillance/formsorv.h"
#include "ui/controls.h"
#include "volunteers/formvol.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

namespace Windows {
namespace {
struct Registry {
    QPointer<Form11> form11;
    QPointer<Form1> form1;
    QPointer<Formvol> formvol;
    QPointer<Form2> form2;
    QPointer<Form3> form3;
    QPointer<Formass> formass;
    QPointer<Formlist> formlist;
    QPointer<Form4> form4;
    QPointer<Formsorv> formsorv;
    QPointer<Formguida> formguida;
    bool ending = false;
};

Registry &registry()
{
    static Registry windows;
    return windows;
}
} // namespace

Form11 *form11()
{
    if (!registry().form11)
        registry().form11 = new Form11;
    return registry().form11;
}

Form1 *form1()
{
    if (!registry().form1 && !registry().ending) {
        auto *window = new Form1;
        registry().form1 = window;
        if (!window->load()) {
            registry().form1 = nullptr;
            delete window;
            endProgram(1);
            return nullptr;
        }
    }
    return registry().form1;
}

Form1 *existingForm1()
{
    return registry().form1;
}

static MainWindowInterface *makeMainWindow()
{
    return form1();
}

static MainWindowInterface *existingMainWindowMade()
{
    return existingForm1();
}

static Formvol *makeFormvol()
{
    if (!registry().formvol) {
        auto *window = new Formvol;
        Controls::finishWindow(window, window->cmdregistra);
        registry().formvol = window;
    }
    if (registry().form1)
        registry().form1->fillMunicipalities(registry().formvol);
    return registry().formvol;
}

static Form2 *makeForm2()
{
    if (!registry().form2) {
        auto *window = new Form2;
        Controls::finishWindow(window, window->cmdreg);
        registry().form2 = window;
    }
    return registry().form2;
}

static void showFormvolMade()
{
    Controls::showWindow(makeFormvol());
}

static void fillActivityListsMade(QComboBox *dates, QComboBox *descriptions)
{
    ::fillActivityLists(dates, descriptions);
}

static Form3 *makeForm3()
{
    if (!registry().form3) {
        auto *window = new Form3;
        Controls::finishWindow(window);
        registry().form3 = window;
    }
    return registry().form3;
}

static Formass *makeFormass()
{
    if (!registry().formass) {
        auto *window = new Formass;
        Controls::finishWindow(window, window->cmdassregistra);
        registry().formass = window;
    }
    return registry().formass;
}

Formlist *formlist()
{
    if (!registry().formlist) {
        auto *window = new Formlist;
        Controls::finishWindow(window);
        registry().formlist = window;
    }
    return registry().formlist;
}

Form4 *form4()
{
    if (!registry().form4) {
        auto *window = new Form4;
        Controls::finishWindow(window, window->cmdelab);
        registry().form4 = window;
    }
    return registry().form4;
}

Formsorv *formsorv()
{
    if (!registry().formsorv) {
        auto *window = new Formsorv;
        Controls::finishWindow(window, window->cmdelabora);
        registry().formsorv = window;
    }
    return registry().formsorv;
}

Formguida *formguida()
{
    if (!registry().formguida)
        registry().formguida = new Formguida;
    return registry().formguida;
}

void endProgram(int exitCode)
{
    if (registry().ending)
        return;
    registry().ending = true;
    for (QWidget *window : QApplication::topLevelWidgets())
        window->hide();
    // Before the event loop runs, exit() would be ignored: leave it queued.
    QTimer::singleShot(0, QCoreApplication::instance(), [exitCode]() { QCoreApplication::exit(exitCode); });
}

bool endRequested()
{
    return registry().ending;
}

void destroyAll()
{
    Registry &windows = registry();
    delete windows.form11;
    delete windows.formvol;
    delete windows.form2;
    delete windows.form3;
    delete windows.formass;
    delete windows.formlist;
    delete windows.form4;
    delete windows.formsorv;
    delete windows.formguida;
    delete windows.form1;
    windows = Registry{};
    Store::closeAll();
    Store::unlockWorkingFolder();
}

namespace {
// Given before the program starts: whatever makes windows links this file.
const bool makersGiven = (provide({makeMainWindow, existingMainWindowMade, makeForm2, makeForm3, makeFormass,
                                   makeFormvol, showFormvolMade, fillActivityListsMade}),
                          true);
} // namespace
} // namespace Windows
