#pragma once

#include "store/records.h"
#include "ui/printer.h"

#include <QImage>
#include <QList>

// Prints the register of activities from globals().datainiziostampa on, with the
// volunteers of each and their hours by risk class, and tells the user how it went:
// "Stampa registro terminata." only when a register was printed; otherwise that there was
// nothing to print, or why it could not be read or printed. True when it was printed.
bool stamparegistro();

// The register laid out from its rows alone, activity by activity: page headings, lines,
// hours cells and page breaks, as the printer draws them.
class RegisterLayout {
public:
    // `header` is the picture at the top of every page; none leaves its place empty.
    explicit RegisterLayout(const QImage &header);

    // The steps of an activity's line and its volunteers' lines, under a page heading where
    // a page begins. The first heading waits for the first activity.
    QList<PrintStep> activity(const Activity &activity, const QList<DetailRow> &details);

    bool started() const { return m_started; }
    bool headingDue() const { return m_headingDue; }

private:
    void heading(QList<PrintStep> &steps);
    void text(QList<PrintStep> &steps, int x, const QString &text, const QString &font, int room = 0) const;
    void hoursCells(QList<PrintStep> &steps, const RiskHours &risk) const;
    void endPageWhenFull(QList<PrintStep> &steps);

    QImage m_header;
    bool m_started = false;
    bool m_headingDue = false;
    int m_linesOnPage = 0;
    int m_linePosition = 0;
};
