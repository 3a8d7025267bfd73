#include "app/form1.h"
#include "app/windows.h"
#include "common/clock.h"
#include "common/globals.h"
#include "database/datasource.h"
#include "store/schema.h"
#include "testsupport.h"
#include "ui/messages.h"
#include "ui/printer.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
QList<DrawnItem> textsAt(const QList<DrawnItem> &drawn, int x)
{
    QList<DrawnItem> found;
    for (const DrawnItem &item : drawn) {
        if (item.kind == DrawnItem::Kind::Text && item.x == x)
            found << item;
    }
    return found;
}

int count(const QList<DrawnItem> &drawn, DrawnItem::Kind kind, int page)
{
    return int(std::count_if(drawn.cbegin(), drawn.cend(),
                             [&](const DrawnItem &item) { return item.kind == kind && item.page == page; }));
}

const QString registerQuestion = u"Batti la data di inizio attività da stampare es. 01/01/2010 oppure non inserire "
                                 u"niente per stampare tutto."_s;
} // namespace

class TestRegister : public ProgramTest {
    Q_OBJECT
private slots:
    void init();
    void headingAndLines();
    void fullPageStartsANewOne();
    void printedPdfHoldsTheRegister();
    void nothingHalfPrinted();

private:
    void printFrom(const QString &date, const QStringList &after = {u"Stampa registro terminata."_s});
};

void TestRegister::init()
{
    QVERIFY(
        start({u"insert into ATTIVITA (DATAINATT, DATAFIATT, DESCRATT, LOCATT, PROVATT, ORET0, ORET6, ORET7, ORET8, "
               u"ORET9, ORET10, NOTE4) values "
               u"('15/03/2010', '15/03/2010', 'ZETA', 'ROMA', 'RM', 0.5, 8, 123.25, 0, NULL, 1234.5, '2010/03/15'), "
               u"('15/03/2010', '16/03/2010', 'ALFA \"PRIMA\" CON UNA DESCRIZIONE DAVVERO MOLTO LUNGA', 'LUOGO', "
               u"'LU', 0, 0, 0, 0, 0, 0, '2010/03/15'), "
               u"('01/02/2010', '01/02/2010', 'PRIMA DEL REGISTRO', 'X', 'X', 0, 0, 0, 0, 0, 0, '2010/02/01')"_s,
               u"insert into ATTIVDETT (DATAINATT, DESCRATT, COGN, NOME, ORET0, ORET6) values "
               u"('15/03/2010', 'ALFA \"PRIMA\" CON UNA DESCRIZIONE DAVVERO MOLTO LUNGA', 'ROSSI MARIO', '', 0, 2), "
               u"('15/03/2010', 'ALFA \"PRIMA\" CON UNA DESCRIZIONE DAVVERO MOLTO LUNGA', 'BIANCHI ANNA', '', 0.5, 0), "
               u"('15/03/2010', 'ZETA', 'WWWWWWWWWWWWWWWWWWWWWWWWW', 'WWWWWWWWWWWWWWWWWWWWWWWWW', 1, 0)"_s},
              [] {
                  QVERIFY(QFile::copy(QStringLiteral(SENTARO_SOURCE_DIR "/data/intestazione.jpg"),
                                      Schema::headerPictureFile));
              }));
}

void TestRegister::printFrom(const QString &date, const QStringList &after)
{
    m_answers->clear();
    m_answers->answerPrompt(date);
    m_answers->answerYes(int(after.size()));
    m_main->findChild<QAction *>(u"mnattstreg"_s)->trigger();
    QCOMPARE(m_answers->shown().size(), after.size() + 1);
    // Messages given by their beginning: the store's and the file's words follow.
    for (qsizetype i = 0; i < after.size(); ++i)
        QVERIFY2(m_answers->shown().at(i + 1).startsWith(after[i]), qPrintable(m_answers->shown().at(i + 1)));
}

