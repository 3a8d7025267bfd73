#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

// Text lines kept as one UTF-8 buffer and the end of each line: a list of hundreds of
// thousands of lines costs little more than its text, where a QString per line costs
// twice that and a list item per line several times.
class CompactLines {
public:
    void append(QStringView line);
    qsizetype size() const { return m_ends.size(); }
    bool isEmpty() const { return m_ends.isEmpty(); }
    QString at(qsizetype index) const;
    // Gives back the room kept for growth, once the last line is in.
    void squeeze();

private:
    QByteArray m_text;
    QList<qsizetype> m_ends;
};
