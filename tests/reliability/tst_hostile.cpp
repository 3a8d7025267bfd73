#include "activities/activityregistry.h"
#include "activities/form2.h"
#include "app/form1.h"
#include "app/gridmodel.h"
#include "app/windows.h"
#include "common/controls.h"
#include "common/globals.h"
#include "common/messages.h"
#include "organisations/formass.h"
#include "participation/form3.h"
#include "statistics/form4.h"
#include "store/schema.h"
#include "testsupport.h"
#include "volunteers/formvol.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QStringList hostile = {
    u"\"virgolette\" e \"\""_s,
    u"l'apostrofo d''altri"_s,
    u"back\\slash \\\\ \\n"_s,
    u"100% _sotto_ *stella* ?"_s,
    u"àèéìòù ÀÈÉÌÒÙ ç ß"_s,
    u"Ελληνικά Кириллица 中文"_s,
    u"emoji 😀👍🏽"_s,
    u"\u05E2\u05D1\u05E8\u05D9\u05EA \u202Ertl\u202C"_s,
    u"tab\tdentro"_s,
    u"a capo\r\nqui"_s,
    QString(10000, u'x'),
    QString(),
    u"   "_s,
    u"'; DROP TABLE VOLO; --"_s,
};

QVariant value(const QString &sql)
{
    return queryValue(Schema::registerFile, sql);
}

// The rows not written by a case, as one text to compare before and after.
QString otherRows()
{
    return value(u"select group_concat(COGN || '|' || NOME, ';') from VOLO where COGN = 'ROSSI'"_s).toString() +
           value(u"select group_concat(DENOM, ';') from ASSO where DENOM = 'GRUPPO'"_s).toString() +
           value(u"select group_concat(DESCRATT, ';') from ATTIVITA where DATAINATT = '05/01/2011'"_s).toString();
}
} // namespace

class TestHostile : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void activityWindow();
    void volunteerWindow();
    void organisationWindow();
    void detailsAndStatistics();
    void gridCells();

private:
    void tried(const QString &window, int stored, int refused);

    std::unique_ptr<WorkingFolder> m_folder;
    std::unique_ptr<Messages::ScriptedResponder> m_answers;
    Form1 *m_main = nullptr;
    QString m_before;
};

void TestHostile::init()
{
    m_folder = std::make_unique<WorkingFolder>();
    {
        Messages::ScriptedResponder quiet;
        QVERIFY(startSentaro());
        stopSentaro();
    }
    runSql(Schema::registerFile,
           {u"insert into ASSO (DENOM) values ('GRUPPO')"_s, u"insert into VOLO (COGN, NOME) values ('ROSSI', 'MARIO')"_s,
            u"insert into ATTIVITA (DATAINATT, DATAFIATT, DESCRATT, LOCATT, PROVATT, NOTE4) values "
            u"('05/01/2011', '05/01/2011', 'SISMA', 'ROMA', 'RM', '2011/01/05')"_s});
    m_answers = std::make_unique<Messages::ScriptedResponder>();
    m_answers->answerYesToAll();
    m_main = startSentaro();
    QVERIFY(m_main);
    m_before = otherRows();
}

void TestHostile::cleanup()
{
    QCOMPARE(otherRows(), m_before);
    QCOMPARE(value(u"PRAGMA integrity_check"_s).toString(), u"ok"_s);
    m_answers.reset();
    m_folder.reset();
}

void TestHostile::tried(const QString &window, int stored, int refused)
{
    qInfo("RELIABILITY hostile texts in %s: %d tried, %d stored and shown back exactly, %d refused with a message",
          qPrintable(window), int(hostile.size()), stored, refused);
}

void TestHostile::activityWindow()
{
    m_main->findChild<QAction *>(u"mnattins"_s)->trigger();
    Form2 *form = Windows::form2();
    int stored = 0;
    int refused = 0;
    for (qsizetype i = 0; i < hostile.size(); ++i) {
        const QString date = QDate(2012, 1, 1).addDays(i).toString(u"dd/MM/yyyy"_s);
        form->f2datain->setEditText(date);
        form->f2datafi->setText(date);
        form->f2descr->setEditText(hostile[i]);
        form->f2loc->setText(hostile[i]);
        form->f2prov->setText(hostile[i]);
        form->f2note1->setText(hostile[i]);
        m_answers->clear();
        form->cmdreg->click();
        QCOMPARE(m_answers->shown().size(), 1);
        if (m_answers->shown()[0] != u"attività inserita regolarmente."_s) {
            ++refused;
            QCOMPARE(value(u"select count(*) from ATTIVITA where DATAINATT = '"_s + date + u"'"_s).toInt(), 0);
            continue;
        }
        ++stored;
        const QString expected = hostile[i].toUpper();
        QCOMPARE(value(u"select DESCRATT from ATTIVITA where DATAINATT = '"_s + date + u"'"_s).toString(), expected);
        QCOMPARE(value(u"select LOCATT from ATTIVITA where DATAINATT = '"_s + date + u"'"_s).toString(), expected);
        // The note box keeps at most 100 characters, with its own line ends: stored as it shows them.
        QCOMPARE(value(u"select NOTE1 from ATTIVITA where DATAINATT = '"_s + date + u"'"_s).toString(),
                 form->f2note1->text());
        // Shown back as stored.
        form->f2loc->clear();
        caricaattivitaform2();
        const int entry = form->f2datain->findText(date);
        QVERIFY(entry >= 0);
        form->f2datain->setCurrentIndex(entry);
        emit form->f2datain->activated(entry);
        QCOMPARE(form->f2descr->currentText(), expected);
        QCOMPARE(form->f2loc->text(), expected);
    }
    // The empty text is refused ("Manca ..."); blanks are a description like any other.
    QVERIFY(refused >= 1);
    tried(u"Form2"_s, stored, refused);
}

