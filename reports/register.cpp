#include "reports/register.h"

#include "app/form1.h"
#include "app/windows.h"
#include "common/globals.h"
#include "common/hourglass.h"
#include "common/messages.h"
#include "common/textformat.h"
#include "reports/printer.h"
#include "store/datasource.h"

#include <QLabel>

using namespace Qt::StringLiterals;

namespace {
constexpr int lineStep = 180;
constexpr int firstLine = 3200;
constexpr int linesPerPage = 72;
// Register lines stand this far below their place, so that the first clears the rule under
// the column headings and the last the bottom of the columns.
constexpr int bodyDrop = 40;
// Text keeps this far from the rules of its cell.
constexpr int cellPadding = 30;
// The ruled area and the header picture: what the page must hold, scaled down if need be.
constexpr int drawingWidth = 12001;
constexpr int drawingHeight = 16400;

const int columnLefts[] = {450, 1510, 2570, 7250, 7950, 8650, 9350, 10050, 10750};
const int columnWidths[] = {1060, 1060, 4680, 700, 700, 700, 700, 700, 700};
constexpr int descriptionRight = 2570 + 4680 - cellPadding;

void printAt(Printer &printer, int x, int y, const QString &text)
{
    printer.setCurrentX(x);
    printer.setCurrentY(y);
    printer.print(text);
}

// A heading in bold Times New Roman, at `size` points or smaller where that is too wide to
// keep clear of the right rule of its cell.
void headingAt(Printer &printer, int x, int y, int right, double size, const QString &text)
{
    printer.setFont(u"Times New Roman"_s, size, true);
    QString shown = text;
    while (shown.endsWith(u' '))
        shown.chop(1);
    while (size > 4 && x + printer.textWidth(shown) > right - cellPadding) {
        size -= 0.5;
        printer.setFontSize(size);
    }
    printAt(printer, x, y, text);
}

void pageHeading(Printer &printer, const QImage &header)
{
    Globals &g = globals();
    g.intestazionepagina = 0;
    printer.setFont(u"Times New Roman"_s, 10, true);
    printer.setDrawWidth(3);
    printer.picture(header, 1, 1, 12000, 2000);
    printer.rectangle(450, 2650, 11000, 500);
    for (size_t i = 0; i < std::size(columnLefts); ++i) {
        printer.rectangle(columnLefts[i], 3150, columnWidths[i], 250);
        printer.rectangle(columnLefts[i], 3400, columnWidths[i], 13000);
    }
    headingAt(printer, 550, 2750, 450 + 11000, 15,
              u"         ELENCO DELLE ATTIVITA' CON DETTAGLIO PER VOLONTARIO  "_s);
    const QString headings[] = {u"DATA INIZIO"_s, u" DATA FINE "_s, u"DESCRIZIONE ATTIVITA'-LOCALITA'/VOLONTARIO "_s,
                                u"ORE T0 "_s,     u"ORE T6 "_s,     u"ORE T7 "_s,
                                u"ORE T8 "_s,     u"ORE T9 "_s,     u"ORE T10"_s};
    const int headingXs[] = {480, 1540, 2900, 7285, 7985, 8685, 9385, 10085, 10780};
    for (size_t i = 0; i < std::size(headings); ++i)
        headingAt(printer, headingXs[i], firstLine, columnLefts[i] + columnWidths[i], 8, headings[i]);
    g.righepagina = 0;
    g.posizioneriga = firstLine;
}

int lineY()
{
    return globals().posizioneriga + bodyDrop;
}

// The six hours cells of a line, blank where there are no hours.
void hoursCells(Printer &printer, const DataSource *source)
{
    const std::pair<QString, int> cells[] = {{u"ORET0"_s, 7335}, {u"ORET6"_s, 8035},  {u"ORET7"_s, 8735},
                                             {u"ORET8"_s, 9435}, {u"ORET9"_s, 10135}, {u"ORET10"_s, 10835}};
    printer.setFont(u"Courier New"_s, 8, true);
    for (const auto &[field, x] : cells) {
        const double hours = source->value(field).toDouble();
        const QString cell =
            hours > 0 ? TextFormat::numberField(TextFormat::formatNumber(hours, TextFormat::Pattern::NoZeroInteger), 6)
                      : QString(6, u' ');
        printAt(printer, x, lineY(), cell);
    }
}

// A full page goes out; the next line opens a new page under a new heading.
void endPageWhenFull(Printer &printer)
{
    Globals &g = globals();
    if (g.righepagina > linesPerPage - 1) {
        printer.endPage();
        g.righepagina = 0;
        g.intestazionepagina = 1;
    }
}

// The activities from the start date, each with its volunteers. False when the store
// refused a read: the printout is then incomplete.
bool printBody(Printer &printer, const QImage &header, Store::Result *refusal)
{
    Globals &g = globals();
    Form1 *main = Windows::form1();
    DataSource *activities = main->Data7;
    DataSource *details = main->Data4;
    activities->setRecordSource(u"select * from ATTIVITA order by NOTE4, DESCRATT"_s);
    activities->refresh();
    for (; !activities->eof(); activities->moveNext()) {
        if (activities->text(u"NOTE4"_s) < g.datainiziostampa)
            continue;
        // The first heading waits for the first activity: a register with none prints nothing.
        if (g.stampaattiva == 0 || g.intestazionepagina == 1)
            pageHeading(printer, header);
        g.stampaattiva = 1;
        g.posizioneriga += lineStep;
        printer.setFont(u"Times New Roman"_s, 8, true);
        ++g.righepagina;
        const QString description = activities->text(u"DESCRATT"_s);
        const QString start = activities->text(u"DATAINATT"_s);
        printAt(printer, 530, lineY(), start);
        printAt(printer, 1580, lineY(), activities->text(u"DATAFIATT"_s));
        printer.setCurrentX(2600);
        printer.setCurrentY(lineY());
        printer.printWithin(TextFormat::fixedWidth(description + u" - "_s + activities->text(u"LOCATT"_s) + u"  "_s +
                                                       activities->text(u"PROVATT"_s),
                                                   51),
                            descriptionRight - 2600);
        hoursCells(printer, activities);
        endPageWhenFull(printer);
        details->setRecordSource(
            u"select * from ATTIVDETT where DESCRATT = ? and DATAINATT = ? order by COGN, NOME"_s,
            {description, start});
        details->refresh();
        for (; !details->eof(); details->moveNext()) {
            if (g.intestazionepagina == 1)
                pageHeading(printer, header);
            g.posizioneriga += lineStep;
            printer.setFont(u"Courier New"_s, 8, true);
            // Placed on its line explicitly: the printer's own next line may differ by a few twips.
            printer.setCurrentX(2900);
            printer.setCurrentY(lineY());
            printer.printWithin(
                TextFormat::fixedWidth(details->text(u"COGN"_s) + u' ' + details->text(u"NOME"_s), 51),
                descriptionRight - 2900);
            ++g.righepagina;
            hoursCells(printer, details);
            endPageWhenFull(printer);
            printer.setFontName(u"Times New Roman"_s);
        }
        if (details->failed()) {
            *refusal = details->lastError();
            return false;
        }
    }
    if (activities->failed()) {
        *refusal = activities->lastError();
        return false;
    }
    return true;
}
} // namespace

bool stamparegistro()
{
    Globals &g = globals();
    Hourglass::set();
    Printer printer(u"registro-attivita"_s);
    printer.setExtent(drawingWidth, drawingHeight);
    // One picture for every page: the PDF then holds it once, not once a page.
    const Form1 *existing = Windows::existingForm1();
    const QImage header = existing ? existing->Image1->pixmap().toImage() : QImage();
    g.stampaattiva = 0;
    Store::Result refusal;
    const bool complete = printBody(printer, header, &refusal);
    Hourglass::reset();
    if (!complete) {
        // Half a register is no register: nothing of it goes out.
        printer.abandon();
        Messages::report(u"Stampa registro non eseguita, l'archivio non si è potuto leggere: "_s +
                         refusal.description);
        return false;
    }
    if (g.stampaattiva == 0) {
        printer.abandon();
        Messages::report(u"Nessuna attività dalla data indicata: non è stato stampato nulla."_s);
        return false;
    }
    if (!printer.finish())
        return false;
    Messages::report(u"Stampa registro terminata."_s);
    return true;
}
