#include "activities/form2.h"
#include "app/form1.h"
#include "app/gridmodel.h"
#include "app/windows.h"
#include "common/clock.h"
#include "common/globals.h"
#include "database/datasource.h"
#include "store/schema.h"
#include "testsupport.h"
#include "ui/controls.h"
#include "ui/messages.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
QVariant value(const QString &sql)
{
    return queryValue(Schema::registerFile, sql);
}

int count(const QString &table, const QString &where = QString())
{
    return value(u"select count(*) from "_s + table + (where.isEmpty() ? QString() : u" where "_s + where)).toInt();
}

// The messages but a refused read: the one cut may be that of the lists after a change.
const QRegularExpression notRefused(u"^(?!Lettura dell'archivio non riuscita)"_s);
} // namespace

class TestForm2 : public ProgramTest {
    Q_OBJECT
private slots:
    void init();
    void registersInCapitalsOnce();
    void checksRunInOrder();
    void hoursMustBeNumbers();
    void choosingADateShowsTheLastActivityOfThatDay();
    void modifyChangesFieldsButNotTheStartDate();
    void renameMovesTheDetailsOrNothing();
    void renameRefusesOnlyATrueCollision();
    void changesReachTheDetailRows_data();
    void changesReachTheDetailRows();
    void deleteTakesTheDetailsOrNothing();
    void todayButtonFillsBothDates();

private:
    void open();
    void fill(const QString &start, const QString &end, const QString &description, const QString &place,
              const QString &province);
    void cutEveryRead(QPushButton *button, const QString &done);

    Form2 *m_form = nullptr;
};

void TestForm2::init()
{
    QVERIFY(
        start({u"insert into ATTIVITA (DATAINATT, DATAFIATT, DESCRATT, LOCATT, PROVATT, ORETOT, OREUOMO, NOTE1, NOTE4) "
               u"values ('05/01/2011', '06/01/2011', 'SISMA', 'MODENA', 'MO', 10, 40, 'NOTA', '2011/01/05')"_s,
               u"insert into ATTIVITA (DATAINATT, DATAFIATT, DESCRATT, LOCATT, PROVATT, ORETOT, NOTE4) "
               u"values ('05/01/2011', '05/01/2011', 'ALLUVIONE', 'PARMA', 'PR', 7.5, '2011/01/05')"_s,
               u"insert into ATTIVDETT (DATAINATT, DESCRATT, COGN, ORET6, OREUOMO) values "
               u"('05/01/2011', 'SISMA', 'ROSSI MARIO', 8, 8), ('05/01/2011', 'SISMA', 'BIANCHI ANNA', 4, 4), "
               u"('05/01/2011', 'ALLUVIONE', 'ROSSI MARIO', 2, 2)"_s}));
    open();
}

void TestForm2::open()
{
    m_main->findChild<QAction *>(u"mnattins"_s)->trigger();
    m_form = Windows::form2();
    QVERIFY(m_form->isVisible());
}

void TestForm2::fill(const QString &start, const QString &end, const QString &description, const QString &place,
                     const QString &province)
{
    m_form->f2datain->setEditText(start);
    m_form->f2datafi->setText(end);
    m_form->f2descr->setEditText(description);
    m_form->f2loc->setText(place);
    m_form->f2prov->setText(province);
}

// Refuses the store's reads from each step of a press in turn, until a press shows `done`:
// every press cut short says why, and never parts SISMA from its two detail rows.
void TestForm2::cutEveryRead(QPushButton *button, const QString &done)
{
    for (int steps = 0; steps < 40; ++steps) {
        DataSource::refuseReadsAfter(steps);
        m_answers->clear();
        m_answers->answerYes(6);
        button->click();
        DataSource::refuseReadsAfter(-1);
        QCOMPARE(count(u"ATTIVDETT"_s, u"DESCRATT = 'SISMA'"_s), 2 * count(u"ATTIVITA"_s, u"DESCRATT = 'SISMA'"_s));
        if (m_answers->shown().contains(done))
            return;
        QVERIFY2(!m_answers->shown().filter(u"lettura rifiutata"_s).isEmpty(),
                 qPrintable(m_answers->shown().join(u" | "_s)));
    }
    QFAIL("the press never went through");
}

