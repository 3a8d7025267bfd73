// The program's windows under a real X server and window manager: what the offscreen
// tests cannot see (activation by the window manager, frames, placement).
#include "app/form1.h"
#include "app/form11.h"
#include "app/windows.h"
#include "common/activation.h"
#include "common/controls.h"
#include "common/globals.h"
#include "common/messages.h"
#include "testsupport.h"
#include "participation/form3.h"
#include "statistics/form4.h"
#include "volunteers/formvol.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {
// An X server of our own on a free display, with a window manager; nothing when none can start.
class Desktop {
public:
    bool start()
    {
        // Xvfb picks a free display and writes its number to the descriptor given, here its output.
        m_server.start(u"Xvfb"_s, {u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s, u"1024x768x24"_s,
                                   u"-nolisten"_s, u"tcp"_s});
        if (!m_server.waitForStarted(10000))
            return fail(u"Xvfb non avviabile: "_s + m_server.errorString());
        QByteArray number;
        while (!number.contains('\n') && m_server.waitForReadyRead(10000))
            number += m_server.readAllStandardOutput();
        if (number.trimmed().isEmpty())
            return fail(u"Xvfb non ha indicato il display"_s);
        m_display = u":"_s + QString::fromLatin1(number.trimmed());
        qputenv("DISPLAY", m_display.toLatin1());
        qputenv("QT_QPA_PLATFORM", "xcb");
        m_windowManager.start(u"openbox"_s, {u"--sm-disable"_s});
        if (!m_windowManager.waitForStarted(10000))
            return fail(u"openbox non avviabile: "_s + m_windowManager.errorString());
        return true;
    }

    void stop()
    {
        for (QProcess *process : {&m_windowManager, &m_server}) {
            if (process->state() == QProcess::NotRunning)
                continue;
            process->terminate();
            if (!process->waitForFinished(5000)) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
    }

    const QString &problem() const { return m_problem; }

private:
    bool fail(const QString &problem)
    {
        m_problem = problem;
        stop();
        return false;
    }

    QProcess m_server;
    QProcess m_windowManager;
    QString m_display;
    QString m_problem;
};

QString &skipReason()
{
    static QString reason;
    return reason;
}

// Answers the next real box with the button of that text, from inside its modal loop.
void pressInNextBox(const QString &buttonText)
{
    QTimer::singleShot(200, qApp, [buttonText]() {
        QWidget *box = QApplication::activeModalWidget();
        QVERIFY(box);
        for (QAbstractButton *button : box->findChildren<QAbstractButton *>()) {
            if (button->text() == buttonText) {
                button->click();
                return;
            }
        }
        QFAIL("no such button");
    });
}
} // namespace

class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void splashGoesWhenTheMainWindowIsClicked();
    void closingABoxIsNoActivation();
    void windowsOpenOnTheScreen();

private:
    WorkingFolder *m_folder = nullptr;
    Form1 *m_main = nullptr;
};

void TestDesktop::init()
{
    if (!skipReason().isEmpty())
        QSKIP(qPrintable(skipReason()));
    m_folder = new WorkingFolder;
    {
        Messages::ScriptedResponder quiet;
        m_main = startSentaro();
    }
    QVERIFY(m_main);
    Activation::followWindowSystem(true);
    // The window manager has taken the main window once it has a frame.
    QTRY_VERIFY_WITH_TIMEOUT(m_main->frameGeometry() != m_main->geometry(), 10000);
    QVERIFY(QTest::qWaitForWindowActive(Windows::form11(), 10000));
}

void TestDesktop::cleanup()
{
    delete m_folder;
    m_folder = nullptr;
    m_main = nullptr;
}

void TestDesktop::splashGoesWhenTheMainWindowIsClicked()
{
    Form11 *splash = Windows::form11();
    QVERIFY(splash->isVisible());
    // A real click, through the X server and the window manager, on a corner of the main
    // window that the splash leaves free.
    const QPoint corner = m_main->mapToGlobal(QPoint(8, m_main->height() - 8));
    QProcess click;
    click.start(u"xdotool"_s, {u"mousemove"_s, QString::number(corner.x()), QString::number(corner.y()),
                               u"click"_s, u"1"_s});
    QVERIFY2(click.waitForFinished(10000) && click.exitCode() == 0,
             "xdotool is needed to click (scripts/install-deps.sh installs it)");
    QTRY_VERIFY_WITH_TIMEOUT(!splash->isVisible(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), m_main, 10000);
}

void TestDesktop::closingABoxIsNoActivation()
{
    Controls::showWindow(m_main);
    QTRY_VERIFY_WITH_TIMEOUT(!Windows::form11()->isVisible(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), m_main, 10000);
    m_main->showInGrid(u"select * from ASSO order by DENOM"_s, u"O"_s);

    pressInNextBox(u"OK"_s);
    Messages::report(u"Prova"_s);
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), m_main, 10000);
    QTest::qWait(500);
    // Activating the main window would have put the activities back into the grid.
    QCOMPARE(globals().tipogriglia, u"O"_s);

    // Moving from another window of the program is an activation.
    Controls::showWindow(Windows::formvol());
    QVERIFY(QTest::qWaitForWindowActive(Windows::formvol(), 10000));
    Controls::showWindow(m_main);
    QTRY_COMPARE_WITH_TIMEOUT(globals().tipogriglia, u"A"_s, 10000);
}

void TestDesktop::windowsOpenOnTheScreen()
{
    const QRect screen = m_main->screen()->availableGeometry();
    // The tallest and the widest windows, with the main window and the splash.
    for (QWidget *window : {static_cast<QWidget *>(m_main), static_cast<QWidget *>(Windows::form11()),
                            static_cast<QWidget *>(Windows::form3()), static_cast<QWidget *>(Windows::form4())}) {
        Controls::showWindow(window);
        QVERIFY(QTest::qWaitForWindowExposed(window, 10000));
        QTest::qWait(300);
        QVERIFY2(screen.contains(window->frameGeometry()),
                 qPrintable(u"%1 %2,%3 %4x%5"_s.arg(window->objectName())
                                .arg(window->frameGeometry().x())
                                .arg(window->frameGeometry().y())
                                .arg(window->frameGeometry().width())
                                .arg(window->frameGeometry().height())));
    }
}

int main(int argc, char *argv[])
{
    Desktop desktop;
    if (!desktop.start()) {
        skipReason() = u"nessun server X avviabile: "_s + desktop.problem();
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int result = 0;
    {
        QApplication app(argc, argv);
        TestDesktop test;
        result = QTest::qExec(&test, argc, argv);
    }
    desktop.stop();
    return result;
}

#include "tst_desktop.moc"
