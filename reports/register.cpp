#include "reports/register.h"

#include "app/form1.h"
#include "app/windows.h"
#include "common/globals.h"
#include "common/textformat.h"
#include "reports/printer.h"
#include "store/datasource.h"

#include <QLabel>

using namespace Qt::StringLiterals;

namespace {
constexpr int lineStep = 180;
constexpr int firstLine = 3200;
constexpr int linesPerPage = 72;

const int columnLefts[] = {450, 1510, 2570, 7250, 7950, 8650, 9350, 10050, 10750};
const int columnWidths[] = {1060, 1060, 4680, 700, 700, 700, 700, 700, 700};

void printAt(Printer &printer, int x, int y, const QString &text)
{
    printer.setCurrentX(x);
    printer.setCurrentY(y);
    printer.print(text);
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
    printer.setFont(u"Times New Roman"_s, 15, true);
    printAt(printer, 550, 2750, u"         ELENCO DELLE ATTIVITA' CON DETTAGLIO PER VOLONTARIO  "_s);
    printer.setFont(u"Times New Roman"_s, 8, true);
    const std::pair<int, QString> headings[] = {
        {480, u"DATA INIZIO"_s},    {1540, u" DATA FINE "_s}, {2900, u"DESCRIZIONE ATTIVITA'-LOCALITA'/VOLONTARIO "_s},
        {7285, u"ORE T0 "_s},       {7985, u"ORE T6 "_s},     {8685, u"ORE T7 "_s},
        {9385, u"ORE T8 "_s},       {10085, u"ORE T9 "_s},    {10780, u"ORE T10"_s}};
    for (const auto &[x, text] : headings)
        printAt(printer, x, firstLine, text);
    g.righepagina = 0;
    g.posizioneriga = firstLine;
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
        printAt(printer, x, globals().posizioneriga, cell);
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
} // namespace

QString stamparegistro()
{
    Globals &g = globals();
    Printer printer(u"registro-attivita"_s);
    // One picture for every page: the PDF then holds it once, not once a page.
    const Form1 *existing = Windows::existingForm1();
    const QImage header = existing ? existing->Image1->pixmap().toImage() : QImage();
    pageHeading(printer, header);
    Form1 *main = Windows::form1();
    DataSource *activities = main->Data7;
    DataSource *details = main->Data4;
    activities->setRecordSource(u"select * from ATTIVITA order by NOTE4, DESCRATT"_s);
    activities->refresh();
    for (; !activities->eof(); activities->moveNext()) {
        if (activities->text(u"NOTE4"_s) < g.datainiziostampa)
            continue;
        if (g.intestazionepagina == 1)
            pageHeading(printer, header);
        g.posizioneriga += lineStep;
        printer.setFont(u"Times New Roman"_s, 8, true);
        ++g.righepagina;
        const QString description = activities->text(u"DESCRATT"_s);
        const QString start = activities->text(u"DATAINATT"_s);
        printAt(printer, 530, g.posizioneriga, start);
        printAt(printer, 1580, g.posizioneriga, activities->text(u"DATAFIATT"_s));
        printAt(printer, 2600, g.posizioneriga,
                TextFormat::fixedWidth(description + u" - "_s + activities->text(u"LOCATT"_s) + u"  "_s +
                                           activities->text(u"PROVATT"_s),
                                       51));
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
            printAt(printer, 2900, g.posizioneriga,
                    TextFormat::fixedWidth(details->text(u"COGN"_s) + u' ' + details->text(u"NOME"_s), 51));
            ++g.righepagina;
            hoursCells(printer, details);
            endPageWhenFull(printer);
            printer.setFontName(u"Times New Roman"_s);
        }
    }
    return printer.endDocument();
}
