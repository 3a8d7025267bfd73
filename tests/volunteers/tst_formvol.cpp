#include "app/form1.h"
#include "common/globals.h"
#include "common/textformat.h"
#include "database/datasource.h"
#include "store/schema.h"
#include "store/surveillance.h"
#include "store/volunteers.h"
#include "testsupport.h"
#include "ui/messages.h"
#include "ui/windowaccess.h"
#include "volunteers/formvol.h"
#include "volunteers/specialisations.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QCompleter>
#include <QAbstractItemView>

using namespace Qt::StringLiterals;

namespace {
QVariant value(const QString &sql)
{
    return queryValue(Schema::registerFile, sql);
}

int volunteers()
{
    return value(u"select count(*) from VOLO"_s).toInt();
}
} // namespace

class TestFormvol : public ProgramTest {
    Q_OBJECT
private slots:
    void init();
    void delimitedItems_data();
    void delimitedItems();
    void insertionFromTheMenu();
    void checksRunInOrder();
    void duplicateInOtherCaseIsRefused();
    void modifyShowsAndRewritesTheVolunteer();
    void deleteRemovesOnlyWhatItFinds();
    void viewOfAMissingOrIncompleteVolunteer();
    void missingSpecialisationFileLeavesTheListEmpty();
    void refusedReadsAreSaid();
    void surveillanceReadsAndWritesTheRegister();

private:
    void fillValid();
    void registerExpecting(const QStringList &messages);

    Formvol *m_form = nullptr;
};

void TestFormvol::init()
{
    QVERIFY(
        start({u"insert into ASSO (DENOM) values ('PROTEZIONE CIVILE BETA'), ('GRUPPO ALFA')"_s,
               u"insert into VOLO (CODASS, CODVOL, COGN, NOME, INDIR, CITTA, PROV, DATANA, LUOGONA, PROVNA, SESSO, "
               u"CODFISC, TEL, FAX, MAIL, SPEC, NOTE, NOTE2, NOTE3) values ('7', '12', 'ROSSI', 'MARIO', 'VIA ROMA 1', "
               u"'ROMA', 'RM', '01/01/1980', 'ROMA', 'RM', 'M', 'RSSMRA80A01H501U', '06 123', '06 456', 'm@x.it', "
               u"'LOGISTICA', 'NOTA', 'NOTA 2', 'NOTA 3')"_s}));
    m_form = Windows::formvol();
}

void TestFormvol::delimitedItems_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("lines") << QByteArray("UNO\r\nDUE\nTRE") << QStringList{u"UNO"_s, u"DUE"_s, u"TRE"_s};
    QTest::newRow("two on a line") << QByteArray("CUCINA,LOGISTICA\r\n") << QStringList{u"CUCINA"_s, u"LOGISTICA"_s};
    QTest::newRow("blanks before skipped") << QByteArray("  A,   B  \r\n") << QStringList{u"A"_s, u"B"_s};
    QTest::newRow("quoted with comma") << QByteArray("\"RADIO, TLC\",ALTRO\r\n\"FINE\"")
                                       << QStringList{u"RADIO, TLC"_s, u"ALTRO"_s, u"FINE"_s};
    QTest::newRow("blank lines") << QByteArray("\r\n\r\nA\r\n\r\n") << QStringList{u"A"_s};
    QTest::newRow("accents in UTF-8") << QByteArray("UNITÀ CINOFILE\n") << QStringList{u"UNITÀ CINOFILE"_s};
    QTest::newRow("accents of older programs")
        << QByteArray("UNIT\xC0 CINOFILE\r\n") << QStringList{u"UNITÀ CINOFILE"_s};
    QTest::newRow("quote never closed") << QByteArray("\"APERTA, MAI CHIUSA\n")
                                        << QStringList{u"APERTA, MAI CHIUSA\n"_s};
    QTest::newRow("empty") << QByteArray() << QStringList();
}

void TestFormvol::delimitedItems()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, items);
    QCOMPARE(readDelimitedItems(content), items);
}

