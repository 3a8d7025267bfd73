#include "app/form1.h"
#include "app/gridmodel.h"
#include "common/globals.h"
#include "database/datasource.h"
#include "organisations/formass.h"
#include "store/schema.h"
#include "testsupport.h"
#include "ui/messages.h"
#include "ui/windowaccess.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
QVariant value(const QString &sql)
{
    return queryValue(Schema::registerFile, sql);
}

int organisations()
{
    return value(u"select count(*) from ASSO"_s).toInt();
}
} // namespace

class TestFormass : public ProgramTest {
    Q_OBJECT
private slots:
    void init();
    void menuSetsTheOperation();
    void insertsInCapitals();
    void nameLengthAndQuotes();
    void duplicateInOtherCaseIsRefused();
    void modifyResetsHiddenFields();
    void deleteAsksEveryTime();
    void choosingANameFillsTheBoxes();
    void refusedReadsAreSaid();

private:
    void open(const QString &command);
    void confirm(const QStringList &messages, int okAnswers = -1);

    Formass *m_form = nullptr;
};

void TestFormass::init()
{
    QVERIFY(
        start({u"insert into ASSO (CODASS, DENOM, INDIR, CAP, CITTA, PROV, TEL, FAX, MAIL, CFISC, SPEC, DATA1, DATAU, "
               u"NUMVOL, RESP, TELRESP, NOTE3) values ('A1', 'GRUPPO ALFA', 'VIA UNO', '00100', 'ROMA', 'RM', '06 1', "
               u"'06 2', 'alfa@gruppo.it', '97000000000', 'RADIO', '01/01/2000', '01/01/2010', 35, 'ROSSI', '333', "
               u"'NOTA')"_s}));
}

void TestFormass::open(const QString &command)
{
    m_main->findChild<QAction *>(command)->trigger();
    m_form = Windows::formass();
    QVERIFY(m_form->isVisible());
    activate(m_form);
}

void TestFormass::confirm(const QStringList &messages, int okAnswers)
{
    m_answers->clear();
    m_answers->answerYes(okAnswers < 0 ? int(messages.size()) : okAnswers);
    m_form->cmdassregistra->click();
    QCOMPARE(m_answers->shown(), messages);
}

void TestFormass::menuSetsTheOperation()
{
    const struct {
        QString command, operation, caption, title, button;
    } cases[] = {
        {u"mnorgaggman"_s, u"I"_s, u"Organizzazioni - Inserimento"_s, u" Inserimento nuova organizzazione"_s,
         u"Registra"_s},
        {u"mnorgaggmod"_s, u"M"_s, u"Organizzazioni - Modifica"_s, u"Modifica Organizzazione"_s, u"Modifica"_s},
        {u"mnorgaggann"_s, u"A"_s, u"Organizzazioni - Cancellazione"_s, u"Cancellazione di una Organizzazione"_s,
         u"Elimina"_s},
    };
    for (const auto &item : cases) {
        open(item.command);
        QCOMPARE(globals().tipoopass, item.operation);
        QCOMPARE(m_form->windowTitle(), item.caption);
        QCOMPARE(m_form->Label1->text(), item.title);
        QCOMPARE(m_form->cmdassregistra->text(), item.button);
        QVERIFY(m_form->cmdassregistra->isVisible());
        activate(m_main);
    }
    QVERIFY(!m_form->fasscodass->isEnabled());
    QVERIFY(!m_form->cmdcercaass->isEnabled());
    QCOMPARE(m_form->cmbassdenom->count(), 1);
}

void TestFormass::insertsInCapitals()
{
    open(u"mnorgaggman"_s);
    m_form->cmbassdenom->setEditText(u"gruppo beta"_s);
    m_form->assindir->setText(u"via due"_s);
    m_form->asscap->setText(u"20100a"_s);
    m_form->asscomune->setText(u"milano"_s);
    m_form->assprov->setText(u"mi"_s);
    m_form->assemail->setText(u"Beta@Gruppo.it"_s);
    m_form->assresp->setText(u"bianchi"_s);
    // Whatever another window left the source on, the row goes into the organisations.
    m_main->Data8->setRecordSource(u"select * from VOLO"_s);
    confirm({u"Organizzazione inserita regolarmente."_s});
    QCOMPARE(value(u"select DENOM || '|' || INDIR || '|' || CAP || '|' || CITTA || '|' || PROV || '|' || MAIL || "
                   u"'|' || RESP || '|' || NUMVOL || '|' || CFISC || '|' || CODASS from ASSO where DENOM = "
                   u"'GRUPPO BETA'"_s)
                 .toString(),
             u"GRUPPO BETA|VIA DUE|20100a|MILANO|MI|Beta@Gruppo.it|BIANCHI|0||1"_s);
    QVERIFY(m_form->cmbassdenom->currentText().isEmpty());
    QVERIFY(m_form->assindir->text().isEmpty());
    QCOMPARE(m_form->cmbassdenom->count(), 2);
    // The grid shows the organisations, the new one included.
    QCOMPARE(globals().tipogriglia, u"O"_s);
    QCOMPARE(m_main->gridModel->rowCount(), 2);

    // Nothing typed: nothing done, nothing said.
    confirm({});
    QCOMPARE(organisations(), 2);
}

