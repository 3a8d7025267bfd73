#include "formats/compoundfile.h"

#include <QtEndian>

using namespace Qt::StringLiterals;

namespace CompoundFile {
namespace {

constexpr quint32 sectorSize = 512;
constexpr quint32 entriesPerSector = sectorSize / 4;
constexpr quint32 difatInHeader = 109;
constexpr quint32 freeSector = 0xFFFFFFFF;
constexpr quint32 endOfChain = 0xFFFFFFFE;
constexpr quint32 fatSector = 0xFFFFFFFD;
constexpr quint32 difatSector = 0xFFFFFFFC;
constexpr quint32 noStream = 0xFFFFFFFF;

// Where everything lies: the stream from sector 0, then one directory sector, the
// allocation table, and the DIFAT sectors that list table sectors beyond the header's 109.
struct Layout {
    quint32 streamSectors = 0;
    quint32 fatSectors = 0;
    quint32 difatSectors = 0;

    explicit Layout(quint32 streamSize)
        : streamSectors(quint32((quint64(streamSize) + sectorSize - 1) / sectorSize))
    {
        // The table must also cover its own sectors and the DIFAT's, so grow both until they hold still.
        for (;;) {
            const quint64 sectors = quint64(streamSectors) + 1 + fatSectors + difatSectors;
            const quint32 fat = quint32((sectors + entriesPerSector - 1) / entriesPerSector);
            const quint32 difat =
                fat > difatInHeader ? (fat - difatInHeader + entriesPerSector - 2) / (entriesPerSector - 1) : 0;
            if (fat == fatSectors && difat == difatSectors)
                break;
            fatSectors = fat;
            difatSectors = difat;
        }
    }
    quint32 directory() const { return streamSectors; }
    quint32 firstFat() const { return streamSectors + 1; }
    quint32 firstDifat() const { return firstFat() + fatSectors; }
};

void put16(QByteArray &bytes, qsizetype at, quint16 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

void put32(QByteArray &bytes, qsizetype at, quint32 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

QByteArray sectorOf(quint32 fill)
{
    QByteArray sector(sectorSize, Qt::Uninitialized);
    for (quint32 i = 0; i < entriesPerSector; ++i)
        put32(sector, i * 4, fill);
    return sector;
}

void putLinks(QByteArray &sector, qsizetype at, quint32 child)
{
    put32(sector, at + 68, noStream);
    put32(sector, at + 72, noStream);
    put32(sector, at + 76, child);
}

void putEntry(QByteArray &sector, int index, const QString &name, quint8 type, quint32 child, quint32 start,
              quint32 size)
{
    const qsizetype at = qsizetype(index) * 128;
    const qsizetype units = std::min<qsizetype>(name.size(), 31);
    for (qsizetype i = 0; i < units; ++i)
        put16(sector, at + i * 2, name[i].unicode());
    put16(sector, at + 64, quint16((units + 1) * 2));
    sector[at + 66] = char(type);
    sector[at + 67] = 1; // black: a tree of one node is trivially balanced
    putLinks(sector, at, child);
    put32(sector, at + 116, start);
    put32(sector, at + 120, size);
}

} // namespace

QByteArray header(quint32 streamSize)
{
    Q_ASSERT(streamSize >= minimumStreamSize);
    const Layout layout(streamSize);
    QByteArray bytes(sectorSize, '\0');
    bytes.replace(0, 8, QByteArrayLiteral("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"));
    put16(bytes, 24, 0x003E); // minor version
    put16(bytes, 26, 3);      // major version: 512-byte sectors
    put16(bytes, 28, 0xFFFE); // little-endian
    put16(bytes, 30, 9);      // sector size 2^9
    put16(bytes, 32, 6);      // mini sector size 2^6
    put32(bytes, 44, layout.fatSectors);
    put32(bytes, 48, layout.directory());
    put32(bytes, 56, minimumStreamSize);
    put32(bytes, 60, endOfChain); // no mini allocation table
    put32(bytes, 68, layout.difatSectors ? layout.firstDifat() : endOfChain);
    put32(bytes, 72, layout.difatSectors);
    for (quint32 i = 0; i < difatInHeader; ++i)
        put32(bytes, 76 + i * 4, i < layout.fatSectors ? layout.firstFat() + i : freeSector);
    return bytes;
}

QByteArray trailer(const QString &streamName, quint32 streamSize)
{
    const Layout layout(streamSize);
    QByteArray bytes((sectorSize - streamSize % sectorSize) % sectorSize, '\0');

    QByteArray directory(sectorSize, '\0');
    for (int i = 2; i < 4; ++i)
        putLinks(directory, i * 128, noStream);
    putEntry(directory, 0, u"Root Entry"_s, 5, 1, endOfChain, 0);
    putEntry(directory, 1, streamName, 2, noStream, 0, streamSize);
    bytes += directory;

    QByteArray fat;
    fat.reserve(qsizetype(layout.fatSectors) * sectorSize);
    QByteArray entry(4, '\0');
    const auto append = [&](quint32 value) {
        put32(entry, 0, value);
        fat += entry;
    };
    for (quint32 i = 1; i < layout.streamSectors; ++i)
        append(i);
    append(endOfChain);
    append(endOfChain); // the directory's single sector
    for (quint32 i = 0; i < layout.fatSectors; ++i)
        append(fatSector);
    for (quint32 i = 0; i < layout.difatSectors; ++i)
        append(difatSector);
    while (fat.size() < qsizetype(layout.fatSectors) * sectorSize)
        append(freeSector);
    bytes += fat;

    // Each DIFAT sector lists 127 table sectors and ends with the number of the next one.
    for (quint32 d = 0; d < layout.difatSectors; ++d) {
        QByteArray sector = sectorOf(freeSector);
        for (quint32 i = 0; i < entriesPerSector - 1; ++i) {
            const quint32 listed = difatInHeader + d * (entriesPerSector - 1) + i;
            if (listed < layout.fatSectors)
                put32(sector, i * 4, layout.firstFat() + listed);
        }
        put32(sector, (entriesPerSector - 1) * 4,
              d + 1 < layout.difatSectors ? layout.firstDifat() + d + 1 : endOfChain);
        bytes += sector;
    }
    return bytes;
}

} // namespace CompoundFile