void TestFormvol::fillValid()
{
    m_form->fvcogn->setText(u"d'angelo"_s);
    m_form->fvnome->setText(u"josé"_s);
    m_form->fvindir->setText(u"via \"po\" 2"_s);
    m_form->fvcap->setText(u"10100"_s);
    m_form->fvcitta->setText(u"torino"_s);
    m_form->fvprov->setText(u"to"_s);
    m_form->fvdatana->setText(u"01/08/1985"_s);
    choose(m_form->fvluogona, TextFormat::fixedWidth(u"ROMA"_s, 35) + u"  RM"_s);
    m_form->fvsesso->setText(u"m"_s);
    m_form->fvcfisc->setText(u"dngjso85m01h501c"_s);
    m_form->cmbspec->setEditText(u"cucina da campo"_s);
    m_form->fvnote->setText(u"nota"_s);
    m_form->fvnote2->setText(QString());
    m_form->fvnote3->setText(u"tre"_s);
    m_form->cmbassdenom->setEditText(u"GRUPPO ALFA"_s);
}

void TestFormvol::registerExpecting(const QStringList &messages)
{
    m_answers->clear();
    m_answers->answerYes(int(messages.size()));
    m_form->cmdregistra->click();
    QCOMPARE(m_answers->shown(), messages);
}

void TestFormvol::insertionFromTheMenu()
{
    // A new volunteer takes nothing from the one seen before.
    globals().tipoopvol = u"V"_s;
    globals().volontarioscelto = u"ROSSI MARIO"_s;
    activate(m_form);
    activate(m_main);
    m_main->findChild<QAction *>(u"mnvolinsman"_s)->trigger();
    QVERIFY(m_form->isVisible());
    QCOMPARE(globals().tipoopvol, u"I"_s);
    QCOMPARE(m_form->cmdregistra->text(), u"Registra"_s);
    QCOMPARE(m_form->cmbassdenom->count(), 2);
    activate(m_form);
    // Of two organisations, none is chosen for the user.
    QVERIFY(m_form->cmbassdenom->currentText().isEmpty());
    QVERIFY(m_form->cmbspec->findText(u"RADIO, TELECOMUNICAZIONI"_s) >= 0);
    QVERIFY(m_form->cmbspec->findText(u"SEGRETERIA, AMMINISTRAZIONE"_s) >= 0);
    for (QLineEdit *box : {m_form->fvcogn, m_form->fvindir, m_form->fvcfisc, m_form->fvnote})
        QVERIFY(box->text().isEmpty());
    QVERIFY(m_form->cmdregistra->isVisible());
    // Filled lists choose nothing for the user.
    QVERIFY(m_form->cmbspec->currentText().isEmpty());
    QVERIFY(m_form->fvluogona->currentText().isEmpty());

    // Typing a place offers the matching ones and takes none by itself; the one picked brings its province.
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    m_form->fvluogona->setFocus();
    QTest::keyClicks(m_form->fvluogona, u"roma"_s);
    QCOMPARE(m_form->fvluogona->currentText(), u"roma"_s);
    QAbstractItemView *offered = m_form->fvluogona->completer()->popup();
    QVERIFY(offered->isVisible());
    QCOMPARE(offered->font(), m_form->fvluogona->font());
    QTest::keyClick(offered, Qt::Key_Down);
    QTest::keyClick(offered, Qt::Key_Return);
    QCOMPARE(m_form->fvprovna->text(), u"RM"_s);

    fillValid();
    QCOMPARE(m_form->fvprovna->text(), u"RM"_s);
    // The organisation chosen is stored by its code, given it now: past the 7 a volunteer holds.
    registerExpecting({u"Volontario inserito"_s});
    QCOMPARE(value(u"select CODASS from ASSO where DENOM = 'GRUPPO ALFA'"_s).toString(), u"8"_s);
    QCOMPARE(value(u"select CODASS || '|' || coalesce(CODVOL, 'none') || '|' || COGN || '|' || NOME || '|' || "
                   u"INDIR || '|' || CAP || '|' || CITTA || '|' || PROV || '|' || DATANA || '|' || LUOGONA || '|' || "
                   u"PROVNA || '|' || SESSO || '|' || CODFISC || '|' || coalesce(TEL, 'none') || '|' || SPEC || '|' || "
                   u"NOTE || '|' || NOTE2 || '|' || "
                   u"NOTE3 from VOLO where COGN = 'D''ANGELO'"_s)
                 .toString(),
             u"8|none|D'ANGELO|JOSÉ|VIA \"PO\" 2|10100|TORINO|TO|01/08/1985|ROMA|RM|M|DNGJSO85M01H501C|none|"
             u"CUCINA DA CAMPO|NOTA||TRE"_s);
    QVERIFY(value(u"select coalesce(MAIL, FAX, 'none') from VOLO where COGN = 'D''ANGELO'"_s) == u"none"_s);

    // Cleared for the next volunteer of the same organisation, the specialisation too.
    for (QLineEdit *box :
         {m_form->fvcogn, m_form->fvnome, m_form->fvdatana, m_form->fvprovna, m_form->fvcfisc, m_form->fvnote3})
        QVERIFY(box->text().isEmpty());
    QVERIFY(m_form->fvluogona->currentText().isEmpty());
    QCOMPARE(m_form->cmbassdenom->currentText(), u"GRUPPO ALFA"_s);
    QVERIFY(m_form->cmbspec->currentText().isEmpty());

    // Typing is kept when the user looks at another window and comes back.
    m_form->fvcogn->setText(u"bozza"_s);
    activate(m_main);
    activate(m_form);
    QCOMPARE(m_form->fvcogn->text(), u"bozza"_s);
    QCOMPARE(m_form->cmbassdenom->currentText(), u"GRUPPO ALFA"_s);

    // A tax code whose check character is wrong is refused; a namesake's altered code is not.
    fillValid();
    m_form->fvcogn->setText(u"verdi"_s);
    m_form->fvcfisc->setText(u"VRDLCU75A01F205Z"_s);
    registerExpecting({u"Codice fiscale errato: il carattere di controllo dovrebbe essere M."_s});
    m_form->fvcfisc->setText(u"RSSMRA80A01H50MM"_s);
    registerExpecting({u"Volontario inserito"_s});
    QCOMPARE(value(u"select CODFISC from VOLO where COGN = 'VERDI'"_s).toString(), u"RSSMRA80A01H50MM"_s);
}

