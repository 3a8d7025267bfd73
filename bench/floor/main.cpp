// The floor of two benchmarks, in plain Qt without the program's library:
//   startup <folder>                 opens attivita.mdb, shows the activities sorted in a
//                                    table view and exits once shown and idle
//   register <drawing> <folder> <n>  draws the register's strings, rectangles and header
//                                    picture, as recorded by the program, to a PDF n + 1 times
// Both print "rss <kilobytes>"; register also prints "time <seconds>" per run after the first.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QSqlDatabase>
#include <QSqlQueryModel>
#include <QTableView>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

long peakResidentKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void say(const QString &key, const QString &text)
{
    std::fputs(qPrintable(key + u' ' + text + u'\n'), stdout);
    std::fflush(stdout);
}

int startup(const QString &folder)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s);
    db.setDatabaseName(folder + u"/attivita.mdb"_s);
    if (!db.open()) {
        say(u"error"_s, u"cannot open attivita.mdb"_s);
        return 1;
    }
    QSqlQueryModel model;
    model.setQuery(u"select * from ATTIVITA order by NOTE4 DESC, DESCRATT"_s, db);
    QTableView view;
    view.setModel(&model);
    view.resize(1016, 650);
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, [&view]() {
        if (!view.isVisible())
            return;
        say(u"rss"_s, QString::number(peakResidentKilobytes()));
        std::_Exit(0);
    });
    view.show();
    return QApplication::exec();
}

struct Item {
    QChar kind;
    int page;
    int x, y, width, height;
    QString font;
    QString text;
};

std::vector<Item> readDrawing(const QString &path)
{
    std::vector<Item> items;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return items;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.split(u'\t');
        if (f.size() < 8)
            continue;
        items.push_back({f[0].at(0), f[1].toInt(), f[2].toInt(), f[3].toInt(), f[4].toInt(), f[5].toInt(), f[6],
                         f.mid(7).join(u'\t')});
    }
    return items;
}

// One document, drawn as the program's printer draws it: A4, 3 mm margins, positions in twips.
void drawRegister(const std::vector<Item> &items, const QImage &header, const QString &pdf)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(3, 3, 3, 3), QPageLayout::Millimeter));
    QPainter painter(&printer);
    const double scale = printer.resolution() / 1440.0;
    // The register rules its boxes three screen pixels wide.
    QPen rule(Qt::black);
    rule.setWidthF(3 * printer.resolution() / 96.0);
    struct Face {
        QFont font;
        double ascent;
    };
    QHash<QString, Face> faces;
    int page = 1;
    for (const Item &item : items) {
        if (item.page != page) {
            printer.newPage();
            page = item.page;
        }
        if (item.kind == u'T') {
            auto face = faces.find(item.font);
            if (face == faces.end()) {
                QFont font;
                font.fromString(item.font);
                font = QFont(font, &printer);
                face = faces.insert(item.font, {font, QFontMetricsF(font, &printer).ascent()});
            }
            painter.setFont(face->font);
            painter.setPen(Qt::black);
            painter.drawText(QPointF(item.x * scale, item.y * scale + face->ascent), item.text);
        } else if (item.kind == u'R') {
            painter.setPen(rule);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(QRectF(item.x * scale, item.y * scale, item.width * scale, item.height * scale));
        } else {
            painter.drawImage(QRectF(item.x * scale, item.y * scale, item.width * scale, item.height * scale), header);
        }
    }
    painter.end();
}

int registerPrintout(const QString &drawing, const QString &folder, int repetitions)
{
    const std::vector<Item> items = readDrawing(drawing);
    if (items.empty()) {
        say(u"error"_s, u"nothing to draw in "_s + drawing);
        return 1;
    }
    const QImage header(folder + u"/intestazione.jpg"_s);
    const QString pdf = QDir::temp().filePath(u"sentaro-bench-floor-%1.pdf"_s.arg(QCoreApplication::applicationPid()));
    for (int i = 0; i <= repetitions; ++i) {
        QElapsedTimer timer;
        timer.start();
        drawRegister(items, header, pdf);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        if (i > 0)
            say(u"time"_s, QString::number(seconds, 'f', 6));
    }
    QFile::remove(pdf);
    say(u"rss"_s, QString::number(peakResidentKilobytes()));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 3 && args[1] == u"startup"_s)
        return startup(args[2]);
    if (args.size() == 5 && args[1] == u"register"_s)
        return registerPrintout(args[2], args[3], args[4].toInt());
    std::fputs("usage: sentaro-bench-floor startup FOLDER | register DRAWING FOLDER REPETITIONS\n", stderr);
    return 2;
}
