#include "formats/compoundfile.h"
#include "formats/xlswriter.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <freexl.h>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

bool writeWorkbook(const QString &path, const QStringList &heading, int rows,
                   const std::function<QVariantList(int)> &row)
{
    Xls::WorkbookWriter writer(path);
    writer.setHeading(heading);
    for (int i = 1; i <= rows; ++i) {
        if (!writer.addRow(row(i)))
            return false;
    }
    return writer.finish();
}

QVariantList texts(const QStringList &list)
{
    return QVariantList(list.cbegin(), list.cend());
}

// A row as a reader gives it back: empty texts are empty cells, and since trailing empty
// cells are not stored, readers disagree on how long a row is.
QVariantList asRead(QVariantList row)
{
    for (QVariant &cell : row) {
        if (cell.typeId() == QMetaType::QString && cell.toString().isEmpty())
            cell = QVariant();
    }
    while (!row.isEmpty() && row.back().isNull())
        row.removeLast();
    return row;
}

// Debian's xlrd is for Debian's python3, which a python3 earlier on PATH may not be.
QString pythonWithXlrd()
{
    static const QString found = [] {
        for (const QString &program : {u"/usr/bin/python3"_s, QStandardPaths::findExecutable(u"python3"_s)}) {
            QProcess process;
            if (!program.isEmpty())
                process.start(program, {u"-c"_s, u"import xlrd"_s});
            if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
                process.exitCode() == 0)
                return program;
        }
        return QString();
    }();
    return found;
}

QJsonObject readWithXlrd(const QStringList &arguments)
{
    QProcess process;
    process.start(pythonWithXlrd(),
                  QStringList{QStringLiteral(SENTARO_SOURCE_DIR "/tests/formats/xlsread.py")} + arguments);
    if (!process.waitForFinished(240000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        qWarning("xlrd: %s", process.readAllStandardError().constData());
    return QJsonDocument::fromJson(process.readAllStandardOutput()).object();
}

QVariantList xlrdRow(const QJsonObject &sheet, int row)
{
    QVariantList cells;
    for (const QJsonValue &value : sheet[u"rows"_s][QString::number(row)].toArray()) {
        const QJsonArray cell = value.toArray();
        const QString type = cell[0].toString();
        cells << (type == u"number"_s ? QVariant(cell[1].toDouble())
                  : type == u"text"_s ? QVariant(cell[1].toString())
                                      : QVariant());
    }
    return asRead(cells);
}

QVariantList freexlRow(const void *handle, unsigned int row, unsigned short columns)
{
    QVariantList cells;
    for (unsigned short column = 0; column < columns; ++column) {
        FreeXL_CellValue cell;
        if (freexl_get_cell_value(handle, row, column, &cell) != FREEXL_OK)
            cells << u"<unreadable>"_s;
        else if (cell.type == FREEXL_CELL_INT || cell.type == FREEXL_CELL_DOUBLE)
            cells << (cell.type == FREEXL_CELL_INT ? double(cell.value.int_value) : cell.value.double_value);
        else if (cell.type == FREEXL_CELL_TEXT || cell.type == FREEXL_CELL_SST_TEXT)
            cells << QString::fromUtf8(cell.value.text_value);
        else
            cells << QVariant();
    }
    return asRead(cells);
}

// What one sheet must hold: its name, its row count with the heading, some of its rows by
// index and, when textCells is set, totals over all of its cells.
struct Sheet {
    QString name;
    int rows = 0;
    QMap<int, QVariantList> some;
    int textCells = -1;
    double numberSum = 0;
};

// Reads the workbook with libfreexl, unless it holds texts beyond that reader, and with xlrd.
void compareSheets(const QString &path, const QList<Sheet> &expected, bool withFreexl = true)
{
    if (withFreexl) {
        const void *handle = nullptr;
        const int status = freexl_open(QFile::encodeName(path).constData(), &handle);
        const auto close = qScopeGuard([&] { freexl_close(handle); });
        QCOMPARE(status, FREEXL_OK);
        unsigned int count = 0;
        freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &count);
        QCOMPARE(count, unsigned(expected.size()));
        for (unsigned short s = 0; s < count; ++s) {
            const char *name = nullptr;
            unsigned int rows = 0;
            unsigned short columns = 0;
            freexl_get_worksheet_name(handle, s, &name);
            QCOMPARE(QString::fromUtf8(name), expected[s].name);
            QCOMPARE(freexl_select_active_worksheet(handle, s), FREEXL_OK);
            QCOMPARE(freexl_worksheet_dimensions(handle, &rows, &columns), FREEXL_OK);
            QCOMPARE(int(rows), expected[s].rows);
            for (const auto &[row, cells] : expected[s].some.asKeyValueRange())
                QCOMPARE(freexlRow(handle, unsigned(row), columns), asRead(cells));
        }
    }

    if (pythonWithXlrd().isEmpty())
        QSKIP("python3 with xlrd is not installed");
    QStringList arguments{path};
    for (const Sheet &sheet : expected) {
        for (int row : sheet.some.keys())
            arguments << QString::number(row);
    }
    const QJsonObject book = readWithXlrd(arguments);
    QCOMPARE(book[u"log"_s].toString(), QString());
    const QJsonArray sheets = book[u"sheets"_s].toArray();
    QCOMPARE(sheets.size(), expected.size());
    for (qsizetype s = 0; s < sheets.size(); ++s) {
        const QJsonObject sheet = sheets[s].toObject();
        QCOMPARE(sheet[u"name"_s].toString(), expected[s].name);
        QCOMPARE(sheet[u"nrows"_s].toInt(), expected[s].rows);
        for (const auto &[row, cells] : expected[s].some.asKeyValueRange())
            QCOMPARE(xlrdRow(sheet, row), asRead(cells));
        if (expected[s].textCells >= 0) {
            QCOMPARE(sheet[u"textCells"_s].toInt(), expected[s].textCells);
            QCOMPARE(sheet[u"numberSum"_s].toDouble(), expected[s].numberSum);
        }
    }
}

// Numbers, distinct and repeated texts, UTF-16 texts and empty cells: four texts a row.
const QStringList mixedHeading{u"N"_s,      u"Riga"_s,       u"Quarti"_s, u"Vuoto"_s,  u"Città"_s,
                               u"Nota"_s,   u"Migliaia"_s,   u"Niente"_s, u"Gruppo"_s, u"Resto"_s,
                               u"Ancora"_s, u"Ancora due"_s, u"Tre"_s,    u"Quattro"_s};
QVariantList mixedRow(int i)
{
    QVariantList row{i, u"Riga %1"_s.arg(i), i * 0.25, QVariant(), u"Città %1"_s.arg(i % 50), u"Nota € %1"_s.arg(i)};
    row << qlonglong(i) * 1000 << QString() << u"Gruppo"_s << double(i % 7) << i << i << i << i;
    return row;
}

} // namespace

