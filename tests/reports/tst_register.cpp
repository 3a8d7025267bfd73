#include "app/form1.h"
#include "app/windows.h"
#include "common/globals.h"
#include "common/messages.h"
#include "reports/printer.h"
#include "store/schema.h"
#include "testsupport.h"

#include <QAction>
#include <QFile>
#include <QProcess>
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

class TestRegister : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void headingAndLines();
    void fullPageStartsANewOne();
    void printedPdfHoldsTheRegister();

private:
    void printFrom(const QString &date, const QStringList &moreMessages = {});

    std::unique_ptr<WorkingFolder> m_folder;
    std::unique_ptr<Messages::ScriptedResponder> m_answers;
    Form1 *m_main = nullptr;
};

void TestRegister::init()
{
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    m_folder = std::make_unique<WorkingFolder>();
    QVERIFY(QFile::copy(QStringLiteral(SENTARO_SOURCE_DIR "/data/intestazione.jpg"), Schema::headerPictureFile));
    QVERIFY(makeWorkingFiles());
    runSql(Schema::registerFile,
           {u"insert into ATTIVITA (DATAINATT, DATAFIATT, DESCRATT, LOCATT, PROVATT, ORET0, ORET6, ORET7, ORET8, "
            u"ORET9, ORET10, NOTE4) values "
            u"('15/03/2010', '15/03/2010', 'ZETA', 'ROMA', 'RM', 0.5, 8, 123.25, 0, NULL, 1234.5, '2010/03/15'), "
            u"('15/03/2010', '16/03/2010', 'ALFA \"PRIMA\" CON UNA DESCRIZIONE DAVVERO MOLTO LUNGA', 'LUOGO', "
            u"'LU', 0, 0, 0, 0, 0, 0, '2010/03/15'), "
            u"('01/02/2010', '01/02/2010', 'PRIMA DEL REGISTRO', 'X', 'X', 0, 0, 0, 0, 0, 0, '2010/02/01')"_s,
            u"insert into ATTIVDETT (DATAINATT, DESCRATT, COGN, NOME, ORET0, ORET6) values "
            u"('15/03/2010', 'ALFA \"PRIMA\" CON UNA DESCRIZIONE DAVVERO MOLTO LUNGA', 'ROSSI MARIO', '', 0, 2), "
            u"('15/03/2010', 'ALFA \"PRIMA\" CON UNA DESCRIZIONE DAVVERO MOLTO LUNGA', 'BIANCHI ANNA', '', 0.5, 0)"_s});
    m_answers = std::make_unique<Messages::ScriptedResponder>();
    m_main = startSentaro();
    QVERIFY(m_main);
}

void TestRegister::cleanup()
{
    QVERIFY2(m_answers->unexpected().isEmpty(), qPrintable(m_answers->unexpected().join(u" | "_s)));
    m_answers.reset();
    m_folder.reset();
}

void TestRegister::printFrom(const QString &date, const QStringList &moreMessages)
{
    m_answers->clear();
    m_answers->answerPrompt(date);
    m_answers->answerYes(int(moreMessages.size()) + 1);
    m_main->findChild<QAction *>(u"mnattstreg"_s)->trigger();
    QCOMPARE(m_answers->shown(), QStringList{registerQuestion} + moreMessages + QStringList{u"Stampa registro terminata."_s});
}