void TestFormvol::checksRunInOrder()
{
    globals().tipoopvol = u"I"_s;
    activate(m_form);
    fillValid();
    m_form->cmbassdenom->setEditText(QString());
    m_form->fvdatana->setText(u"31/02/1980"_s);
    registerExpecting({u"Scegli l'organizzazione."_s});
    m_form->cmbassdenom->setEditText(u"GRUPPO ALFA"_s);
    registerExpecting({u"Data errata. Deve essere nel formato GG/MM/AAAA."_s, u"Data di nascita errata."_s});
    m_form->fvdatana->clear();
    m_form->fvcogn->setText(u"  "_s);
    registerExpecting({u"Manca Cognome."_s});
    m_form->fvcogn->setText(QString(26, u'A'));
    registerExpecting({u"Cognome volontario troppo lungo. Massimo 25 caratteri."_s});
    m_form->fvcogn->setText(QString(25, u'A'));
    m_form->fvnome->setText(QString(26, u'B'));
    registerExpecting({u"Nome volontario troppo lungo. Massimo 25 caratteri."_s});
    m_form->fvnome->setText(QString(25, u'B'));
    m_form->fvprov->setText(u"roma"_s);
    m_form->fvsesso->setText(u"x"_s);
    registerExpecting({u"Sesso errato."_s});
    QCOMPARE(m_form->fvprov->text(), u"RM"_s);
    QCOMPARE(m_form->fvsesso->text(), u"X"_s);
    QCOMPARE(volunteers(), 1);

    m_form->fvsesso->clear();
    registerExpecting({u"Volontario inserito"_s});
    QCOMPARE(
        value(u"select PROV || '|' || DATANA || '|' || SESSO from VOLO where NOME = '"_s + QString(25, u'B') + u"'"_s)
            .toString(),
        u"RM||"_s);

    // Only roma and ROMA become RM. A place typed by hand takes the province of the one
    // municipality of that name.
    fillValid();
    m_form->fvcogn->setText(u"VERDI"_s);
    m_form->fvcfisc->clear();
    m_form->fvprov->setText(u"Roma"_s);
    m_form->fvluogona->setEditText(u"milano "_s);
    registerExpecting({u"Volontario inserito"_s});
    QCOMPARE(value(u"select PROV || '|' || PROVNA from VOLO where COGN = 'VERDI'"_s).toString(), u"ROMA|MI"_s);
}

