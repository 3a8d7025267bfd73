#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <deque>
#include <optional>

// Every message box and input prompt of the program goes through here: modal, no icon,
// the application's title.
namespace Messages {

// Which answer Return gives; a question that destroys data defaults to No/Annulla.
enum class Default { Yes, No };

void report(const QString &text);
bool askYesNo(const QString &text, Default defaultAnswer = Default::Yes);    // true for Yes
bool askOkCancel(const QString &text, Default defaultAnswer = Default::Yes); // true for OK
// A one-line prompt; an empty optional when cancelled.
std::optional<QString> prompt(const QString &text, const QString &defaultAnswer = QString());
// The same, its answer masked as it is typed (a password).
std::optional<QString> promptPassword(const QString &text);

// What a window says when the row it showed was changed or deleted on another PC before its write.
QString changedElsewhere();

// Answers boxes in tests instead of showing them. Each box takes the next answer;
// a box that finds no answer left is recorded as unexpected and answered No/Cancel.
class ScriptedResponder {
public:
    ScriptedResponder();
    ~ScriptedResponder();
    ScriptedResponder(const ScriptedResponder &) = delete;
    ScriptedResponder &operator=(const ScriptedResponder &) = delete;

    // OK for a report, Yes/OK for a question.
    void answerYes(int times = 1);
    void answerNo(int times = 1);
    void answerPrompt(const QString &text);
    void answerPromptCancelled();
    // Answers every box with Yes/OK once the queued answers are used up (for drivers, not tests).
    void answerYesToAll();

    const QStringList &shown() const { return m_shown; }
    // The default answer of each box in shown(), in the same order.
    const QList<Default> &defaults() const { return m_defaults; }
    const QStringList &unexpected() const { return m_unexpected; }
    void clear();

    struct Answer {
        bool accept = true;
        QString text;
    };
    std::optional<Answer> next(const QString &text, Default defaultAnswer = Default::Yes);

private:
    std::deque<Answer> m_answers;
    bool m_yesToAll = false;
    QStringList m_shown;
    QList<Default> m_defaults;
    QStringList m_unexpected;
};

} // namespace Messages
