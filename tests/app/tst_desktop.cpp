// The program's windows under a real X server and window manager: what the offscreen
// tests cannot see (activation by the window manager, frames, placement).
#include "app/form1.h"
#include "activities/form2.h"
#include "app/form11.h"
#include "app/windows.h"
#include "common/globals.h"
#include "organisations/formass.h"
#include "participation/form3.h"
#include "reports/formlist.h"
#include "statistics/form4.h"
#include "testsupport.h"
#include "ui/activation.h"
#include "ui/controls.h"
#include "ui/messages.h"
#include "volunteers/formvol.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <optional>

using namespace Qt::StringLiterals;

namespace {
// An X server of our own on a free display, with a window manager; nothing when none can start.
class Desktop {
public:
    bool start()
    {
        // Xvfb picks a free display and writes its number to the descriptor given, here its output.
        m_server.start(u"Xvfb"_s,
                       {u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s, u"1280x720x24"_s, u"-nolisten"_s, u"tcp"_s});
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
        // A window mapped before the window manager is ready may never be managed by it.
        for (int attempt = 0; attempt < 100; ++attempt) {
            QProcess check;
            check.start(u"xprop"_s, {u"-root"_s, u"_NET_SUPPORTING_WM_CHECK"_s});
            if (check.waitForFinished(5000) && check.readAllStandardOutput().contains("window id"))
                return true;
            QThread::msleep(100);
        }
        return fail(u"openbox non si è avviato"_s);
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

QString frameText(const QWidget *window)
{
    const QRect frame = window->frameGeometry();
    return u"%1 %2,%3 %4x%5"_s.arg(window->objectName())
        .arg(frame.x())
        .arg(frame.y())
        .arg(frame.width())
        .arg(frame.height());
}

// What a command printed; none when it failed.
std::optional<QString> run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(15000) || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromLatin1(process.readAllStandardOutput());
}

bool reserveTaskBar(QWidget &bar)
{
    bar.setGeometry(0, 720 - 40, 1280, 40);
    const auto reserve = [&bar]() {
        run(u"xprop"_s, {u"-id"_s, QString::number(bar.winId()), u"-f"_s, u"_NET_WM_STRUT_PARTIAL"_s, u"32c"_s,
                         u"-set"_s, u"_NET_WM_STRUT_PARTIAL"_s, u"0,0,0,40,0,0,0,0,0,0,0,1279"_s});
    };
    // Marked before it is shown, so that the window manager reads it when it takes the bar; set
    // again while it has not, on a busy machine. A bar mapped while the window manager was still
    // starting is never taken by it: it is mapped again.
    reserve();
    bar.show();
    for (int attempt = 0; attempt < 30; ++attempt) {
        if (QTest::qWaitFor([]() { return QGuiApplication::primaryScreen()->availableGeometry().height() == 680; },
                            1000))
            return true;
        if (attempt % 5 == 4) {
            bar.hide();
            reserve();
            bar.show();
        } else {
            reserve();
        }
    }
    return false;
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
    void windowsFitTheScreen();
    void reopenedWindowsComeBackWhereTheyWere();
    void secondProgramsMessageIsOnTop();
    void keysOfEveryWindow_data();
    void keysOfEveryWindow();

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
    click.start(u"xdotool"_s,
                {u"mousemove"_s, QString::number(corner.x()), QString::number(corner.y()), u"click"_s, u"1"_s});
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

// 1280x720 less a task bar: the tallest windows are designed taller than that.
void TestDesktop::windowsFitTheScreen()
{
    const QRect screen = m_main->screen()->availableGeometry();
    for (QWidget *window : {static_cast<QWidget *>(m_main), static_cast<QWidget *>(Windows::form11()),
                            static_cast<QWidget *>(Windows::form2()), static_cast<QWidget *>(Windows::form3()),
                            static_cast<QWidget *>(Windows::form4()), static_cast<QWidget *>(Windows::formass()),
                            static_cast<QWidget *>(Windows::formvol()), static_cast<QWidget *>(Windows::formlist())}) {
        Controls::showWindow(window);
        QVERIFY(QTest::qWaitForWindowExposed(window, 10000));
        QTest::qWait(300);
        QVERIFY2(screen.contains(window->frameGeometry()), qPrintable(frameText(window)));
        // Every button can be brought on the screen and pressed.
        for (QPushButton *button : window->findChildren<QPushButton *>()) {
            if (!button->isVisibleTo(window))
                continue;
            if (auto *scroll = window->findChild<QScrollArea *>())
                scroll->ensureWidgetVisible(button, 0, 0);
            const QRect shown(button->mapToGlobal(QPoint(0, 0)), button->size());
            QVERIFY2(screen.contains(shown) && window->geometry().contains(shown),
                     qPrintable(frameText(window) + u" "_s + button->objectName()));
        }
        if (window != m_main)
            window->hide();
    }
}

void TestDesktop::reopenedWindowsComeBackWhereTheyWere()
{
    Controls::showWindow(m_main);
    QTRY_VERIFY_WITH_TIMEOUT(!Windows::form11()->isVisible(), 10000);
    const QRect screen = m_main->screen()->availableGeometry();
    for (QWidget *window : {static_cast<QWidget *>(Windows::form4()), static_cast<QWidget *>(Windows::formass())}) {
        Controls::showWindow(window);
        QVERIFY(QTest::qWaitForWindowExposed(window, 10000));
        QTest::qWait(300);
        const QRect first = window->frameGeometry();
        window->findChild<QPushButton *>(window == Windows::formass() ? u"cmdassesci"_s : u"cmdesci"_s)->click();
        QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 10000);
        Controls::showWindow(window);
        QVERIFY(QTest::qWaitForWindowExposed(window, 10000));
        QTest::qWait(300);
        QCOMPARE(window->frameGeometry(), first);
        window->hide();
    }
    // The details window, opened from the grid, closed with Esci and opened again from the grid.
    Messages::ScriptedResponder answers;
    runSql(u"attivita.mdb"_s, {u"insert into ATTIVITA (DATAINATT, DATAFIATT, DESCRATT, NOTE4) values "
                               u"('01/02/2026', '01/02/2026', 'PROVA', '2026/02/01')"_s});
    m_main->showActivities();
    QTableView *grid = m_main->DBGrid1;
    for (int round = 0; round < 2; ++round) {
        grid->clearSelection();
        grid->selectRow(0);
        Form3 *details = Windows::form3();
        QVERIFY(QTest::qWaitForWindowExposed(details, 10000));
        QTest::qWait(300);
        QVERIFY2(screen.contains(details->frameGeometry()), qPrintable(frameText(details)));
        details->cmdesci->click();
        QTRY_VERIFY_WITH_TIMEOUT(!details->isVisible(), 10000);
    }
}

// A second program in the same folder says the archive is taken in a box above the first
// program's window, which the user was just working in.
void TestDesktop::secondProgramsMessageIsOnTop()
{
    Controls::showWindow(m_main);
    QTRY_VERIFY_WITH_TIMEOUT(!Windows::form11()->isVisible(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), m_main, 10000);
    const QPoint corner = m_main->mapToGlobal(QPoint(8, m_main->height() - 8));
    QVERIFY(run(u"xdotool"_s,
                {u"mousemove"_s, QString::number(corner.x()), QString::number(corner.y()), u"click"_s, u"1"_s}));
    QProcess second;
    second.setWorkingDirectory(m_folder->path());
    second.start(QStringLiteral(SENTARO_PROGRAM), {});
    QVERIFY(second.waitForStarted(10000));
    const QString box = run(u"xdotool"_s, {u"search"_s, u"--sync"_s, u"--onlyvisible"_s, u"--pid"_s,
                                           QString::number(second.processId())})
                            .value_or(QString())
                            .split(u'\n', Qt::SkipEmptyParts)
                            .value(0);
    QVERIFY(!box.isEmpty());
    QTest::qWait(500);
    // Bottom to top: the ids of every window the window manager manages.
    const QString stacking = run(u"xprop"_s, {u"-root"_s, u"_NET_CLIENT_LIST_STACKING"_s}).value_or(QString());
    QList<qulonglong> order;
    for (const QString &id : stacking.section(u'#', 1).split(u',', Qt::SkipEmptyParts))
        order << id.trimmed().toULongLong(nullptr, 16);
    const qsizetype boxPlace = order.indexOf(box.toULongLong());
    const qsizetype mainPlace = order.indexOf(qulonglong(m_main->winId()));
    second.kill();
    second.waitForFinished(5000);
    QVERIFY2(boxPlace >= 0 && mainPlace >= 0, qPrintable(stacking));
    QVERIFY2(boxPlace > mainPlace, qPrintable(stacking));
}

void TestDesktop::keysOfEveryWindow_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("defaultButton");
    QTest::addColumn<QString>("exitButton");
    QTest::newRow("attività") << u"Form2"_s << u"f2loc"_s << u"cmdreg"_s << u"cmdesci"_s;
    QTest::newRow("volontario") << u"Formvol"_s << u"fvindir"_s << u"cmdregistra"_s << u"cmdesci"_s;
    QTest::newRow("organizzazione") << u"Formass"_s << u"assresp"_s << u"cmdassregistra"_s << u"cmdassesci"_s;
    QTest::newRow("statistiche") << u"Form4"_s << u"f4datada"_s << u"cmdelab"_s << u"cmdesci"_s;
    QTest::newRow("dettagli") << u"Form3"_s << u"orestandard"_s << QString() << u"cmdesci"_s;
}

void TestDesktop::keysOfEveryWindow()
{
    QFETCH(QString, window);
    QFETCH(QString, box);
    QFETCH(QString, defaultButton);
    QFETCH(QString, exitButton);
    QWidget *shown = nullptr;
    for (QWidget *candidate : {static_cast<QWidget *>(Windows::form2()), static_cast<QWidget *>(Windows::formvol()),
                               static_cast<QWidget *>(Windows::formass()), static_cast<QWidget *>(Windows::form4()),
                               static_cast<QWidget *>(Windows::form3())}) {
        if (candidate->objectName() == window)
            shown = candidate;
    }
    Messages::ScriptedResponder answers;
    answers.answerYesToAll();
    Controls::showWindow(shown);
    QVERIFY(QTest::qWaitForWindowActive(shown, 10000));
    auto *typed = shown->findChild<QWidget *>(box);
    QVERIFY2(typed, qPrintable(box));
    typed->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), typed);

    // Tab goes on to a control at the right or below, as the page is read.
    const QRect from(typed->mapToGlobal(QPoint(0, 0)), typed->size());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget *next = QApplication::focusWidget();
    QVERIFY(next && next != typed);
    const QPoint to = next->mapToGlobal(QPoint(0, 0));
    QVERIFY2(to.y() > from.top() || (to.y() >= from.top() - from.height() && to.x() > from.left()),
             qPrintable(next->objectName()));
    typed->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), typed);

    if (!defaultButton.isEmpty()) {
        QSignalSpy pressed(shown->findChild<QPushButton *>(defaultButton), &QPushButton::clicked);
        QTest::keyClick(typed, Qt::Key_Return);
        QCOMPARE(pressed.count(), 1);
        // Enter on another button presses that one, not the default.
        QPushButton *exit = shown->findChild<QPushButton *>(exitButton);
        exit->setFocus();
        QTest::keyClick(exit, Qt::Key_Return);
        QCOMPARE(pressed.count(), 1);
        QTRY_VERIFY(!shown->isVisible());
        Controls::showWindow(shown);
        QVERIFY(QTest::qWaitForWindowActive(shown, 10000));
        typed->setFocus();
    }
    QTest::keyClick(typed, Qt::Key_Escape);
    QTRY_VERIFY(!shown->isVisible());
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
        // A task bar along the bottom, as on an office PC: the window manager leaves its strip to it.
        QWidget taskBar(nullptr, Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
        if (skipReason().isEmpty() && !reserveTaskBar(taskBar)) {
            qCritical("la barra delle applicazioni non ha ridotto lo schermo: %s, %s",
                      qPrintable(run(u"xprop"_s, {u"-root"_s, u"_NET_WORKAREA"_s}).value_or(QString())),
                      qPrintable(run(u"xprop"_s, {u"-id"_s, QString::number(taskBar.winId())}).value_or(QString())));
            result = 1;
        } else {
            TestDesktop test;
            result = QTest::qExec(&test, argc, argv);
        }
    }
    desktop.stop();
    return result;
}

#include "tst_desktop.moc"
