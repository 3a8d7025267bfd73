#pragma once

#include <QFont>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPageLayout>
#include <QString>

#include <map>
#include <memory>
#include <optional>

class QPainter;
class QPrinter;

// What was drawn, as tests read it back: positions in twips from the printable corner,
// before any scaling to the page.
struct DrawnItem {
    enum class Kind { Text, Rectangle, Picture };
    Kind kind = Kind::Text;
    QString text;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    QString font;
    double size = 0;
    bool bold = false;
    int page = 1;
    double lineWidth = 0; // rectangles: the width of their rules, in twips
};

// The page a document was laid on, as tests read it back.
struct PageUsed {
    int printableWidth = 0; // twips of paper that can be printed
    int printableHeight = 0;
    double scale = 1; // the drawing's twips are this many paper twips
    bool landscape = false;
};

// One thing to draw, laid out apart from the printer (as the register is) and drawn by
// Printer::draw. Positions and sizes in twips.
struct PrintStep {
    enum class Kind { Text, Rectangle, Picture, EndPage };
    Kind kind = Kind::Text;
    QString text;
    int x = 0;
    int y = 0;
    // Text: the room its ink may take from x, cut where it would pass it; 0 for no limit.
    int width = 0;
    int height = 0;
    QString font;
    double size = 0;
    bool bold = false;
    // Text: kept whole at a smaller size, by half points down to 4, rather than cut.
    bool shrinkToFit = false;
    int drawWidth = 1; // rectangles: see Printer::setDrawWidth
    QImage image;      // pictures
};

// The program's printer: a font, a current position in twips (1440 per inch), lines,
// rectangles, pictures and pages. It draws on the system's default printer, on its paper
// and within its printable area, or, where the machine has none, into a PDF in the working
// folder, and records what it draws when asked to.
class Printer {
public:
    enum class Target { Automatic, Pdf, RecordOnly };

    // `documentName` names the job, and the PDF file when there is no printer.
    explicit Printer(const QString &documentName);
    ~Printer();
    Printer(const Printer &) = delete;
    Printer &operator=(const Printer &) = delete;

    // How far the drawing reaches, in twips: a smaller printable area scales the whole
    // drawing down to fit instead of losing its edges. Set before drawing.
    void setExtent(int width, int height);
    // Turns the page; set before drawing.
    void setLandscape(bool landscape);

    void setFont(const QString &name, double size, bool bold);
    void setFontSize(double size);
    void setBold(bool bold);
    // The width of rules drawn from here on, in printer pixels of a tenth of a millimetre.
    void setDrawWidth(int width);

    void setCurrentX(int twips) { m_x = twips; }

    // Prints one line at the current position and moves to the start of the next line;
    // a line that would fall below the page starts a new page first.
    void print(const QString &text);
    // Prints like print(), cut where its ink would pass `width` twips from the current x.
    void printWithin(const QString &text, int width);
    // The width of `text` in the current font, in twips.
    double textWidth(const QString &text);
    void rectangle(int left, int top, int width, int height);
    void picture(const QImage &image, int left, int top, int width, int height);
    // Draws one step laid out beforehand.
    void draw(const PrintStep &step);
    // Ends the page; the next thing drawn starts a new one, so a document never ends on
    // an empty page.
    void endPage();
    // Sends the document to the printer or finishes the PDF, and tells the user where a
    // PDF went, offering to open it, or why nothing could be printed. True when the document
    // was printed.
    bool finish();
    // Drops the document: nothing of it is printed or kept.
    void abandon();

    // The printable page in twips of the drawing (after any scaling), in its orientation.
    int pageWidth() const;
    int pageHeight() const;

    // Where documents go; tests choose a PDF or no output at all.
    static void setTarget(Target target);
    // The paper of documents that go to a PDF or to the recording alone: A4 with margins
    // of 3 mm, unless a test lays another.
    static void setPdfPage(const QPageLayout &layout);
    // What the last document drew, kept for tests only when they ask for it: a register
    // draws tens of thousands of items.
    static void setRecording(bool on);
    static QList<DrawnItem> lastRecording();
    static PageUsed lastPage();

private:
    // A font as the printer uses it: how far a line advances, and the font and ascent
    // for the device. Made once per font of a document, since a register draws thousands
    // of lines in two or three fonts.
    struct Face {
        int lineHeight = 0;
        QFont deviceFont;
        double ascent = 0;
        QFont measuring; // the font at a large size, so that widths are free of screen rounding
        double twipsPerMeasuringUnit = 0;
        // Widths already measured: the same names and headings come back on every page.
        QHash<QString, double> widths;
        // Where a text's first mark falls after n blanks, by n and that mark, in device units.
        QHash<quint64, double> blankOffsets;
    };
    void beginPageIfNeeded();
    Face &face();
    // How far, in device units, `blanks` blanks move the `mark` after them in the current font.
    double blankOffset(qsizetype blanks, QChar mark);
    double toDevice(int twips) const;
    double scale() const;
    QRectF printableTwips() const;
    void fail(const QString &why);

    QString m_documentName;
    QString m_pdfFile;
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<QPainter> m_painter;
    QPageLayout m_layout;
    QString m_failure;
    bool m_started = false;
    int m_extentWidth = 0;
    int m_extentHeight = 0;
    QString m_fontName = QStringLiteral("Arial");
    double m_fontSize = 10;
    bool m_bold = false;
    int m_drawWidth = 1;
    int m_x = 0;
    int m_y = 0;
    int m_page = 1;
    bool m_pageEnded = false;
    QList<DrawnItem> m_recording;
    // A map, since the faces are kept by address.
    std::map<QString, Face> m_faces;
    // The face of the last font asked for: most lines are in the font of the line before.
    Face *m_lastFace = nullptr;
    QString m_lastFontName;
    double m_lastFontSize = -1;
    bool m_lastBold = false;
    // What the painter was last given for text, so that a line in the same font and pen
    // as the one before does not set them again.
    const Face *m_painterFace = nullptr;
    bool m_textPen = false;
    // The page as the drawing sees it, worked out at the first use after the page or the
    // extent is set: every line asks for it twice.
    struct Geometry {
        QRectF printable; // twips
        double scale = 1;
        int resolution = 0; // of the printer, when there is one
    };
    const Geometry &geometry() const;
    mutable std::optional<Geometry> m_geometry;
};

// Prints the lines of a list window as the lists do: Courier New, a blank first line,
// each line after a margin of three blanks. The size comes from `layoutWidth`, the
// characters of the widest heading or column line of the list (0 when it has none): as
// large as fits, up to 12 points and never below 7, on a landscape page when only that
// keeps it at 8 points or more. A longer line goes on over the next printed lines.
void printListing(const QStringList &lines, const QString &documentName, int layoutWidth);