void TestForm2::registersInCapitalsOnce()
{
    QCOMPARE(m_form->windowTitle(), u"Anagrafe Attività"_s);
    QCOMPARE(m_form->f2oretot->text(), u"0"_s);
    QCOMPARE(m_form->f2datain->count(), 2);
    fill(u"10/03/2010"_s, u"11/03/2010"_s, u"corso base"_s, u"Cantù"_s, u"co"_s);
    m_form->f2note1->setText(u"prima nota"_s);
    m_answers->answerYes();
    m_form->cmdreg->click();
    QCOMPARE(m_answers->shown(), QStringList{u"attività inserita regolarmente."_s});
    QCOMPARE(queryLines(Schema::registerFile, u"select DESCRATT, LOCATT, PROVATT, NOTE1, NOTE3, NOTE4, ORETOT "
                                              u"from ATTIVITA where DATAINATT = '10/03/2010'"_s)
                 .value(0),
             u"CORSO BASE|CANTÙ|CO|PRIMA NOTA||2010/03/10|0.0"_s);
    // The grid and Form2's own lists show it among the others.
    QCOMPARE(m_main->gridModel->rowCount(), 3);
    QCOMPARE(m_form->f2datain->count(), 3);
    QCOMPARE(m_form->f2descr->itemText(0), u"CORSO BASE"_s);
    QCOMPARE(m_form->f2descr->currentText(), u"CORSO BASE"_s);

    m_form->f2descr->setEditText(u"Corso Base"_s);
    m_answers->clear();
    m_answers->answerYes();
    m_form->cmdreg->click();
    QCOMPARE(m_answers->shown(), QStringList{u"Attività già esistente."_s});
    QCOMPARE(count(u"ATTIVITA"_s), 3);
}

void TestForm2::checksRunInOrder()
{
    const struct {
        QString start, end, description, place, province;
        QStringList messages;
    } cases[] = {
        {{}, u"01/01/2010"_s, u"X"_s, u"Y"_s, u"Z"_s, {u"Manca la data di inizio attività"_s}},
        {u"01/01/2010"_s, {}, u"X"_s, u"Y"_s, u"Z"_s, {u"Manca la data di fine attività"_s}},
        {u"01/01/2010"_s, u"01/01/2010"_s, {}, u"Y"_s, u"Z"_s, {u"Manca descrizione o nome dell'attività"_s}},
        {u"01/01/2010"_s,
         u"01/01/2010"_s,
         u"neve"_s,
         {},
         u"Z"_s,
         {u"Manca Località principale dove si è svolta l'attività"_s}},
        {u"01/01/2010"_s,
         u"01/01/2010"_s,
         u"neve"_s,
         u"roma"_s,
         {},
         {u"Manca la sigla della provincia principale dove si è svolta l'attività"_s}},
        {u"1/01/2010"_s,
         u"01/01/2010"_s,
         u"neve"_s,
         u"roma"_s,
         u"rm"_s,
         {u"Data errata. Deve essere nel formato GG/MM/AAAA."_s, u"Data inizio errata."_s}},
        {u"01/01/2010"_s,
         u"31/02/2010"_s,
         u"neve"_s,
         u"roma"_s,
         u"rm"_s,
         {u"Data errata. Deve essere nel formato GG/MM/AAAA."_s, u"Data fine errata."_s}},
        {u"02/01/2010"_s,
         u"01/01/2010"_s,
         u"neve"_s,
         u"roma"_s,
         u"rm"_s,
         {u"La data di fine è precedente alla data di inizio."_s}},
    };
    for (const auto &item : cases) {
        fill(item.start, item.end, item.description, item.place, item.province);
        m_answers->clear();
        m_answers->answerYes(int(item.messages.size()));
        m_form->cmdreg->click();
        QCOMPARE(m_answers->shown(), item.messages);
        m_answers->clear();
        m_answers->answerYes(int(item.messages.size()));
        m_form->cmdmodifica->click();
        QCOMPARE(m_answers->shown(), item.messages);
    }
    // The boxes that passed their check stay in capitals.
    QCOMPARE(m_form->f2descr->currentText(), u"NEVE"_s);
    QCOMPARE(m_form->f2loc->text(), u"ROMA"_s);
    QCOMPARE(count(u"ATTIVITA"_s), 2);
}

