// sentaro-bench: the benchmarks of the program, calling its own operations and procedures.
//   run [options]                          everything, results into bench/RESULTS.md
//   generate FOLDER [--scale S] [--seed N] one working folder
//   case NAME FOLDER REPETITIONS [FILE]    our side of one case (see cases.h)
//   load FOLDER                            start the program once, copying attivita.mdb to the server
//   startup FOLDER                         start the program, exit once idle
//   session FOLDER EXPORT-FOLDER           every case once, for the peak memory
#include "cases.h"
#include "generator.h"
#include "runner.h"

#include <QApplication>
#include <QDir>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {
int usage()
{
    std::fputs(
        "usage: sentaro-bench run [options] | generate FOLDER [--scale large|small] [--seed N]\n"
        "       | case NAME FOLDER REPETITIONS [FILE] | load FOLDER | startup FOLDER | session FOLDER EXPORT-FOLDER\n",
        stderr);
    return 2;
}

int generate(const QStringList &args)
{
    QString scale = u"large"_s;
    quint64 seed = 1;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--scale"_s)
            scale = args[i + 1];
        else if (args[i] == u"--seed"_s)
            seed = args[i + 1].toULongLong();
        else
            return usage();
    }
    bool known = false;
    const Generator::Scale chosen = Generator::scaleNamed(scale, &known);
    if (!known)
        return usage();
    const QString problem = Generator::generate(QDir(args[0]).absolutePath(), chosen, seed);
    if (!problem.isEmpty()) {
        std::fputs(qPrintable(problem + u'\n'), stderr);
        return 1;
    }
    return 0;
}
} // namespace

int main(int argc, char *argv[])
{
    // As the program's own main: the application object first, then everything else.
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString command = args.value(0);
    const QStringList rest = args.mid(1);
    if (command == u"run"_s)
        return Runner::run(rest);
    if (command == u"generate"_s && !rest.isEmpty())
        return generate(rest);
    if (command == u"case"_s && (rest.size() == 3 || rest.size() == 4))
        return Cases::runCase(rest[0], QDir(rest[1]).absolutePath(), rest[2].toInt(), rest.value(3));
    if (command == u"load"_s && rest.size() == 1)
        return Cases::copyToServer(QDir(rest[0]).absolutePath());
    if (command == u"startup"_s && rest.size() == 1)
        return Cases::runStartup(QDir(rest[0]).absolutePath());
    if (command == u"session"_s && rest.size() == 2)
        return Cases::runSession(QDir(rest[0]).absolutePath(), QDir(rest[1]).absolutePath());
    return usage();
}
