#include "surveillance/monthchart.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLibrary>

using namespace Qt::StringLiterals;

namespace MonthChartView {
namespace {
using Make = QWidget *(*)(QWidget *);
using Show = void (*)(QWidget *, const MonthChart *);

struct Library {
    Make make = nullptr;
    Show show = nullptr;
    QString problem;
};

QString moduleFileName()
{
#ifdef Q_OS_WIN
    return u"sentaro-grafico.dll"_s;
#else
    return u"sentaro-grafico.so"_s;
#endif
}

// In moduli/ beside the program, as installed; a debug build also knows where the build put it, for the tests.
QString modulePath()
{
    const QString beside = QCoreApplication::applicationDirPath() + u"/moduli/"_s + moduleFileName();
#ifdef SENTARO_CHART_MODULE
    if (!QFileInfo::exists(beside))
        return QStringLiteral(SENTARO_CHART_MODULE);
#endif
    return beside;
}

const Library &library()
{
    static const Library loaded = [] {
        Library result;
        QLibrary module(modulePath());
        if (!module.load()) {
            result.problem = module.errorString();
            return result;
        }
        result.make = reinterpret_cast<Make>(module.resolve("sentaroMakeChartView"));
        result.show = reinterpret_cast<Show>(module.resolve("sentaroShowChart"));
        if (!result.make || !result.show) {
            result = {};
            result.problem = module.fileName() + u" non è la libreria dei grafici di questa versione"_s;
        }
        return result;
    }();
    return loaded;
}
} // namespace

QWidget *make(QWidget *parent)
{
    const Library &charts = library();
    if (charts.problem.isEmpty())
        return charts.make(parent);
    auto *missing = new QLabel(u"Il grafico non è disponibile: "_s + charts.problem, parent);
    missing->setAlignment(Qt::AlignCenter);
    missing->setWordWrap(true);
    return missing;
}

void show(QWidget *view, const MonthChart &chart)
{
    // Without the library the view is the label, and there is nothing to show.
    if (library().show)
        library().show(view, &chart);
}
} // namespace MonthChartView
