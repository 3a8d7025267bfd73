#include "ui/printer.h"

#include "common/clock.h"
#include "ui/hourglass.h"
#include "ui/messages.h"
#include "ui/twips.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QUrl>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {
Printer::Target &target()
{
    static Printer::Target chosen = Printer::Target::Automatic;
    return chosen;
}

QPageLayout &pdfPage()
{
    static QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(3, 3, 3, 3),
                              QPageLayout::Millimeter);
    return layout;
}

QList<DrawnItem> &recorded()
{
    static QList<DrawnItem> items;
    return items;
}

bool &recordingOn()
{
    static bool on = false;
    return on;
}

PageUsed &recordedPage()
{
    static PageUsed page;
    return page;
}

// Rules are given in printer pixels of about a tenth of a millimetre.
constexpr double twipsPerRulePixel = 1440.0 / 254.0;
} // namespace

Printer::Printer(const QString &documentName)
    : m_documentName(documentName)
    , m_layout(pdfPage())
{
    if (target() == Target::RecordOnly)
        return;
    const bool toPdf = target() == Target::Pdf || QPrinterInfo::defaultPrinter().isNull();
    m_printer =
        std::make_unique<QPrinter>(toPdf ? QPrinterInfo() : QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
    m_printer->setDocName(documentName);
    if (toPdf) {
        m_pdfFile = Clock::freeStampedName(documentName, u"pdf"_s);
        m_printer->setOutputFormat(QPrinter::PdfFormat);
        m_printer->setOutputFileName(QDir::current().absoluteFilePath(m_pdfFile));
        m_printer->setPageLayout(m_layout);
    } else {
        // The printer's own paper, within the margins it can print.
        m_printer->setFullPage(false);
        m_layout = m_printer->pageLayout();
    }
}

Printer::~Printer()
{
    if (m_painter)
        m_painter->end();
}

void Printer::setExtent(int width, int height)
{
    m_extentWidth = width;
    m_extentHeight = height;
    m_geometry.reset();
}

void Printer::setLandscape(bool landscape)
{
    const auto orientation = landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
    m_layout.setOrientation(orientation);
    m_geometry.reset();
    if (m_printer)
        m_printer->setPageOrientation(orientation);
}

QRectF Printer::printableTwips() const
{
    const QRectF points = m_layout.paintRect(QPageLayout::Point);
    return {points.x() * 20, points.y() * 20, points.width() * 20, points.height() * 20};
}

const Printer::Geometry &Printer::geometry() const
{
    if (m_geometry)
        return *m_geometry;
    Geometry made;
    made.printable = printableTwips();
    if (m_extentWidth > 0)
        made.scale = std::min(made.scale, made.printable.width() / m_extentWidth);
    if (m_extentHeight > 0)
        made.scale = std::min(made.scale, made.printable.height() / m_extentHeight);
    made.resolution = m_printer ? m_printer->resolution() : 0;
    m_geometry = made;
    return *m_geometry;
}

double Printer::scale() const
{
    return geometry().scale;
}

double Printer::toDevice(int twips) const
{
    const Geometry &page = geometry();
    return m_printer ? twips * page.scale * page.resolution / 1440.0 : twips;
}

int Printer::pageWidth() const
{
    const Geometry &page = geometry();
    return static_cast<int>(page.printable.width() / page.scale);
}

int Printer::pageHeight() const
{
    const Geometry &page = geometry();
    return static_cast<int>(page.printable.height() / page.scale);
}

void Printer::setFont(const QString &name, double size, bool bold)
{
    m_fontName = name;
    m_fontSize = size;
    m_bold = bold;
}

void Printer::setFontSize(double size)
{
    m_fontSize = size;
}

void Printer::setBold(bool bold)
{
    m_bold = bold;
}

void Printer::setDrawWidth(int width)
{
    m_drawWidth = std::max(1, width);
}

void Printer::fail(const QString &why)
{
    if (m_failure.isEmpty())
        m_failure = why;
    if (m_painter) {
        m_painter->end();
        m_painter.reset();
    }
}

void Printer::beginPageIfNeeded()
{
    if (m_pageEnded) {
        m_pageEnded = false;
        ++m_page;
        if (m_painter && !m_printer->newPage())
            fail(u"Stampa non eseguita: la stampante %1 non accetta la stampa."_s.arg(m_printer->printerName()));
    }
    if (m_printer && !m_started) {
        m_started = true;
        m_painter = std::make_unique<QPainter>();
        if (!m_painter->begin(m_printer.get())) {
            m_painter.reset();
            fail(m_pdfFile.isEmpty()
                     ? u"Stampa non eseguita: la stampante %1 non accetta la stampa."_s.arg(m_printer->printerName())
                     : u"Stampa non eseguita: il file %1 non si può scrivere."_s.arg(m_pdfFile));
        }
    }
}

Printer::Face &Printer::face()
{
    if (m_lastFace && m_fontSize == m_lastFontSize && m_bold == m_lastBold && m_fontName == m_lastFontName)
        return *m_lastFace;
    m_lastFontName = m_fontName;
    m_lastFontSize = m_fontSize;
    m_lastBold = m_bold;
    const QString key = m_fontName + u'|' + QString::number(m_fontSize) + (m_bold ? u"|b"_s : u"|"_s);
    if (auto found = m_faces.find(key); found != m_faces.end()) {
        m_lastFace = &found->second;
        return *m_lastFace;
    }
    Face made;
    // The height of a line, as the printer advances it. Points to twips: the metrics are for
    // the screen, so go back through its resolution.
    const QFont font = Twips::font(m_fontName, m_fontSize, m_bold);
    const QFontMetricsF metrics(font);
    const double points = metrics.lineSpacing() * 72.0 / metrics.fontDpi();
    made.lineHeight = static_cast<int>(std::lround(points * 20));
    constexpr double measuringSize = 100;
    made.measuring = Twips::font(m_fontName, measuringSize, m_bold);
    made.twipsPerMeasuringUnit = 1440.0 / QFontMetricsF(made.measuring).fontDpi() * m_fontSize / measuringSize;
    if (m_printer) {
        QFont scaled(font);
        scaled.setPointSizeF(m_fontSize * scale());
        made.deviceFont = QFont(scaled, m_printer.get());
        made.ascent = QFontMetricsF(made.deviceFont, m_printer.get()).ascent();
    }
    m_lastFace = &m_faces.emplace(key, std::move(made)).first->second;
    return *m_lastFace;
}

double Printer::textWidth(const QString &text)
{
    Face &current = face();
    if (auto known = current.widths.constFind(text); known != current.widths.cend())
        return *known;
    const double width = QFontMetricsF(current.measuring).horizontalAdvance(text) * current.twipsPerMeasuringUnit;
    current.widths.insert(text, width);
    return width;
}

double Printer::blankOffset(qsizetype blanks, QChar mark)
{
    if (blanks == 0)
        return 0;
    Face &current = face();
    const quint64 key = quint64(blanks) << 16 | mark.unicode();
    if (auto known = current.blankOffsets.constFind(key); known != current.blankOffsets.cend())
        return *known;
    // Measured with the mark, so that a kerning between the last blank and the mark counts.
    const QFontMetricsF metrics(current.deviceFont, m_printer.get());
    const double offset = metrics.horizontalAdvance(QString(blanks, u' ') + mark) - metrics.horizontalAdvance(mark);
    current.blankOffsets.insert(key, offset);
    return offset;
}

void Printer::print(const QString &text)
{
    const Face &current = face();
    if (m_y + current.lineHeight > pageHeight() && m_y > 0) {
        endPage();
        m_y = 0;
    }
    beginPageIfNeeded();
    if (recordingOn())
        m_recording.append({DrawnItem::Kind::Text, text, m_x, m_y, 0, 0, m_fontName, m_fontSize, m_bold, m_page});
    if (m_painter) {
        if (m_painterFace != &current) {
            m_painter->setFont(current.deviceFont);
            m_painterFace = &current;
        }
        if (!m_textPen) {
            m_painter->setPen(Qt::black);
            m_textPen = true;
        }
        // Blanks at either end draw nothing, and they are most of a register's cells: they are left out
        // of the page, which makes the PDF a third as large; leading ones move the text by their width.
        qsizetype end = text.size();
        while (end > 0 && text.at(end - 1) == u' ')
            --end;
        qsizetype first = 0;
        while (first < end && text.at(first) == u' ')
            ++first;
        if (first < end) {
            const QPointF at(toDevice(m_x) + blankOffset(first, text.at(first)), toDevice(m_y) + current.ascent);
            m_painter->drawText(at, end - first == text.size() ? text : text.sliced(first, end - first));
        }
    }
    m_x = 0;
    m_y += current.lineHeight;
}

void Printer::printWithin(const QString &text, int width)
{
    qsizetype ink = text.size();
    while (ink > 0 && text.at(ink - 1) == u' ')
        --ink;
    if (textWidth(text.left(ink)) <= width) {
        print(text);
        return;
    }
    // The longest beginning that fits.
    qsizetype fits = 0;
    qsizetype over = ink;
    while (over - fits > 1) {
        const qsizetype middle = (fits + over) / 2;
        if (textWidth(text.left(middle)) <= width)
            fits = middle;
        else
            over = middle;
    }
    print(text.left(fits));
}

void Printer::rectangle(int left, int top, int width, int height)
{
    beginPageIfNeeded();
    if (recordingOn())
        m_recording.append({DrawnItem::Kind::Rectangle,
                            {},
                            left,
                            top,
                            width,
                            height,
                            {},
                            0,
                            false,
                            m_page,
                            m_drawWidth * twipsPerRulePixel});
    if (m_painter) {
        QPen pen(Qt::black);
        pen.setWidthF(toDevice(1) * m_drawWidth * twipsPerRulePixel);
        m_painter->setPen(pen);
        m_textPen = false;
        m_painter->setBrush(Qt::NoBrush);
        m_painter->drawRect(QRectF(toDevice(left), toDevice(top), toDevice(width), toDevice(height)));
    }
}

void Printer::picture(const QImage &image, int left, int top, int width, int height)
{
    if (image.isNull())
        return;
    beginPageIfNeeded();
    if (recordingOn())
        m_recording.append({DrawnItem::Kind::Picture, {}, left, top, width, height, {}, 0, false, m_page});
    if (m_painter)
        m_painter->drawImage(QRectF(toDevice(left), toDevice(top), toDevice(width), toDevice(height)), image);
}

void Printer::draw(const PrintStep &step)
{
    switch (step.kind) {
    case PrintStep::Kind::Text: {
        setFont(step.font, step.size, step.bold);
        if (step.shrinkToFit) {
            QString shown = step.text;
            while (shown.endsWith(u' '))
                shown.chop(1);
            for (double size = step.size; size > 4 && textWidth(shown) > step.width;) {
                size -= 0.5;
                setFontSize(size);
            }
        }
        m_x = step.x;
        m_y = step.y;
        if (step.width > 0 && !step.shrinkToFit)
            printWithin(step.text, step.width);
        else
            print(step.text);
        break;
    }
    case PrintStep::Kind::Rectangle:
        setDrawWidth(step.drawWidth);
        rectangle(step.x, step.y, step.width, step.height);
        break;
    case PrintStep::Kind::Picture:
        picture(step.image, step.x, step.y, step.width, step.height);
        break;
    case PrintStep::Kind::EndPage:
        endPage();
        break;
    }
}

void Printer::endPage()
{
    m_pageEnded = true;
}

bool Printer::finish()
{
    recorded() = m_recording;
    const QRectF printable = printableTwips();
    recordedPage() = {int(printable.width()), int(printable.height()), scale(),
                      m_layout.orientation() == QPageLayout::Landscape};
    if (m_painter) {
        if (!m_painter->end())
            fail(u"Stampa non eseguita: la stampante non ha completato il documento."_s);
        m_painter.reset();
    }
    if (!m_failure.isEmpty()) {
        if (!m_pdfFile.isEmpty())
            QFile::remove(m_pdfFile);
        Messages::report(m_failure);
        return false;
    }
    if (m_started && !m_pdfFile.isEmpty()) {
        const QString path = QDir::toNativeSeparators(QFileInfo(m_pdfFile).absoluteFilePath());
        const QString question =
            u"Nessuna stampante disponibile: la stampa è nel file "_s + path + u"\nAprire il file?"_s;
        if (Messages::askYesNo(question, Messages::Default::No) &&
            !QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
            Messages::report(u"Il file non si è potuto aprire: "_s + path);
    }
    return true;
}

void Printer::abandon()
{
    recorded().clear();
    if (m_painter) {
        m_printer->abort();
        m_painter->end();
        m_painter.reset();
    }
    if (m_started && !m_pdfFile.isEmpty())
        QFile::remove(m_pdfFile);
    m_started = false;
}

void Printer::setTarget(Target chosen)
{
    target() = chosen;
}

void Printer::setRecording(bool on)
{
    recordingOn() = on;
}

void Printer::setPdfPage(const QPageLayout &layout)
{
    pdfPage() = layout;
}

QList<DrawnItem> Printer::lastRecording()
{
    return recorded();
}

PageUsed Printer::lastPage()
{
    return recordedPage();
}

void printListing(const QStringList &lines, const QString &documentName, int layoutWidth)
{
    Hourglass::set();
    Printer printer(documentName);
    const int columns = layoutWidth > 0 ? layoutWidth + 3 : 0;
    // A fixed-pitch character is six tenths of its size wide.
    const auto fitting = [&]() {
        if (columns == 0)
            return 12.0;
        return std::min(12.0, std::floor(printer.pageWidth() / 20.0 / (0.6 * columns) * 4) / 4);
    };
    double size = fitting();
    if (size < 8) {
        printer.setLandscape(true);
        const double turned = fitting();
        if (turned >= 8)
            size = turned;
        else
            printer.setLandscape(false);
    }
    size = std::max(7.0, size);
    printer.setFont(u"Courier New"_s, size, false);
    printer.setDrawWidth(2);
    const auto perLine = std::max<qsizetype>(4, qsizetype(printer.pageWidth() / (0.6 * size * 20)));
    const QString margin = u"   "_s;
    printer.print(u" "_s);
    const qsizetype room = perLine - margin.size();
    for (const QString &line : lines) {
        QString rest = line;
        if (margin.size() + rest.size() > perLine) {
            while (rest.endsWith(u' '))
                rest.chop(1);
        }
        // A line wider than the page goes on over the next printed lines, under its own start,
        // broken at a blank: only a word wider than the page is cut.
        do {
            qsizetype cut = rest.size() <= room ? rest.size() : rest.lastIndexOf(u' ', room);
            if (cut <= 0)
                cut = std::min(room, rest.size());
            printer.print(margin + rest.left(cut));
            rest.remove(0, cut);
            qsizetype blanks = 0;
            while (blanks < rest.size() && rest.at(blanks) == u' ')
                ++blanks;
            rest.remove(0, blanks);
        } while (!rest.isEmpty());
    }
    Hourglass::reset();
    printer.finish();
}