void TestRegister::headingAndLines()
{
    printFrom(u"15/03/2010"_s);
    const QList<DrawnItem> drawn = Printer::lastRecording();
    // Heading: the picture, the title box, nine heading cells and nine column bodies.
    QCOMPARE(count(drawn, DrawnItem::Kind::Picture, 1), 1);
    const DrawnItem picture = *std::find_if(
        drawn.cbegin(), drawn.cend(), [](const DrawnItem &item) { return item.kind == DrawnItem::Kind::Picture; });
    QCOMPARE(QList<int>({picture.x, picture.y, picture.width, picture.height}), QList<int>({1, 1, 12000, 2000}));
    QCOMPARE(count(drawn, DrawnItem::Kind::Rectangle, 1), 19);
    // Thin rules: a few tenths of a millimetre, not screen pixels.
    for (const DrawnItem &item : drawn)
        QVERIFY(item.kind != DrawnItem::Kind::Rectangle || (item.lineWidth > 0 && item.lineWidth < 20));
    // Headings and texts stay clear of the right rule of their cells.
    Printer measure(u"misura"_s);
    const std::pair<int, int> cells[] = {{550, 11450}, {480, 1510},    {1540, 2570}, {2900, 7250},
                                         {7285, 7950}, {10780, 11450}, {2600, 7250}};
    for (const auto &[x, right] : cells) {
        for (const DrawnItem &item : textsAt(drawn, x)) {
            measure.setFont(item.font, item.size, item.bold);
            QVERIFY2(x + measure.textWidth(item.text.trimmed()) < right - 20, qPrintable(item.text));
        }
    }
    const QList<DrawnItem> title = textsAt(drawn, 550);
    QCOMPARE(title.size(), 1);
    QCOMPARE(title[0].y, 2750);
    QVERIFY(title[0].size > 12);
    QVERIFY(title[0].bold);
    QCOMPARE(title[0].text, u"         ELENCO DELLE ATTIVITA' CON DETTAGLIO PER VOLONTARIO  "_s);
    QCOMPARE(textsAt(drawn, 10780).constFirst().text, u"ORE T10"_s);
    QCOMPARE(textsAt(drawn, 10780).constFirst().y, 3200);

    // Activities in date order, then description; the one before the start date left out.
    const QList<DrawnItem> descriptions = textsAt(drawn, 2600);
    QCOMPARE(descriptions.size(), 2);
    // Cut at the edge of its column; the first line below the rule under the headings.
    QVERIFY(descriptions[0].text.startsWith(u"ALFA \"PRIMA\" CON UNA DESCRIZIONE"_s));
    QVERIFY(descriptions[0].y >= 3400 + 20);
    QCOMPARE(descriptions[1].text, u"ZETA - ROMA  RM"_s.leftJustified(51));
    QCOMPARE(descriptions[1].y, descriptions[0].y + 3 * 180);
    QCOMPARE(textsAt(drawn, 530).constFirst().text, u"15/03/2010"_s);
    // The volunteers of the activity with a double quote, under it.
    const QList<DrawnItem> names = textsAt(drawn, 2900);
    QCOMPARE(names.size(), 4);
    QCOMPARE(names[1].text, u"BIANCHI ANNA "_s.leftJustified(51));
    QCOMPARE(names[1].y, descriptions[0].y + 180);
    QCOMPARE(names[1].font, u"Courier New"_s);
    QCOMPARE(names[2].y, descriptions[0].y + 2 * 180);
    QVERIFY(names[3].text.startsWith(u"WWWWWWWWWWWWWWWWWWWWWWWWW WWWW"_s));

    // Hours cells: blank for none, no leading zero, six characters.
    QCOMPARE(textsAt(drawn, 7335)[0].text, QString(6, u' '));
    QCOMPARE(textsAt(drawn, 7335)[1].text, u"   ,50"_s);
    QCOMPARE(textsAt(drawn, 7335)[3].text, u"   ,50"_s);
    QCOMPARE(textsAt(drawn, 8035)[3].text, u"  8,00"_s);
    QCOMPARE(textsAt(drawn, 8735)[3].text, u"123,25"_s);
    QCOMPARE(textsAt(drawn, 10135)[3].text, QString(6, u' '));
    QCOMPARE(textsAt(drawn, 10835)[3].text, u"1234,5"_s);
    for (const DrawnItem &item : drawn)
        QCOMPARE(item.page, 1);
}

void TestRegister::fullPageStartsANewOne()
{
    // One activity with 71 volunteers fills a page exactly; then one more activity.
    QStringList rows;
    for (int i = 0; i < 71; ++i)
        rows << u"('15/03/2011', 'GRANDE', 'VOLONTARIO %1', '', 1)"_s.arg(i, 2, 10, QChar(u'0'));
    runSql(Schema::registerFile,
           {u"insert into ATTIVITA (DATAINATT, DESCRATT, NOTE4) values ('15/03/2011', 'GRANDE', '2011/03/15'), "
            u"('16/03/2011', 'DOPO', '2011/03/16')"_s,
            u"insert into ATTIVDETT (DATAINATT, DESCRATT, COGN, NOME, ORET0) values "_s + rows.join(u", "_s)});
    printFrom(u"15/03/2011"_s);
    QList<DrawnItem> drawn = Printer::lastRecording();
    QList<DrawnItem> names = textsAt(drawn, 2900);
    // The column heading stands at the names' place on each page.
    names.removeIf([](const DrawnItem &item) { return item.y == 3200; });
    QCOMPARE(names.size(), 71);
    QCOMPARE(names.last().y, names.first().y + 70 * 180);
    QVERIFY(names.last().y + 180 < 16400);
    QCOMPARE(names.last().page, 1);
    const QList<DrawnItem> after = textsAt(drawn, 2600);
    QCOMPARE(after.size(), 2);
    QCOMPARE(after[1].page, 2);
    QCOMPARE(after[1].y, after[0].y);
    QCOMPARE(count(drawn, DrawnItem::Kind::Rectangle, 2), 19);
    QCOMPARE(textsAt(drawn, 550).size(), 2);

    // A register whose last line fills the page ends without an empty headed page.
    runSql(Schema::registerFile, {u"delete from ATTIVITA where DESCRATT = 'DOPO'"_s});
    printFrom(u"15/03/2011"_s);
    drawn = Printer::lastRecording();
    QCOMPARE(std::max_element(drawn.cbegin(), drawn.cend(),
                              [](const DrawnItem &a, const DrawnItem &b) { return a.page < b.page; })
                 ->page,
             1);

    // Nothing from a date after every activity: no printout, and no word of one.
    Printer::setTarget(Printer::Target::Pdf);
    printFrom(u"01/01/2030"_s, {u"Nessuna attività dalla data indicata: non è stato stampato nulla."_s});
    Printer::setTarget(Printer::Target::RecordOnly);
    QVERIFY(QDir().entryList({u"*.pdf"_s}).isEmpty());
}

