#include "app/form1.h"
#include "app/windows.h"
#include "common/compactlines.h"
#include "common/globals.h"
#include "database/datasource.h"
#include "reports/formlist.h"
#include "reports/lists.h"
#include "store/schema.h"
#include "testsupport.h"
#include "ui/messages.h"
#include "ui/printer.h"
#include "volunteers/formvol.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QStringList fixture = {
    u"insert into ASSO (CODASS, DENOM, RESP, TELRESP) values ('1', 'GRUPPO ALFA', 'ROSSI MARIO', '333 1'), "
    u"(NULL, 'CROCE BLU', NULL, '06 2')"_s,
    // Volunteers of an organisation, of a deleted one, of none.
    u"insert into VOLO (COGN, NOME, CODASS) values ('ROSSI', 'MARIO', '1'), ('BIANCHI', 'ANNA', NULL), "
    u"('VERDI', 'LUCA', '7'), ('ABCDEFGHIJKLMNOPQRSTUVWXY', 'ABCDEFGHIJKLMNOPQRSTUVWXY', '1')"_s,
    u"insert into ATTIVITA (DATAINATT, DATAFIATT, DESCRATT, LOCATT, PROVATT, OREUOMO, ORET0, ORET6, ORET7, ORET8, "
    u"ORET9, ORET10, NOTE4) values "
    u"('05/01/2011', '06/01/2011', 'SISMA', 'MODENA', 'MO', 15.5, 0, 8, 0, 0, 0, 7.5, '2011/01/05'), "
    u"('05/01/2011', '05/01/2011', 'ESERCITAZIONE \"GRANDE\" DI PROTEZIONE CIVILE REGIONALE', 'SAN GIOVANNI', 'FI', "
    u"1200, 1200, 0, 0, 0, 0, 0, '2011/01/05'), "
    u"('20/12/2010', '20/12/2010', 'NEVE', 'CANTÙ', 'CO', NULL, NULL, NULL, NULL, NULL, NULL, NULL, '2010/12/20')"_s,
    u"insert into ATTIVDETT (DATAINATT, DATAFIATT, DESCRATT, COGN, NOME, OREUOMO, ORET0, ORET6, ORET7, ORET8, "
    u"ORET9, ORET10) values "
    u"('05/01/2011', '06/01/2011', 'SISMA', 'ROSSI MARIO', '', 8, 0, 8, 0, 0, 0, 0), "
    u"('05/01/2011', '06/01/2011', 'SISMA', 'BIANCHI ANNA', '', 7.5, 0, 0, 0, 0, 0, 7.5), "
    u"('05/01/2011', '05/01/2011', 'ESERCITAZIONE \"GRANDE\" DI PROTEZIONE CIVILE REGIONALE', 'ROSSI MARIO', '', "
    u"1200, 1200, 0, 0, 0, 0, 0), "
    u"('20/12/2010', '20/12/2010', 'NEVE', 'ROSSI MARIO', '', 2.25, 0, 2.25, 0, 0, 0, 0), "
    u"('20/12/2010', '20/12/2010', 'NEVE', 'VERDI LUCA', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL), "
    u"('20/12/2010', '20/12/2010', 'NEVE', 'BIANCHI ANNA', '', 4, 0, 4, 0, 0, 0, 0)"_s,
};
} // namespace

class TestLists : public ProgramTest {
    Q_OBJECT
private slots:
    void init();
    void listsMatchTheirReferences_data();
    void listsMatchTheirReferences();
    void emptyArchive();
    void longListsKeepEveryLine();
    void clickHandsTheVolunteerOver();
    void printingStartsWithABlankLine();
    void printedPdfHoldsTheLines();
    void refusedReadSaysSo();

private:
    void openFromMenu(const QString &command);
};

void TestLists::init()
{
    QVERIFY(start(QString::fromLatin1(QTest::currentTestFunction()) == u"emptyArchive"_s ? QStringList() : fixture));
}

void TestLists::openFromMenu(const QString &command)
{
    m_main->findChild<QAction *>(command)->trigger();
    QVERIFY(Windows::formlist()->isVisible());
    activate(Windows::formlist());
}

void TestLists::listsMatchTheirReferences_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("comma");
    for (const bool comma : {true, false}) {
        const QString locale = comma ? u"comma"_s : u"point"_s;
        for (const QString &mode : {u"EO"_s, u"EA"_s, u"ED"_s, u"EV"_s})
            QTest::addRow("%s-%s", qPrintable(mode), qPrintable(locale)) << mode << QString() << comma;
        for (const QString &table : {u"6"_s, u"10"_s, u"0"_s, u"9"_s})
            QTest::addRow("ER%s-%s", qPrintable(table), qPrintable(locale)) << u"ER"_s << table << comma;
    }
}

