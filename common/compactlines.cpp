#include "common/compactlines.h"

void CompactLines::append(QStringView line)
{
    m_text += line.toUtf8();
    m_ends.append(m_text.size());
}

QString CompactLines::at(qsizetype index) const
{
    const qsizetype start = index > 0 ? m_ends.at(index - 1) : 0;
    return QString::fromUtf8(m_text.constData() + start, m_ends.at(index) - start);
}

void CompactLines::squeeze()
{
    m_text.squeeze();
    m_ends.squeeze();
}
