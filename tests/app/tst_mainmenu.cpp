#include "app/form1.h"
#include "app/gridmodel.h"
#include "app/help.h"
#include "app/windows.h"
#include "common/globals.h"
#include "store/schema.h"
#include "testsupport.h"
#include "ui/activation.h"
#include "ui/messages.h"
#include "ui/printer.h"
#include "volunteers/formvol.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>

using namespace Qt::StringLiterals;

namespace {
struct Item {
    QString name;
    QString caption;
    int level;
};

void collect(const QList<QAction *> &actions, int level, QList<Item> &items)
{
    for (QAction *action : actions) {
        if (action->isSeparator())
            continue;
        items.append({action->objectName(), QString(action->text()).remove(u'&'), level});
        if (QMenu *submenu = action->menu()) {
            QCOMPARE(submenu->objectName(), action->objectName());
            collect(submenu->actions(), level + 1, items);
        }
    }
}

QAction *action(Form1 *main, const QString &name)
{
    auto *found = main->findChild<QAction *>(name);
    if (!found)
        qFatal("no menu item %s", qPrintable(name));
    return found;
}

// Items of one menu that lack an Alt+letter or share one, and the same for every submenu.
void findAcceleratorClashes(const QList<QAction *> &actions, QStringList &clashes)
{
    QList<QKeySequence> seen;
    for (QAction *action : actions) {
        if (action->isSeparator())
            continue;
        const QKeySequence key = QKeySequence::mnemonic(action->text());
        if (key.isEmpty() || seen.contains(key))
            clashes << action->text();
        seen << key;
        if (QMenu *submenu = action->menu())
            findAcceleratorClashes(submenu->actions(), clashes);
    }
}

void openMenu(Form1 *main, const QString &name)
{
    emit main->findChild<QMenu *>(name)->aboutToShow();
}
} // namespace

class TestMainMenu : public ProgramTest {
    Q_OBJECT
private slots:
    void init();
    void wholeTreeInOrder();
    void topLevelMenusRepointTheGrid();
    void activationResetsTheGridButNotAfterABox();
    void gridEditOfARowAnotherPcChanged();
    void commandsSetTheirCodes();
    void riskTablePrompt_data();
    void riskTablePrompt();
    void registerPrompt();
    void esciEndsTheProgram();
    void helpMenuAndAccelerators();
};

void TestMainMenu::init()
{
    QVERIFY(start({u"insert into ATTIVITA (DATAINATT, DESCRATT, NOTE4) values ('20/12/2009', 'NEVE', '2009/12/20')"_s,
                   u"insert into ATTIVITA (DATAINATT, DESCRATT, NOTE4) values ('15/03/2010', 'SISMA', '2010/03/15')"_s,
                   u"insert into ASSO (DENOM) values ('GRUPPO')"_s,
                   u"insert into VOLO (COGN, NOME) values ('ROSSI', 'MARIO')"_s,
                   u"insert into VOLO (COGN, NOME) values ('BIANCHI', 'ANNA')"_s}));
}

void TestMainMenu::wholeTreeInOrder()
{
    QList<Item> items;
    collect(m_main->menuBar()->actions(), 0, items);
    const QList<Item> expected = {
        {u"mnattiv"_s, u"Attività"_s, 0},
        {u"mnattv"_s, u"Visualizza"_s, 1},
        {u"mnattved"_s, u"Elenco dettagli attività"_s, 2},
        {u"mnattvea"_s, u"Elenco Attività"_s, 2},
        {u"mnattagg"_s, u"Aggiorna"_s, 1},
        {u"mnattinsdett"_s, u"Aggiornamento Dettagli Attività"_s, 2},
        {u"mnattins"_s, u"Aggiornamento anagrafe attività"_s, 2},
        {u"mnattst"_s, u"Stampe"_s, 1},
        {u"mnattstreg"_s, u"Stampa registro attività"_s, 2},
        {u"mnorg"_s, u"Organizzazione"_s, 0},
        {u"mnorgv"_s, u"Visualizza"_s, 1},
        {u"mnorgvel"_s, u"Elenco Organizzazioni"_s, 2},
        {u"mnorgagg"_s, u"Aggiorna"_s, 1},
        {u"mnorgaggman"_s, u"Inserimento manuale"_s, 2},
        {u"mnorgaggmod"_s, u"Modifica Organizzazione"_s, 2},
        {u"mnorgaggann"_s, u"Annullamento Organizzazione"_s, 2},
        {u"mnvol"_s, u"Volontari"_s, 0},
        {u"mnvv"_s, u"Visualizza"_s, 1},
        {u"mnvvev"_s, u"Elenco volontari"_s, 2},
        {u"mnvvrt"_s, u"Elenco volontari  rischio tabella..."_s, 2},
        {u"mnaggv"_s, u"Aggiornamento"_s, 1},
        {u"mnvolinsman"_s, u"Inserimento manuale"_s, 2},
        {u"mnvam"_s, u"Modifica"_s, 2},
        {u"mnvac"_s, u"Cancellazione"_s, 2},
        {u"mnvolimp"_s, u"Importa da Dalvimoesp"_s, 2},
        {u"mnsorveglianza"_s, u"Sorveglianza sanitaria"_s, 1},
        {u"mnstat"_s, u"Statistiche"_s, 0},
        {u"mnstatcombi"_s, u"Statistiche combinate"_s, 1},
        {u"mnespdb"_s, u"Esporta Data Base"_s, 0},
        {u"mnazz"_s, u"Azzeramenti"_s, 0},
        {u"mnazzatt"_s, u"Azzera Attività"_s, 1},
        {u"mnazzvol"_s, u"Azzera Volontari"_s, 1},
        {u"mnazzcontrolla"_s, u"Controlla archivio"_s, 1},
        {u"mnhelp"_s, u"?"_s, 0},
        {u"mnguida"_s, u"Guida di Sentaro"_s, 1},
        {u"mninfo"_s, u"Informazioni su Sentaro"_s, 1},
        {u"mnesci"_s, u"Esci"_s, 0},
    };
    QCOMPARE(items.size(), expected.size());
    for (qsizetype i = 0; i < items.size(); ++i) {
        QCOMPARE(items[i].name, expected[i].name);
        QCOMPARE(items[i].caption, expected[i].caption);
        QCOMPARE(items[i].level, expected[i].level);
    }
}

