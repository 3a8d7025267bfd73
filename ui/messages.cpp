#include "ui/messages.h"

#include "ui/activation.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGridLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSpacerItem>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace Messages {
namespace {

// Boxes carry the program's name, never a title of their own.
QString programTitle()
{
    return QStringLiteral("Sentaro");
}

ScriptedResponder *&current()
{
    static ScriptedResponder *responder = nullptr;
    return responder;
}

// Reports go through the same queue as questions: a report answered "No" is still just closed.
std::optional<ScriptedResponder::Answer> scripted(const QString &text, bool *isScripted,
                                                  Default defaultAnswer = Default::Yes)
{
    *isScripted = current() != nullptr;
    if (!current())
        return std::nullopt;
    return current()->next(text, defaultAnswer);
}

// The window the user is working in, so that the box opens over it and not over the main window.
QWidget *ownerWindow()
{
    if (QWidget *active = QApplication::activeWindow(); active && active->isVisible())
        return active;
    if (QWidget *focus = QApplication::focusWidget(); focus && focus->window()->isVisible())
        return focus->window();
    // Right after another box closes, the window system may not have given the activation back yet.
    if (QWidget *last = Activation::lastActiveWindow(); last && last->isVisible())
        return last;
    return nullptr;
}

// A box sized to a short question would cut the program's name in its title bar; the
// window manager's title font and buttons are unknown, so leave room to spare.
void keepTitleVisible(QMessageBox &box)
{
    auto *layout = qobject_cast<QGridLayout *>(box.layout());
    if (!layout)
        return;
    const int width = std::max(260, 2 * box.fontMetrics().horizontalAdvance(box.windowTitle()) + 170);
    layout->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), layout->rowCount(), 0, 1,
                    layout->columnCount());
}

// The buttons speak Italian even where Qt's own translations are not installed.
void nameButtons(QMessageBox &box)
{
    const std::pair<QMessageBox::StandardButton, QString> names[] = {{QMessageBox::Yes, u"Sì"_s},
                                                                     {QMessageBox::No, u"No"_s},
                                                                     {QMessageBox::Ok, u"OK"_s},
                                                                     {QMessageBox::Cancel, u"Annulla"_s}};
    for (const auto &[which, name] : names) {
        if (QAbstractButton *button = box.button(which))
            button->setText(name);
    }
}

QMessageBox::StandardButton showBox(const QString &text, QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton)
{
    QWidget *owner = ownerWindow();
    QMessageBox box(QMessageBox::NoIcon, programTitle(), text, buttons, owner);
    // A box with no window of ours under it (a second program that finds the archive taken, a
    // start that fails) would open behind whatever the user is looking at.
    if (!owner)
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.setDefaultButton(defaultButton);
    nameButtons(box);
    keepTitleVisible(box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

QString changedElsewhere()
{
    return u"Il record è stato cambiato o eliminato da un'altra postazione: lo mostro come è ora."_s;
}

namespace {
// A sentence joined from parts that each end with a full stop ends with one: "..." stays.
QString oneFullStop(const QString &text)
{
    static const QRegularExpression doubled(u"(?<!\\.)\\.\\.(?!\\.)"_s);
    return QString(text).replace(doubled, u"."_s);
}
} // namespace

void report(const QString &written)
{
    const QString text = oneFullStop(written);
    bool isScripted = false;
    scripted(text, &isScripted);
    if (!isScripted)
        showBox(text, QMessageBox::Ok, QMessageBox::Ok);
}

bool askYesNo(const QString &written, Default defaultAnswer)
{
    const QString text = oneFullStop(written);
    bool isScripted = false;
    const auto answer = scripted(text, &isScripted, defaultAnswer);
    if (isScripted)
        return answer && answer->accept;
    return showBox(text, QMessageBox::Yes | QMessageBox::No,
                   defaultAnswer == Default::Yes ? QMessageBox::Yes : QMessageBox::No) == QMessageBox::Yes;
}

bool askOkCancel(const QString &written, Default defaultAnswer)
{
    const QString text = oneFullStop(written);
    bool isScripted = false;
    const auto answer = scripted(text, &isScripted, defaultAnswer);
    if (isScripted)
        return answer && answer->accept;
    return showBox(text, QMessageBox::Ok | QMessageBox::Cancel,
                   defaultAnswer == Default::Yes ? QMessageBox::Ok : QMessageBox::Cancel) == QMessageBox::Ok;
}

namespace {
std::optional<QString> promptFor(const QString &text, const QString &defaultAnswer, QLineEdit::EchoMode echo)
{
    bool isScripted = false;
    const auto answer = scripted(text, &isScripted);
    if (isScripted) {
        if (!answer || !answer->accept)
            return std::nullopt;
        return answer->text;
    }
    QWidget *owner = ownerWindow();
    QInputDialog dialog(owner);
    if (!owner)
        dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    dialog.setWindowTitle(programTitle());
    dialog.setOkButtonText(u"OK"_s);
    dialog.setCancelButtonText(u"Annulla"_s);
    dialog.setLabelText(text);
    dialog.setTextValue(defaultAnswer);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextEchoMode(echo);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}
} // namespace

std::optional<QString> prompt(const QString &text, const QString &defaultAnswer)
{
    return promptFor(text, defaultAnswer, QLineEdit::Normal);
}

std::optional<QString> promptPassword(const QString &text)
{
    return promptFor(text, QString(), QLineEdit::Password);
}

ScriptedResponder::ScriptedResponder()
{
    current() = this;
}

ScriptedResponder::~ScriptedResponder()
{
    if (current() == this)
        current() = nullptr;
}

void ScriptedResponder::answerYes(int times)
{
    for (int i = 0; i < times; ++i)
        m_answers.push_back({true, {}});
}

void ScriptedResponder::answerNo(int times)
{
    for (int i = 0; i < times; ++i)
        m_answers.push_back({false, {}});
}

void ScriptedResponder::answerPrompt(const QString &text)
{
    m_answers.push_back({true, text});
}

void ScriptedResponder::answerPromptCancelled()
{
    m_answers.push_back({false, {}});
}

void ScriptedResponder::answerYesToAll()
{
    m_yesToAll = true;
}

void ScriptedResponder::clear()
{
    m_answers.clear();
    m_shown.clear();
    m_defaults.clear();
    m_unexpected.clear();
}

std::optional<ScriptedResponder::Answer> ScriptedResponder::next(const QString &text, Default defaultAnswer)
{
    m_shown << text;
    m_defaults << defaultAnswer;
    if (m_answers.empty() && m_yesToAll)
        return Answer{};
    if (m_answers.empty()) {
        m_unexpected << text;
        return std::nullopt;
    }
    Answer answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

} // namespace Messages
