#include "ui/controls.h"

#include "ui/twips.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QCompleter>
#include <QFocusEvent>
#include <QHeaderView>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStringListModel>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

MemoBox::MemoBox(int maxLength, QWidget *parent)
    : QPlainTextEdit(parent)
    , m_maxLength(maxLength)
{
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this]() {
        if (toPlainText().size() > m_maxLength) {
            QTextCursor cursor = textCursor();
            const int position = std::min(cursor.position(), m_maxLength);
            setPlainText(toPlainText().left(m_maxLength));
            cursor.setPosition(position);
            setTextCursor(cursor);
        }
    });
}

void MemoBox::setText(const QString &text)
{
    setPlainText(text.left(m_maxLength));
}

namespace Controls {

QLabel *label(QWidget *parent, const QString &name, const QString &caption, int left, int top, int width, int height)
{
    auto *result = new QLabel(caption, parent);
    result->setObjectName(name);
    Twips::place(result, left, top, width, height);
    return result;
}

QLineEdit *textBox(QWidget *parent, const QString &name, int left, int top, int width, int height,
                   const QString &toolTip)
{
    auto *result = new QLineEdit(parent);
    result->setObjectName(name);
    result->setToolTip(toolTip);
    Twips::place(result, left, top, width, height);
    return result;
}

MemoBox *memoBox(QWidget *parent, const QString &name, int maxLength, int left, int top, int width, int height)
{
    auto *result = new MemoBox(maxLength, parent);
    result->setObjectName(name);
    Twips::place(result, left, top, width, height);
    return result;
}

QComboBox *comboBox(QWidget *parent, const QString &name, int left, int top, int width, int height)
{
    auto *result = new QComboBox(parent);
    result->setObjectName(name);
    result->setEditable(true);
    result->setInsertPolicy(QComboBox::NoInsert);
    // With duplicates allowed, Return in the box never counts as choosing an entry.
    result->setDuplicatesEnabled(true);
    result->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    // Qt's default completer writes the rest of the first matching entry into the text:
    // typing NEVE would store NEVE BORMIO.
    result->setCompleter(nullptr);
    Twips::place(result, left, top, width, height);
    return result;
}

void offerPopupCompletion(QComboBox *combo)
{
    // Thousands of entries as items of their own take longer to add than to read.
    combo->setModel(new QStringListModel(combo));
    auto *completer = new QCompleter(combo->model(), combo);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchContains);
    combo->setCompleter(completer);
}

QPushButton *button(QWidget *parent, const QString &name, const QString &caption, int left, int top, int width,
                    int height, const QString &toolTip)
{
    auto *result = new QPushButton(caption, parent);
    result->setObjectName(name);
    result->setToolTip(toolTip);
    result->setAutoDefault(false);
    Twips::place(result, left, top, width, height);
    return result;
}

void showPicture(QLabel *label, const QByteArray &encoded)
{
    label->setScaledContents(true);
    QBuffer buffer;
    buffer.setData(encoded);
    QImageReader reader;
    if (!encoded.isEmpty() && buffer.open(QIODevice::ReadOnly))
        reader.setDevice(&buffer);
    // Naming the format of a JPEG spares loading every image plugin to ask which one reads it; a
    // picture of another format is recognised by its content.
    if (encoded.startsWith("\xFF\xD8\xFF"))
        reader.setFormat("jpeg");
    // The pictures are drawn at twice the size shown, for sharp screens: a JPEG decoded at
    // the size shown costs a quarter of one decoded whole and then shrunk.
    const QSize shown = label->size() * label->devicePixelRatio();
    const QSize whole = reader.size();
    if (shown.width() < whole.width() && shown.height() < whole.height())
        reader.setScaledSize(shown);
    label->setPixmap(reader.device() ? QPixmap::fromImage(reader.read()) : QPixmap());
}

QListWidget *multiList(QWidget *parent, const QString &name, int left, int top, int width, int height)
{
    auto *result = new QListWidget(parent);
    result->setObjectName(name);
    result->setSelectionMode(QAbstractItemView::MultiSelection);
    result->setFont(Twips::font(u"Courier New"_s, 8.25));
    result->setUniformItemSizes(true);
    Twips::place(result, left, top, width, height);
    return result;
}

