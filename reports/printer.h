#pragma once

#include <QFont>
#include <QHash>
#include <QImage>
#include <QList>
#include <QString>

#include <memory>

class QPainter;
class QPrinter;

// What was drawn, as tests read it back: positions in twips from the printable corner.
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
};

// The program's printer: a font, a current position in twips (1440 per inch), lines,
// rectangles, pictures and pages. It draws on the system's default printer or, where
// the machine has none, into a PDF in the working folder, and records what it draws.
class Printer {
public:
    enum class Target { Automatic, Pdf, RecordOnly };

    // `documentName` names the job, and the PDF file when there is no printer.
    explicit Printer(const QString &documentName);
    ~Printer();
    Printer(const Printer &) = delete;
    Printer &operator=(const Printer &) = delete;

    void setFont(const QString &name, double size, bool bold);
    void setFontName(const QString &name);
    void setFontSize(double size);
    void setBold(bool bold);
    // The width of lines drawn from here on, in screen pixels as the layout gives it.
    void setDrawWidth(int width);

    int currentX() const { return m_x; }
    int currentY() const { return m_y; }
    void setCurrentX(int twips) { m_x = twips; }
    void setCurrentY(int twips) { m_y = twips; }

    // Prints one line at the current position and moves to the start of the next line;
    // a line that would fall below the page starts a new page first.
    void print(const QString &text);
    void rectangle(int left, int top, int width, int height);
    void picture(const QImage &image, int left, int top, int width, int height);
    // Ends the page; the next thing drawn starts a new one, so a document never ends on
    // an empty page.
    void endPage();
    // Sends the document to the printer or finishes the PDF. Returns the PDF's file name,
    // empty when it went to a printer or nothing was written.
    QString endDocument();

    // The smallest font size, not above `size`, at which the longest of `lines` fits the width.
    double sizeToFit(const QStringList &lines, double size) const;

    int pageWidth() const;
    int pageHeight() const;

    // Where documents go; tests choose a PDF or no output at all.
    static void setTarget(Target target);
    static QList<DrawnItem> lastRecording();

private:
    // A font as the printer uses it: how far a line advances, and the font and ascent
    // for the device. Made once per font of a document, since a register draws thousands
    // of lines in two or three fonts.
    struct Face {
        int lineHeight = 0;
        QFont deviceFont;
        double ascent = 0;
    };
    void beginPageIfNeeded();
    const Face &face();
    double toDevice(int twips) const;

    QString m_documentName;
    QString m_pdfFile;
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<QPainter> m_painter;
    QString m_fontName = QStringLiteral("Arial");
    double m_fontSize = 10;
    bool m_bold = false;
    int m_drawWidth = 1;
    int m_x = 0;
    int m_y = 0;
    int m_page = 1;
    bool m_pageEnded = false;
    QList<DrawnItem> m_recording;
    QHash<QString, Face> m_faces;
    // The face of the last font asked for: most lines are in the font of the line before.
    Face m_lastFace;
    QString m_lastFontName;
    double m_lastFontSize = -1;
    bool m_lastBold = false;
};

// Tells the user the file a document went to when there was no printer; nothing otherwise.
void reportPdf(const QString &pdfFile);

// Prints the lines of a list window as the lists do: Courier New, a blank first line,
// each line after a margin of three blanks. Tells the user where a PDF went.
void printListing(const QStringList &lines, const QString &documentName);
