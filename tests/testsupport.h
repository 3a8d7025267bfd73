#pragma once

#include "ui/messages.h"

#include <QObject>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <future>
#include <memory>
#include <thread>

class Form1;
class QAbstractItemView;
class QComboBox;
class QWidget;

// The tests run on a server archive: SENTARO_TEST_SERVER names the folder of the test server
// (scripts/pgserver.sh), and the register lives in a database of that server made for each test.
bool serverArchive();
// The test server's TCP port on 127.0.0.1, from the `port` file of its folder.
QString serverPort();

// A fresh working folder made current for one test, and the program started in it. On a server
// archive it also makes the test's database and the sentaro.ini that names it, and drops it at the end.
class WorkingFolder {
public:
    WorkingFolder();
    ~WorkingFolder();
    WorkingFolder(const WorkingFolder &) = delete;
    WorkingFolder &operator=(const WorkingFolder &) = delete;

    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
    QString m_database; // on a server archive, the test's own
};

// Starts the program as a user does and returns its main window (null when it stopped).
Form1 *startSentaro();
// Ends the program's windows and files, and puts the globals back, between tests.
void stopSentaro();
// Starts the program once, with no one answering its messages, so that its files exist in
// the working folder, and stops it again; false when it did not start.
bool makeWorkingFiles();

// The base of the tests that drive the program: each test has its own working folder, its
// register holding what init() put there, scripted answers to the program's messages and the
// program started; the end of each test finds no message left unanswered and puts all back.
class ProgramTest : public QObject {
    Q_OBJECT
protected:
    // Makes the working folder and its files, runs `statements` on the register, calls
    // `beforeStart` (a fixed clock, a file to find) and starts the program; false when a step
    // failed. Called from init().
    bool start(const QStringList &statements = {}, const std::function<void()> &beforeStart = {});
    // Ends the program and its folder; fails when a message found no answer. What cleanup()
    // does, for a test that checks more first.
    void finish();

    std::unique_ptr<WorkingFolder> m_folder;
    std::unique_ptr<Messages::ScriptedResponder> m_answers;
    Form1 *m_main = nullptr;

private slots:
    void cleanup() { finish(); }
};

// Runs SQL on a database file of the working folder outside the program (setting up data); the
// register goes to the test's database instead on a server archive.
void runSql(const QString &fileName, const QStringList &statements);
// The first column of the first row of a query on a database file, or an invalid value.
QVariant queryValue(const QString &fileName, const QString &sql);

// Another PC on the server archive: runs `statements` in one transaction on a connection of its
// own thread and returns once they ran; the transaction commits `holdMs` later, and the
// destructor waits for that.
class OtherPc {
public:
    OtherPc(const QStringList &statements, int holdMs);
    ~OtherPc();
    OtherPc(const OtherPc &) = delete;
    OtherPc &operator=(const OtherPc &) = delete;

private:
    std::thread m_thread;
    std::future<void> m_done;
};

// "ok" when the register is whole: a file's pages, or on a server what it holds (the
// activities' totals are the sums of their rows, a volunteer is once in an activity).
QString registerIntegrity();
// The first column of every row of a query, in one go.
QVariantList queryColumn(const QString &fileName, const QString &sql);
// Each row of a query as the text SQLite's || makes of its columns joined by `separator`, whichever
// archive answers: a real number keeps its ".0" (8.0), and a NULL empties the line.
QStringList queryLines(const QString &fileName, const QString &sql, const QString &separator = QStringLiteral("|"));
// What SQLite's typeof() says of a value read from either archive: null, integer, real, text or blob.
QString storageClass(const QVariant &value);

// Makes every write of `kind` ("DELETE", "UPDATE OF DESCRATT") on a table of the register fail
// with `message`, as a store refusing it would, until allowWrites() lets them go again.
void refuseWrites(const QString &table, const QString &kind, const QString &message);
void allowWrites(const QString &table);

// Folder of the shared reference data, for tests that read it.
QString sharedDataFolder();
// Why the file or folder `relative` of the shared reference data cannot be read; empty when it can.
QString missingSharedData(const QString &relative);
// The tests run in CI (CI=true in the environment).
bool runningInCi();
// Copies `file` into the folder SENTARO_TEST_OUTPUT names, if any, for a reader on another system
// to check (the Windows build's files, read on Linux). False when the file is missing or the copy fails.
bool keepForCheck(const QString &file);

// Makes `name` a link to nowhere: a name that reads as free but cannot be written. Windows makes
// no such link for an ordinary user, so there it says it cannot.
bool makeDeadEnd(const QString &name);

// Ends the test when the shared reference data it reads is missing: in CI, where it is always
// there, as a failure that says what is missing; elsewhere, where the project is built away
// from the folder beside it that holds the data, as a skip.
#define REQUIRE_SHARED_DATA(relative)                                                                                  \
    do {                                                                                                               \
        const QString missing_ = missingSharedData(relative);                                                          \
        if (!missing_.isEmpty()) {                                                                                     \
            if (runningInCi())                                                                                         \
                QFAIL(qPrintable(missing_));                                                                           \
            QSKIP(qPrintable(missing_));                                                                               \
        }                                                                                                              \
    } while (false)

QByteArray fileBytes(const QString &path);

// Lets the window system deliver what it has queued (activations above all).
void settle();
// Makes `window` the active window as the user moving to it would, and settles.
void activate(QWidget *window);

// Compares lines with the reference file tests/data/<name>.txt. Run the test with
// SENTARO_REGENERATE=1 in the environment to write the reference files anew.
void compareWithReference(const QStringList &lines, const QString &name);

// The lines of a list box, in order.
QStringList lines(const QAbstractItemView *list);
// Chooses an entry from a drop-down list as the user does (the entry must be there).
void choose(QComboBox *combo, const QString &text);