void TestLists::listsMatchTheirReferences()
{
    QFETCH(QString, mode);
    QFETCH(QString, table);
    QFETCH(bool, comma);
    QLocale::setDefault(comma ? QLocale(QLocale::Italian, QLocale::Italy) : QLocale::c());
    Globals &g = globals();
    g.tipolista = mode;
    g.tabrischio = table;
    Formlist *window = Windows::formlist();
    window->show();
    activate(window);
    const QStringList shown = lines(window->List1);
    QCOMPARE(shown, buildList(mode, table));
    compareWithReference(shown, u"lists/"_s + mode + table + (comma ? u"-comma"_s : u"-point"_s));
    if (mode == u"ED"_s) {
        QCOMPARE(window->windowTitle(), u"SENTARO - ELENCO ATTIVITA' CON DETTAGLIO PER VOLONTARIO"_s);
        QCOMPARE(shown[2], detailListHeader());
        QCOMPARE(shown[2].size(), 131);
        // The activity and volunteer columns stand under the header's.
        QVERIFY(shown[7].startsWith(u"05/01/2011  06/01/2011  SISMA  MODENA  MO "_s));
        QCOMPARE(shown[7].mid(77, 6), comma ? u"015,50"_s : u"015.50"_s);
        QCOMPARE(shown[8].mid(24, 12), u"BIANCHI ANNA"_s);
        QCOMPARE(shown[8].mid(77, 6), comma ? u"007,50"_s : u"007.50"_s);
        // A text over 51 characters is cut there; a thousand hours widen their column.
        QCOMPARE(shown[4].mid(24, 51), u"ESERCITAZIONE \"GRANDE\" DI PROTEZIONE CIVILE REGIONA"_s);
        QCOMPARE(shown[4].mid(77, 7), comma ? u"1200,00"_s : u"1200.00"_s);
        // Hours with no value leave their columns blank.
        QCOMPARE(shown.filter(u"NEVE"_s).constFirst().mid(75), QString(56, u' '));
    }
}

void TestLists::emptyArchive()
{
    QCOMPARE(buildList(u"EO"_s, {}), QStringList());
    QCOMPARE(buildList(u"EA"_s, {}), QStringList());
    QCOMPARE(buildList(u"ED"_s, {}).size(), 4);
    QCOMPARE(buildList(u"ER"_s, u"6"_s), (QStringList{QString(49, u' ') + u"TOT.  "_s, QString()}));
    QCOMPARE(buildList(u"EV"_s, {}), (QStringList{QString(), u"   Totale volontari:0"_s}));
    QCOMPARE(buildList(u"EC"_s, {}), buildList(u"EV"_s, {}));
    QCOMPARE(buildList(u"XX"_s, {}), QStringList());
}

void TestLists::longListsKeepEveryLine()
{
    // Lines over many blocks of text: empty ones, accented ones, one longer than a block.
    QStringList expected;
    for (int i = 0; i < 3000; ++i)
        expected << (i % 7 == 0 ? QString() : u"%1 CANTÙ "_s.arg(i) + QString(i % 200, u'x'));
    expected.insert(1500, QString(100000, u'é'));
    CompactLines compact;
    for (const QString &line : std::as_const(expected))
        compact.append(line);
    LineListView view;
    view.setLines(std::move(compact), {u"ROSSI MARIO"_s});
    QCOMPARE(lines(&view), expected);
    QCOMPARE(view.model()->index(0, 0).data(Qt::UserRole).toString(), u"ROSSI MARIO"_s);
    QVERIFY(!view.model()->index(1, 0).data(Qt::UserRole).isValid());
}

void TestLists::clickHandsTheVolunteerOver()
{
    const struct {
        QString command, mode, operation, button;
    } cases[] = {{u"mnvvev"_s, u"EV"_s, u"V"_s, QString()},
                 {u"mnvam"_s, u"EM"_s, u"M"_s, u"Modifica"_s},
                 {u"mnvac"_s, u"EC"_s, u"C"_s, u"Elimina"_s}};
    for (const auto &item : cases) {
        openFromMenu(item.command);
        QCOMPARE(globals().tipolista, item.mode);
        LineListView *list = Windows::formlist()->List1;
        // The 51-character name hands over its first 50 characters.
        list->setCurrentRow(0);
        Windows::formlist()->List1_Click();
        QCOMPARE(globals().tipoopvol, item.operation);
        QCOMPARE(globals().volontarioscelto, u"ABCDEFGHIJKLMNOPQRSTUVWXY ABCDEFGHIJKLMNOPQRSTUVWX"_s);
        QVERIFY(Windows::formvol()->isVisible());
        if (!item.button.isEmpty())
            QCOMPARE(Windows::formvol()->cmdregistra->text(), item.button);
        // Enter on a line opens it as a click does.
        Windows::formvol()->hide();
        list->setCurrentRow(2);
        QTest::keyClick(list, Qt::Key_Return);
        QVERIFY(Windows::formvol()->isVisible());
        activate(Windows::formvol());
        QCOMPARE(Windows::formvol()->fvcogn->text(), u"ROSSI"_s);
        QCOMPARE(Windows::formvol()->fvnome->text(), u"MARIO"_s);
        activate(m_main);
    }
    // Other lists hand nothing over.
    openFromMenu(u"mnorgvel"_s);
    globals().volontarioscelto.clear();
    Windows::formlist()->List1->setCurrentRow(0);
    Windows::formlist()->List1_Click();
    QVERIFY(globals().volontarioscelto.isEmpty());
}

