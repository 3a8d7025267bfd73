#include "surveillance/surveillanceprint.h"

#include "common/clock.h"
#include "common/riskclasses.h"
#include "common/textformat.h"
#include "ui/hourglass.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace {
// What the page must hold, in twips: scaled down on a printer that prints less of the paper.
constexpr int drawingWidth = 16000;
constexpr int drawingHeight = 11300;
constexpr int headerWidth = 9600;
constexpr int headerHeight = 1626; // the picture's own proportions
constexpr int headingTop = 2800;
constexpr int headingStep = 170;
constexpr int firstRowTop = 3250;
constexpr int rowStep = 210;
constexpr int footerTop = 11000;
constexpr int rowsPerPage = (footerTop - 200 - firstRowTop) / rowStep;
constexpr int cellPadding = 40;
// One width per column of Surveillance::heading().
const int columnWidths[] = {1400, 1100, 1650, 560, 560, 560, 560, 560, 560, 850, 950, 1000, 1550, 1450, 900, 1790};

const QString arial = u"Arial"_s;

PrintStep text(const QString &content, int x, int y, double size, bool bold, int width = 0)
{
    PrintStep step;
    step.text = content;
    step.x = x;
    step.y = y;
    step.width = width;
    step.font = arial;
    step.size = size;
    step.bold = bold;
    // A cell's text is kept whole at a smaller size rather than cut.
    step.shrinkToFit = width > 0;
    return step;
}

QString hours(const std::optional<double> &value)
{
    return TextFormat::numberText(value);
}

// What the rows were measured against, in two lines: the classes, then the intervals.
QStringList thresholdLines(const Surveillance::Thresholds &thresholds)
{
    QStringList classes;
    for (size_t i = 0; i < thresholds.classes.size(); ++i) {
        const Threshold &limit = thresholds.classes[i];
        QStringList parts;
        if (limit.yearly)
            parts << u"oltre "_s + hours(limit.yearly) + u" ore nel periodo"_s;
        if (limit.weekly)
            parts << hours(limit.weekly) + u" ore in una settimana"_s;
        classes << riskClasses[i + 1].label.toString() + u": "_s +
                       (parts.isEmpty() ? u"nessuna soglia"_s : parts.join(u" o "_s));
    }
    const QString years =
        thresholds.checkYears ? u"ogni "_s + hours(thresholds.checkYears) + u" anni"_s : u"senza scadenza"_s;
    const QString months =
        thresholds.visitMonths ? u"ogni "_s + hours(thresholds.visitMonths) + u" mesi"_s : u"senza scadenza"_s;
    return {u"Soglie - "_s + classes.join(u"; "_s),
            u"Controllo sanitario "_s + years + u"; sorveglianza sanitaria "_s + months + u'.'};
}
} // namespace

QStringList headingLines(const QString &heading)
{
    const qsizetype blank = heading.size() > 12 ? heading.indexOf(u' ', heading.size() / 2 - 2) : -1;
    return blank > 0 ? QStringList{heading.left(blank), heading.mid(blank + 1)} : QStringList{heading};
}

QList<PrintStep> surveillancePages(const QList<Surveillance::Row> &rows, const QDate &from, const QDate &to,
                                   const Surveillance::Thresholds &thresholds, const QDate &printedOn,
                                   const QImage &header)
{
    static_assert(std::size(columnWidths) == 16);
    const int pages = std::max<int>(1, int((rows.size() + rowsPerPage - 1) / rowsPerPage));
    const QStringList names = Surveillance::heading();
    const QStringList limits = thresholdLines(thresholds);
    QList<PrintStep> steps;
    for (int page = 1; page <= pages; ++page) {
        if (page > 1) {
            PrintStep end;
            end.kind = PrintStep::Kind::EndPage;
            steps << end;
        }
        PrintStep picture;
        picture.kind = PrintStep::Kind::Picture;
        picture.image = header;
        picture.x = (drawingWidth - headerWidth) / 2;
        picture.y = 1;
        picture.width = headerWidth;
        picture.height = headerHeight;
        steps << picture;
        steps << text(u"SORVEGLIANZA SANITARIA DAL "_s + from.toString(u"dd/MM/yyyy"_s) + u" AL "_s +
                          to.toString(u"dd/MM/yyyy"_s),
                      0, 1760, 12, true);
        steps << text(limits[0], 0, 2150, 8, false, drawingWidth) << text(limits[1], 0, 2400, 8, false);
        PrintStep rule;
        rule.kind = PrintStep::Kind::Rectangle;
        rule.y = headingTop - 40;
        rule.width = drawingWidth;
        rule.height = firstRowTop - rule.y - 20;
        steps << rule;
        int x = 0;
        for (qsizetype column = 0; column < names.size(); ++column) {
            const QStringList parts = headingLines(names[column]);
            for (qsizetype line = 0; line < parts.size(); ++line)
                steps << text(parts[line], x + cellPadding, headingTop + int(line) * headingStep, 7, true,
                              columnWidths[column] - 2 * cellPadding);
            x += columnWidths[column];
        }
        const qsizetype first = qsizetype(page - 1) * rowsPerPage;
        for (qsizetype i = first; i < std::min(rows.size(), first + rowsPerPage); ++i) {
            const QStringList fields = Surveillance::fields(rows[i]);
            const int y = firstRowTop + int(i - first) * rowStep;
            x = 0;
            for (qsizetype column = 0; column < fields.size(); ++column) {
                if (!fields[column].isEmpty())
                    steps << text(fields[column], x + cellPadding, y, 7, false, columnWidths[column] - 2 * cellPadding);
                x += columnWidths[column];
            }
        }
        steps << text(u"Stampato il "_s + printedOn.toString(u"dd/MM/yyyy"_s), 0, footerTop, 8, false)
              << text(u"Pagina %1 di %2"_s.arg(page).arg(pages), drawingWidth - 1700, footerTop, 8, false);
    }
    return steps;
}

void printSurveillance(const QList<Surveillance::Row> &rows, const QDate &from, const QDate &to,
                       const Surveillance::Thresholds &thresholds, const QImage &header)
{
    Hourglass::set();
    Printer printer(u"sorveglianza"_s);
    printer.setLandscape(true);
    printer.setExtent(drawingWidth, drawingHeight);
    for (const PrintStep &step : surveillancePages(rows, from, to, thresholds, Clock::today(), header))
        printer.draw(step);
    Hourglass::reset();
    printer.finish();
}
