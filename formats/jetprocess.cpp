#include "formats/jetprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

using namespace Qt::StringLiterals;

namespace Jet {
namespace {

int &timeLimit()
{
    static int milliseconds = 20000;
    return milliseconds;
}

QString &readerOverride()
{
    static QString path;
    return path;
}

// The reader's file name as the system names programs.
QString readerFileName()
{
#ifdef Q_OS_WIN
    return u"sentaro-jetreader.exe"_s;
#else
    return u"sentaro-jetreader"_s;
#endif
}

QString readerPath()
{
    if (!readerOverride().isEmpty())
        return readerOverride();
    const QString beside = QCoreApplication::applicationDirPath() + u'/' + readerFileName();
    if (QFileInfo::exists(beside))
        return beside;
#ifdef SENTARO_JETREADER
    return QStringLiteral(SENTARO_JETREADER);
#else
    return beside;
#endif
}

} // namespace

std::optional<QString> runReader(const QString &path, const QStringList &arguments,
                                 const std::function<void(const QByteArray &)> &onLine)
{
#ifdef SENTARO_NO_JETREADER
    // A build made without the Access library says so rather than looking for a reader it has not.
    if (readerOverride().isEmpty())
        return u"questa versione di Sentaro non legge gli archivi Access"_s;
#endif
    QProcess reader;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"LC_ALL"_s, u"C"_s);
    reader.setProcessEnvironment(environment);
    reader.setProcessChannelMode(QProcess::SeparateChannels);
    reader.start(readerPath(), QStringList{arguments.constFirst(), path} + arguments.mid(1));
    if (!reader.waitForStarted(10000))
        return u"il programma di lettura degli archivi Access non si avvia (%1)"_s.arg(reader.errorString());
    const qint64 outputLimit = QFileInfo(path).size() * 64 + (16 << 20);
    qint64 output = 0;
    QByteArray pending;
    std::optional<QString> failure;
    bool finished = false;
    const auto takeLines = [&]() {
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(end);
            pending.remove(0, end + 1);
            if (line.startsWith("E\t"))
                failure = QString::fromUtf8(line.mid(2));
            else if (line == "OK" || line.startsWith("OK\t"))
                finished = true, onLine(line);
            else
                onLine(line);
        }
    };
    QElapsedTimer idle;
    idle.start();
    for (;;) {
        const bool more = reader.waitForReadyRead(100);
        const QByteArray chunk = reader.readAllStandardOutput();
        output += chunk.size();
        pending += chunk;
        takeLines();
        if (output > outputLimit) {
            reader.kill();
            reader.waitForFinished();
            return u"il file dà più righe di quante possa contenerne: è danneggiato"_s;
        }
        if (!more && reader.state() == QProcess::NotRunning)
            break;
        if (!chunk.isEmpty())
            idle.restart();
        else if (idle.elapsed() > timeLimit()) {
            reader.kill();
            reader.waitForFinished();
            return u"la lettura non risponde: il file è danneggiato"_s;
        }
    }
    if (failure)
        return u"il file non si può leggere (%1)"_s.arg(*failure);
    if (reader.exitStatus() != QProcess::NormalExit || !finished)
        return u"la lettura si è interrotta: il file è danneggiato"_s;
    return std::nullopt;
}

bool isJetFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray mark = file.read(32).mid(4, 15);
    return mark == QByteArrayLiteral("Standard Jet DB") || mark == QByteArrayLiteral("Standard ACE DB");
}

void setReaderTimeLimit(int milliseconds)
{
    timeLimit() = milliseconds;
}

void setReaderProgram(const QString &path)
{
    readerOverride() = path;
}

} // namespace Jet
