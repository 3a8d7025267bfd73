#include "activities/activityregistry.h"
#include "activities/form2.h"
#include "app/form1.h"
#include "app/gridmodel.h"
#include "app/windows.h"
#include "common/globals.h"
#include "organisations/formass.h"
#include "participation/form3.h"
#include "statistics/form4.h"
#include "store/schema.h"
#include "testsupport.h"
#include "ui/controls.h"
#include "ui/messages.h"
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

// The condition that picks the row of `table` written last.
QString latestRow(const QString &table)
{
    // A server's rows have no order of their own; the newest transaction wrote the last.
    const QString id = serverArchive() ? u"xmin::text::bigint"_s : u"rowid"_s;
    return u"%1 = (select max(%1) from %2)"_s.arg(id, table);
}

// The free-text boxes of the volunteer window (names, birth date and sex aside).
std::vector<QLineEdit *> textBoxes(Formvol *form)
{
    return {form->fvindir,  form->fvcap,  form->fvcitta, form->fvprov, form->fvcfisc,
            form->fvprovna, form->fvnote, form->fvnote2, form->fvnote3};
}

// The boxes of the organisation window (its name aside).
std::vector<QLineEdit *> textBoxes(Formass *form)
{
    return {form->assindir, form->asscap,   form->asscomune, form->assprov,    form->asstel,
            form->assfax,   form->assemail, form->assresp,   form->asstelresp, form->fasscodass};
}

// The rows not written by a case, as one text to compare before and after.
QString otherRows()
{
    return value(u"select group_concat(COGN || '|' || NOME, ';') from VOLO where COGN = 'ROSSI'"_s).toString() +
           value(u"select group_concat(DENOM, ';') from ASSO where DENOM = 'GRUPPO'"_s).toString() +
           value(u"select group_concat(DESCRATT, ';') from ATTIVITA where DATAINATT = '05/01/2011'"_s).toString();
}
} // namespace

class TestHostile : public ProgramTest {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void activityWindow();
    void activityDatesAndHours();
    void volunteerWindow();
    void organisationWindow();
    void detailsAndStatistics();
    void gridCells();

private:
    void tried(const QString &window, int stored, int refused);

    QString m_before;
};

void TestHostile::init()
{
    QVERIFY(start({u"insert into ASSO (DENOM) values ('GRUPPO')"_s,
                   u"insert into VOLO (COGN, NOME) values ('ROSSI', 'MARIO')"_s,
                   u"insert into ATTIVITA (DATAINATT, DATAFIATT, DESCRATT, LOCATT, PROVATT, NOTE4) values "
                   u"('05/01/2011', '05/01/2011', 'SISMA', 'ROMA', 'RM', '2011/01/05')"_s},
                  [this] { m_answers->answerYesToAll(); }));
    m_before = otherRows();
}

void TestHostile::cleanup()
{
    QCOMPARE(otherRows(), m_before);
    QCOMPARE(registerIntegrity(), u"ok"_s);
    finish();
}

void TestHostile::tried(const QString &window, int stored, int refused)
{
    qInfo("RELIABILITY hostile texts in %s: %d tried, %d stored and shown back exactly, %d refused with a message",
          qPrintable(window), stored + refused, stored, refused);
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
        form->f2note2->setText(hostile[i]);
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
        QCOMPARE(value(u"select PROVATT from ATTIVITA where DATAINATT = '"_s + date + u"'"_s).toString(), expected);
        // The note boxes keep at most 100 characters, with their own line ends: stored as they show them.
        QCOMPARE(value(u"select NOTE1 from ATTIVITA where DATAINATT = '"_s + date + u"'"_s).toString(),
                 form->f2note1->text());
        QCOMPARE(value(u"select NOTE2 from ATTIVITA where DATAINATT = '"_s + date + u"'"_s).toString(),
                 form->f2note2->text());
        // Shown back as stored.
        form->f2loc->clear();
        caricaattivitaform2();
        const int entry = form->f2datain->findText(date);
        QVERIFY(entry >= 0);
        form->f2datain->setCurrentIndex(entry);
        emit form->f2datain->activated(entry);
        QCOMPARE(form->f2descr->currentText(), expected);
        QCOMPARE(form->f2loc->text(), expected);
        QCOMPARE(form->f2prov->text(), expected);
    }
    // The empty text is refused ("Manca ..."); blanks are a description like any other.
    QVERIFY(refused >= 1);
    tried(u"Form2"_s, stored, refused);
}