void TestRegister::headingAndLines()
{
    printFrom(u"15/03/2010"_s);
    const QList<DrawnItem> drawn = Printer::lastRecording();
    // Heading: the picture, the title box, nine heading cells and nine column bodies.
    QCOMPARE(count(drawn, DrawnItem::Kind::Picture, 1), 1);
    const DrawnItem picture = *std::find_if(drawn.cbegin(), drawn.cend(), [](const DrawnItem &item) {
        return item.kind == DrawnItem::Kind::Picture;
    });
    QCOMPARE(QList<int>({picture.x, picture.y, picture.width, picture.height}), QList<int>({1, 1, 12000, 2000}));
    QCOMPARE(count(drawn, DrawnItem::Kind::Rectangle, 1), 19);
    const QList<DrawnItem> title = textsAt(drawn, 550);
    QCOMPARE(title.size(), 1);
    QCOMPARE(title[0].y, 2750);
    QCOMPARE(title[0].size, 15.0);
    QVERIFY(title[0].bold);
    QCOMPARE(title[0].text, u"         ELENCO DELLE ATTIVITA' CON DETTAGLIO PER VOLONTARIO  "_s);
    QCOMPARE(textsAt(drawn, 10780).constFirst().text, u"ORE T10"_s);
    QCOMPARE(textsAt(drawn, 10780).constFirst().y, 3200);

    // Activities in date order, then description; the one before the start date left out.
    const QList<DrawnItem> descriptions = textsAt(drawn, 2600);
    QCOMPARE(descriptions.size(), 2);
    QCOMPARE(descriptions[0].text, u"ALFA \"PRIMA\" CON UNA DESCRIZIONE DAVVERO MOLTO LUNG"_s);
    QCOMPARE(descriptions[0].y, 3380);
    QCOMPARE(descriptions[1].text, u"ZETA - ROMA  RM"_s.leftJustified(51));
    QCOMPARE(descriptions[1].y, 3380 + 3 * 180);
    QCOMPARE(textsAt(drawn, 530).constFirst().text, u"15/03/2010"_s);
    // The volunteers of the activity with a double quote, under it.
    const QList<DrawnItem> names = textsAt(drawn, 2900);
    QCOMPARE(names.size(), 3);
    QCOMPARE(names[1].text, u"BIANCHI ANNA "_s.leftJustified(51));
    QCOMPARE(names[1].y, 3560);
    QCOMPARE(names[1].font, u"Courier New"_s);
    QCOMPARE(names[2].y, 3740);

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
    QCOMPARE(names.last().y, 3200 + 72 * 180);
    QCOMPARE(names.last().page, 1);
    const QList<DrawnItem> after = textsAt(drawn, 2600);
    QCOMPARE(after.size(), 2);
    QCOMPARE(after[1].page, 2);
    QCOMPARE(after[1].y, 3380);
    QCOMPARE(count(drawn, DrawnItem::Kind::Rectangle, 2), 19);
    QCOMPARE(textsAt(drawn, 550).size(), 2);

    // A register whose last line fills the page ends without an empty headed page.
    runSql(Schema::registerFile, {u"delete from ATTIVITA where DESCRATT = 'DOPO'"_s});
    printFrom(u"15/03/2011"_s);
    drawn = Printer::lastRecording();
    QCOMPARE(std::max_element(drawn.cbegin(), drawn.cend(), [](const DrawnItem &a, const DrawnItem &b) {
                 return a.page < b.page;
             })->page,
             1);

    // Nothing from a date after every activity: no printout, the closing message all the same.
    Printer::setTarget(Printer::Target::Pdf);
    printFrom(u"01/01/2030"_s);
    Printer::setTarget(Printer::Target::RecordOnly);
}

void TestRegister::printedPdfHoldsTheRegister()
{
    const QString pdftotext = QStandardPaths::findExecutable(u"pdftotext"_s);
    if (pdftotext.isEmpty())
        QSKIP("pdftotext is not installed");
    Printer::setTarget(Printer::Target::Pdf);
    m_answers->clear();
    m_answers->answerPrompt(QString());
    m_answers->answerYes(2);
    m_main->findChild<QAction *>(u"mnattstreg"_s)->trigger();
    Printer::setTarget(Printer::Target::RecordOnly);
    QCOMPARE(m_answers->shown().size(), 3);
    const QString pdf = m_answers->shown().at(1).section(u' ', -1);
    QVERIFY2(pdf.startsWith(u"registro-attivita-"_s), qPrintable(m_answers->shown().at(1)));
    QProcess process;
    process.start(pdftotext, {u"-layout"_s, pdf, u"-"_s});
    QVERIFY(process.waitForFinished(30000));
    const QString text = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY2(text.contains(u"ELENCO DELLE ATTIVITA' CON DETTAGLIO PER VOLONTARIO"_s), qPrintable(text));
    QVERIFY(text.contains(u"PRIMA DEL REGISTRO"_s));
    QVERIFY(text.contains(u"BIANCHI ANNA"_s));
    QVERIFY(text.contains(u"1234,5"_s));
}

QTEST_MAIN(TestRegister)
#include "tst_register.moc"
