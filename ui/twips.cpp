#include "ui/twips.h"

#include <QGuiApplication>
#include <QHash>
#include <QScreen>
#include <QWidget>

#include <cmath>

using namespace Qt::StringLiterals;

namespace Twips {
int toPixels(int twips)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

void place(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

void resizeClient(QWidget *window, int width, int height)
{
    window->resize(toPixels(width), toPixels(height));
}

QFont font(const QString &family, double pointSize, bool bold)
{
    static const QHash<QString, QString> standIns = {
        {u"Times New Roman"_s, u"Liberation Serif"_s},
        {u"MS Serif"_s, u"Liberation Serif"_s},
        {u"Arial"_s, u"Liberation Sans"_s},
        {u"MS Sans Serif"_s, u"Liberation Sans"_s},
        {u"Courier New"_s, u"Liberation Mono"_s},
    };
    QFont result(standIns.value(family, family));
    result.setPointSizeF(pointSize);
    result.setBold(bold);
    if (family == u"Courier New"_s)
        result.setStyleHint(QFont::Monospace);
    return result;
}
} // namespace Twips