class TestXlsWriter : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cellTypesAndHeading();
    void unicodeTextsSurviveRecordSplits();
    void longTextsAreCut();
    void rowsAndSheets_data();
    void rowsAndSheets();
    void existingFileIsNotOverwritten();
    void nothingIsLeftWithoutASuccessfulFinish();

private:
    QString file(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestXlsWriter::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestXlsWriter::cellTypesAndHeading()
{
    const QStringList heading{u"Cognome"_s, u"Nome"_s, u"Ore"_s, u"CAP"_s};
    const QList<QVariantList> rows{
        {u"Rossi"_s, u"Mario"_s, 7.5, u"00187"_s},
        {u"Bianchi"_s, QVariant(), 3, QString()},
        // A NULL from the database keeps its type but is still no value.
        {QVariant(QMetaType::fromType<double>()), u""_s, qlonglong(1234567890123), -0.1},
    };
    const QString path = file(u"tipi.xls"_s);
    QVERIFY(writeWorkbook(path, heading, int(rows.size()), [&](int i) { return rows[i - 1]; }));
    compareSheets(path, {{u"Foglio1"_s,
                          4,
                          {{0, texts(heading)},
                           {1, {u"Rossi"_s, u"Mario"_s, 7.5, u"00187"_s}},
                           {2, {u"Bianchi"_s, QVariant(), 3.0}},
                           {3, {QVariant(), QVariant(), 1234567890123.0, -0.1}}}}});
}

// Hundreds of texts of every width overflow the string table's record many times, so
// strings of 8-bit and 16-bit characters and surrogate pairs cross record boundaries.
void TestXlsWriter::unicodeTextsSurviveRecordSplits()
{
    const QStringList pieces{u"àèéìòù "_s, u"€ "_s, u"🚒"_s, u"Protezione civile "_s};
    Sheet expected{u"Foglio1"_s, 501, {{0, {u"N"_s, u"Testo"_s}}}};
    for (int i = 1; i <= 500; ++i) {
        QString text;
        while (text.size() < (i * 37) % 700 + 1)
            text += pieces[(i + text.size()) % 4];
        expected.some[i] = {i, text};
    }
    const QString path = file(u"unicode.xls"_s);
    QVERIFY(writeWorkbook(path, {u"N"_s, u"Testo"_s}, 500, [&](int i) { return expected.some[i]; }));
    compareSheets(path, {expected});
}

// Texts spanning three records and more. libfreexl reads a text across one record boundary
// only (and overruns its buffer past that), so xlrd alone checks these.
void TestXlsWriter::longTextsAreCut()
{
    QString latin;
    while (latin.size() < 40000)
        latin += u"Intervento è durato %1 ore; "_s.arg(latin.size());
    // The 32,767th unit starts a surrogate pair: the cut leaves the whole pair out.
    const QString emoji = QString(u"🚒"_s).repeated(20000);
    QStringList values{latin, emoji};
    for (int pairs = 4100; pairs < 4106; ++pairs)
        values << QString(u"🚒"_s).repeated(pairs) << QString(u"è"_s).repeated(pairs * 2 + 1);
    const QString path = file(u"lunghi.xls"_s);
    QVERIFY(writeWorkbook(path, {}, int(values.size()), [&](int i) { return QVariantList{values[i - 1]}; }));

    values[0] = latin.left(32767);
    values[1] = emoji.left(32766);
    Sheet expected{u"Foglio1"_s, int(values.size()) + 1, {}};
    for (int i = 1; i <= values.size(); ++i)
        expected.some[i] = {values[i - 1]};
    compareSheets(path, {expected}, false);
}

void TestXlsWriter::rowsAndSheets_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QList<int>>("perSheet");
    // Far below the 4,096 bytes under which a stream would belong in the mini-stream.
    QTest::newRow("no rows") << 0 << QList<int>{0};
    QTest::newRow("1,000 rows") << 1000 << QList<int>{1000};
    QTest::newRow("a full sheet") << 65535 << QList<int>{65535};
    QTest::newRow("one row more") << 65536 << QList<int>{65535, 1};
    // Two columns of distinct texts outgrow the shared-string look-up table, and the file
    // outgrows the 236 allocation table sectors that one DIFAT sector can list.
    QTest::newRow("70,000 rows") << 70000 << QList<int>{65535, 4465};
}

