#include "app/form1.h"

#include "app/gridmodel.h"
#include "app/mainmenu.h"
#include "app/windows.h"
#include "common/globals.h"
#include "database/datasource.h"
#include "database/serverconnection.h"
#include "participation/form3.h"
#include "participation/participation.h"
#include "store/backup.h"
#include "store/database.h"
#include "store/workingfiles.h"
#include "store/grid.h"
#include "store/mainsources.h"
#include "store/municipalities.h"
#include "store/schema.h"
#include "store/volunteers.h"
#include "ui/activation.h"
#include "ui/controls.h"
#include "ui/hourglass.h"
#include "ui/messages.h"
#include "ui/twips.h"
#include "volunteers/formvol.h"

#include <QCloseEvent>
#include <QFile>
#include <QComboBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTableView>

using namespace Qt::StringLiterals;

namespace {
constexpr int clientWidth = 15240;
constexpr int clientHeight = 9390;
constexpr int gridLeft = 600;
constexpr int gridTop = 2520;

// Laying out a cell's text through the style, to learn its width, is most of what sizing the
// grid's columns costs at start, and many cells repeat a text (dates, hours, places). While the
// columns are sized, each text is laid out once: a cell's size depends on its text alone, since
// the model gives no font, alignment or decoration of its own.
class GridDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void setSizing(bool sizing)
    {
        m_sizing = sizing;
        m_sizes.clear();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (!m_sizing)
            return QStyledItemDelegate::sizeHint(option, index);
        const QString text = index.data(Qt::DisplayRole).toString();
        auto known = m_sizes.constFind(text);
        if (known == m_sizes.cend())
            known = m_sizes.insert(text, QStyledItemDelegate::sizeHint(option, index));
        return *known;
    }

private:
    bool m_sizing = false;
    mutable QHash<QString, QSize> m_sizes;
};
} // namespace

Form1::Form1()
{
    setObjectName(u"Form1"_s);
    setWindowTitle(u"Sentaro"_s);

    auto *client = new QWidget(this);
    client->setObjectName(u"Form1Client"_s);
    setCentralWidget(client);

    Image1 = new QLabel(client);
    Image1->setObjectName(u"Image1"_s);
    Twips::place(Image1, 1440, 120, 12135, 2055);

    Data20 = MainSources::make(u"Data20"_s, this);
    Data8 = MainSources::make(u"Data8"_s, this);
    Data7 = MainSources::make(u"Data7"_s, this);
    Data5 = MainSources::make(u"Data5"_s, this);
    Data6 = MainSources::make(u"Data6"_s, this);
    Data4 = MainSources::make(u"Data4"_s, this);
    Data3 = MainSources::make(u"Data3"_s, this);
    Data2 = MainSources::make(u"Data2"_s, this);

    DBGrid1 = new QTableView(client);
    DBGrid1->setObjectName(u"DBGrid1"_s);
    DBGrid1->setFont(Twips::font(u"MS Sans Serif"_s, 8.25));
    DBGrid1->horizontalHeader()->setFont(DBGrid1->font());
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    // The record selector at the left of each row, which selects the whole row.
    DBGrid1->verticalHeader()->setFixedWidth(Twips::toPixels(225));
    DBGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    gridModel = new GridModel(Data7, this);
    DBGrid1->setModel(gridModel);
    DBGrid1->setItemDelegate(new GridDelegate(DBGrid1));
    Twips::place(DBGrid1, gridLeft, gridTop, 13935, 6135);
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this]() {
        // Moving the current cell alone changes no selected row, and is no selection change.
        QList<int> rows;
        for (const QModelIndex &index : DBGrid1->selectionModel()->selectedRows())
            rows << index.row();
        std::sort(rows.begin(), rows.end());
        if (rows == m_selectedRows)
            return;
        m_selectedRows = rows;
        if (!rows.isEmpty())
            DBGrid1_SelChange();
    });
    // Sized on the rows the grid shows at once: measuring every row would read them all, and each
    // row measured beyond those seen costs start-up time.
    const int rowsShown = DBGrid1->height() / DBGrid1->verticalHeader()->defaultSectionSize() + 1;
    DBGrid1->horizontalHeader()->setResizeContentsPrecision(rowsShown);
    connect(gridModel, &QAbstractItemModel::modelReset, this, [this]() {
        m_selectedRows.clear();
        fitColumns();
    });

    menu = new MainMenu(this);
    Twips::resizeClient(this, clientWidth, clientHeight);
    resize(width(), height() + menuBar()->sizeHint().height());

    Activation::watch(this, [this]() { activated(); });
}

Form1::~Form1() = default;