void TestMainMenu::topLevelMenusRepointTheGrid()
{
    GridModel *grid = m_main->gridModel;
    openMenu(m_main, u"mnorg"_s);
    QCOMPARE(globals().tipogriglia, u"O"_s);
    QCOMPARE(grid->fieldName(1), u"DENOM"_s);
    QCOMPARE(grid->headerData(1, Qt::Horizontal).toString(), u"Denominazione"_s);
    QCOMPARE(grid->rowCount(), 1);

    openMenu(m_main, u"mnvol"_s);
    QCOMPARE(globals().tipogriglia, u"V"_s);
    QCOMPARE(grid->columnCount(), 20);
    QCOMPARE(grid->index(0, 2).data().toString(), u"BIANCHI"_s);

    // Italian headings; a description shown whole, in its column or in its tooltip.
    const QString longName = u"ESERCITAZIONE REGIONALE DI PROTEZIONE CIVILE CON EVACUAZIONE"_s;
    runSql(Schema::registerFile, {u"update ATTIVITA set DESCRATT = '%1' where DESCRATT = 'SISMA'"_s.arg(longName)});
    openMenu(m_main, u"mnattiv"_s);
    QCOMPARE(globals().tipogriglia, u"A"_s);
    QCOMPARE(grid->index(0, 2).data().toString(), longName);
    QCOMPARE(grid->rowCount(), 2);
    QCOMPARE(grid->headerData(0, Qt::Horizontal).toString(), u"Data inizio"_s);
    QCOMPARE(grid->headerData(7, Qt::Horizontal).toString(), u"Ore R0"_s);
    QCOMPARE(grid->index(0, 2).data(Qt::ToolTipRole).toString(), longName);
    QVERIFY(m_main->DBGrid1->columnWidth(2) > m_main->DBGrid1->fontMetrics().horizontalAdvance(longName));
}

// A grid edit lands on the row that was read or nowhere: another PC may have changed the row,
// or deleted it and let a new one take its place (a vacuum on a server, the last rowid on the file).
void TestMainMenu::gridEditOfARowAnotherPcChanged()
{
    const bool server = serverArchive();
    runSql(Schema::registerFile, {u"insert into VOLO (COGN, NOME) values ('VOLONTARIO', 'DIECI')"_s});
    GridModel *grid = m_main->gridModel;
    const int tel = 13;
    const struct {
        QStringList otherPc;
        QString rowAfter, telAfter;
    } cases[] = {
        {{u"delete from VOLO where COGN = 'VOLONTARIO'"_s, server ? u"vacuum VOLO"_s : u"vacuum"_s,
          u"insert into VOLO (COGN, NOME) values ('VOLPE', 'ARRIVATO')"_s},
         u"VOLPE"_s,
         QString()},
        {{u"update VOLO set TEL = '0611' where COGN = 'VOLPE'"_s}, u"VOLPE"_s, u"0611"_s},
    };
    for (const auto &item : cases) {
        openMenu(m_main, u"mnvol"_s);
        QCOMPARE(grid->fieldName(tel), u"TEL"_s);
        runSql(Schema::registerFile, item.otherPc);
        m_answers->clear();
        m_answers->answerYes();
        QVERIFY(!grid->setData(grid->index(2, tel), u"0699"_s));
        QCOMPARE(m_answers->shown(),
                 QStringList{u"Il record è stato cambiato o eliminato da un'altra postazione: la griglia è stata "
                             u"ricaricata."_s});
        QCOMPARE(grid->index(2, 2).data().toString(), item.rowAfter);
        QCOMPARE(grid->index(2, tel).data().toString(), item.telAfter);
        QCOMPARE(queryValue(Schema::registerFile, u"select TEL from VOLO where COGN = 'VOLPE'"_s).toString(),
                 item.telAfter);
    }
}

