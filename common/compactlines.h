#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

// Text lines kept as UTF-8 in blocks of a fixed size, with where each line ends: a list of
// hundreds of thousands of lines costs little more than its text, where a QString per line
// costs twice that and a list item per line several times. Blocks, not one growing buffer, so
// that the text is never copied to a larger buffer and held twice while the list grows.
class CompactLines {
public:
    void append(QStringView line);
    qsizetype size() const { return m_ends.size(); }
    bool isEmpty() const { return m_ends.isEmpty(); }
    QString at(qsizetype index) const;
    // Gives back the room kept for growth, once the last line is in.
    void squeeze();

private:
    QList<QByteArray> m_blocks;
    // Per line, its block (high bits) and the end of its text in that block.
    QList<quint64> m_ends;
};
