#include "testsupport.h"

#include "app/startup.h"
#include "app/windows.h"
#include "common/activation.h"
#include "common/clock.h"
#include "common/globals.h"
#include "common/messages.h"
#include "reports/printer.h"
#include "store/database.h"
#include "store/datasource.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QWidget>

using namespace Qt::StringLiterals;

WorkingFolder::WorkingFolder()
    : m_previous(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
}

WorkingFolder::~WorkingFolder()
{
    stopSentaro();
    QDir::setCurrent(m_previous);
}

Form1 *startSentaro()
{
    Activation::followWindowSystem(false);
    // Nothing goes to a printer from a test; a test that wants the PDF asks for it.
    Printer::setTarget(Printer::Target::RecordOnly);
    Printer::setRecording(true);
    startProgram();
    return Windows::existingForm1();
}

void stopSentaro()
{
    Windows::destroyAll();
    resetGlobals();
    Clock::release();
    Activation::reset();
    DataSource::refuseReadsAfter(-1);
}

bool makeWorkingFiles()
{
    Messages::ScriptedResponder quiet;
    const bool started = startSentaro() != nullptr;
    stopSentaro();
    return started;
}

namespace {
template <typename Work> void withConnection(const QString &fileName, Work &&work)
{
    const QString name = u"test:"_s + fileName;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(fileName);
        if (!db.open() || !Store::useProgramCollation(db))
            qFatal("cannot open %s", qPrintable(fileName));
        work(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}
} // namespace

void runSql(const QString &fileName, const QStringList &statements)
{
    // Another program writes while Sentaro waits for the user, holding no reads open.
    DataSource::releaseAll();
    withConnection(fileName, [&](QSqlDatabase &db) {
        for (const QString &statement : statements) {
            QSqlQuery query(db);
            if (!query.exec(statement))
                qFatal("%s: %s", qPrintable(statement), qPrintable(query.lastError().text()));
        }
    });
}

QVariant queryValue(const QString &fileName, const QString &sql)
{
    QVariant result;
    withConnection(fileName, [&](QSqlDatabase &db) {
        QSqlQuery query(db);
        if (query.exec(sql) && query.next())
            result = query.value(0);
    });
    return result;
}

QVariantList queryColumn(const QString &fileName, const QString &sql)
{
    QVariantList result;
    withConnection(fileName, [&](QSqlDatabase &db) {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (query.exec(sql)) {
            while (query.next())
                result << query.value(0);
        }
    });
    return result;
}

QString sharedDataFolder()
{
    return qEnvironmentVariable("SENTARO_SHARED_DATA");
}

QString missingSharedData(const QString &relative)
{
    if (sharedDataFolder().isEmpty())
        return u"SENTARO_SHARED_DATA is not set: run the test through ctest, which names the shared data folder"_s;
    const QString path = QDir(sharedDataFolder()).filePath(relative);
    if (!QFileInfo(path).isReadable())
        return u"the shared reference data %1 is missing: it belongs in ../shared/data beside the project"_s.arg(path);
    return QString();
}

bool runningInCi()
{
    const QString ci = qEnvironmentVariable("CI").trimmed().toLower();
    return !ci.isEmpty() && ci != u"false"_s && ci != u"0"_s;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

void activate(QWidget *window)
{
    settle();
    QEvent event(QEvent::WindowActivate);
    QCoreApplication::sendEvent(window, &event);
    settle();
}

void compareWithReference(const QStringList &lines, const QString &name)
{
    const QString path = QStringLiteral(SENTARO_SOURCE_DIR "/tests/data/") + name + u".txt"_s;
    if (qEnvironmentVariableIsSet("SENTARO_REGENERATE")) {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write((lines.join(u'\n') + u'\n').toUtf8());
        return;
    }
    QFile in(path);
    QVERIFY2(in.open(QIODevice::ReadOnly), qPrintable(u"missing reference "_s + path));
    QString content = QString::fromUtf8(in.readAll());
    QVERIFY(content.endsWith(u'\n'));
    content.chop(1);
    const QStringList expected = content.split(u'\n');
    for (qsizetype i = 0; i < std::min(lines.size(), expected.size()); ++i)
        QCOMPARE(lines[i], expected[i]);
    QCOMPARE(lines.size(), expected.size());
}

QStringList lines(const QAbstractItemView *list)
{
    const QAbstractItemModel *model = list->model();
    QStringList result;
    for (int i = 0; i < model->rowCount(); ++i)
        result << model->index(i, 0).data().toString();
    return result;
}

void choose(QComboBox *combo, const QString &text)
{
    const int index = combo->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}
