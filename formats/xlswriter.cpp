#include "formats/xlswriter.h"

#include "formats/compoundfile.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryFile>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace Xls {
namespace {

enum RecordType : quint16 {
    Eof = 0x000A,
    DateMode = 0x0022,
    Window1 = 0x003D,
    Continue = 0x003C,
    Font = 0x0031,
    CodePage = 0x0042,
    BoundSheet = 0x0085,
    Sst = 0x00FC,
    LabelSst = 0x00FD,
    ExtSst = 0x00FF,
    Xf = 0x00E0,
    Dimension = 0x0200,
    Number = 0x0203,
    Row = 0x0208,
    Window2 = 0x023E,
    Style = 0x0293,
    Bof = 0x0809,
};

// Longer record data must go on in a CONTINUE record.
constexpr qsizetype maxRecordData = 8224;
// Rows go out in blocks: the ROW records of a block, then its cells, as readers expect.
constexpr int rowsPerBlock = 32;
// The one cell format, after the 15 style formats every workbook carries.
constexpr quint16 cellFormat = 15;

void add8(QByteArray &out, quint8 value)
{
    out.append(char(value));
}

void add16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void add32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void addRecord(QByteArray &out, quint16 type, const QByteArray &data)
{
    Q_ASSERT(data.size() <= maxRecordData);
    add16(out, type);
    add16(out, quint16(data.size()));
    out += data;
}

QByteArray record(quint16 type, const QByteArray &data)
{
    QByteArray out;
    addRecord(out, type, data);
    return out;
}

// The format's hard limit, without cutting a surrogate pair in two.
QStringView cappedText(QStringView text)
{
    if (text.size() <= WorkbookWriter::maxTextLength)
        return text;
    text = text.first(WorkbookWriter::maxTextLength);
    if (text.back().isHighSurrogate())
        text.chop(1);
    return text;
}

// The shared-string table, written to a temporary file as texts arrive, already split into
// SST and CONTINUE records. Repeated texts share an entry while the look-up table is small;
// past its budget new texts are stored again, so memory stays bounded whatever the export.
class StringTable {
public:
    bool open()
    {
        m_file.setFileTemplate(QDir::tempPath() + u"/sentaro-xls-strings-XXXXXX"_s);
        m_record = QByteArray(8, '\0'); // total and unique counts, filled in by close()
        return m_file.open();
    }

    quint32 add(const QString &text)
    {
        ++m_references;
        const bool shareable = text.size() <= maxSharedLength;
        if (shareable) {
            const auto found = m_known.constFind(text);
            if (found != m_known.cend())
                return *found;
        }
        const quint32 index = m_count;
        appendString(cappedText(text));
        ++m_count;
        if (shareable && m_known.size() < maxShared && m_knownUnits + text.size() <= maxSharedUnits) {
            m_known.insert(text, index);
            m_knownUnits += text.size();
        }
        return index;
    }

    bool close()
    {
        writeRecord();
        QByteArray counts;
        add32(counts, m_references);
        add32(counts, m_count);
        return !m_failed && m_file.seek(4) && m_file.write(counts) == counts.size() && m_file.flush();
    }

    bool failed() const { return m_failed; }
    qint64 size() const { return m_written; }
    QFile &file() { return m_file; }

    // The EXTSST data, where every bucket's first string lies in the stream.
    QByteArray index(quint32 tableOffset) const
    {
        QByteArray data;
        add16(data, quint16(m_bucketSize));
        for (const Bucket &bucket : m_buckets) {
            add32(data, tableOffset + bucket.position);
            add16(data, bucket.offsetInRecord);
            add16(data, 0);
        }
        return data;
    }

private:
    static constexpr qsizetype maxSharedLength = 1024;
    static constexpr qsizetype maxShared = 100000;
    static constexpr qsizetype maxSharedUnits = 4000000;
    static constexpr std::size_t maxBuckets = 128;

    struct Bucket {
        quint32 position;       // of the string's header, from the table's start
        quint16 offsetInRecord; // from the start of its record's header
    };