void TestXlsWriter::rowsAndSheets()
{
    QFETCH(int, rows);
    QFETCH(QList<int>, perSheet);
    const QString path = file(u"righe.xls"_s);
    QVERIFY(writeWorkbook(path, mixedHeading, rows, mixedRow));
    if (rows == 70000)
        QVERIFY(QFileInfo(path).size() > 236 * 128 * 512);
    if (rows == 0 && !pythonWithXlrd().isEmpty())
        QCOMPARE(readWithXlrd({u"--stream"_s, path})[u"size"_s].toInt(), int(CompoundFile::minimumStreamSize));

    QList<Sheet> expected;
    for (int s = 0, first = 1; s < perSheet.size(); first += perSheet[s++]) {
        const int last = first + perSheet[s] - 1;
        Sheet sheet{u"Foglio%1"_s.arg(s + 1), perSheet[s] + 1, {{0, texts(mixedHeading)}}, 14 + 4 * perSheet[s]};
        if (perSheet[s] > 0) {
            sheet.some[1] = mixedRow(first);
            sheet.some[perSheet[s]] = mixedRow(last);
        }
        for (int i = first; i <= last; ++i)
            sheet.numberSum += i * 1005.25 + i % 7;
        expected << sheet;
    }
    compareSheets(path, expected);
}

void TestXlsWriter::existingFileIsNotOverwritten()
{
    const QString path = file(u"esistente.xls"_s);
    {
        QFile existing(path);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("dati dell'utente");
    }
    Xls::WorkbookWriter writer(path);
    QVERIFY(writer.addRow({u"Rossi"_s}));
    QVERIFY(!writer.finish());
    QVERIFY2(writer.errorString().contains(u"esiste già"_s), qPrintable(writer.errorString()));
    QVERIFY(writer.errorString().contains(QDir::toNativeSeparators(path)));
    QCOMPARE(fileBytes(path), QByteArray("dati dell'utente"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{u"esistente.xls"_s});
}

void TestXlsWriter::nothingIsLeftWithoutASuccessfulFinish()
{
    const auto leftovers = [] { return QDir::temp().entryList({u"sentaro-xls-*"_s}, QDir::Files); };
    const QStringList before = leftovers();
    {
        Xls::WorkbookWriter abandoned(file(u"abbandonato.xls"_s));
        for (int i = 0; i < 100; ++i)
            QVERIFY(abandoned.addRow({u"testo %1"_s.arg(i), i}));
    }
    Xls::WorkbookWriter writer(file(u"manca/elenco.xls"_s));
    QVERIFY(writer.addRow({1}));
    QVERIFY(!writer.finish());
    QVERIFY2(writer.errorString().startsWith(u"Impossibile creare il file"_s), qPrintable(writer.errorString()));
    QVERIFY(!writer.addRow({2}));
    QVERIFY(QDir(m_dir->path()).isEmpty());
    QCOMPARE(leftovers(), before);
}

QTEST_GUILESS_MAIN(TestXlsWriter)
#include "tst_xlswriter.moc"