void TestForm2::hoursMustBeNumbers()
{
    fill(u"01/02/2012"_s, u"01/02/2012"_s, u"neve"_s, u"roma"_s, u"rm"_s);
    for (const QString &typed : {u"sette"_s, u"-2"_s, u"7,5,1"_s}) {
        m_form->f2oretot->setText(typed);
        m_answers->clear();
        m_answers->answerYes();
        m_form->cmdreg->click();
        QCOMPARE(m_answers->shown().size(), 1);
        QVERIFY2(m_answers->shown().constFirst().startsWith(u"Numero ore totali errato"_s),
                 qPrintable(m_answers->shown().constFirst()));
    }
    m_form->f2oretot->setText(u"7,5"_s);
    m_form->f2oreuomo->setText(u"dieci"_s);
    m_answers->clear();
    m_answers->answerYes();
    m_form->cmdreg->click();
    QVERIFY(m_answers->shown().constFirst().startsWith(u"Numero ore uomo errato"_s));
    QCOMPARE(count(u"ATTIVITA"_s), 2);

    m_form->f2oreuomo->clear();
    m_answers->clear();
    m_answers->answerYes();
    m_form->cmdreg->click();
    QCOMPARE(m_answers->shown(), QStringList{u"attività inserita regolarmente."_s});
    QCOMPARE(value(u"select ORETOT from ATTIVITA where DESCRATT = 'NEVE'"_s).toDouble(), 7.5);
    const QVariant empty = value(u"select OREUOMO from ATTIVITA where DESCRATT = 'NEVE'"_s);
    QCOMPARE(storageClass(empty), u"real"_s);
    QCOMPARE(empty.toDouble(), 0.0);
}

void TestForm2::choosingADateShowsTheLastActivityOfThatDay()
{
    choose(m_form->f2datain, u"05/01/2011"_s);
    QCOMPARE(m_form->f2descr->count(), 2);
    QCOMPARE(m_form->f2descr->itemText(0), u"ALLUVIONE"_s);
    QCOMPARE(m_form->f2descr->currentText(), u"SISMA"_s);
    QCOMPARE(m_form->f2loc->text(), u"MODENA"_s);
    QCOMPARE(m_form->f2oretot->text(), u"10"_s);
    QCOMPARE(globals().descrattivita, u"SISMA"_s);

    choose(m_form->f2descr, u"ALLUVIONE"_s);
    QCOMPARE(m_form->f2loc->text(), u"PARMA"_s);
    QCOMPARE(m_form->f2oretot->text(), u"7,5"_s);
    QCOMPARE(m_form->f2datafi->text(), u"05/01/2011"_s);
    QCOMPARE(globals().descrattivita, u"ALLUVIONE"_s);
}

void TestForm2::modifyChangesFieldsButNotTheStartDate()
{
    choose(m_form->f2datain, u"05/01/2011"_s);
    m_form->f2loc->setText(u"carpi"_s);
    m_answers->answerYes();
    m_form->cmdmodifica->click();
    QCOMPARE(m_answers->shown(), QStringList{u"attività modificata regolarmente."_s});
    QCOMPARE(value(u"select LOCATT from ATTIVITA where DESCRATT = 'SISMA'"_s).toString(), u"CARPI"_s);

    m_form->f2datain->setEditText(u"06/01/2011"_s);
    m_answers->clear();
    m_answers->answerYes();
    m_form->cmdmodifica->click();
    QCOMPARE(m_answers->shown(), QStringList{u"Attività non trovata."_s});
    QCOMPARE(count(u"ATTIVITA"_s, u"DATAINATT = '05/01/2011'"_s), 2);
}