QTableWidget *rowTable(QWidget *parent, const QString &name, const QStringList &headings, int left, int top, int width,
                       int height)
{
    auto *result = new QTableWidget(0, int(headings.size()), parent);
    result->setObjectName(name);
    result->setHorizontalHeaderLabels(headings);
    result->setEditTriggers(QAbstractItemView::NoEditTriggers);
    result->setSelectionBehavior(QAbstractItemView::SelectRows);
    result->setSelectionMode(QAbstractItemView::SingleSelection);
    result->verticalHeader()->hide();
    result->verticalHeader()->setDefaultSectionSize(Twips::toPixels(255));
    result->horizontalHeader()->setHighlightSections(false);
    result->horizontalHeader()->setStretchLastSection(true);
    Twips::place(result, left, top, width, height);
    return result;
}

void fillCombo(QComboBox *combo, const QStringList &entries)
{
    if (auto *texts = qobject_cast<QStringListModel *>(combo->model())) {
        texts->setStringList(entries);
    } else {
        combo->clear();
        combo->addItems(entries);
    }
    combo->setCurrentIndex(-1);
    combo->setEditText(QString());
}

void sortLikeList(QStringList &lines)
{
    std::stable_sort(lines.begin(), lines.end(), [](const QString &a, const QString &b) {
        const int folded = QString::compare(a, b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
}

void fillSorted(QListWidget *list, QStringList lines)
{
    sortLikeList(lines);
    list->setUpdatesEnabled(false);
    list->clear();
    list->addItems(lines);
    list->setUpdatesEnabled(true);
}

namespace {
class LostFocusFilter : public QObject {
public:
    LostFocusFilter(QWidget *control, std::function<void()> handler)
        : QObject(control)
        , m_handler(std::move(handler))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Only a move to another control: focus that goes nowhere (its window hidden or being
        // destroyed, the window whose handler this is perhaps already gone) is not lost to one.
        if (event->type() == QEvent::FocusOut && QApplication::focusWidget()) {
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                m_handler();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_handler;
};
} // namespace

namespace {
class EnterFilter : public QObject {
public:
    EnterFilter(QWidget *control, std::function<void()> handler)
        : QObject(control)
        , m_handler(std::move(handler))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                m_handler();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_handler;
};
} // namespace

void onEnter(QWidget *control, std::function<void()> handler)
{
    control->installEventFilter(new EnterFilter(control, std::move(handler)));
}

void onLostFocus(QWidget *control, std::function<void()> handler)
{
    // An editable drop-down list keeps the focus itself: its line edit only forwards to it.
    control->installEventFilter(new LostFocusFilter(control, std::move(handler)));
}

namespace {
QWidget *mainWindow()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMainWindow *>(window) && window->isVisible())
            return window;
    }
    return nullptr;
}

// The frame the window manager puts around a window is known only once it is shown:
// take it from a window already on the screen.
QMargins frameMargins(const QWidget *window)
{
    const auto margins = [](const QWidget *shown) {
        const QRect frame = shown->frameGeometry();
        const QRect client = shown->geometry();
        return QMargins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                        frame.bottom() - client.bottom());
    };
    if (window->isVisible() || window->frameGeometry() != window->geometry())
        return margins(window);
    for (const QWidget *other : QApplication::topLevelWidgets()) {
        if (other->isVisible() && !other->isModal() && other->frameGeometry() != other->geometry())
            return margins(other);
    }
    return {8, 32, 8, 8};
}
} // namespace

void placeOnScreen(QWidget *window)
{
    const QWidget *reference = mainWindow();
    if (reference == window)
        reference = nullptr;
    QScreen *screen = reference ? reference->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QMargins margins = frameMargins(window);
    const QRect room = available.marginsRemoved(margins);

    // A window larger than the screen shrinks to it, as far as it can; on its first showing, one
    // that scrolls one way is given room for that scroll bar, so as not to scroll the other way too.
    QSize wanted = window->size();
    const auto *scroll = window->findChild<QScrollArea *>(QString(), Qt::FindDirectChildrenOnly);
    if (scroll && scroll->widget() && !window->testAttribute(Qt::WA_Moved)) {
        const QSize designed = scroll->widget()->size();
        const int bar = scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll);
        wanted = designed;
        if (designed.height() > room.height())
            wanted.rwidth() += bar;
        if (designed.width() > room.width())
            wanted.rheight() += bar;
    }
    const QSize size = wanted.boundedTo(room.size()).expandedTo(window->minimumSize());

    // Opened again, a window stays where the user left it, as long as that is on the screen.
    QRect client(window->geometry().topLeft(), size);
    if (!window->testAttribute(Qt::WA_Moved))
        client.moveCenter(reference ? reference->geometry().center() : available.center());
    client.moveLeft(std::clamp(client.left(), room.left(), std::max(room.left(), room.right() - size.width() + 1)));
    client.moveTop(std::clamp(client.top(), room.top(), std::max(room.top(), room.bottom() - size.height() + 1)));
    // The client's place, not the frame's: a position given for the frame is taken on X11 for
    // the client's when a window is shown again, and the window came back higher by its title bar.
    window->setGeometry(client);
}

