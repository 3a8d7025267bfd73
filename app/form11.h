#pragma once

#include <QWidget>

class QLabel;

// The splash window shown at start; any click, key or loss of focus dismisses it.
class Form11 : public QWidget {
    Q_OBJECT
public:
    Form11();

    // Shows the splash over the main window, which it makes first. False when the
    // main window could not load.
    bool load();
    void dismiss();

    QLabel *Picture1;
    QLabel *Picture2;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    bool m_wasActive = false;
};
