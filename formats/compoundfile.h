#pragma once

#include <QByteArray>
#include <QString>

// An OLE2 compound file holding a single stream, written front to back: header(), the
// stream's bytes, trailer(). The stream lies in the sectors right after the header, so
// it never has to be held in memory; version 3, 512-byte sectors.
namespace CompoundFile {

// A shorter stream would be looked for in the mini-stream, which these files do not have:
// the caller pads its stream to this size.
inline constexpr quint32 minimumStreamSize = 4096;

// The 512-byte header for a stream of `streamSize` bytes (at least minimumStreamSize).
QByteArray header(quint32 streamSize);

// What follows the stream: padding to a whole sector, the directory naming the stream,
// the sector allocation table and, past about 7 MB, the sectors that list its sectors.
QByteArray trailer(const QString &streamName, quint32 streamSize);

} // namespace CompoundFile