void TestForm2::renameMovesTheDetailsOrNothing()
{
    choose(m_form->f2datain, u"05/01/2011"_s);
    m_form->f2descr->setEditText(u"terremoto"_s);
    // No: nothing is renamed, and the new name names no activity.
    m_answers->answerNo();
    m_answers->answerYes();
    m_form->cmdmodifica->click();
    QCOMPARE(m_answers->shown(), (QStringList{u"Vuoi modificare la denominazione? "_s, u"Attività non trovata."_s}));
    QCOMPARE(count(u"ATTIVDETT"_s, u"DESCRATT = 'SISMA'"_s), 2);

    // A failure while renaming the activity row takes back the details already renamed.
    refuseWrites(u"ATTIVITA"_s, u"UPDATE OF DESCRATT"_s, u"disco pieno"_s);
    m_answers->clear();
    m_answers->answerYes(2);
    m_form->cmdmodifica->click();
    QCOMPARE(m_answers->shown().size(), 2);
    QVERIFY2(m_answers->shown().at(1).contains(u"disco pieno"_s), qPrintable(m_answers->shown().at(1)));
    QCOMPARE(count(u"ATTIVDETT"_s, u"DESCRATT = 'SISMA'"_s), 2);
    QCOMPARE(count(u"ATTIVITA"_s, u"DESCRATT = 'SISMA'"_s), 1);
    allowWrites(u"ATTIVITA"_s);

    cutEveryRead(m_form->cmdmodifica, u"attività modificata regolarmente."_s);
    QCOMPARE(m_answers->shown().filter(notRefused),
             (QStringList{u"Vuoi modificare la denominazione? "_s, u"attività modificata regolarmente."_s}));
    QCOMPARE(count(u"ATTIVDETT"_s, u"DESCRATT = 'TERREMOTO'"_s), 2);
    QCOMPARE(count(u"ATTIVDETT"_s, u"DESCRATT = 'SISMA'"_s), 0);
    QCOMPARE(count(u"ATTIVITA"_s, u"DESCRATT = 'TERREMOTO' and DATAINATT = '05/01/2011'"_s), 1);
    // The other activity's details on that day keep their name.
    QCOMPARE(count(u"ATTIVDETT"_s, u"DESCRATT = 'ALLUVIONE'"_s), 1);
}

void TestForm2::renameRefusesOnlyATrueCollision()
{
    choose(m_form->f2datain, u"05/01/2011"_s);
    m_form->f2descr->setEditText(u"alluvione"_s);
    m_answers->answerYes(2);
    m_form->cmdmodifica->click();
    QCOMPARE(m_answers->shown(), (QStringList{u"Vuoi modificare la denominazione? "_s, u"Attività già esistente."_s}));
    QCOMPARE(count(u"ATTIVDETT"_s, u"DESCRATT = 'SISMA'"_s), 2);
    QCOMPARE(value(u"select LOCATT from ATTIVITA where DESCRATT = 'ALLUVIONE'"_s).toString(), u"PARMA"_s);
    QCOMPARE(count(u"ATTIVITA"_s), 2);

    // The name chosen before names no activity of the new day: nothing to rename, and the
    // activity just registered is changed.
    fill(u"01/02/2012"_s, u"01/02/2012"_s, u"neve"_s, u"roma"_s, u"rm"_s);
    m_answers->clear();
    m_answers->answerYes();
    m_form->cmdreg->click();
    m_form->f2note1->setText(u"spalata"_s);
    m_answers->clear();
    m_answers->answerYes(2);
    m_form->cmdmodifica->click();
    QCOMPARE(m_answers->shown(),
             (QStringList{u"Vuoi modificare la denominazione? "_s, u"attività modificata regolarmente."_s}));
    QCOMPARE(value(u"select NOTE1 from ATTIVITA where DESCRATT = 'NEVE'"_s).toString(), u"SPALATA"_s);
    QCOMPARE(count(u"ATTIVITA"_s, u"DESCRATT = 'SISMA'"_s), 1);
}

