#include "ui/hourglass.h"

#include <QApplication>

namespace Hourglass {
void set()
{
    if (!QApplication::overrideCursor())
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

void reset()
{
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}
} // namespace Hourglass
