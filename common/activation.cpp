#include "common/activation.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace {
QPointer<QWidget> &returningTo()
{
    static QPointer<QWidget> window;
    return window;
}

QPointer<QWidget> &ownerOfOpenBox()
{
    static QPointer<QWidget> window;
    return window;
}
} // namespace

ActivationWatcher::ActivationWatcher(QWidget *window, std::function<void()> onActivated)
    : QObject(window)
    , m_window(window)
    , m_onActivated(std::move(onActivated))
{
    window->installEventFilter(this);
}

bool ActivationWatcher::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::WindowActivate) {
        const bool backFromBox = returningTo() == m_window;
        returningTo() = nullptr;
        if (!backFromBox && m_onActivated)
            m_onActivated();
    }
    return QObject::eventFilter(watched, event);
}

ModalReturn::ModalReturn()
{
    ownerOfOpenBox() = QApplication::activeWindow();
}

ModalReturn::~ModalReturn()
{
    returningTo() = ownerOfOpenBox();
    ownerOfOpenBox() = nullptr;
}