void TestForm2::deleteTakesTheDetailsOrNothing()
{
    // No: not even the checks run.
    m_answers->answerNo();
    m_form->cmdelimina->click();
    QCOMPARE(m_answers->shown(), QStringList{u"Confermi l'eliminazione dall'attività?"_s});
    QCOMPARE(m_answers->defaults(), QList<Messages::Default>{Messages::Default::No});

    choose(m_form->f2datain, u"05/01/2011"_s);
    refuseWrites(u"ATTIVITA"_s, u"DELETE"_s, u"archivio bloccato"_s);
    m_answers->clear();
    m_answers->answerYes(2);
    m_form->cmdelimina->click();
    QVERIFY(m_answers->shown().at(1).contains(u"archivio bloccato"_s));
    QCOMPARE(count(u"ATTIVDETT"_s, u"DESCRATT = 'SISMA'"_s), 2);
    allowWrites(u"ATTIVITA"_s);

    cutEveryRead(m_form->cmdelimina, u"attività eliminata regolarmente."_s);
    QCOMPARE(m_answers->shown().filter(notRefused),
             (QStringList{u"Confermi l'eliminazione dall'attività?"_s, u"attività eliminata regolarmente."_s}));
    QCOMPARE(count(u"ATTIVITA"_s), 1);
    QCOMPARE(count(u"ATTIVDETT"_s, u"DESCRATT = 'SISMA'"_s), 0);
    QCOMPARE(count(u"ATTIVDETT"_s), 1);
    QCOMPARE(m_main->gridModel->rowCount(), 1);

    m_answers->clear();
    m_answers->answerYes(2);
    m_form->cmdelimina->click();
    QCOMPARE(m_answers->shown().at(1), u"Attività non trovata."_s);
}

void TestForm2::changesReachTheDetailRows_data()
{
    QTest::addColumn<bool>("grid");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("otherPc"); // run once the row is shown; "GRID" moves it to RIETI in the grid
    QTest::addColumn<QString>("answers"); // Y or N to each question, then Y to every message
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("stored"); // the field's value afterwards
    QTest::addColumn<int>("copied");     // the activity's detail rows that hold its dates and place

    const QString done = u"attività modificata regolarmente."_s;
    const QString question = u"Ore superiori alla durata dell'attività: confermi?"_s;
    const QString longer = u"update ATTIVDETT set ORET6 = 30 where COGN = 'ROSSI MARIO'"_s;
    const QString moved = u"update ATTIVITA set LOCATT = 'RIETI' where DESCRATT = 'SISMA'"_s;
    const QString elsewhere = u"Il record è stato cambiato o eliminato da un'altra postazione: "_s;
    QTest::newRow("window end") << false << u"DATAFIATT"_s << u"09/01/2011"_s << QString() << QString()
                                << QStringList{done} << u"09/01/2011"_s << 2;
    QTest::newRow("window place") << false << u"LOCATT"_s << u"carpi"_s << QString() << QString() << QStringList{done}
                                  << u"CARPI"_s << 2;
    QTest::newRow("window province") << false << u"PROVATT"_s << u"re"_s << QString() << QString() << QStringList{done}
                                     << u"RE"_s << 2;
    QTest::newRow("window shorter, no") << false << u"DATAFIATT"_s << u"05/01/2011"_s << longer << u"N"_s
                                        << QStringList{question} << u"06/01/2011"_s << 0;
    QTest::newRow("window shorter, yes") << false << u"DATAFIATT"_s << u"05/01/2011"_s << longer << u"Y"_s
                                         << QStringList{question, done} << u"05/01/2011"_s << 2;
    QTest::newRow("window over another PC's change")
        << false << u"DATAFIATT"_s << u"09/01/2011"_s << moved << QString()
        << QStringList{elsewhere + u"lo mostro come è ora."_s} << u"06/01/2011"_s << 0;
    QTest::newRow("window over the grid's change")
        << false << u"DATAFIATT"_s << u"09/01/2011"_s << u"GRID"_s << QString()
        << QStringList{elsewhere + u"lo mostro come è ora."_s} << u"06/01/2011"_s << 2;
    QTest::newRow("grid start") << true << u"DATAINATT"_s << u"06/01/2011"_s << QString() << QString() << QStringList()
                                << u"06/01/2011"_s << 2;
    QTest::newRow("grid end") << true << u"DATAFIATT"_s << u"08/01/2011"_s << QString() << QString() << QStringList()
                              << u"08/01/2011"_s << 2;
    QTest::newRow("grid place") << true << u"LOCATT"_s << u"carpi"_s << QString() << QString() << QStringList()
                                << u"CARPI"_s << 2;
    QTest::newRow("grid name") << true << u"DESCRATT"_s << u"terremoto"_s << QString() << u"Y"_s
                               << QStringList{u"Vuoi modificare la denominazione? "_s} << u"TERREMOTO"_s << 2;
    QTest::newRow("grid shorter, no") << true << u"DATAFIATT"_s << u"05/01/2011"_s << longer << u"N"_s
                                      << QStringList{question} << u"06/01/2011"_s << 0;
    QTest::newRow("grid over another PC's change")
        << true << u"PROVATT"_s << u"re"_s << moved << QString()
        << QStringList{elsewhere + u"la griglia è stata ricaricata."_s} << u"MO"_s << 0;
}

