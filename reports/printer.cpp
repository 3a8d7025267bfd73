#include "reports/printer.h"

#include "common/clock.h"
#include "common/hourglass.h"
#include "common/messages.h"
#include "common/twips.h"

#include <QDir>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {
Printer::Target &target()
{
    static Printer::Target chosen = Printer::Target::Automatic;
    return chosen;
}

QList<DrawnItem> &recorded()
{
    static QList<DrawnItem> items;
    return items;
}

// Twips of the printable A4 page: the register's ruled area (11450 x 16400) fits inside
// margins of 3 mm.
constexpr int a4Width = 11906;
constexpr int a4Height = 16838;
constexpr int marginTwips = 170;
} // namespace

Printer::Printer(const QString &documentName)
    : m_documentName(documentName)
{
    if (target() == Target::RecordOnly)
        return;
    const bool toPdf = target() == Target::Pdf || QPrinterInfo::defaultPrinter().isNull();
    m_printer = std::make_unique<QPrinter>(toPdf ? QPrinterInfo() : QPrinterInfo::defaultPrinter(),
                                           QPrinter::HighResolution);
    m_printer->setDocName(documentName);
    m_printer->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(3, 3, 3, 3), QPageLayout::Millimeter));
    if (toPdf) {
        m_pdfFile = Clock::freeStampedName(documentName, u"pdf"_s);
        m_printer->setOutputFormat(QPrinter::PdfFormat);
        m_printer->setOutputFileName(QDir::current().absoluteFilePath(m_pdfFile));
    }
}

Printer::~Printer()
{
    if (m_painter)
        m_painter->end();
}

double Printer::toDevice(int twips) const
{
    return m_printer ? twips * m_printer->resolution() / 1440.0 : twips;
}

int Printer::pageWidth() const
{
    return a4Width - 2 * marginTwips;
}

int Printer::pageHeight() const
{
    return a4Height - 2 * marginTwips;
}

void Printer::setFont(const QString &name, double size, bool bold)
{
    m_fontName = name;
    m_fontSize = size;
    m_bold = bold;
}

void Printer::setFontName(const QString &name)
{
    m_fontName = name;
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

void Printer::beginPageIfNeeded()
{
    if (m_pageEnded) {
        m_pageEnded = false;
        ++m_page;
        if (m_painter)
            m_printer->newPage();
    }
    if (m_printer && !m_painter) {
        m_painter = std::make_unique<QPainter>();
        if (!m_painter->begin(m_printer.get())) {
            // Nothing can be drawn; the recording still goes on.
            m_painter.reset();
            m_printer.reset();
        }
    }
}

const Printer::Face &Printer::face()
{
    if (m_fontSize == m_lastFontSize && m_bold == m_lastBold && m_fontName == m_lastFontName)
        return m_lastFace;
    m_lastFontName = m_fontName;
    m_lastFontSize = m_fontSize;
    m_lastBold = m_bold;
    const QString key = m_fontName + u'|' + QString::number(m_fontSize) + (m_bold ? u"|b"_s : u"|"_s);
    auto found = m_faces.constFind(key);
    if (found != m_faces.cend()) {
        m_lastFace = *found;
        return m_lastFace;
    }
    Face made;
    // The height of a line, as the printer advances it. Points to twips: the metrics are for
    // the screen, so go back through its resolution.
    const QFont font = Twips::font(m_fontName, m_fontSize, m_bold);
    const QFontMetricsF metrics(font);
    const double points = metrics.lineSpacing() * 72.0 / metrics.fontDpi();
    made.lineHeight = static_cast<int>(std::lround(points * 20));
    if (m_printer) {
        made.deviceFont = QFont(font, m_printer.get());
        made.ascent = QFontMetricsF(made.deviceFont, m_printer.get()).ascent();
    }
    m_lastFace = *m_faces.insert(key, made);
    return m_lastFace;
}

void Printer::print(const QString &text)
{
    const Face &current = face();
    if (m_y + current.lineHeight > pageHeight() && m_y > 0) {
        endPage();
        m_y = 0;
    }
    beginPageIfNeeded();
    m_recording.append({DrawnItem::Kind::Text, text, m_x, m_y, 0, 0, m_fontName, m_fontSize, m_bold, m_page});
    if (m_painter) {
        m_painter->setFont(current.deviceFont);
        m_painter->setPen(Qt::black);
        m_painter->drawText(QPointF(toDevice(m_x), toDevice(m_y) + current.ascent), text);
    }
    m_x = 0;
    m_y += current.lineHeight;
}

void Printer::rectangle(int left, int top, int width, int height)
{
    beginPageIfNeeded();
    m_recording.append({DrawnItem::Kind::Rectangle, {}, left, top, width, height, {}, 0, false, m_page});
    if (m_painter) {
        QPen pen(Qt::black);
        pen.setWidthF(m_drawWidth * m_printer->resolution() / 96.0);
        m_painter->setPen(pen);
        m_painter->setBrush(Qt::NoBrush);
        m_painter->drawRect(QRectF(toDevice(left), toDevice(top), toDevice(width), toDevice(height)));
    }
}

void Printer::picture(const QImage &image, int left, int top, int width, int height)
{
    if (image.isNull())
        return;
    beginPageIfNeeded();
    m_recording.append({DrawnItem::Kind::Picture, {}, left, top, width, height, {}, 0, false, m_page});
    if (m_painter)
        m_painter->drawImage(QRectF(toDevice(left), toDevice(top), toDevice(width), toDevice(height)), image);
}

void Printer::endPage()
{
    m_pageEnded = true;
}

QString Printer::endDocument()
{
    recorded() = m_recording;
    if (!m_painter)
        return {};
    m_painter->end();
    m_painter.reset();
    return m_pdfFile;
}

double Printer::sizeToFit(const QStringList &lines, double size) const
{
    qsizetype longest = 0;
    for (const QString &line : lines)
        longest = std::max(longest, line.size());
    if (longest == 0)
        return size;
    // A fixed-pitch character is six tenths of its size wide.
    const double fitting = pageWidth() / 20.0 / (0.6 * double(longest));
    return std::min(size, std::floor(fitting * 4) / 4);
}

void Printer::setTarget(Target chosen)
{
    target() = chosen;
}

QList<DrawnItem> Printer::lastRecording()
{
    return recorded();
}

void reportPdf(const QString &pdfFile)
{
    if (!pdfFile.isEmpty())
        Messages::report(u"Nessuna stampante disponibile: la stampa è nel file "_s + pdfFile);
}

void printListing(const QStringList &lines, const QString &documentName)
{
    Hourglass::set();
    QString pdf;
    {
        Printer printer(documentName);
        QStringList printed{u" "_s};
        for (const QString &line : lines)
            printed << u"   "_s + line;
        // The widest lines are wider than the page at 12 points: the whole listing takes a
        // smaller size, so that its columns stay aligned and no line is cut or wrapped.
        printer.setFont(u"Courier New"_s, printer.sizeToFit(printed, 12), false);
        printer.setDrawWidth(2);
        for (const QString &line : printed)
            printer.print(line);
        pdf = printer.endDocument();
    }
    Hourglass::reset();
    reportPdf(pdf);
}