void showWindow(QWidget *window)
{
    if (!window->isVisible())
        placeOnScreen(window);
    window->show();
    window->raise();
    window->activateWindow();
}

namespace {
// Controls whose vertical extents overlap stand in one row; rows go top to bottom and each
// row left to right, as a page is read.
void orderTabsByLayout(QWidget *area)
{
    QList<QWidget *> controls;
    for (QWidget *control : area->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (control->focusPolicy() & Qt::TabFocus)
            controls << control;
    }
    std::stable_sort(controls.begin(), controls.end(),
                     [](const QWidget *a, const QWidget *b) { return a->y() < b->y(); });
    QList<std::pair<int, QWidget *>> ordered; // row, control
    int row = 0;
    int rowBottom = -1;
    for (QWidget *control : controls) {
        if (control->y() > rowBottom && !ordered.isEmpty()) {
            ++row;
            rowBottom = -1;
        }
        rowBottom = rowBottom < 0 ? control->geometry().bottom() : std::min(rowBottom, control->geometry().bottom());
        ordered.append({row, control});
    }
    std::stable_sort(ordered.begin(), ordered.end(), [](const auto &a, const auto &b) {
        return a.first != b.first ? a.first < b.first : a.second->x() < b.second->x();
    });
    for (qsizetype i = 1; i < ordered.size(); ++i)
        QWidget::setTabOrder(ordered[i - 1].second, ordered[i].second);
}

// Sees the keys the control holding the focus left unused on their way up to the window.
class WindowKeys : public QObject {
public:
    WindowKeys(QWidget *window, QPushButton *exit, QPushButton *defaultButton)
        : QObject(window)
        , m_exit(exit)
        , m_default(defaultButton)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() & ~Qt::KeypadModifier)
            return false;
        if (key->key() == Qt::Key_Escape && m_exit && m_exit->isVisible() && m_exit->isEnabled()) {
            m_exit->click();
            return true;
        }
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return false;
        QWidget *focus = QApplication::focusWidget();
        // Enter on a button presses that button, as Space does; in a box it presses the
        // window's default button; in a list it only chooses the line.
        QPushButton *pressed = qobject_cast<QPushButton *>(focus);
        if (!pressed && (qobject_cast<QLineEdit *>(focus) || qobject_cast<QComboBox *>(focus)))
            pressed = m_default;
        if (!pressed || !pressed->isVisible() || !pressed->isEnabled())
            return false;
        pressed->click();
        return true;
    }

private:
    QPointer<QPushButton> m_exit;
    QPointer<QPushButton> m_default;
};
} // namespace

void finishWindow(QWidget *window, QPushButton *defaultButton)
{
    auto *area = new QWidget;
    area->setObjectName(window->objectName() + u"Area"_s);
    area->setFixedSize(window->size());
    QPushButton *exit = nullptr;
    for (QWidget *control : window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (control->isWindow())
            continue;
        // A new parent hides a control: only those the window hid itself stay hidden.
        const bool hidden = control->isHidden() && control->testAttribute(Qt::WA_WState_ExplicitShowHide);
        control->setParent(area);
        control->setVisible(!hidden);
        if (auto *button = qobject_cast<QPushButton *>(control); button && button->text() == u"Esci"_s)
            exit = button;
    }
    auto *scroll = new QScrollArea(window);
    scroll->setObjectName(window->objectName() + u"Scroll"_s);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(area);
    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    orderTabsByLayout(area);
    window->installEventFilter(new WindowKeys(window, exit, defaultButton));
}

void fillDescriptions(QComboBox *combo, const QStringList &descriptions, const QStringList &starts)
{
    fillCombo(combo, descriptions);
    for (int i = 0; i < starts.size(); ++i)
        combo->setItemData(i, starts.at(i));
}

} // namespace Controls
