#pragma once

#include <QObject>

#include <functional>

class QWidget;

// A window's activation is the user moving to it from another window of the program,
// or its first showing. The focus coming back from one of our own message boxes or
// prompts is not one, although the window manager reports it as such.
class ActivationWatcher : public QObject {
    Q_OBJECT
public:
    ActivationWatcher(QWidget *window, std::function<void()> onActivated);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    std::function<void()> m_onActivated;
};

// Held while a modal box of ours is open: when it closes, the window that was active
// before it gets its activation back without it counting.
class ModalReturn {
public:
    ModalReturn();
    ~ModalReturn();
    ModalReturn(const ModalReturn &) = delete;
    ModalReturn &operator=(const ModalReturn &) = delete;
};
