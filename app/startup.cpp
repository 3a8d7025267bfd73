#include "app/startup.h"

#include "app/form11.h"
#include "app/windows.h"
#include "store/referencedata.h"
#include "ui/twips.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace {
// Qt's own texts (the context menu of text boxes, the buttons of dialogs) in Italian, where the
// system has Qt's translations; the message boxes name their buttons themselves.
void loadItalianTranslations()
{
    static QPointer<QTranslator> translator;
    if (translator)
        return;
    translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QLocale(QLocale::Italian, QLocale::Italy), u"qtbase"_s, u"_"_s,
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
}
} // namespace

void startProgram()
{
    loadItalianTranslations();
    QApplication::setApplicationName(u"Sentaro"_s);
    QApplication::setOrganizationName(u"Sentaro"_s);
    // The windows were laid out for a small sans-serif font; its metric twin keeps labels within their places.
    QApplication::setFont(Twips::font(u"MS Sans Serif"_s, 8.25));
    Store::initResources();
    Windows::form11()->load();
}