void TestLists::printingStartsWithABlankLine()
{
    openFromMenu(u"mnattved"_s);
    Formlist *window = Windows::formlist();
    window->cmdstampa->click();
    const QList<DrawnItem> drawn = Printer::lastRecording();
    QCOMPARE(drawn.size(), window->List1->count() + 1);
    QCOMPARE(drawn[0].text, u" "_s);
    QCOMPARE(drawn[3].text, u"   "_s + window->List1->text(2));
    QCOMPARE(drawn[3].font, u"Courier New"_s);
    // 131 characters and the margin do not fit a portrait page at 8 points: landscape, all at one size.
    // On screen no line is cut short: a list narrower than its lines scrolls sideways to their end.
    LineListView *list = window->List1;
    list->resize(list->width() / 3, list->height());
    QCoreApplication::processEvents();
    QCOMPARE(list->textElideMode(), Qt::ElideNone);
    QVERIFY(list->horizontalScrollBar()->maximum() + list->viewport()->width() >=
            list->fontMetrics().horizontalAdvance(list->text(2)));
    QVERIFY(Printer::lastPage().landscape);
    QVERIFY(drawn[3].size >= 8 && drawn[3].size < 12);
    QVERIFY(134 * 0.6 * drawn[3].size * 20 <= Printer::lastPage().printableWidth);
    QCOMPARE(drawn[0].size, drawn[3].size);
    for (const DrawnItem &item : drawn)
        QCOMPARE(item.x, 0);

    // A list of free text stays at 12 points: its one overlong line goes on over the next,
    // broken between two words. The list has its own caption.
    activate(m_main);
    openFromMenu(u"mnattvea"_s);
    QCOMPARE(window->windowTitle(), u"Sentaro - "_s);
    window->cmdstampa->click();
    const QList<DrawnItem> free = Printer::lastRecording();
    QCOMPARE(free.size(), window->List1->count() + 2);
    QVERIFY(!Printer::lastPage().landscape);
    for (const DrawnItem &item : free)
        QCOMPARE(item.size, 12.0);
    const QString longest = window->List1->text(0);
    QCOMPARE(free[1].text.mid(3).trimmed() + u"  "_s + free[2].text.mid(3), longest);

    // An unknown list prints the blank line alone.
    globals().tipolista = u"XX"_s;
    activate(m_main);
    activate(window);
    window->cmdstampa->click();
    QCOMPARE(Printer::lastRecording().size(), 1);
}

void TestLists::printedPdfHoldsTheLines()
{
    const QString pdftotext = QStandardPaths::findExecutable(u"pdftotext"_s);
    if (pdftotext.isEmpty())
        QSKIP("pdftotext is not installed");
    Printer::setTarget(Printer::Target::Pdf);
    openFromMenu(u"mnvvev"_s);
    m_answers->answerNo();
    Windows::formlist()->cmdstampa->click();
    Printer::setTarget(Printer::Target::RecordOnly);
    // The file named with its whole path, and offered to be opened.
    QCOMPARE(m_answers->shown().size(), 1);
    const QString message = m_answers->shown().constFirst();
    const QString said = u"Nessuna stampante disponibile: la stampa è nel file "_s;
    QVERIFY2(message.startsWith(said + QDir::toNativeSeparators(m_folder->path() + u"/elenco-"_s)) &&
                 message.endsWith(u".pdf\nAprire il file?"_s),
             qPrintable(message));
    QCOMPARE(m_answers->defaults(), QList<Messages::Default>{Messages::Default::No});
    const QString pdf = message.mid(said.size()).section(u'\n', 0, 0);
    QVERIFY(QFile::exists(pdf));
    QProcess process;
    process.start(pdftotext, {u"-layout"_s, pdf, u"-"_s});
    QVERIFY(process.waitForFinished(30000));
    const QString text = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY2(text.contains(u"ROSSI MARIO"_s), qPrintable(text));
    QVERIFY(text.contains(u"Totale volontari:4"_s));
}

void TestLists::refusedReadSaysSo()
{
    // On the first query, or in the middle of the walk of activities and their volunteers.
    const struct {
        QString mode;
        int steps;
    } cases[] = {{u"EO"_s, 0}, {u"ED"_s, 0}, {u"ED"_s, 5}, {u"ER"_s, 2}, {u"EV"_s, 1}};
    for (const auto &item : cases) {
        globals().tipolista = item.mode;
        globals().tabrischio = u"6"_s;
        m_answers->clear();
        m_answers->answerYes();
        DataSource::refuseReadsAfter(item.steps);
        Windows::formlist()->show();
        activate(Windows::formlist());
        DataSource::refuseReadsAfter(-1);
        QCOMPARE(m_answers->shown().size(), 1);
        QVERIFY2(m_answers->shown()[0].startsWith(u"Elenco non disponibile, l'archivio non si è potuto leggere: "_s),
                 qPrintable(item.mode));
        QCOMPARE(Windows::formlist()->List1->count(), 0);
        activate(m_main);
    }
}

QTEST_MAIN(TestLists)
#include "tst_lists.moc"
