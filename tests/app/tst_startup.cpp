#include "app/form1.h"
#include "app/form11.h"
#include "app/gridmodel.h"
#include "app/windows.h"
#include "common/globals.h"
#include "database/datasource.h"
#include "store/schema.h"
#include "testsupport.h"
#include "ui/controls.h"
#include "ui/messages.h"
#include "volunteers/formvol.h"
#include "volunteers/specialisations.h"

#include <QComboBox>
#include <QCompleter>
#include <QFile>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <sqlite3.h>
#ifndef Q_OS_WIN
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {
QStringList column(const GridModel *model, int column)
{
    QStringList values;
    for (int row = 0; row < model->rowCount(); ++row)
        values << model->index(row, column).data().toString();
    return values;
}

int fieldIndex(const GridModel *model, const QString &name)
{
    for (int i = 0; i < model->columnCount(); ++i) {
        if (model->fieldName(i) == name)
            return i;
    }
    return -1;
}
} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    // Before any test that ends the program: once the program has asked to exit, Qt closes
    // every modal box as soon as it opens.
    void boxesSpeakItalianOverTheWindowInUse();
    void firstStartMakesFilesAndWindows();
    void headerPictureIsShownWhenPresent();
    void extraVolunteersAreCopiedOnce();
    void gridShowsActivitiesMostRecentFirst();
    void gridEditsAreStored();
    void splashIsDismissedByClickOrKey();
    void unusableRegisterStopsInOrder();
    void registerOfAnotherVersion_data();
    void registerOfAnotherVersion();
    void writeCutShortByACrashIsRolledBack();
    void closingTheMainWindowEndsTheProgram();
    void typingInADropDownListCompletesNothing();
    void windowsOpenOnTheScreen();
};

void TestStartup::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
}

void TestStartup::firstStartMakesFilesAndWindows()
{
    WorkingFolder folder;
    Messages::ScriptedResponder responder;
    Form1 *main = startSentaro();
    QVERIFY(main);
    QVERIFY(responder.shown().isEmpty());
    for (const QString &name : {Schema::registerFile, Schema::municipalitiesFile, Schema::specialisationsFile})
        QVERIFY2(QFile::exists(name), qPrintable(name));
    // A specialisation with a comma in its name is one entry of the list.
    const QStringList specialisations = readDelimitedItems(fileBytes(Schema::specialisationsFile));
    QVERIFY(specialisations.contains(u"SEGRETERIA, AMMINISTRAZIONE"_s));
    QVERIFY(specialisations.contains(u"RADIO, TELECOMUNICAZIONI"_s));

    QVERIFY(main->isVisible());
    QVERIFY(Windows::form11()->isVisible());
    QCOMPARE(main->windowTitle(), u"Sentaro"_s);
    // No picture in the folder: an empty header and no message.
    QVERIFY(main->Image1->pixmap().isNull());

    Formvol *volunteer = Windows::formvol();
    QVERIFY(!volunteer->isVisible());
    QComboBox *places = volunteer->fvluogona;
    QCOMPARE(places->count(), 7896 + 216);
    QCOMPARE(places->itemText(0), u"ABANO TERME"_s.leftJustified(35) + u"  PD"_s);
    const int cantu = places->findText(u"CANTÙ"_s, Qt::MatchStartsWith);
    QVERIFY(cantu >= 0);
    QCOMPARE(places->itemText(cantu).mid(37, 2), u"CO"_s);
    for (int i = 0; i < places->count(); i += 97)
        QCOMPARE(places->itemText(i).size(), 39);
    QCOMPARE(globals().vocecomune, places->itemText(places->count() - 1));

    QCOMPARE(main->gridModel->columnCount(), 17);
    QCOMPARE(main->gridModel->fieldName(0), u"DATAINATT"_s);
    QCOMPARE(main->gridModel->fieldName(2), u"DESCRATT"_s);
    QCOMPARE(main->DBGrid1->model(), main->gridModel);
}

void TestStartup::headerPictureIsShownWhenPresent()
{
    // A picture of another format saved under the JPEG's name is shown as well.
    for (const char *format : {"JPEG", "PNG"}) {
        WorkingFolder folder;
        QVERIFY(QImage(QStringLiteral(SENTARO_SOURCE_DIR "/data/intestazione.jpg"))
                    .save(Schema::headerPictureFile, format));
        Messages::ScriptedResponder responder;
        Form1 *main = startSentaro();
        QVERIFY(main);
        QVERIFY2(!main->Image1->pixmap().isNull(), format);
        stopSentaro();
    }
}

