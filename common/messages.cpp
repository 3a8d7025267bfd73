#include "common/messages.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

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
std::optional<ScriptedResponder::Answer> scripted(const QString &text, bool *isScripted)
{
    *isScripted = current() != nullptr;
    if (!current())
        return std::nullopt;
    return current()->next(text);
}

QMessageBox::StandardButton showBox(const QString &text, QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(QMessageBox::NoIcon, programTitle(), text, buttons,
                    QApplication::activeWindow());
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

void report(const QString &text)
{
    bool isScripted = false;
    scripted(text, &isScripted);
    if (!isScripted)
        showBox(text, QMessageBox::Ok, QMessageBox::Ok);
}

bool askYesNo(const QString &text)
{
    bool isScripted = false;
    const auto answer = scripted(text, &isScripted);
    if (isScripted)
        return answer && answer->accept;
    return showBox(text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

bool askOkCancel(const QString &text)
{
    bool isScripted = false;
    const auto answer = scripted(text, &isScripted);
    if (isScripted)
        return answer && answer->accept;
    return showBox(text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) == QMessageBox::Ok;
}

std::optional<QString> prompt(const QString &text, const QString &defaultAnswer)
{
    bool isScripted = false;
    const auto answer = scripted(text, &isScripted);
    if (isScripted) {
        if (!answer || !answer->accept)
            return std::nullopt;
        return answer->text;
    }
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(programTitle());
    dialog.setLabelText(text);
    dialog.setTextValue(defaultAnswer);
    dialog.setInputMode(QInputDialog::TextInput);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
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
    m_unexpected.clear();
}

std::optional<ScriptedResponder::Answer> ScriptedResponder::next(const QString &text)
{
    m_shown << text;
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
