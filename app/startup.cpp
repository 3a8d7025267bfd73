#include "app/startup.h"

#include "app/form11.h"
#include "app/windows.h"
#include "common/twips.h"
#include "store/referencedata.h"

#include <QApplication>

using namespace Qt::StringLiterals;

void startProgram()
{
    QApplication::setApplicationName(u"Sentaro"_s);
    QApplication::setOrganizationName(u"Sentaro"_s);
    // The windows were laid out for a small sans-serif font; its metric twin keeps labels within their places.
    QApplication::setFont(Twips::font(u"MS Sans Serif"_s, 8.25));
    Store::initResources();
    Windows::form11()->load();
}