void TestMainMenu::activationResetsTheGridButNotAfterABox()
{
    QEvent activate(QEvent::WindowActivate);
    Activation::reset();
    openMenu(m_main, u"mnvol"_s);
    QApplication::sendEvent(m_main, &activate);
    QCOMPARE(globals().tipogriglia, u"A"_s);
    QCOMPARE(m_main->gridModel->fieldName(0), u"DATAINATT"_s);

    // Back from one of our boxes, or from another program: the same window again, no activation.
    openMenu(m_main, u"mnorg"_s);
    QDialog box;
    QApplication::sendEvent(&box, &activate);
    QApplication::sendEvent(m_main, &activate);
    QCOMPARE(globals().tipogriglia, u"O"_s);

    // Back from another window of the program: an activation.
    QApplication::sendEvent(Windows::formvol(), &activate);
    QApplication::sendEvent(m_main, &activate);
    QCOMPARE(globals().tipogriglia, u"A"_s);
}

void TestMainMenu::commandsSetTheirCodes()
{
    Globals &g = globals();
    const struct {
        QString command;
        QString tipolista;
        QString tipoopvol;
        QString tipoopass;
    } cases[] = {
        {u"mnattved"_s, u"ED"_s, {}, {}},   {u"mnattvea"_s, u"EA"_s, {}, {}},   {u"mnorgvel"_s, u"EO"_s, {}, {}},
        {u"mnvvev"_s, u"EV"_s, {}, {}},     {u"mnvolinsman"_s, {}, u"I"_s, {}}, {u"mnvam"_s, u"EM"_s, u"M"_s, {}},
        {u"mnvac"_s, u"EC"_s, u"C"_s, {}},  {u"mnorgaggman"_s, {}, {}, u"I"_s}, {u"mnorgaggmod"_s, {}, {}, u"M"_s},
        {u"mnorgaggann"_s, {}, {}, u"A"_s},
    };
    for (const auto &item : cases) {
        resetGlobals();
        action(m_main, item.command)->trigger();
        QCOMPARE(g.tipolista, item.tipolista);
        QCOMPARE(g.tipoopvol, item.tipoopvol);
        QCOMPARE(g.tipoopass, item.tipoopass);
    }
}

void TestMainMenu::riskTablePrompt_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("six") << u"6"_s << false << true;
    QTest::newRow("six with decimals") << u"6.0"_s << false << true;
    QTest::newRow("six with a zero") << u"06"_s << false << true;
    QTest::newRow("zero") << u"0"_s << false << true;
    QTest::newRow("ten") << u"10"_s << false << true;
    QTest::newRow("five") << u"5"_s << false << false;
    QTest::newRow("eleven") << u"11"_s << false << false;
    QTest::newRow("six and a half") << u"6,5"_s << false << false;
    QTest::newRow("letters") << u"sei"_s << false << false;
    QTest::newRow("empty") << QString() << false << false;
    QTest::newRow("cancelled") << QString() << true << false;
}

void TestMainMenu::riskTablePrompt()
{
    QFETCH(QString, answer);
    QFETCH(bool, cancelled);
    QFETCH(bool, accepted);
    if (cancelled)
        m_answers->answerPromptCancelled();
    else
        m_answers->answerPrompt(answer);
    if (!accepted)
        m_answers->answerYes();
    action(m_main, u"mnvvrt"_s)->trigger();
    QCOMPARE(m_answers->shown().constFirst(), u"Batti il numero della tabella tipo rischio."_s);
    QCOMPARE(globals().tabrischio, answer);
    QCOMPARE(globals().tipolista, accepted ? u"ER"_s : QString());
    QCOMPARE(m_answers->shown().mid(1),
             accepted ? QStringList() : QStringList{u"Numero tabella rischio inesistente."_s});
}

