#include "common/compactlines.h"

#include <algorithm>

namespace {
constexpr qsizetype blockSize = 64 * 1024;
constexpr int offsetBits = 40;
constexpr quint64 offsetMask = (quint64(1) << offsetBits) - 1;

qsizetype blockOf(quint64 end)
{
    return qsizetype(end >> offsetBits);
}

qsizetype offsetOf(quint64 end)
{
    return qsizetype(end & offsetMask);
}
} // namespace

void CompactLines::append(QStringView line)
{
    const QByteArray text = line.toUtf8();
    // A line never straddles two blocks; one longer than a block has a block of its own.
    if (m_blocks.isEmpty() || m_blocks.last().size() + text.size() > m_blocks.last().capacity()) {
        m_blocks.append(QByteArray());
        m_blocks.last().reserve(std::max(blockSize, text.size()));
    }
    QByteArray &block = m_blocks.last();
    block += text;
    m_ends.append(quint64(m_blocks.size() - 1) << offsetBits | quint64(block.size()));
}

QString CompactLines::at(qsizetype index) const
{
    const quint64 end = m_ends.at(index);
    const qsizetype block = blockOf(end);
    const bool followsInBlock = index > 0 && blockOf(m_ends.at(index - 1)) == block;
    const qsizetype start = followsInBlock ? offsetOf(m_ends.at(index - 1)) : 0;
    return QString::fromUtf8(m_blocks.at(block).constData() + start, offsetOf(end) - start);
}

void CompactLines::squeeze()
{
    if (!m_blocks.isEmpty())
        m_blocks.last().squeeze();
    m_ends.squeeze();
}
