#include "app/startup.h"

#include "app/form11.h"
#include "app/windows.h"
#include "store/referencedata.h"

#include <QApplication>

using namespace Qt::StringLiterals;

void startProgram()
{
    QApplication::setApplicationName(u"Sentaro"_s);
    QApplication::setOrganizationName(u"Sentaro"_s);
    Store::initResources();
    Windows::form11()->load();
}