void TestFormass::nameLengthAndQuotes()
{
    open(u"mnorgaggman"_s);
    m_form->cmbassdenom->setEditText(QString(41, u'n'));
    m_form->assprov->setText(u"to"_s);
    confirm({u"Denominazione troppo lunga. Potrebbe creare problemi nella stampa degli attestati. Abbreviarla "
             u"entro i 40 caratteri."_s});
    QCOMPARE(m_form->assprov->text(), u"TO"_s);
    QCOMPARE(organisations(), 1);
    m_form->cmbassdenom->setEditText(QString(40, u'n'));
    confirm({u"Organizzazione inserita regolarmente."_s});
    QCOMPARE(organisations(), 2);

    // Leaving the box for the next one shows the name as it is stored.
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    m_form->cmbassdenom->setFocus(Qt::TabFocusReason);
    m_form->cmbassdenom->setEditText(u"gruppo \"gamma\""_s);
    m_form->assindir->setFocus(Qt::TabFocusReason);
    QCOMPARE(m_form->cmbassdenom->currentText(), u"GRUPPO 'GAMMA'"_s);
    confirm({u"Organizzazione inserita regolarmente."_s});
    QCOMPARE(value(u"select count(*) from ASSO where DENOM = 'GRUPPO ''GAMMA'''"_s).toInt(), 1);
}

void TestFormass::duplicateInOtherCaseIsRefused()
{
    open(u"mnorgaggman"_s);
    m_form->cmbassdenom->setEditText(u"Gruppo Alfa"_s);
    m_form->assindir->setText(u"altra via"_s);
    confirm({u"Organizzazione già presente"_s});
    QCOMPARE(organisations(), 1);
    QCOMPARE(value(u"select INDIR from ASSO"_s).toString(), u"VIA UNO"_s);
    // The boxes keep what was typed.
    QCOMPARE(m_form->assindir->text(), u"altra via"_s);
}

void TestFormass::modifyResetsHiddenFields()
{
    open(u"mnorgaggmod"_s);
    m_form->cmbassdenom->setEditText(u"gruppo omega"_s);
    confirm({u"Organizzazione non trovata."_s});

    // A name typed, not chosen from the list, brings no code: the row keeps its own.
    m_form->cmbassdenom->setEditText(u"gruppo alfa"_s);
    m_form->asstel->setText(u"06 999"_s);
    confirm({u"Organizzazione modificata."_s});
    QCOMPARE(value(u"select TEL || '|' || CFISC || '|' || SPEC || '|' || DATA1 || '|' || DATAU || '|' || NUMVOL || "
                   u"'|' || NOTE3 || '|' || CODASS || '|' || RESP from ASSO"_s)
                 .toString(),
             u"06 999|||||0||A1|"_s);
    // The boxes keep their content after a modification, and when the user comes back to the window.
    QCOMPARE(m_form->asstel->text(), u"06 999"_s);
    activate(m_main);
    activate(m_form);
    QCOMPARE(m_form->asstel->text(), u"06 999"_s);
    QCOMPARE(m_form->cmbassdenom->currentText(), u"GRUPPO ALFA"_s);

    // Chosen from the list, it is written only while it holds what was shown; else shown as it is.
    choose(m_form->cmbassdenom, u"GRUPPO ALFA"_s);
    runSql(Schema::registerFile, {u"update ASSO set INDIR = 'VIA ALTRA' where DENOM = 'GRUPPO ALFA'"_s});
    m_form->asstel->setText(u"06 111"_s);
    confirm({u"Il record è stato cambiato o eliminato da un'altra postazione: lo mostro come è ora."_s});
    QCOMPARE(value(u"select INDIR || '|' || TEL from ASSO"_s).toString(), u"VIA ALTRA|06 999"_s);
    QCOMPARE(m_form->assindir->text(), u"VIA ALTRA"_s);
    m_form->asstel->setText(u"06 111"_s);
    confirm({u"Organizzazione modificata."_s});
    QCOMPARE(value(u"select INDIR || '|' || TEL from ASSO"_s).toString(), u"VIA ALTRA|06 111"_s);
}

