#include "ui/windowaccess.h"

#include <QtGlobal>

namespace Windows {
namespace {
Makers &makers()
{
    static Makers given;
    return given;
}

// Asked for before app/ gave its makers: a program built without app/, never a user's doing.
template <class Function> Function made(Function function)
{
    if (!function)
        qFatal("Windows asked for before the program made its makers known");
    return function;
}
} // namespace

void provide(const Makers &given)
{
    makers() = given;
}

MainWindowInterface *mainWindow()
{
    return made(makers().mainWindow)();
}

MainWindowInterface *existingMainWindow()
{
    return made(makers().existingMainWindow)();
}

Form2 *form2()
{
    return made(makers().form2)();
}

Form3 *form3()
{
    return made(makers().form3)();
}

Formass *formass()
{
    return made(makers().formass)();
}

Formvol *formvol()
{
    return made(makers().formvol)();
}

void showFormvol()
{
    made(makers().showFormvol)();
}

void fillActivityLists(QComboBox *dates, QComboBox *descriptions)
{
    made(makers().fillActivityLists)(dates, descriptions);
}
} // namespace Windows