void TestFormvol::duplicateInOtherCaseIsRefused()
{
    globals().tipoopvol = u"I"_s;
    activate(m_form);
    fillValid();
    m_form->fvcogn->setText(u"Rossi"_s);
    m_form->fvnome->setText(u"mario"_s);
    registerExpecting({u"Volontario già presente."_s});
    QCOMPARE(volunteers(), 1);
    // The same refused by the store's key: an accented capital folded.
    runSql(Schema::registerFile, {u"insert into VOLO (COGN, NOME) values ('FOÀ', 'LUCA')"_s});
    m_form->fvcogn->setText(u"foà"_s);
    m_form->fvnome->setText(u"luca"_s);
    registerExpecting({u"Volontario già presente."_s});
    QCOMPARE(volunteers(), 2);

    // A tax code another volunteer has, in any case of letters, is registered only when confirmed.
    const QString sameCode = u"Codice fiscale già presente per ROSSI MARIO: registro comunque?"_s;
    m_form->fvnome->setText(u"anna"_s);
    m_form->fvcfisc->setText(u"rssmra80a01h501u"_s);
    m_answers->clear();
    m_answers->answerNo();
    m_form->cmdregistra->click();
    QCOMPARE(m_answers->shown(), QStringList{sameCode});
    QCOMPARE(m_answers->defaults(), QList<Messages::Default>{Messages::Default::No});
    QCOMPARE(volunteers(), 2);
    registerExpecting({sameCode, u"Volontario inserito"_s});
    QCOMPARE(volunteers(), 3);
}

void TestFormvol::modifyShowsAndRewritesTheVolunteer()
{
    globals().tipoopvol = u"M"_s;
    globals().volontarioscelto = u"ROSSI MARIO"_s;
    m_form->fvnote->setText(u"DA PRIMA"_s);
    activate(m_form);
    QCOMPARE(m_form->fvcogn->text(), u"ROSSI"_s);
    QCOMPARE(m_form->fvindir->text(), u"VIA ROMA 1"_s);
    QCOMPARE(m_form->fvluogona->currentText(), u"ROMA"_s);
    QCOMPARE(m_form->cmbspec->currentText(), u"LOGISTICA"_s);
    QCOMPARE(m_form->fvnote->text(), u"NOTA"_s);
    QCOMPARE(m_form->fvcfisc->text(), u"RSSMRA80A01H501U"_s);
    QCOMPARE(m_form->lblvisita->text(), u"Nessuna visita registrata"_s);

    // Another PC's change since the window read him is not written over: he is shown as he now is.
    runSql(Schema::registerFile, {u"update VOLO set INDIR = 'VIA ALTRA 9' where COGN = 'ROSSI'"_s});
    m_form->fvnote->setText(u"cambiata"_s);
    registerExpecting({u"Il record è stato cambiato o eliminato da un'altra postazione: lo mostro come è ora."_s});
    QCOMPARE(m_form->fvindir->text(), u"VIA ALTRA 9"_s);
    QCOMPARE(value(u"select NOTE from VOLO where COGN = 'ROSSI'"_s).toString(), u"NOTA"_s);

    m_form->fvindir->setText(u"piazza duomo 3"_s);
    // His organisation's code matches none left: it is shown as deleted, and kept.
    QCOMPARE(m_form->cmbassdenom->currentText(), u"(organizzazione eliminata)"_s);
    registerExpecting({u"Volontario modificato"_s});
    QVERIFY(m_form->lblvisita->text().isEmpty());
    QCOMPARE(volunteers(), 1);
    // What the window does not show keeps what the import brought.
    QCOMPARE(value(u"select INDIR || '|' || CODASS || '|' || CODVOL || '|' || TEL || '|' || FAX || '|' || "
                   u"coalesce(MAIL, 'none') from VOLO"_s)
                 .toString(),
             u"PIAZZA DUOMO 3|7|12|06 123|06 456|m@x.it"_s);
    QVERIFY(m_form->fvcogn->text().isEmpty());

    // A changed first name renames the volunteer, once confirmed, and his detail rows with him.
    runSql(Schema::registerFile,
           {u"insert into ATTIVDETT (DESCRATT, DATAINATT, COGN) values ('SISMA', "
            u"'01/02/2010', 'ROSSI MARIO'), ('ALLUVIONE', '03/04/2011', 'Rossi Mario'), "
            u"('SISMA', '01/02/2010', 'ROSSI MARIONE')"_s,
            u"insert into VOLO (COGN, NOME, INDIR) values ('ROSSI', 'MARIANO', 'VIA VECCHIA')"_s,
            u"insert into VISITE (COGN, NOME, DATAVISITA, TIPO, ESITO) values ('ROSSI', 'MARIO', '01/02/2024', "
            u"'Controllo sanitario', 'Idoneo'), ('Rossi', 'mario', '01/02/2023', 'Sorveglianza sanitaria', NULL), "
            u"('ROSSI', 'MARIANO', '01/02/2024', 'Controllo sanitario', NULL)"_s});
    activate(m_main);
    activate(m_form);
    QCOMPARE(m_form->lblvisita->text(),
             u"Ultima visita: 01/02/2024 Controllo sanitario, Idoneo — prossima scadenza: 01/02/2029"_s);
    m_form->fvnome->setText(u"mario luigi"_s);
    registerExpecting({u"Rinomino ROSSI MARIO in ROSSI MARIO LUIGI?"_s, u"Volontario modificato"_s});
    QCOMPARE(m_answers->defaults().first(), Messages::Default::No);
    QCOMPARE(volunteers(), 2);
    QCOMPARE(value(u"select INDIR from VOLO where NOME = 'MARIO LUIGI'"_s).toString(), u"PIAZZA DUOMO 3"_s);
    QCOMPARE(queryColumn(Schema::registerFile, u"select COGN from ATTIVDETT order by DESCRATT, COGN"_s),
             (QVariantList{u"ROSSI MARIO LUIGI"_s, u"ROSSI MARIO LUIGI"_s, u"ROSSI MARIONE"_s}));
    QCOMPARE(queryColumn(Schema::registerFile, u"select NOME from VISITE order by DATAVISITA, NOME"_s),
             (QVariantList{u"MARIO LUIGI"_s, u"MARIANO"_s, u"MARIO LUIGI"_s}));

    // A name changed onto another volunteer's leaves that volunteer as it was.
    globals().volontarioscelto = u"ROSSI MARIO LUIGI"_s;
    activate(m_main);
    activate(m_form);
    m_form->fvnome->setText(u"Mariano"_s);
    m_form->fvindir->setText(u"via nuova"_s);
    registerExpecting({u"Volontario già presente."_s});
    QCOMPARE(value(u"select INDIR from VOLO where NOME = 'MARIANO'"_s).toString(), u"VIA VECCHIA"_s);
    QCOMPARE(m_form->fvnome->text(), u"Mariano"_s);
}