// Detail rows copy their activity's identity, dates, place and province: every change of those,
// from the registry or the grid, reaches all of them at once, and only over what was shown.
void TestForm2::changesReachTheDetailRows()
{
    QFETCH(bool, grid);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, otherPc);
    QFETCH(QString, answers);
    QFETCH(QStringList, shown);
    QFETCH(QString, stored);
    QFETCH(int, copied);

    const auto showGrid = [&]() { emit m_main->findChild<QMenu *>(u"mnattiv"_s)->aboutToShow(); };
    const auto gridEdit = [&](const QString &gridField, const QString &text) {
        GridModel *model = m_main->gridModel;
        int row = 0;
        while (row < model->rowCount() && model->index(row, 2).data().toString() != u"SISMA"_s)
            ++row;
        int column = 0;
        while (column < model->columnCount() && model->fieldName(column) != gridField)
            ++column;
        model->setData(model->index(row, column), text);
    };
    const auto press = [&](const std::function<void()> &change) {
        if (otherPc == u"GRID"_s) {
            showGrid();
            gridEdit(u"LOCATT"_s, u"RIETI"_s);
        } else if (!otherPc.isEmpty()) {
            runSql(Schema::registerFile, {otherPc});
        }
        for (const QChar answer : std::as_const(answers))
            answer == u'Y' ? m_answers->answerYes() : m_answers->answerNo();
        m_answers->answerYes(3);
        change();
    };
    if (grid) {
        m_form->cmdesci->click();
        showGrid();
        press([&]() { gridEdit(field, typed); });
    } else {
        choose(m_form->f2datain, u"05/01/2011"_s);
        QLineEdit *box = field == u"DATAFIATT"_s ? m_form->f2datafi
                         : field == u"LOCATT"_s  ? m_form->f2loc
                                                 : m_form->f2prov;
        box->setText(typed);
        press([&]() { m_form->cmdmodifica->click(); });
        // Refused, the window shows the activity as the other PC left it.
        if (otherPc.contains(u"RIETI"_s) || otherPc == u"GRID"_s)
            QCOMPARE(m_form->f2loc->text(), u"RIETI"_s);
    }
    QCOMPARE(m_answers->shown(), shown);
    const QString activity = field == u"DESCRATT"_s ? stored : u"SISMA"_s;
    QCOMPARE(value(u"select %1 from ATTIVITA where DESCRATT = '%2'"_s.arg(field, activity)).toString(), stored);
    QCOMPARE(count(u"ATTIVDETT d"_s,
                   u"exists (select 1 from ATTIVITA a where a.DESCRATT = d.DESCRATT and a.DATAINATT = d.DATAINATT "
                   u"and a.DATAFIATT = d.DATAFIATT and a.LOCATT = d.LOCATT and a.PROVATT = d.PROVATT and "
                   u"a.DESCRATT = '%1')"_s.arg(activity)),
             copied);
}

void TestForm2::todayButtonFillsBothDates()
{
    Clock::setFixed(QDateTime(QDate(2011, 3, 6), QTime(14, 5, 9)));
    m_form->Command1->click();
    QCOMPARE(m_form->f2datain->currentText(), u"06/03/2011"_s);
    QCOMPARE(m_form->f2datafi->text(), u"06/03/2011"_s);
    m_form->cmdesci->click();
    QVERIFY(!m_form->isVisible());
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