// The boxes that hold dates and hours: each hostile text is refused with a message before
// anything is written; only empty hours are taken, as 0.
void TestHostile::activityDatesAndHours()
{
    m_main->findChild<QAction *>(u"mnattins"_s)->trigger();
    Form2 *form = Windows::form2();
    const std::vector<std::pair<QLineEdit *, bool>> boxes{
        {form->f2datain->lineEdit(), false}, {form->f2datafi, false}, {form->f2oretot, true}, {form->f2oreuomo, true}};
    int stored = 0;
    int refused = 0;
    for (const auto &[box, hours] : boxes) {
        for (const QString &text : hostile) {
            form->f2datain->setEditText(u"01/03/2013"_s);
            form->f2datafi->setText(u"01/03/2013"_s);
            form->f2descr->setEditText(u"CONTROLLO"_s);
            form->f2loc->setText(u"ROMA"_s);
            form->f2prov->setText(u"RM"_s);
            form->f2oretot->setText(u"1"_s);
            form->f2oreuomo->setText(u"1"_s);
            box->setText(text);
            m_answers->clear();
            form->cmdreg->click();
            // A wrong date is told twice: its form, then which date.
            QVERIFY(!m_answers->shown().isEmpty());
            const int written = value(u"select count(*) from ATTIVITA where DESCRATT = 'CONTROLLO'"_s).toInt();
            if (m_answers->shown().last() == u"attività inserita regolarmente."_s) {
                QVERIFY2(hours && text.trimmed().isEmpty(), qPrintable(box->objectName() + u": "_s + text.left(40)));
                QCOMPARE(written, 1);
                runSql(Schema::registerFile, {u"delete from ATTIVITA where DESCRATT = 'CONTROLLO'"_s});
                ++stored;
            } else {
                QCOMPARE(written, 0);
                ++refused;
            }
        }
    }
    qInfo("RELIABILITY hostile texts in Form2 (dates and hours, 4 boxes): %d tried, %d empty hours taken as 0, "
          "%d refused with a message",
          int(hostile.size() * boxes.size()), stored, refused);
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
        for (QLineEdit *box : textBoxes(form))
            box->setText(hostile[i]);
        form->fvluogona->setEditText(hostile[i]);
        form->cmbspec->setEditText(hostile[i]);
        m_answers->clear();
        form->cmdregistra->click();
        QVERIFY2(m_answers->shown().size() == 1, qPrintable(m_answers->shown().join(u" | "_s)));
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
        // Shown back in capitals, as the window stores them.
        for (QLineEdit *box : textBoxes(form))
            QCOMPARE(box->text(), hostile[i].toUpper());
        QCOMPARE(form->cmbspec->currentText(), hostile[i].toUpper());
        QCOMPARE(value(u"select LUOGONA from VOLO where "_s + latestRow(u"VOLO"_s)).toString(),
                 form->fvluogona->currentText());
        QCOMPARE(value(u"select count(*) from VOLO"_s).toInt(), stored + 1);
    }
    // Names over 25 characters are refused.
    QVERIFY(refused >= 1);
    tried(u"Formvol"_s, stored, refused);

    // The birth date and the sex: what is not one is refused with a message, nothing written;
    // empty is allowed.
    int refusedChecked = 0;
    int storedChecked = 0;
    const std::vector<std::pair<QLineEdit *, QString>> checked{{form->fvdatana, u"Data di nascita errata."_s},
                                                               {form->fvsesso, u"Sesso errato."_s}};
    for (const auto &[box, refusal] : checked) {
        for (const QString &text : hostile) {
            globals().tipoopvol = u"I"_s;
            for (QLineEdit *other : textBoxes(form))
                other->clear();
            form->fvdatana->clear();
            form->fvsesso->clear();
            form->fvluogona->setEditText(QString());
            form->cmbspec->setEditText(QString());
            form->cmbassdenom->setEditText(u"GRUPPO"_s);
            form->fvcogn->setText(u"CONTROLLO"_s);
            form->fvnome->setText(u"PROVA"_s);
            box->setText(text);
            m_answers->clear();
            form->cmdregistra->click();
            QVERIFY(!m_answers->shown().isEmpty());
            const int written = value(u"select count(*) from VOLO where COGN = 'CONTROLLO'"_s).toInt();
            if (text.isEmpty()) {
                QCOMPARE(m_answers->shown().last(), u"Volontario inserito"_s);
                QCOMPARE(written, 1);
                runSql(Schema::registerFile, {u"delete from VOLO where COGN = 'CONTROLLO'"_s});
                ++storedChecked;
            } else {
                QCOMPARE(m_answers->shown().last(), refusal);
                QCOMPARE(written, 0);
                ++refusedChecked;
            }
        }
    }
    tried(u"Formvol (birth date and sex)"_s, storedChecked, refusedChecked);
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
        for (QLineEdit *box : textBoxes(form))
            box->setText(hostile[i]);
        m_answers->clear();
        form->cmdassregistra->click();
        if (m_answers->shown().value(0) != u"Organizzazione inserita regolarmente."_s) {
            ++refused;
            continue;
        }
        ++stored;
        QString expected = name.toUpper();
        expected.replace(u'"', u'\'');
        QCOMPARE(value(u"select MAIL from ASSO where INDIR is not null and "_s + latestRow(u"ASSO"_s)).toString(),
                 hostile[i]);
        // Shown back when chosen from the list.
        const int entry = form->cmbassdenom->findText(expected);
        QVERIFY2(entry >= 0, qPrintable(expected));
        form->cmbassdenom->setCurrentIndex(entry);
        emit form->cmbassdenom->activated(entry);
        // Shown back as stored: in capitals, but for the postcode, the mail address and the code.
        for (QLineEdit *box : textBoxes(form)) {
            // A blank code is given the next free number.
            if (box == form->fasscodass && hostile[i].trimmed().isEmpty()) {
                QVERIFY(box->text().toInt() > 0);
                continue;
            }
            const bool asTyped = box == form->asscap || box == form->assemail || box == form->fasscodass;
            QCOMPARE(box->text(), asTyped ? hostile[i] : hostile[i].toUpper());
        }
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
        // A search for anything finds or not, and never fails; nor does choosing a date or a
        // volunteer that is not there.
        form->f3descr->setEditText(text);
        form->cmdcerca->click();
        form->f3datain->setEditText(text);
        emit form->f3datain->activated(form->f3datain->currentIndex());
        form->cmbvolo->setEditText(text);
        emit form->cmbvolo->activated(form->cmbvolo->currentIndex());
        QVERIFY(form->List2->selectedItems().isEmpty());
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
    statistics->f4datada->setText(u"01/01/2011"_s);
    for (const QString &text : hostile) {
        statistics->f4dataa->setText(text);
        m_answers->clear();
        statistics->cmdelab->click();
        QVERIFY(!m_answers->shown().isEmpty());
        QCOMPARE(m_answers->shown().last(), u"Data fine errata."_s);
        ++refusedDates;
    }
    tried(u"Form4 (dates)"_s, 0, refusedDates);
    // A volunteer that does not exist: statistics of nobody, no message. No volunteer, or a
    // risk class that does not exist, is named instead.
    statistics->f4dataa->setText(u"31/12/2011"_s);
    int listed = 0;
    for (QComboBox *choice : {statistics->cmbrisc, statistics->cmbvol}) {
        for (const QString &text : hostile) {
            statistics->cmbrisc->setEditText(u"TUTTI"_s);
            statistics->cmbvol->setEditText(u"TUTTI"_s);
            choice->setEditText(text);
            m_answers->clear();
            statistics->cmdelab->click();
            const QStringList expected = choice == statistics->cmbrisc ? QStringList{u"Scegliere il rischio."_s}
                                         : text.trimmed().isEmpty()    ? QStringList{u"Scegliere i volontari."_s}
                                                                       : QStringList{};
            QCOMPARE(m_answers->shown(), expected);
            ++listed;
        }
    }
    qInfo("RELIABILITY hostile texts in Form4 (risk class and volunteer): %d tried, statistics of nobody made "
          "without a message, nothing written",
          listed);
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
        // Stored in capitals, as the volunteer window stores an address.
        QCOMPARE(grid->index(0, 4).data().toString(), text.toUpper());
        QCOMPARE(value(u"select INDIR from VOLO where COGN = 'ROSSI'"_s).toString(), text.toUpper());
        ++stored;
    }
    tried(u"DBGrid1"_s, stored, 0);
}

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