void TestFormvol::deleteRemovesOnlyWhatItFinds()
{
    runSql(Schema::registerFile, {u"insert into VOLO (COGN, NOME) values ('VERDI', 'LUCA')"_s});
    globals().tipoopvol = u"C"_s;
    globals().volontarioscelto = u"ROSSI MARIO"_s;
    activate(m_form);
    m_form->fvnome->setText(u"MARIANO"_s);
    registerExpecting({u"Volontario non trovato."_s});
    // Only the volunteer shown is deleted, not another one the boxes were changed to.
    m_form->fvcogn->setText(u"verdi"_s);
    m_form->fvnome->setText(u"luca"_s);
    registerExpecting({u"Volontario non trovato."_s});
    QCOMPARE(volunteers(), 2);
    m_form->fvcogn->setText(u"rossi"_s);
    m_form->fvnome->setText(u"mario"_s);
    m_answers->clear();
    m_answers->answerNo();
    m_form->cmdregistra->click();
    QCOMPARE(m_answers->shown(), QStringList{u"Elimino il volontario ROSSI MARIO?"_s});
    QCOMPARE(m_answers->defaults(), QList<Messages::Default>{Messages::Default::No});
    QCOMPARE(volunteers(), 2);
    registerExpecting({u"Elimino il volontario ROSSI MARIO?"_s, u"Volontario eliminato"_s});
    QCOMPARE(volunteers(), 1);
    QVERIFY(m_form->fvcogn->text().isEmpty());

    // Visits are never dropped unasked: No keeps the volunteer and them, Sì deletes them with him.
    runSql(Schema::registerFile, {u"insert into VISITE (COGN, NOME, DATAVISITA, TIPO) values ('VERDI', 'LUCA', "
                                  u"'01/02/2024', 'Controllo sanitario'), ('Verdi', 'Luca', '01/02/2025', "
                                  u"'Sorveglianza sanitaria'), ('VERDI', 'LUCIO', '01/02/2024', "
                                  u"'Controllo sanitario')"_s});
    QCOMPARE(Surveillance::addVisit(*m_main->Data6,
                                    {u"verdi"_s, u"luca"_s, u"01/02/2024"_s, u"CONTROLLO SANITARIO"_s, {}, {}, {}})
                 .number,
             Store::duplicateKey);
    const QString question = u"Il volontario VERDI LUCA ha 2 visite mediche registrate: le elimino insieme a lui?"_s;
    globals().volontarioscelto = u"VERDI LUCA"_s;
    activate(m_main);
    activate(m_form);
    const QString first = u"Elimino il volontario VERDI LUCA?"_s;
    m_answers->clear();
    m_answers->answerYes();
    m_answers->answerNo();
    m_form->cmdregistra->click();
    QCOMPARE(m_answers->shown(), (QStringList{first, question}));
    QCOMPARE(m_answers->defaults(), (QList<Messages::Default>{Messages::Default::No, Messages::Default::No}));
    QCOMPARE(volunteers(), 1);
    QCOMPARE(value(u"select count(*) from VISITE"_s).toInt(), 3);
    registerExpecting({first, question, u"Volontario eliminato"_s});
    QCOMPARE(volunteers(), 0);
    QCOMPARE(queryColumn(Schema::registerFile, u"select NOME from VISITE"_s), QVariantList{u"LUCIO"_s});
}

