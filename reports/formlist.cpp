#include "reports/formlist.h"

#include "common/compactlines.h"
#include "common/globals.h"
#include "reports/lists.h"
#include "ui/activation.h"
#include "ui/controls.h"
#include "ui/mainwindowinterface.h"
#include "ui/messages.h"
#include "ui/printer.h"
#include "ui/twips.h"
#include "ui/windowaccess.h"

#include <QPushButton>
#include <QStyledItemDelegate>

using namespace Qt::StringLiterals;

// Makes every line of the list as wide as the longest, so that the list scrolls sideways to
// the end of any line: the list measures only one of its lines.
class WholeLines : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setWidth(std::max(size.width(), width));
        return size;
    }

    int width = 0;
};

Formlist::Formlist()
{
    setObjectName(u"Formlist"_s);
    setWindowTitle(u"Sentaro - "_s);
    Twips::resizeClient(this, 15015, 9240);

    List1 = new LineListView(this);
    List1->setObjectName(u"List1"_s);
    List1->setFont(Twips::font(u"Courier New"_s, 8.25));
    Twips::place(List1, 360, 600, 14295, 6990);
    List1->setTextElideMode(Qt::ElideNone);
    m_wholeLines = new WholeLines(List1);
    List1->setItemDelegate(m_wholeLines);
    cmdstampa = Controls::button(this, u"cmdstampa"_s, u"Stampa"_s, 11520, 8400, 1095, 495);
    cmdesci = Controls::button(this, u"cmdesci"_s, u"Esci"_s, 12960, 8400, 1095, 495);
    setTabOrder(List1, cmdstampa);
    setTabOrder(cmdstampa, cmdesci);

    connect(List1, &QAbstractItemView::clicked, this, &Formlist::List1_Click);
    // Enter on the chosen line opens it, as a click on it does.
    Controls::onEnter(List1, [this]() { List1_Click(); });
    connect(cmdstampa, &QPushButton::clicked, this, &Formlist::cmdstampa_Click);
    connect(cmdesci, &QPushButton::clicked, this, &Formlist::cmdesci_Click);
    Activation::watch(this, [this]() { Form_Activate(); });
}

void Formlist::Form_Activate()
{
    const Globals &g = globals();
    setWindowTitle(g.tipolista == ListKind::details ? u"SENTARO - ELENCO ATTIVITA' CON DETTAGLIO PER VOLONTARIO"_s
                                                    : u"Sentaro - "_s);
    // The old lines go before the new ones are read: a long list is never held twice.
    List1->clear();
    CompactLines lines;
    QStringList keys;
    QString longest;
    const Store::Result refusal = buildList(
        g.tipolista, g.tabrischio,
        [&](const QString &line) {
            lines.append(line);
            if (line.size() > longest.size())
                longest = line;
        },
        &keys);
    // The activity lists walk the grid's source: the grid shows every activity again, as at start.
    if (g.tipolista == ListKind::activities || g.tipolista == ListKind::details)
        Windows::mainWindow()->showActivities();
    // A list cut short by the store is not shown as if it were the whole.
    if (refusal.ok()) {
        lines.squeeze();
        m_wholeLines->width =
            List1->fontMetrics().horizontalAdvance(longest) + 2 * List1->fontMetrics().averageCharWidth();
        List1->setLines(std::move(lines), std::move(keys));
    } else {
        Messages::report(u"Elenco non disponibile, l'archivio non si è potuto leggere: "_s + refusal.description);
    }
}

void Formlist::List1_Click()
{
    Globals &g = globals();
    static const QHash<QString, QString> operations = {{ListKind::volunteers, Operation::view},
                                                       {ListKind::toModify, Operation::modify},
                                                       {ListKind::toDelete, Operation::remove}};
    const QModelIndex item = List1->currentIndex();
    if (!operations.contains(g.tipolista) || !item.isValid())
        return;
    // The volunteer's text as the line was built from it; the blank and total lines hand their
    // text. The volunteer window is handed at most 50 characters of it.
    const QVariant key = item.data(Qt::UserRole);
    QString chosen = (key.isValid() ? key.toString() : item.data().toString()).left(50);
    while (chosen.endsWith(u' '))
        chosen.chop(1);
    g.volontarioscelto = chosen;
    g.tipoopvol = operations.value(g.tipolista);
    Windows::showFormvol();
}

void Formlist::cmdstampa_Click()
{
    QStringList lines;
    lines.reserve(List1->count());
    for (int i = 0; i < List1->count(); ++i)
        lines << List1->text(i);
    printListing(lines, u"elenco"_s, listLayoutWidth(globals().tipolista));
}

void Formlist::cmdesci_Click()
{
    hide();
}
