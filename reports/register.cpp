#include "reports/register.h"

#include "common/globals.h"
#include "common/textformat.h"
#include "common/volunteertext.h"
#include "store/reportrows.h"
#include "ui/hourglass.h"
#include "ui/mainwindowinterface.h"
#include "ui/messages.h"
#include "ui/windowaccess.h"

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
// The hours cells, in the order of the risk classes.
const int hoursXs[] = {7335, 8035, 8735, 9435, 10135, 10835};
static_assert(std::size(hoursXs) == riskClasses.size());

const QString times = u"Times New Roman"_s;
const QString courier = u"Courier New"_s;

PrintStep rectangle(int left, int top, int width, int height)
{
    PrintStep step;
    step.kind = PrintStep::Kind::Rectangle;
    step.x = left;
    step.y = top;
    step.width = width;
    step.height = height;
    step.drawWidth = 3;
    return step;
}

// A heading in bold Times New Roman, at `size` points or smaller where that is too wide to
// keep clear of the right rule of its cell.
PrintStep headingText(int x, int y, int right, double size, const QString &text)
{
    PrintStep step;
    step.text = text;
    step.x = x;
    step.y = y;
    step.width = right - cellPadding - x;
    step.font = times;
    step.size = size;
    step.bold = true;
    step.shrinkToFit = true;
    return step;
}
} // namespace

RegisterLayout::RegisterLayout(const QImage &header)
    : m_header(header)
{
}

void RegisterLayout::heading(QList<PrintStep> &steps)
{
    m_headingDue = false;
    PrintStep picture;
    picture.kind = PrintStep::Kind::Picture;
    picture.image = m_header;
    picture.x = 1;
    picture.y = 1;
    picture.width = 12000;
    picture.height = 2000;
    steps << picture << rectangle(450, 2650, 11000, 500);
    for (size_t i = 0; i < std::size(columnLefts); ++i)
        steps << rectangle(columnLefts[i], 3150, columnWidths[i], 250)
              << rectangle(columnLefts[i], 3400, columnWidths[i], 13000);
    steps << headingText(550, 2750, 450 + 11000, 15,
                         u"         ELENCO DELLE ATTIVITA' CON DETTAGLIO PER VOLONTARIO  "_s);
    QStringList headings{u"DATA INIZIO"_s, u" DATA FINE "_s, u"DESCRIZIONE ATTIVITA'-LOCALITA'/VOLONTARIO "_s};
    for (const RiskClass &riskClass : riskClasses)
        headings << (u"ORE T"_s + riskClass.code.toString()).leftJustified(7);
    const int headingXs[] = {480, 1540, 2900, 7285, 7985, 8685, 9385, 10085, 10780};
    static_assert(std::size(headingXs) == 3 + riskClasses.size());
    for (size_t i = 0; i < std::size(headingXs); ++i)
        steps << headingText(headingXs[i], firstLine, columnLefts[i] + columnWidths[i], 8, headings[qsizetype(i)]);
    m_linesOnPage = 0;
    m_linePosition = firstLine;
}

// A text of the current line, in bold at 8 points; `room` is how far its ink may reach.
void RegisterLayout::text(QList<PrintStep> &steps, int x, const QString &text, const QString &font, int room) const
{
    PrintStep step;
    step.text = text;
    step.x = x;
    step.y = m_linePosition + bodyDrop;
    step.width = room;
    step.font = font;
    step.size = 8;
    step.bold = true;
    steps << step;
}

// The six hours cells of a line, blank where there are no hours.
void RegisterLayout::hoursCells(QList<PrintStep> &steps, const RiskHours &risk) const
{
    static const QString blank(6, u' ');
    for (size_t i = 0; i < riskClasses.size(); ++i) {
        const double hours = risk.at(i);
        text(steps, hoursXs[i],
             hours > 0 ? TextFormat::numberField(TextFormat::formatNumber(hours, TextFormat::Pattern::NoZeroInteger), 6)
                       : blank,
             courier);
    }
}

// A full page goes out; the next line opens a new page under a new heading.
void RegisterLayout::endPageWhenFull(QList<PrintStep> &steps)
{
    if (m_linesOnPage > linesPerPage - 1) {
        PrintStep end;
        end.kind = PrintStep::Kind::EndPage;
        steps << end;
        m_linesOnPage = 0;
        m_headingDue = true;
    }
}

QList<PrintStep> RegisterLayout::activity(const Activity &activity, const QList<DetailRow> &details)
{
    QList<PrintStep> steps;
    if (!m_started || m_headingDue)
        heading(steps);
    m_started = true;
    m_linePosition += lineStep;
    ++m_linesOnPage;
    text(steps, 530, activity.start, times);
    text(steps, 1580, activity.end, times);
    text(steps, 2600,
         TextFormat::fixedWidth(activity.description + u" - "_s + activity.place + u"  "_s + activity.province, 51),
         times, descriptionRight - 2600);
    hoursCells(steps, activity.risk);
    endPageWhenFull(steps);
    for (const DetailRow &row : details) {
        if (m_headingDue)
            heading(steps);
        m_linePosition += lineStep;
        // Placed on its line explicitly: the printer's own next line may differ by a few twips.
        text(steps, 2900, TextFormat::fixedWidth(VolunteerText::of(row.surname, row.name), 51), courier,
             descriptionRight - 2900);
        ++m_linesOnPage;
        hoursCells(steps, row.risk);
        endPageWhenFull(steps);
    }
    return steps;
}

bool stamparegistro()
{
    Globals &g = globals();
    Hourglass::set();
    Printer printer(u"registro-attivita"_s);
    printer.setExtent(drawingWidth, drawingHeight);
    // One picture for every page: the PDF then holds it once, not once a page.
    const MainWindowInterface *existing = Windows::existingMainWindow();
    RegisterLayout layout(existing ? existing->headerPicture() : QImage());
    g.stampaattiva = 0;
    MainWindowInterface *main = Windows::mainWindow();
    const Store::Result refusal = Reports::registerActivities(
        *main->Data7, *main->Data4, g.datainiziostampa, [&](const Activity &activity, const QList<DetailRow> &details) {
            for (const PrintStep &step : layout.activity(activity, details))
                printer.draw(step);
        });
    // The walk pointed the grid's source at the register's activities: the grid shows all of
    // them again, as at start.
    main->showActivities();
    if (layout.started()) {
        g.stampaattiva = 1;
        g.intestazionepagina = layout.headingDue() ? 1 : 0;
    }
    Hourglass::reset();
    if (!refusal.ok()) {
        // Half a register is no register: nothing of it goes out.
        printer.abandon();
        Messages::report(u"Stampa registro non eseguita, l'archivio non si è potuto leggere: "_s + refusal.description);
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