void TestFormvol::viewOfAMissingOrIncompleteVolunteer()
{
    globals().tipoopvol = u"V"_s;
    globals().volontarioscelto = u"   Totale volontari:"_s;
    m_form->fvcogn->setText(u"RESTA"_s);
    m_answers->answerYes();
    activate(m_form);
    QCOMPARE(m_answers->shown(), QStringList{u"Volontario non trovato."_s});
    QCOMPARE(m_form->fvcogn->text(), u"RESTA"_s);

    // A record from elsewhere with no values shows them as empty text, notes too: nothing
    // stays from the volunteer shown before. Seen only, it cannot be registered.
    runSql(Schema::registerFile, {u"insert into VOLO (COGN) values ('SOLO')"_s});
    m_form->fvnote2->setText(u"RESTA ANCHE"_s);
    globals().volontarioscelto = u"SOLO"_s;
    activate(m_main);
    activate(m_form);
    QCOMPARE(m_form->fvcogn->text(), u"SOLO"_s);
    QCOMPARE(m_form->fvnome->text(), QString());
    QVERIFY(m_form->fvnote2->text().isEmpty());
    QVERIFY(m_form->cmdregistra->isHidden());

    // Sex in capitals when the box is left; the province of birth from the chosen entry.
    m_form->fvsesso->setText(u"f"_s);
    m_form->fvsesso_LostFocus();
    QCOMPARE(m_form->fvsesso->text(), u"F"_s);
    m_form->cmbassdenom->addItem(u"NON PIU' IN ARCHIVIO"_s);
    m_form->cmbassdenom->setCurrentIndex(m_form->cmbassdenom->count() - 1);
    m_answers->clear();
    m_answers->answerYes();
    emit m_form->cmbassdenom->activated(m_form->cmbassdenom->count() - 1);
    QCOMPARE(m_answers->shown(), QStringList{u"Organizzazione non trovata."_s});
}

void TestFormvol::missingSpecialisationFileLeavesTheListEmpty()
{
    QVERIFY(QFile::remove(Schema::specialisationsFile));
    globals().tipoopvol = u"I"_s;
    activate(m_form);
    QCOMPARE(m_form->cmbspec->count(), 0);
    // With one organisation in the archive, a new volunteer starts with it.
    runSql(Schema::registerFile, {u"delete from ASSO where DENOM = 'PROTEZIONE CIVILE BETA'"_s});
    activate(m_main);
    globals().tipoopvol = u"V"_s;
    globals().volontarioscelto = u"ROSSI MARIO"_s;
    activate(m_form);
    globals().tipoopvol = u"I"_s;
    activate(m_main);
    activate(m_form);
    QCOMPARE(m_form->cmbassdenom->currentText(), u"GRUPPO ALFA"_s);
}