void TestFormass::deleteAsksEveryTime()
{
    open(u"mnorgaggann"_s);
    m_form->cmbassdenom->setEditText(u"gruppo alfa"_s);
    m_answers->clear();
    m_answers->answerNo();
    m_form->cmdassregistra->click();
    QCOMPARE(m_answers->shown(), QStringList{u"Confermi l'eliminazione dell'organizzazione premi OK o Annulla."_s});
    QCOMPARE(m_answers->defaults(), QList<Messages::Default>{Messages::Default::No});
    QCOMPARE(organisations(), 1);
    QCOMPARE(m_form->cmbassdenom->currentText(), u"GRUPPO ALFA"_s);

    // Its volunteers are counted first, and keep its code.
    runSql(Schema::registerFile, {u"insert into VOLO (CODASS, COGN, NOME) values ('A1', 'ROSSI', 'MARIO'), "
                                  u"('A1', 'BIANCHI', 'ANNA')"_s});
    const QString question = u"L'organizzazione GRUPPO ALFA ha 2 volontari: la elimino comunque?"_s;
    m_answers->clear();
    m_answers->answerNo();
    m_form->cmdassregistra->click();
    QCOMPARE(m_answers->shown(), QStringList{question});
    QCOMPARE(m_answers->defaults(), QList<Messages::Default>{Messages::Default::No});
    QCOMPARE(organisations(), 1);
    confirm({question, u"Organizzazione eliminata"_s});
    QCOMPARE(organisations(), 0);
    QCOMPARE(queryValue(Schema::registerFile, u"select count(*) from VOLO where CODASS = 'A1'"_s).toInt(), 2);
    QVERIFY(m_form->cmbassdenom->currentText().isEmpty());
    QCOMPARE(m_form->cmbassdenom->count(), 0);
}

void TestFormass::choosingANameFillsTheBoxes()
{
    open(u"mnorgaggman"_s);
    const int alfa = m_form->cmbassdenom->findText(u"GRUPPO ALFA"_s);
    m_form->cmbassdenom->setCurrentIndex(alfa);
    emit m_form->cmbassdenom->activated(alfa);
    QCOMPARE(m_form->fasscodass->text(), u"A1"_s);
    QCOMPARE(m_form->assemail->text(), u"alfa@gruppo.it"_s);
    QCOMPARE(m_form->asstelresp->text(), u"333"_s);

    // Coming back to the window keeps the boxes; opened again by its command, it is emptied, the code
    // too: a new organisation takes none.
    activate(m_main);
    activate(m_form);
    QCOMPARE(m_form->assemail->text(), u"alfa@gruppo.it"_s);
    activate(m_main);
    open(u"mnorgaggman"_s);
    QVERIFY(m_form->assemail->text().isEmpty());
    QVERIFY(m_form->cmbassdenom->currentText().isEmpty());
    QVERIFY(m_form->fasscodass->text().isEmpty());

    runSql(Schema::registerFile, {u"delete from ASSO"_s});
    m_form->cmbassdenom->setCurrentIndex(alfa);
    m_answers->answerYes();
    emit m_form->cmbassdenom->activated(alfa);
    QCOMPARE(m_answers->shown(), QStringList{u"Organizzazione non trovata."_s});
}

void TestFormass::refusedReadsAreSaid()
{
    const QString refused = u"Lettura dell'archivio non riuscita: lettura rifiutata dall'archivio (prova)"_s;
    m_answers->answerYes();
    DataSource::refuseReadsAfter(0);
    open(u"mnorgaggmod"_s);
    QCOMPARE(m_answers->shown(), QStringList{refused});

    // A modification whose look-up was refused is not taken for a missing organisation.
    m_form->cmbassdenom->setEditText(u"GRUPPO ALFA"_s);
    m_form->asstel->setText(u"06 999"_s);
    confirm({refused});
    DataSource::refuseReadsAfter(-1);
    QCOMPARE(value(u"select TEL from ASSO"_s).toString(), u"06 1"_s);
}

QTEST_MAIN(TestFormass)
#include "tst_formass.moc"