bool Form1::load()
{
    // Two programs writing one archive would undo each other's work.
    switch (Store::lockWorkingFolder()) {
    case Store::FolderLock::Held:
        break;
    case Store::FolderLock::InUse:
        Messages::report(u"L'archivio di questa cartella è già aperto in un altro Sentaro: si usa quello. "
                         u"Questo Sentaro si chiude senza modificare nulla."_s);
        return false;
    case Store::FolderLock::NotWritable:
        Messages::report(Store::readOnlyFolderMessage() + u"\nSentaro si chiude senza modificare nulla."_s);
        return false;
    }
    Hourglass::set();
    QStringList notices;
    const auto problem = Store::openWorkingFiles(
        &notices, [](const QString &text) { return Messages::promptPassword(text); },
        [](const QString &text) { return Messages::askYesNo(text); });
    if (!notices.isEmpty()) {
        Hourglass::reset();
        for (const QString &notice : notices)
            Messages::report(notice);
        Hourglass::set();
    }
    if (problem) {
        Hourglass::reset();
        Messages::report(*problem + u"\nSentaro si chiude senza modificare nulla."_s);
        return false;
    }
    // A connection to the server opened again by a later command is said by that command.
    Server::setNotice([](const QString &text) { Messages::report(text); });
    if (const auto failed = Store::keepDailyBackup()) {
        Hourglass::reset();
        Messages::report(*failed);
        Hourglass::set();
    }
    // A missing picture leaves the header empty.
    QFile picture(Schema::headerPictureFile);
    m_headerPicture = picture.open(QIODevice::ReadOnly) ? picture.readAll() : QByteArray();
    Controls::showPicture(Image1, m_headerPicture);
    Volunteers::addExtraVolunteers(*Data5, *Data6);
    // Whoever works on a shared archive sees which one; the local file needs no saying.
    if (const auto &server = Server::current(); server && !archiveLabel) {
        archiveLabel = new QLabel(server->where(), this);
        archiveLabel->setObjectName(u"archivio"_s);
        statusBar()->addPermanentWidget(archiveLabel);
    }
    m_loaded = true;
    Hourglass::reset();
    return true;
}

void Form1::fillMunicipalities(Formvol *window)
{
    if (!m_loaded || m_municipalitiesFilled)
        return;
    const QStringList entries = Municipalities::entries(*Data20);
    // A refused read leaves the list to be read again the next time the window is asked for.
    m_municipalitiesFilled = !Data20->failed();
    if (!entries.isEmpty())
        globals().vocecomune = entries.constLast();
    Controls::fillCombo(window->fvluogona, entries);
}

void Form1::showInGrid(const QString &recordSource, const QString &gridKind)
{
    // The grid reads the rows itself; nobody walks Data7 without setting and refreshing it
    // again, so a walk left open here would only have to be let go of when the user waits.
    Data7->setRecordSource(recordSource);
    gridModel->reload();
    globals().tipogriglia = gridKind;
}

void Form1::setCaption(const QString &caption)
{
    setWindowTitle(caption);
}

QImage Form1::headerPicture() const
{
    return QImage::fromData(m_headerPicture);
}

void Form1::showActivities()
{
    showInGrid(GridSource::activities(), GridKind::activities);
}

void Form1::fitColumns()
{
    // Columns as wide as their texts, none wider than the grid; a cell's tooltip holds its whole text.
    auto *delegate = static_cast<GridDelegate *>(DBGrid1->itemDelegate());
    delegate->setSizing(true);
    DBGrid1->resizeColumnsToContents();
    delegate->setSizing(false);
    const int widest = DBGrid1->viewport()->width();
    for (int column = 0; column < gridModel->columnCount(); ++column)
        DBGrid1->setColumnWidth(column, std::min(DBGrid1->columnWidth(column), widest));
}

void Form1::DBGrid1_SelChange()
{
    Globals &g = globals();
    if (g.tipogriglia == GridKind::organisations || g.tipogriglia == GridKind::volunteers)
        return;
    int row = DBGrid1->currentIndex().row();
    if (!m_selectedRows.contains(row))
        row = m_selectedRows.value(0, -1);
    if (row < 0)
        return;
    g.dataattivita = gridModel->index(row, 0).data().toString();
    g.descrattivita = gridModel->index(row, 2).data().toString();
    Form3 *details = Windows::form3();
    details->f3descr->setEditText(g.descrattivita);
    caricadettagli();
    g.dagriglia = 1;
    Controls::showWindow(details);
}

void Form1::activated()
{
    showActivities();
    Hourglass::reset();
}

void Form1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // The first showing counts as an activation even while the splash keeps the focus,
    // so the grid is filled behind it.
    if (!m_shownOnce) {
        m_shownOnce = true;
        activated();
    }
}

void Form1::closeEvent(QCloseEvent *event)
{
    // The frame's close button ends the program as "Esci" does, so no hidden window
    // keeps it running.
    event->accept();
    Windows::endProgram(0);
}

void Form1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    // The grid grows with the window; the header keeps its place.
    const int margin = Twips::toPixels(gridLeft);
    const int top = Twips::toPixels(gridTop);
    const QWidget *client = centralWidget();
    // The status line sits in the margin below the grid, so the grid keeps its size.
    const int statusLine = archiveLabel ? statusBar()->height() : 0;
    DBGrid1->resize(std::max(client->width() - 2 * margin, Twips::toPixels(2000)),
                    std::max(client->height() + statusLine - top - Twips::toPixels(clientHeight - gridTop - 6135),
                             Twips::toPixels(1000)));
}