    void appendString(QStringView text)
    {
        // Latin-1 fits one byte a character; anything else ("€", emoji) needs UTF-16.
        const bool wide = std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() > 0xFF; });
        const qsizetype unit = wide ? 2 : 1;
        // Header and first character share a record; a surrogate pair is never split.
        const qsizetype first = wide && text.size() >= 2 && text.front().isHighSurrogate() ? 4 : unit;
        if (m_record.size() + 3 + first > maxRecordData)
            writeRecord();
        noteBucket();
        add16(m_record, quint16(text.size()));
        add8(m_record, wide ? 1 : 0);
        while (!text.isEmpty()) {
            qsizetype take = std::min(text.size(), (maxRecordData - m_record.size()) / unit);
            if (take > 0 && take < text.size() && text[take - 1].isHighSurrogate())
                --take;
            if (take == 0) {
                // A string going on in the next record starts it with its width flag.
                writeRecord();
                add8(m_record, wide ? 1 : 0);
                continue;
            }
            appendUnits(text.first(take), wide);
            text = text.sliced(take);
        }
    }

    void appendUnits(QStringView units, bool wide)
    {
        if (!wide) {
            m_record += units.toLatin1();
            return;
        }
        const qsizetype at = m_record.size();
        m_record.resize(at + units.size() * 2);
        qToLittleEndian<quint16>(units.utf16(), units.size(), m_record.data() + at);
    }

    void noteBucket()
    {
        if (m_count % m_bucketSize != 0)
            return;
        if (m_buckets.size() == maxBuckets) {
            // Halve the index by doubling the bucket: keep every other entry.
            for (std::size_t i = 0; i < maxBuckets / 2; ++i)
                m_buckets[i] = m_buckets[i * 2];
            m_buckets.resize(maxBuckets / 2);
            m_bucketSize *= 2;
            if (m_count % m_bucketSize != 0)
                return;
        }
        const qsizetype offset = 4 + m_record.size();
        m_buckets.push_back({quint32(m_written + offset), quint16(offset)});
    }

    void writeRecord()
    {
        QByteArray bytes;
        bytes.reserve(4 + m_record.size());
        addRecord(bytes, m_recordType, m_record);
        if (m_file.write(bytes) != bytes.size())
            m_failed = true;
        m_written += bytes.size();
        m_record.resize(0);
        m_recordType = Continue;
    }

    QTemporaryFile m_file;
    QByteArray m_record;
    quint16 m_recordType = Sst;
    qint64 m_written = 0;
    bool m_failed = false;
    quint32 m_count = 0;
    quint32 m_references = 0;
    QHash<QString, quint32> m_known;
    qsizetype m_knownUnits = 0;
    std::vector<Bucket> m_buckets;
    quint32 m_bucketSize = 8;
};