void TestRegister::printedPdfHoldsTheRegister()
{
    Printer::setTarget(Printer::Target::Pdf);
    m_answers->clear();
    m_answers->answerPrompt(QString());
    m_answers->answerNo();
    m_answers->answerYes();
    m_main->findChild<QAction *>(u"mnattstreg"_s)->trigger();
    Printer::setTarget(Printer::Target::RecordOnly);
    QCOMPARE(m_answers->shown().size(), 3);
    const QString pdf = m_answers->shown().at(1).section(u"nel file "_s, 1).section(u'\n', 0, 0);
    QVERIFY2(QFileInfo(pdf).fileName().startsWith(u"registro-attivita-"_s), qPrintable(m_answers->shown().at(1)));
    QVERIFY(keepForCheck(pdf));
    const QString pdftotext = QStandardPaths::findExecutable(u"pdftotext"_s);
    if (pdftotext.isEmpty())
        QSKIP("pdftotext is not installed");
    QProcess process;
    process.start(pdftotext, {u"-layout"_s, pdf, u"-"_s});
    QVERIFY(process.waitForFinished(30000));
    const QString text = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY2(text.contains(u"ELENCO DELLE ATTIVITA' CON DETTAGLIO PER VOLONTARIO"_s), qPrintable(text));
    QVERIFY(text.contains(u"PRIMA DEL REGISTRO"_s));
    QVERIFY(text.contains(u"BIANCHI ANNA"_s));
    QVERIFY(text.contains(u"1234,5"_s));

    // Blanks at the ends of a text draw nothing, but leading ones still move it, as far as Qt
    // moves a text after as many no-break blanks, which are drawn and as wide.
    Printer::setTarget(Printer::Target::Pdf);
    {
        Printer printer(u"blanks"_s);
        printer.setFont(u"Liberation Serif"_s, 10, false);
        for (const QString &line : {QString(10, QChar(0xa0)) + u'B', u"          B   "_s, u"      "_s}) {
            printer.setCurrentX(1440);
            printer.print(line);
        }
        QVERIFY(printer.finish());
    }
    Printer::setTarget(Printer::Target::RecordOnly);
    process.start(pdftotext, {u"-bbox"_s, QDir().entryList({u"blanks-*.pdf"_s}).value(0), u"-"_s});
    QVERIFY(process.waitForFinished(30000));
    QList<double> ends;
    static const QRegularExpression word(u"<word [^>]*xMax=\"([0-9.]+)\"[^>]*>[^<]*B</word>"_s);
    for (auto found = word.globalMatch(QString::fromUtf8(process.readAllStandardOutput())); found.hasNext();)
        ends << found.next().captured(1).toDouble();
    QCOMPARE(ends.size(), 2);
    QVERIFY2(std::abs(ends[1] - ends[0]) < 0.01, qPrintable(QString::number(ends[1] - ends[0])));
    m_answers->clear();
}

void TestRegister::nothingHalfPrinted()
{
    // A read the store refuses, on the first query or in the middle of the walk.
    for (const int steps : {0, 4}) {
        DataSource::refuseReadsAfter(steps);
        printFrom(u"01/01/2000"_s, {u"Stampa registro non eseguita, l'archivio non si è potuto leggere: "_s});
        DataSource::refuseReadsAfter(-1);
        QVERIFY(Printer::lastRecording().isEmpty());
    }

    // A PDF that cannot be written: said, and no closing message.
    Clock::setFixed(QDateTime(QDate(2011, 3, 15), QTime(10, 0)));
    if (makeDeadEnd(u"registro-attivita-20110315-100000.pdf"_s)) {
        Printer::setTarget(Printer::Target::Pdf);
        printFrom(u"01/01/2000"_s, {u"Stampa non eseguita: il file registro-attivita-20110315-100000.pdf"_s});
        Printer::setTarget(Printer::Target::RecordOnly);
    }

    // Letter paper with wide margins: the whole drawing scaled down to the printable area.
    Printer::setPdfPage(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                                    QPageLayout::Millimeter));
    printFrom(u"01/01/2000"_s);
    Printer::setPdfPage(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(3, 3, 3, 3), QPageLayout::Millimeter));
    const PageUsed page = Printer::lastPage();
    QVERIFY(page.scale < 0.95);
    QVERIFY(12001 * page.scale <= page.printableWidth);
    QVERIFY(16400 * page.scale <= page.printableHeight);
}

QTEST_MAIN(TestRegister)
#include "tst_register.moc"