void TestStartup::extraVolunteersAreCopiedOnce()
{
    WorkingFolder folder;
    QVERIFY(makeWorkingFiles());
    runSql(Schema::registerFile,
           {u"insert into VOLO (COGN, NOME, CODFISC) values ('ROSSI', 'MARIO', 'RSSMRA80A01H501U')"_s,
            u"insert into VOLOEXTRA (CODASS, COGN, NOME, CODFISC, NOTE) values ('1', 'rossi', 'mario', 'ALTRO', 'x')"_s,
            u"insert into VOLOEXTRA (CODASS, CODVOL, COGN, NOME, INDIR, CITTA, NOTE2) values "
            u"('7', '12', 'D''ANGELO', 'JOSÉ', 'VIA \"ROMA\" 1', 'TORINO', 'ultima')"_s,
            u"insert into VOLOEXTRA (COGN, NOME) values ('FOÀ', 'NICCOLÒ')"_s,
            u"insert into VOLOEXTRA (COGN, NOME) values ('Foà', 'Niccolò')"_s});

    for (int start = 0; start < 2; ++start) {
        Messages::ScriptedResponder responder;
        QVERIFY(startSentaro());
        QVERIFY(responder.shown().isEmpty());
        stopSentaro();
        QCOMPARE(queryValue(Schema::registerFile, u"select count(*) from VOLO"_s).toInt(), 3);
    }
    // The row already present keeps its own values.
    QCOMPARE(queryValue(Schema::registerFile, u"select CODFISC from VOLO where COGN = 'ROSSI'"_s).toString(),
             u"RSSMRA80A01H501U"_s);
    // Copied position by position, nineteen fields; the twentieth has no value.
    QCOMPARE(queryValue(Schema::registerFile,
                        u"select CODASS || '|' || CODVOL || '|' || INDIR || '|' || CITTA || '|' || NOTE2 "
                        u"from VOLO where NOME = 'JOSÉ'"_s)
                 .toString(),
             u"7|12|VIA \"ROMA\" 1|TORINO|ultima"_s);
    QVERIFY(queryValue(Schema::registerFile, u"select NOTE3 from VOLO where NOME = 'JOSÉ'"_s).isNull());
    QCOMPARE(queryValue(Schema::registerFile, u"select count(*) from VOLOEXTRA"_s).toInt(), 4);
}

void TestStartup::gridShowsActivitiesMostRecentFirst()
{
    WorkingFolder folder;
    QVERIFY(makeWorkingFiles());
    runSql(Schema::registerFile,
           {u"insert into ATTIVITA (DATAINATT, DESCRATT, NOTE4) values ('20/12/2010', 'NEVE', '2010/12/20')"_s,
            u"insert into ATTIVITA (DATAINATT, DESCRATT, NOTE4) values ('05/01/2011', 'SISMA', '2011/01/05')"_s,
            u"insert into ATTIVITA (DATAINATT, DESCRATT, NOTE4) values ('05/01/2011', 'ALLUVIONE', '2011/01/05')"_s});
    Messages::ScriptedResponder responder;
    Form1 *main = startSentaro();
    QVERIFY(main);
    main->showActivities();
    QCOMPARE(column(main->gridModel, 2), (QStringList{u"ALLUVIONE"_s, u"SISMA"_s, u"NEVE"_s}));
    QCOMPARE(column(main->gridModel, 0), (QStringList{u"05/01/2011"_s, u"05/01/2011"_s, u"20/12/2010"_s}));
}