void TestFormvol::refusedReadsAreSaid()
{
    const QString refused = u"Lettura dell'archivio non riuscita: lettura rifiutata dall'archivio (prova)"_s;
    globals().tipoopvol = u"V"_s;
    globals().volontarioscelto = u"ROSSI MARIO"_s;
    m_answers->answerYes();
    DataSource::refuseReadsAfter(0);
    activate(m_form);
    QCOMPARE(m_answers->shown(), QStringList{refused});

    // A refused look-up is not taken for a volunteer that is not there.
    globals().tipoopvol = u"I"_s;
    fillValid();
    m_form->cmbassdenom->setEditText(u"GRUPPO ALFA"_s);
    registerExpecting({refused});
    DataSource::refuseReadsAfter(-1);
    QCOMPARE(volunteers(), 1);
}

// Thresholds, visits and hours as the store reads and writes them, on either archive.
void TestFormvol::surveillanceReadsAndWritesTheRegister()
{
    runSql(Schema::registerFile,
           {u"insert into ATTIVDETT (DESCRATT, DATAINATT, DATAFIATT, COGN, ORET6, ORET7) values ('SISMA', "
            u"'06/01/2025', '12/01/2025', 'Rossi Mario', 0, 25), ('FRANA', '13/01/2025', NULL, 'ROSSI MARIO', 2, 0)"_s,
            u"insert into VISITE (COGN, NOME, DATAVISITA, TIPO, ESITO) values ('ROSSI', 'MARIO', '01/02/2024', "
            u"'Sorveglianza sanitaria', 'Idoneo')"_s});
    DataSource &source = *m_main->Data5;
    Store::Result refusal;
    Surveillance::Thresholds thresholds = Surveillance::readThresholds(source, &refusal);
    QVERIFY(refusal.ok());
    QCOMPARE(thresholds.classes[1].weekly, 20.0);
    QCOMPARE(thresholds.checkYears, 5.0);
    const Surveillance::Thresholds shown = thresholds;
    thresholds.classes[0].yearly = 5;
    QVERIFY(Surveillance::writeThresholds(source, thresholds, &shown).ok());
    // A second window that read them before that write writes nothing over it.
    Surveillance::Thresholds stale = shown;
    stale.checkYears = 3;
    QCOMPARE(Surveillance::writeThresholds(source, stale, &shown).number, Store::changedElsewhere);
    QCOMPARE(Surveillance::readThresholds(source, &refusal).classes[0].yearly, 5.0);
    QCOMPARE(Surveillance::readThresholds(source, &refusal).checkYears, 5.0);
    const auto evaluated = [&]() {
        const Surveillance::Outcome outcome =
            Surveillance::evaluate(source, *m_main->Data4, QDate(2025, 1, 1), QDate(2025, 12, 31), QDate(2025, 3, 1));
        return outcome.rows.size() == 1 ? outcome.rows[0] : Surveillance::Row{};
    };
    Surveillance::Row row = evaluated();
    QCOMPARE(row.hours, (Surveillance::ClassHours{0, 2, 25, 0, 0, 0}));
    QCOMPARE(row.r7HighestWeek, 25.0);
    QCOMPARE(row.overThreshold, u"R7"_s);
    QCOMPARE(row.latestDue, QDate(2025, 2, 1));
    QCOMPARE(row.status, u"Visita scaduta"_s);

    const QList<Visit> visits = Surveillance::visitsOf(source, u"ROSSI"_s, u"MARIO"_s, &refusal);
    QCOMPARE(visits.size(), 1);
    Visit unfit = visits[0];
    unfit.outcome = u"Non idoneo"_s;
    QVERIFY(Surveillance::changeVisit(source, visits[0], unfit).ok());
    QCOMPARE(Surveillance::changeVisit(source, visits[0], unfit).number, Store::changedElsewhere);
    const Surveillance::Standing standing =
        Surveillance::standingOf(source, u"ROSSI"_s, u"MARIO"_s, QDate(2025, 3, 1), &refusal);
    QVERIFY(standing.warning == Surveillance::Standing::Warning::Unfit && standing.since == QDate(2024, 2, 1));
    QVERIFY(Surveillance::removeVisit(source, unfit).ok());
    QCOMPARE(evaluated().status, u"Da sottoporre a sorveglianza"_s);
}

QTEST_MAIN(TestFormvol)
#include "tst_formvol.moc"
