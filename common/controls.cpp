#include "common/controls.h"

#include "common/twips.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

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

QLabel *label(QWidget *parent, const QString &name, const QString &caption, int left, int top, int width,
              int height)
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
    Twips::place(result, left, top, width, height);
    return result;
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

void fillCombo(QComboBox *combo, const QStringList &entries)
{
    combo->clear();
    combo->addItems(entries);
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
        if (event->type() == QEvent::FocusOut) {
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

void onLostFocus(QWidget *control, std::function<void()> handler)
{
    // An editable drop-down list keeps the focus itself: its line edit only forwards to it.
    control->installEventFilter(new LostFocusFilter(control, std::move(handler)));
}

void showWindow(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace Controls
