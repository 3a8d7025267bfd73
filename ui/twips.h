#pragma once

#include <QFont>
#include <QString>

class QWidget;

// Window layout is given in twips, 1440 to the inch.
namespace Twips {
int toPixels(int twips);
void place(QWidget *widget, int left, int top, int width, int height);
void resizeClient(QWidget *window, int width, int height);

// The fonts of the layout, resolved to the metric-compatible fonts installed here.
QFont font(const QString &family, double pointSize, bool bold = false);
} // namespace Twips
