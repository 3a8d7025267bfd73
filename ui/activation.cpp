#include "ui/activation.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QHash>
#include <QPointer>
#include <QWidget>

namespace Activation {
namespace {

class Tracker : public QObject {
public:
    QHash<QWidget *, std::function<void()>> handlers;
    QPointer<QWidget> lastActive;
    bool followWindowSystem = true;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::WindowActivate && watched->isWidgetType() &&
            (followWindowSystem || !event->spontaneous())) {
            auto *window = static_cast<QWidget *>(watched);
            // Boxes and prompts are dialogs; they never take the place of the window below.
            if (window->isWindow() && !qobject_cast<QDialog *>(window) && window != lastActive) {
                lastActive = window;
                const auto handler = handlers.constFind(window);
                if (handler != handlers.constEnd() && *handler)
                    (*handler)();
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

QPointer<Tracker> &instance()
{
    static QPointer<Tracker> tracker;
    return tracker;
}

Tracker &tracker()
{
    if (!instance()) {
        auto *created = new Tracker;
        created->setParent(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(created);
        instance() = created;
    }
    return *instance();
}

} // namespace

void watch(QWidget *window, std::function<void()> onActivated)
{
    Tracker &t = tracker();
    t.handlers.insert(window, std::move(onActivated));
    QObject::connect(window, &QObject::destroyed, &t, [window]() { tracker().handlers.remove(window); });
}

void followWindowSystem(bool follow)
{
    tracker().followWindowSystem = follow;
}

QWidget *lastActiveWindow()
{
    return instance() ? instance()->lastActive.data() : nullptr;
}

void reset()
{
    if (instance())
        instance()->lastActive = nullptr;
}

} // namespace Activation