void TestStartup::gridEditsAreStored()
{
    WorkingFolder folder;
    QVERIFY(makeWorkingFiles());
    // NOTE3 and CODASS mark the rows the cases change.
    runSql(Schema::registerFile,
           {u"insert into ATTIVITA (DATAINATT, DATAFIATT, DESCRATT, LOCATT, PROVATT, NOTE3, NOTE4, ORETOT) values "
            u"('05/01/2011', '10/01/2011', 'SISMA', 'ROMA', 'RM', 'S', '2011/01/05', 4), "
            u"('05/01/2011', '05/01/2011', 'NEVE', 'ROMA', 'RM', '', '2011/01/05', 0)"_s,
            u"insert into ATTIVDETT (DATAINATT, DESCRATT, COGN) values ('05/01/2011', 'SISMA', 'ROSSI MARIO')"_s,
            u"insert into ASSO (DENOM, CODASS) values ('GRUPPO A', 'A'), ('GRUPPO B', 'B')"_s,
            u"insert into VOLO (COGN, NOME, MAIL, CODFISC) values ('ROSSI', 'MARIO', 'rossi@posta.it', NULL), "
            u"('BIANCHI', 'MARIO LUIGI', NULL, 'BNCMLG80A01H501C')"_s});
    Messages::ScriptedResponder responder;
    Form1 *main = startSentaro();
    QVERIFY(main);
    GridModel *grid = main->gridModel;
    // The row each case changes comes first in the grid.
    const QString activity = u"ATTIVITA where NOTE3 = 'S'"_s;
    const QString organisation = u"ASSO where CODASS = 'B'"_s;
    const QString volunteer = u"VOLO where MAIL is not null"_s;
    const QHash<QString, QString> sources = {{activity, u"select * from ATTIVITA order by NOTE3 DESC"_s},
                                             {organisation, u"select * from ASSO order by CODASS DESC"_s},
                                             {volunteer, u"select * from VOLO order by COGN DESC"_s}};
    // Each change is checked as the window that owns the row checks it (its questions answered
    // Yes); a refused one is undone.
    const struct {
        QString rows, field, typed, cell;
        QStringList messages;
    } cases[] = {
        {activity, u"DESCRATT"_s, u"sisma emilia"_s, u"SISMA EMILIA"_s, {u"Vuoi modificare la denominazione? "_s}},
        {activity,
         u"DESCRATT"_s,
         u"neve"_s,
         u"SISMA EMILIA"_s,
         {u"Vuoi modificare la denominazione? "_s, u"Attività già esistente."_s}},
        {activity, u"DATAINATT"_s, u"06/01/2011"_s, u"06/01/2011"_s, {}},
        {activity,
         u"DATAINATT"_s,
         u"31/04/2011"_s,
         u"06/01/2011"_s,
         {u"Data errata. Deve essere nel formato GG/MM/AAAA."_s, u"Data inizio errata."_s}},
        {activity,
         u"DATAFIATT"_s,
         u"04/01/2011"_s,
         u"10/01/2011"_s,
         {u"La data di fine è precedente alla data di inizio."_s}},
        {activity, u"LOCATT"_s, QString(), u"ROMA"_s, {u"Manca Località principale dove si è svolta l'attività"_s}},
        {activity,
         u"ORETOT"_s,
         u"quattro"_s,
         u"4"_s,
         {u"Numero ore totali errato: scrivere un numero non negativo, per esempio 7,5."_s}},
        {organisation, u"DENOM"_s, u"gruppo a"_s, u"GRUPPO B"_s, {u"Organizzazione già presente"_s}},
        {organisation, u"NUMVOL"_s, u"7,5"_s, QString(), {u"Numero volontari dell'organizzazione errato."_s}},
        {organisation, u"NUMVOL"_s, u"3000000000"_s, QString(), {u"Numero volontari dell'organizzazione errato."_s}},
        {organisation, u"NUMVOL"_s, u"-4"_s, QString(), {u"Numero volontari dell'organizzazione errato."_s}},
        {organisation, u"NUMVOL"_s, u"99999"_s, u"99999"_s, {}},
        {organisation, u"DENOM"_s, u"gruppo \"b\""_s, u"GRUPPO 'B'"_s, {}},
        {volunteer, u"SESSO"_s, u"x"_s, QString(), {u"Sesso errato."_s}},
        {volunteer, u"PROV"_s, u"roma"_s, u"RM"_s, {}},
        {volunteer,
         u"CODFISC"_s,
         u"bncmlg80a01h501x"_s,
         QString(),
         {u"Codice fiscale errato: il carattere di controllo dovrebbe essere C."_s}},
        {volunteer,
         u"CODFISC"_s,
         u"bncmlg80a01h501c"_s,
         u"BNCMLG80A01H501C"_s,
         {u"Codice fiscale già presente per BIANCHI MARIO LUIGI: registro comunque?"_s}},
        {volunteer, u"NOME"_s, u"mario luigi"_s, u"MARIO LUIGI"_s, {u"Rinomino ROSSI MARIO in ROSSI MARIO LUIGI?"_s}},
        {volunteer,
         u"COGN"_s,
         u"bianchi"_s,
         u"ROSSI"_s,
         {u"Rinomino ROSSI MARIO LUIGI in BIANCHI MARIO LUIGI?"_s, u"Volontario già presente."_s}},
    };
    for (const auto &item : cases) {
        if (main->Data7->recordSource() != sources[item.rows])
            main->showInGrid(sources[item.rows], u"A"_s);
        const QModelIndex cell = grid->index(0, fieldIndex(grid, item.field));
        const bool changes = cell.data().toString() != item.cell;
        responder.clear();
        responder.answerYes(int(item.messages.size()));
        QCOMPARE(grid->setData(cell, item.typed), changes);
        QCOMPARE(responder.shown(), item.messages);
        QCOMPARE(cell.data().toString(), item.cell);
        QCOMPARE(queryValue(Schema::registerFile, u"select "_s + item.field + u" from "_s + item.rows).toString(),
                 item.cell);
    }
    // The activity's detail rows and its year-first date follow it, the volunteer's name too.
    QCOMPARE(queryValue(Schema::registerFile, u"select DESCRATT || '|' || DATAINATT || '|' || COGN from ATTIVDETT"_s)
                 .toString(),
             u"SISMA EMILIA|06/01/2011|ROSSI MARIO LUIGI"_s);
    QCOMPARE(queryValue(Schema::registerFile, u"select NOTE4 from "_s + activity).toString(), u"2011/01/06"_s);
    // Its risk hours follow its detail rows alone.
    main->showActivities();
    QVERIFY(!(grid->flags(grid->index(0, fieldIndex(grid, u"ORET0"_s))) & Qt::ItemIsEditable));
    QVERIFY(responder.unexpected().isEmpty());
}