void TestMainMenu::registerPrompt()
{
    const QString question = u"Batti la data di inizio attività da stampare es. 01/01/2010 oppure non inserire "
                             u"niente per stampare tutto."_s;
    const QString done = u"Stampa registro terminata."_s;
    Globals &g = globals();

    // Annulla prints nothing; an empty answer, everything.
    m_answers->answerPromptCancelled();
    action(m_main, u"mnattstreg"_s)->trigger();
    QCOMPARE(m_answers->shown(), QStringList{question});
    QCOMPARE(g.stampaattiva, 0);
    m_answers->clear();
    m_answers->answerPrompt(QString());
    m_answers->answerYes();
    action(m_main, u"mnattstreg"_s)->trigger();
    QCOMPARE(m_answers->shown(), (QStringList{question, done}));
    QCOMPARE(g.datainiziostampa, u"2000/01/01"_s);
    QCOMPARE(g.stampaattiva, 1);
    // The register was printed: both activities are in it.
    QCOMPARE(std::count_if(Printer::lastRecording().cbegin(), Printer::lastRecording().cend(),
                           [](const DrawnItem &item) { return item.x == 530; }),
             2);

    // Only the activity of 15/03/2010 or later counts.
    resetGlobals();
    m_answers->clear();
    m_answers->answerPrompt(u"15/03/2010"_s);
    m_answers->answerYes();
    action(m_main, u"mnattstreg"_s)->trigger();
    QCOMPARE(g.datainiziostampa, u"2010/03/15"_s);
    QCOMPARE(g.stampaattiva, 1);
    // The grid shows every activity again, the latest first.
    QCOMPARE(m_main->gridModel->rowCount(), 2);
    QCOMPARE(m_main->gridModel->index(0, 2).data().toString(), u"SISMA"_s);

    resetGlobals();
    m_answers->clear();
    m_answers->answerPrompt(u"16/03/2010"_s);
    m_answers->answerYes();
    action(m_main, u"mnattstreg"_s)->trigger();
    QCOMPARE(g.stampaattiva, 0);
    QCOMPARE(g.intestazionepagina, 0);
    QCOMPARE(m_answers->shown(),
             (QStringList{question, u"Nessuna attività dalla data indicata: non è stato stampato nulla."_s}));

    // A wrong date: the check's message, then the prompt's own, and nothing else.
    resetGlobals();
    m_answers->clear();
    m_answers->answerPrompt(u"31/04/2010"_s);
    m_answers->answerYes(2);
    action(m_main, u"mnattstreg"_s)->trigger();
    QCOMPARE(m_answers->shown(),
             (QStringList{question, u"Data errata. Deve essere nel formato GG/MM/AAAA."_s, u"Data inizio errata."_s}));
    QCOMPARE(g.datainiziostampa, QString());
}

void TestMainMenu::esciEndsTheProgram()
{
    QVERIFY(!Windows::endRequested());
    action(m_main, u"mnesci"_s)->trigger();
    QVERIFY(Windows::endRequested());
    QVERIFY(!m_main->isVisible());
}

void TestMainMenu::helpMenuAndAccelerators()
{
    QStringList clashes;
    findAcceleratorClashes(m_main->menuBar()->actions(), clashes);
    QVERIFY2(clashes.isEmpty(), qPrintable(clashes.join(u", "_s)));

    // F1 opens the guide, which names this machine's folders.
    m_main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_main));
    QTest::keyClick(m_main, Qt::Key_F1);
    QVERIFY(Windows::formguida()->isVisible());
    const QString folder = QDir::toNativeSeparators(QDir::currentPath());
    const QString guide = Windows::formguida()->guida->toPlainText();
    QVERIFY2(guide.contains(folder) && guide.contains(QDir::toNativeSeparators(folder + u"/backup"_s)),
             qPrintable(guide.right(600)));
    QVERIFY(QTest::qWaitForWindowActive(Windows::formguida()));
    QTest::keyClick(Windows::formguida(), Qt::Key_Escape);
    QTRY_VERIFY(!Windows::formguida()->isVisible());

    QFile cmake(QStringLiteral(SENTARO_SOURCE_DIR "/CMakeLists.txt"));
    QVERIFY(cmake.open(QIODevice::ReadOnly));
    const QString version = QRegularExpression(u"project\\(Sentaro VERSION ([0-9.]+)"_s)
                                .match(QString::fromUtf8(cmake.readAll()))
                                .captured(1);
    m_answers->answerYes();
    action(m_main, u"mninfo"_s)->trigger();
    QCOMPARE(m_answers->shown().size(), 1);
    const QString about = m_answers->shown().constFirst();
    QVERIFY2(about.startsWith(u"Sentaro "_s + version + u'\n') && about.contains(u"GPL-3.0-or-later"_s) &&
                 about.contains(folder),
             qPrintable(about));
}

QTEST_MAIN(TestMainMenu)
#include "tst_mainmenu.moc"