std::optional<double> numberOf(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong: {
        const double number = value.toDouble();
        if (std::isfinite(number))
            return number;
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

QByteArray beginningOfFile(quint16 kind)
{
    QByteArray data;
    add16(data, 0x0600); // BIFF8
    add16(data, kind);
    add16(data, 0x0DBB); // build and year of the writing application, as Excel 97 puts them
    add16(data, 0x07CC);
    add32(data, 0);
    add32(data, 6); // lowest version that may read the file
    return record(Bof, data);
}

QByteArray fontRecord()
{
    QByteArray data;
    add16(data, 200);    // 10 points, in twentieths
    add16(data, 0);      // plain
    add16(data, 0x7FFF); // automatic colour
    add16(data, 400);    // normal weight
    add16(data, 0);
    add32(data, 0); // underline, family, character set, reserved
    const QByteArray name = QByteArrayLiteral("Arial");
    add8(data, quint8(name.size()));
    add8(data, 0);
    data += name;
    return record(Font, data);
}

QByteArray formatRecord(quint16 font, bool style, quint8 unusedAttributes)
{
    QByteArray data;
    add16(data, font);
    add16(data, 0);                       // "General"
    add16(data, style ? 0xFFF5 : 0x0001); // locked; a style, or a cell format based on style 0
    add8(data, 0x20);                     // aligned at the bottom
    add8(data, 0);
    add8(data, 0);
    add8(data, unusedAttributes);
    add32(data, 0); // no borders
    add32(data, 0);
    add16(data, 0x20C0); // automatic pattern colours
    return record(Xf, data);
}

// Everything of the globals before the sheet list: readers reject a workbook lacking
// the fonts, the 16 formats and the Normal style.
QByteArray globalsStart()
{
    QByteArray out = beginningOfFile(0x0005);
    QByteArray data;
    add16(data, 1200); // texts are UTF-16
    addRecord(out, CodePage, data);

    data.clear();
    for (quint16 value : {0, 0, 0x4000, 0x2000, 0x0038, 0, 0, 1, 600})
        add16(data, value);
    addRecord(out, Window1, data);

    data.clear();
    add16(data, 0); // dates count from 1900
    addRecord(out, DateMode, data);

    for (int i = 0; i < 4; ++i)
        out += fontRecord();
    out += formatRecord(0, true, 0x00);
    for (quint16 font : {1, 1, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})
        out += formatRecord(font, true, 0xF4);
    out += formatRecord(0, false, 0x00);

    data.clear();
    add16(data, 0x8000); // built-in style on format 0
    add8(data, 0);       // Normal
    add8(data, 0xFF);
    addRecord(out, Style, data);
    return out;
}

QByteArray sheetEntry(quint32 offset, const QString &name)
{
    QByteArray data;
    add32(data, offset);
    add16(data, 0); // visible worksheet
    add8(data, quint8(name.size()));
    add8(data, 0);
    data += name.toLatin1();
    return record(BoundSheet, data);
}

QString sheetName(std::size_t index)
{
    return u"Foglio%1"_s.arg(index + 1);
}

struct Sheet {
    qint64 start = 0; // of its rows in the cell file
    qint64 end = 0;
    quint32 rowEnd = 0;    // one past the last row holding a cell
    quint16 columnEnd = 0; // one past the last column holding a cell
};

QByteArray sheetStart(const Sheet &sheet)
{
    QByteArray out = beginningOfFile(0x0010);
    // Stands between BOF and the first cell, which a reader drops otherwise.
    QByteArray data;
    add32(data, 0);
    add32(data, sheet.rowEnd);
    add16(data, 0);
    add16(data, sheet.columnEnd);
    add16(data, 0);
    addRecord(out, Dimension, data);
    return out;
}

QByteArray sheetEnd(bool first)
{
    QByteArray data;
    add16(data, first ? 0x06B6 : 0x00B6); // grid, headers, zeros; the first sheet is the one shown
    add16(data, 0);
    add16(data, 0);
    add32(data, 0x40); // automatic grid colour
    add16(data, 0);
    add16(data, 0);
    add32(data, 0);
    return record(Window2, data) + record(Eof, QByteArray());
}

qint64 sheetSize(const Sheet &sheet)
{
    return sheetStart(sheet).size() + (sheet.end - sheet.start) + sheetEnd(false).size();
}

bool copyRange(QFile &from, qint64 start, qint64 length, QIODevice &to)
{
    if (!from.seek(start))
        return false;
    constexpr qint64 chunk = 1 << 20;
    while (length > 0) {
        const QByteArray bytes = from.read(std::min(length, chunk));
        if (bytes.isEmpty() || to.write(bytes) != bytes.size())
            return false;
        length -= bytes.size();
    }
    return true;
}

} // namespace

class WorkbookWriter::Private {
public:
    QString path;
    QStringList heading;
    QString error;
    bool finished = false;
    QTemporaryFile cellFile;
    StringTable strings;
    std::vector<Sheet> sheets;
    int nextRow = 0;
    QByteArray blockRows;
    QByteArray blockCells;

    bool fail(const QString &message)
    {
        if (error.isEmpty())
            error = message;
        return false;
    }

    bool storageFailed()
    {
        if (error.isEmpty() && strings.failed())
            error = u"Impossibile scrivere i dati temporanei del foglio: %1"_s.arg(strings.file().errorString());
        return !error.isEmpty();
    }

    void startSheet()
    {
        if (!sheets.empty())
            closeSheet();
        Sheet sheet;
        sheet.start = sheet.end = cellFile.pos();
        sheets.push_back(sheet);
        nextRow = 0;
        writeRow(QVariantList(heading.cbegin(), heading.cend()));
    }

    void closeSheet()
    {
        flushBlock();
        sheets.back().end = cellFile.pos();
    }

    void writeRow(const QVariantList &cells)
    {
        const quint16 row = quint16(nextRow);
        int firstColumn = -1;
        int lastColumn = -1;
        const qsizetype columns = std::min<qsizetype>(cells.size(), maxColumns);
        for (qsizetype column = 0; column < columns; ++column) {
            const QVariant &value = cells[column];
            if (value.isNull())
                continue;
            char bytes[18];
            qToLittleEndian<quint16>(row, bytes + 4);
            qToLittleEndian<quint16>(quint16(column), bytes + 6);
            qToLittleEndian<quint16>(cellFormat, bytes + 8);
            if (const std::optional<double> number = numberOf(value)) {
                qToLittleEndian<quint16>(Number, bytes);
                qToLittleEndian<quint16>(14, bytes + 2);
                qToLittleEndian<quint64>(std::bit_cast<quint64>(*number), bytes + 10);
                blockCells.append(bytes, 18);
            } else {
                const QString text = value.toString();
                if (text.isEmpty())
                    continue;
                qToLittleEndian<quint16>(LabelSst, bytes);
                qToLittleEndian<quint16>(10, bytes + 2);
                qToLittleEndian<quint32>(strings.add(text), bytes + 10);
                blockCells.append(bytes, 14);
            }
            if (firstColumn < 0)
                firstColumn = int(column);
            lastColumn = int(column);
        }
        if (lastColumn >= 0) {
            QByteArray data;
            add16(data, row);
            add16(data, quint16(firstColumn));
            add16(data, quint16(lastColumn + 1));
            add16(data, 0x00FF); // default height
            add32(data, 0);
            add32(data, 0x000F0100); // no outline, default format
            addRecord(blockRows, Row, data);
            Sheet &sheet = sheets.back();
            sheet.rowEnd = quint32(row) + 1;
            sheet.columnEnd = std::max(sheet.columnEnd, quint16(lastColumn + 1));
        }
        if (++nextRow % rowsPerBlock == 0)
            flushBlock();
    }

    void flushBlock()
    {
        if (cellFile.write(blockRows) != blockRows.size() || cellFile.write(blockCells) != blockCells.size())
            fail(u"Impossibile scrivere i dati temporanei del foglio: %1"_s.arg(cellFile.errorString()));
        blockRows.resize(0);
        blockCells.resize(0);
    }

    bool writeWorkbook(QIODevice &out);
};

bool WorkbookWriter::Private::writeWorkbook(QIODevice &out)
{
    // Every offset is known before the first byte goes out: the sheet list in the globals
    // holds where each sheet begins.
    const QByteArray start = globalsStart();
    qint64 sheetListSize = 0;
    for (std::size_t i = 0; i < sheets.size(); ++i)
        sheetListSize += sheetEntry(0, sheetName(i)).size();
    const qint64 tableOffset = start.size() + sheetListSize;
    const QByteArray tableIndex = record(ExtSst, strings.index(quint32(tableOffset)));
    const QByteArray globalsEnd = tableIndex + record(Eof, QByteArray());

    std::vector<qint64> offsets;
    qint64 streamSize = tableOffset + strings.size() + globalsEnd.size();
    for (const Sheet &sheet : sheets) {
        offsets.push_back(streamSize);
        streamSize += sheetSize(sheet);
    }
    if (streamSize > std::numeric_limits<quint32>::max())
        return fail(u"I dati sono troppi per un file di Excel 97, che non supera i 4 GB."_s);
    const quint32 padded = std::max(quint32(streamSize), CompoundFile::minimumStreamSize);

    bool ok = out.write(CompoundFile::header(padded)) > 0 && out.write(start) == start.size();
    for (std::size_t i = 0; ok && i < sheets.size(); ++i) {
        const QByteArray entry = sheetEntry(quint32(offsets[i]), sheetName(i));
        ok = out.write(entry) == entry.size();
    }
    ok = ok && copyRange(strings.file(), 0, strings.size(), out) && out.write(globalsEnd) == globalsEnd.size();
    for (std::size_t i = 0; ok && i < sheets.size(); ++i) {
        const Sheet &sheet = sheets[i];
        const QByteArray head = sheetStart(sheet);
        const QByteArray tail = sheetEnd(i == 0);
        ok = out.write(head) == head.size() && copyRange(cellFile, sheet.start, sheet.end - sheet.start, out) &&
             out.write(tail) == tail.size();
    }
    // A short stream is padded past the mini-stream limit with zeros after its last EOF.
    const QByteArray padding(padded - streamSize, '\0');
    const QByteArray trailer = CompoundFile::trailer(u"Workbook"_s, padded);
    ok = ok && out.write(padding) == padding.size() && out.write(trailer) == trailer.size();
    if (!ok)
        return fail(u"Impossibile scrivere il file %1: %2"_s.arg(QDir::toNativeSeparators(path), out.errorString()));
    return true;
}

WorkbookWriter::WorkbookWriter(const QString &path)
    : d(std::make_unique<Private>())
{
    d->path = path;
    d->cellFile.setFileTemplate(QDir::tempPath() + u"/sentaro-xls-cells-XXXXXX"_s);
    if (!d->cellFile.open())
        d->fail(u"Impossibile creare il file temporaneo per il foglio: %1"_s.arg(d->cellFile.errorString()));
    else if (!d->strings.open())
        d->fail(u"Impossibile creare il file temporaneo per il foglio: %1"_s.arg(d->strings.file().errorString()));
}

WorkbookWriter::~WorkbookWriter() = default;

void WorkbookWriter::setHeading(const QStringList &names)
{
    d->heading = names;
}

bool WorkbookWriter::addRow(const QVariantList &cells)
{
    if (d->finished)
        return d->fail(u"La cartella di lavoro è già stata chiusa."_s);
    if (d->storageFailed())
        return false;
    if (d->sheets.empty() || d->nextRow > dataRowsPerSheet)
        d->startSheet();
    d->writeRow(cells);
    return !d->storageFailed();
}

bool WorkbookWriter::finish()
{
    if (d->finished)
        return d->fail(u"La cartella di lavoro è già stata chiusa."_s);
    d->finished = true;
    const QString shownPath = QDir::toNativeSeparators(d->path);
    if (QFileInfo(d->path).exists() || QFileInfo(d->path).isSymLink())
        return d->fail(u"Il file %1 esiste già: non viene sovrascritto."_s.arg(shownPath));
    if (d->storageFailed())
        return false;
    if (d->sheets.empty())
        d->startSheet();
    d->closeSheet();
    if (d->storageFailed())
        return false;
    if (!d->strings.close() || !d->cellFile.flush())
        return d->fail(u"Impossibile scrivere i dati temporanei del foglio."_s);

    // Written beside the target and given its name at the end, so a failure leaves no partial file.
    QTemporaryFile out(d->path + u".XXXXXX"_s);
    if (!out.open())
        return d->fail(u"Impossibile creare il file %1: %2"_s.arg(shownPath, out.errorString()));
    if (!d->writeWorkbook(out))
        return false;
    if (!out.flush())
        return d->fail(u"Impossibile scrivere il file %1: %2"_s.arg(shownPath, out.errorString()));
    // The rename never replaces a file that appeared meanwhile.
    if (!out.rename(d->path)) {
        if (QFileInfo::exists(d->path))
            return d->fail(u"Il file %1 esiste già: non viene sovrascritto."_s.arg(shownPath));
        return d->fail(u"Impossibile creare il file %1: %2"_s.arg(shownPath, out.errorString()));
    }
    out.setAutoRemove(false);
    // A temporary file is private to its owner; the workbook gets an ordinary file's rights.
    QFile::setPermissions(d->path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser |
                                       QFile::ReadGroup | QFile::ReadOther);
    return true;
}

QString WorkbookWriter::errorString() const
{
    return d->error;
}

} // namespace Xls