void TestStartup::splashIsDismissedByClickOrKey()
{
    WorkingFolder folder;
    Messages::ScriptedResponder responder;
    QVERIFY(startSentaro());
    Form11 *splash = Windows::form11();
    QVERIFY(splash->isVisible());
    QVERIFY(!splash->Picture1->isVisible());
    QTest::mouseClick(splash->Picture2, Qt::LeftButton);
    QVERIFY(splash->isVisible());
    QTest::mouseClick(splash->Label3, Qt::LeftButton);
    QVERIFY(!splash->isVisible());
    QVERIFY(Windows::existingForm1()->isVisible());

    splash->show();
    QTest::keyClick(splash, Qt::Key_Space);
    QVERIFY(!splash->isVisible());
    splash->show();
    QTest::mouseClick(splash, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(!splash->isVisible());
}

void TestStartup::unusableRegisterStopsInOrder()
{
    WorkingFolder folder;
    const QByteArray damaged("SQLite format 3\0garbage garbage garbage garbage garbage garbage", 64);
    QFile file(Schema::registerFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(damaged);
    file.close();

    Messages::ScriptedResponder responder;
    responder.answerYes();
    QVERIFY(!startSentaro());
    QCOMPARE(responder.shown().size(), 1);
    QVERIFY2(responder.shown().constFirst().contains(Schema::registerFile), qPrintable(responder.shown().constFirst()));
    QVERIFY(Windows::endRequested());
    QVERIFY(!Windows::form11()->isVisible());
    QCOMPARE(fileBytes(Schema::registerFile), damaged);
}

void TestStartup::registerOfAnotherVersion_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("starts");
    QTest::addColumn<bool>("doubles"); // a volunteer with two rows in one activity
    QTest::newRow("made before versions were written") << 0 << true << false;
    QTest::newRow("the first version") << 1 << true << false;
    QTest::newRow("the second version, doubled presences") << 2 << true << true;
    QTest::newRow("a later version") << Schema::version + 1 << false << false;
}

// An earlier register is brought up to date with its rows; a later one is left alone.
void TestStartup::registerOfAnotherVersion()
{
    QFETCH(int, version);
    QFETCH(bool, starts);
    QFETCH(bool, doubles);
    WorkingFolder folder;
    QVERIFY(makeWorkingFiles());
    runSql(Schema::registerFile,
           {u"DROP INDEX IF EXISTS VOLOEXTRA_IDX1"_s, u"DROP INDEX ATTIVDETT_KEY"_s,
            u"insert into VOLO (COGN, NOME) values ('ROSSI', 'MARIO')"_s,
            u"insert into ATTIVDETT (DATAINATT, DESCRATT, COGN) values ('05/01/2011', 'SISMA', 'ROSSI MARIO'), "
            u"('05/01/2011', 'SISMA', '%1')"_s.arg(doubles ? u"ROSSI MARIO"_s : u"VERDI LUCA"_s),
            u"PRAGMA user_version = %1"_s.arg(version)});
    const QByteArray before = fileBytes(Schema::registerFile);

    Messages::ScriptedResponder responder;
    responder.answerYes();
    const bool started = startSentaro() != nullptr;
    QCOMPARE(started, starts);
    if (!starts) {
        QCOMPARE(responder.shown(),
                 QStringList{u"Il file attivita.mdb è di una versione di Sentaro più recente: aggiornare il programma."
                             u"\nSentaro si chiude senza modificare nulla."_s});
        QCOMPARE(fileBytes(Schema::registerFile), before);
        return;
    }
    // The doubles are kept, and said once; the key is added where there are none.
    QCOMPARE(responder.shown(),
             doubles ? QStringList{u"Presenze doppie: ROSSI MARIO in SISMA del 05/01/2011."_s} : QStringList());
    stopSentaro();
    QVERIFY(startSentaro());
    QCOMPARE(responder.shown().size(), doubles ? 1 : 0);
    QCOMPARE(
        queryValue(Schema::registerFile, u"select count(*) from sqlite_master where name = 'ATTIVDETT_KEY'"_s).toInt(),
        doubles ? 0 : 1);
    QCOMPARE(queryValue(Schema::registerFile, u"select count(*) from ATTIVDETT"_s).toInt(), 2);
    QCOMPARE(queryValue(Schema::registerFile, u"PRAGMA user_version"_s).toInt(), Schema::version);
    QCOMPARE(queryValue(Schema::registerFile, u"select count(*) from VOLO"_s).toInt(), 1);
}

// A program that dies in the middle of a write with a rollback journal (an archive opened
// in that mode, or the first switch to the log) leaves a journal beside the file: the next
// start puts the file back as it was and starts, instead of calling it damaged.
void TestStartup::writeCutShortByACrashIsRolledBack()
{
#ifdef Q_OS_WIN
    QSKIP("the writer that dies halfway is a forked process");
#else
    WorkingFolder folder;
    QVERIFY(makeWorkingFiles());
    QStringList rows{u"PRAGMA journal_mode = DELETE"_s};
    for (int i = 0; i < 300; ++i)
        rows << u"insert into VOLO (COGN, NOME) values ('V%1', 'NOME')"_s.arg(i);
    runSql(Schema::registerFile, rows);
    const pid_t child = fork();
    if (child == 0) {
        // Changes every row with a one-page cache, so that pages reach the file, and dies.
        sqlite3 *db = nullptr;
        if (sqlite3_open(Schema::registerFile.toUtf8().constData(), &db) == SQLITE_OK)
            sqlite3_exec(db, "PRAGMA cache_size = 1; BEGIN; UPDATE VOLO SET NOME = 'CAMBIATO';", nullptr, nullptr,
                         nullptr);
        _exit(0);
    }
    QVERIFY(child > 0);
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(QFile::exists(Schema::registerFile + u"-journal"_s));

    Messages::ScriptedResponder responder;
    QVERIFY2(startSentaro(), qPrintable(responder.shown().join(u" | "_s)));
    QVERIFY(responder.shown().isEmpty());
    QCOMPARE(queryValue(Schema::registerFile, u"select count(*) from VOLO where NOME = 'NOME'"_s).toInt(), 300);
    QCOMPARE(queryValue(Schema::registerFile, u"PRAGMA integrity_check"_s).toString(), u"ok"_s);
    qInfo("RELIABILITY write killed halfway with a rollback journal: the next start rolled it back, 300 of 300 "
          "rows as last stored");
#endif
}

void TestStartup::closingTheMainWindowEndsTheProgram()
{
    WorkingFolder folder;
    Messages::ScriptedResponder responder;
    Form1 *main = startSentaro();
    QVERIFY(main);
    Windows::formvol()->show();
    main->close();
    QVERIFY(Windows::endRequested());
    QVERIFY(!Windows::formvol()->isVisible());
    QVERIFY(!Windows::form11()->isVisible());
}

void TestStartup::boxesSpeakItalianOverTheWindowInUse()
{
    WorkingFolder folder;
    {
        Messages::ScriptedResponder responder;
        QVERIFY(startSentaro());
        // Scripted questions keep their default answer for tests to check.
        responder.answerNo(2);
        Messages::askYesNo(u"Azzero l'archivio attività?"_s, Messages::Default::No);
        Messages::askOkCancel(u"Vuoi modificare?"_s);
        QCOMPARE(responder.defaults(), (QList<Messages::Default>{Messages::Default::No, Messages::Default::Yes}));
        // A sentence joined from parts that each end with a full stop ends with one; an ellipsis stays.
        Messages::report(u"Copia non riuscita: l'utente può solo consultare l'archivio.."_s);
        Messages::report(u"Attendere..."_s);
        QCOMPARE(responder.shown().mid(2), (QStringList{u"Copia non riuscita: l'utente può solo consultare "
                                                        u"l'archivio."_s,
                                                        u"Attendere..."_s}));
    }
    Formvol *working = Windows::formvol();
    Controls::showWindow(working);

    QStringList buttons;
    QString defaultButton;
    QWidget *owner = nullptr;
    int width = 0;
    const auto answer = [&](const QString &press) {
        // Offscreen, a closed box gives the activation to the first window, not back to its owner.
        QApplication::setActiveWindow(working);
        QTimer::singleShot(0, working, [&, press]() {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            owner = dialog->parentWidget();
            width = dialog->width();
            buttons.clear();
            QAbstractButton *toPress = nullptr;
            for (QAbstractButton *button : dialog->findChildren<QAbstractButton *>()) {
                buttons << button->text();
                if (auto *push = qobject_cast<QPushButton *>(button); push && push->isDefault())
                    defaultButton = push->text();
                if (button->text() == press)
                    toPress = button;
            }
            QVERIFY(toPress);
            toPress->click();
        });
    };
    answer(u"No"_s);
    QVERIFY(!Messages::askYesNo(u"Azzero?"_s, Messages::Default::No));
    QCOMPARE(buttons, (QStringList{u"Sì"_s, u"No"_s}));
    QCOMPARE(defaultButton, u"No"_s);
    QCOMPARE(owner, working);
    QVERIFY2(width >= 260, qPrintable(QString::number(width)));

    answer(u"OK"_s);
    QVERIFY(Messages::askOkCancel(u"Confermi?"_s, Messages::Default::No));
    QCOMPARE(buttons, (QStringList{u"OK"_s, u"Annulla"_s}));
    QCOMPARE(defaultButton, u"Annulla"_s);

    answer(u"Annulla"_s);
    QVERIFY(!Messages::prompt(u"Data?"_s));
    QCOMPARE(buttons, (QStringList{u"OK"_s, u"Annulla"_s}));
    QCOMPARE(owner, working);

    // Qt's own texts come from its Italian translations.
    std::unique_ptr<QMenu> menu(working->fvcogn->createStandardContextMenu());
    QStringList entries;
    for (const QAction *action : menu->actions())
        entries << action->text();
    QVERIFY2(entries.join(u'|').contains(u"&Copia"_s), qPrintable(entries.join(u", "_s)));
}

void TestStartup::typingInADropDownListCompletesNothing()
{
    QWidget window;
    QComboBox *plain = Controls::comboBox(&window, u"plain"_s, 0, 0, 3000);
    QComboBox *places = Controls::comboBox(&window, u"places"_s, 0, 400, 3000);
    Controls::offerPopupCompletion(places);
    for (QComboBox *combo : {plain, places})
        Controls::fillCombo(combo, {u"NEVE BORMIO"_s, u"SISMA"_s, u"BORMIO ALTA"_s});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (QComboBox *combo : {plain, places}) {
        combo->setFocus();
        QTest::keyClicks(combo->lineEdit(), u"NEVE"_s);
        QCOMPARE(combo->currentText(), u"NEVE"_s);
    }
    // The pop-up offers every entry holding the text; the user picks one to take it.
    QTest::keyClicks(places->lineEdit(), u" "_s);
    QCOMPARE(places->completer()->completionCount(), 1);
    QCOMPARE(places->currentText(), u"NEVE "_s);
}

void TestStartup::windowsOpenOnTheScreen()
{
    WorkingFolder folder;
    Messages::ScriptedResponder responder;
    Form1 *main = startSentaro();
    QVERIFY(main);
    const QRect screen = main->screen()->availableGeometry();
    for (QWidget *window : {static_cast<QWidget *>(main), static_cast<QWidget *>(Windows::formvol()),
                            static_cast<QWidget *>(Windows::form11())}) {
        Controls::showWindow(window);
        QVERIFY2(screen.contains(window->frameGeometry()),
                 qPrintable(window->objectName() + u" "_s + QString::number(window->frameGeometry().bottom())));
    }
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