void TestHostile::volunteerWindow()
{
    Formvol *form = Windows::formvol();
    int stored = 0;
    int refused = 0;
    for (qsizetype i = 0; i < hostile.size(); ++i) {
        globals().tipoopvol = u"I"_s;
        const QString surname = hostile[i].left(20) + QString::number(i);
        form->cmbassdenom->setEditText(u"GRUPPO"_s);
        form->fvcogn->setText(surname);
        form->fvnome->setText(hostile[i]);
        form->fvindir->setText(hostile[i]);
        form->fvnote3->setText(hostile[i]);
        m_answers->clear();
        form->cmdregistra->click();
        QCOMPARE(m_answers->shown().size(), 1);
        if (m_answers->shown()[0] != u"Volontario inserito"_s) {
            ++refused;
            continue;
        }
        ++stored;
        // Shown back on the volunteer window, found by its name.
        globals().tipoopvol = u"V"_s;
        QString chosen = surname.toUpper() + u' ' + hostile[i].toUpper();
        while (chosen.endsWith(u' '))
            chosen.chop(1);
        globals().volontarioscelto = chosen;
        activate(m_main);
        m_answers->clear();
        activate(form);
        QVERIFY2(m_answers->shown().isEmpty(), qPrintable(m_answers->shown().join(u'|')));
        QCOMPARE(form->fvindir->text(), hostile[i].toUpper());
        QCOMPARE(form->fvnote3->text(), hostile[i].toUpper());
        QCOMPARE(value(u"select count(*) from VOLO"_s).toInt(), stored + 1);
    }
    // Names over 25 characters are refused.
    QVERIFY(refused >= 1);
    tried(u"Formvol"_s, stored, refused);
}

void TestHostile::organisationWindow()
{
    Formass *form = Windows::formass();
    int stored = 0;
    int refused = 0;
    for (qsizetype i = 0; i < hostile.size(); ++i) {
        globals().tipoopass = u"I"_s;
        const QString name = QString::number(i) + hostile[i].left(30);
        form->cmbassdenom->setEditText(name);
        form->assindir->setText(hostile[i]);
        form->assemail->setText(hostile[i]);
        m_answers->clear();
        form->cmdassregistra->click();
        if (m_answers->shown().value(0) != u"Organizzazione inserita regolarmente."_s) {
            ++refused;
            continue;
        }
        ++stored;
        QString expected = name.toUpper();
        expected.replace(u'"', u'\'');
        QCOMPARE(value(u"select MAIL from ASSO where INDIR is not null and rowid = (select max(rowid) from ASSO)"_s)
                     .toString(),
                 hostile[i]);
        // Shown back when chosen from the list.
        const int entry = form->cmbassdenom->findText(expected);
        QVERIFY2(entry >= 0, qPrintable(expected));
        form->cmbassdenom->setCurrentIndex(entry);
        emit form->cmbassdenom->activated(entry);
        QCOMPARE(form->assindir->text(), hostile[i].toUpper());
        QCOMPARE(form->assemail->text(), hostile[i]);
    }
    tried(u"Formass"_s, stored, refused);
}

void TestHostile::detailsAndStatistics()
{
    Form3 *form = Windows::form3();
    activate(form);
    int refusedHours = 0;
    for (const QString &text : hostile) {
        // Hours: a number or a message, nothing written.
        globals().dataattivita = u"05/01/2011"_s;
        form->f3descr->setEditText(u"SISMA"_s);
        form->List2->item(1)->setSelected(true);
        form->orestandard->setText(text);
        m_answers->clear();
        form->cmdr6->click();
        QCOMPARE(m_answers->shown().size(), 1);
        ++refusedHours;
        QCOMPARE(value(u"select count(*) from ATTIVDETT"_s).toInt(), 0);
        form->List2->clearSelection();
        // A search for anything finds or not, and never fails.
        form->f3descr->setEditText(text);
        form->cmdcerca->click();
    }
    tried(u"Form3 (hours)"_s, 0, refusedHours);

    m_main->findChild<QAction *>(u"mnstatcombi"_s)->trigger();
    Form4 *statistics = Windows::form4();
    int refusedDates = 0;
    for (const QString &text : hostile) {
        statistics->f4datada->setText(text);
        m_answers->clear();
        statistics->cmdelab->click();
        QVERIFY(!m_answers->shown().isEmpty());
        QCOMPARE(m_answers->shown().last(), u"Data inizio errata."_s);
        ++refusedDates;
    }
    tried(u"Form4 (dates)"_s, 0, refusedDates);
}

void TestHostile::gridCells()
{
    m_main->showInGrid(u"select * from VOLO order by COGN, NOME"_s, u"V"_s);
    GridModel *grid = m_main->gridModel;
    int stored = 0;
    for (const QString &text : hostile) {
        const QModelIndex cell = grid->index(0, 4);
        m_answers->clear();
        grid->setData(cell, text);
        QCOMPARE(grid->index(0, 4).data().toString(), text);
        QCOMPARE(value(u"select INDIR from VOLO where COGN = 'ROSSI'"_s).toString(), text);
        ++stored;
    }
    tried(u"DBGrid1"_s, stored, 0);
}

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
