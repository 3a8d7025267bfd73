#include "ui/messages.h"
#include "common/textformat.h"
#include "testsupport.h"
#include "ui/windowaccess.h"
#include "volunteers/formvol.h"
#include "volunteers/taxcode.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

class TestTaxCode : public QObject {
    Q_OBJECT
private slots:
    void nameParts_data();
    void nameParts();
    void wholeCodes_data();
    void wholeCodes();
    void problemsInOrder_data();
    void problemsInOrder();
    void checkCharacterOfTypedCodes_data();
    void checkCharacterOfTypedCodes();
    void publishedVectorsThroughTheWindow();
    void municipalityNotFoundStops();
    void declinedCodeLeavesTheBox();
};

void TestTaxCode::nameParts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("firstName");
    QTest::addColumn<QString>("part");
    QTest::newRow("three consonants") << u"ROSSI"_s << false << u"RSS"_s;
    QTest::newRow("blanks dropped") << u"DE LUCA"_s << false << u"DLC"_s;
    QTest::newRow("short surname") << u"FO"_s << false << u"FOX"_s;
    QTest::newRow("one vowel") << u"O"_s << false << u"OXX"_s;
    QTest::newRow("apostrophe dropped") << u"PO'"_s << false << u"POX"_s;
    QTest::newRow("apostrophe inside") << u"D'ANGELO"_s << false << u"DNG"_s;
    QTest::newRow("accent as its vowel") << u"MÌA'"_s << false << u"MIA"_s;
    QTest::newRow("lower case") << u"rossi"_s << false << u"RSS"_s;
    QTest::newRow("hyphen and digit") << u"SAINT-1EX"_s << false << u"SNT"_s;
    QTest::newRow("four consonants") << u"ANNA MARIA"_s << true << u"NMR"_s;
    QTest::newRow("GIANFRANCO") << u"GIANFRANCO"_s << true << u"GFR"_s;
    QTest::newRow("three in a first name") << u"MARIO"_s << true << u"MRA"_s;
    QTest::newRow("LUCA") << u"LUCA"_s << true << u"LCU"_s;
    QTest::newRow("accented first name") << u"José"_s << true << u"JSO"_s;
    QTest::newRow("only vowels") << u"IA"_s << true << u"IAX"_s;
}

void TestTaxCode::nameParts()
{
    QFETCH(QString, name);
    QFETCH(bool, firstName);
    QFETCH(QString, part);
    const QString letters = TaxCode::lettersOf(name);
    QCOMPARE(firstName ? TaxCode::firstNamePart(letters) : TaxCode::surnamePart(letters), part);
}

void TestTaxCode::wholeCodes_data()
{
    QTest::addColumn<QString>("surname");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("sex");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("cadastral");
    QTest::addColumn<QString>("code");
    QTest::newRow("ROSSI MARIO") << u"ROSSI"_s << u"MARIO"_s << u"M"_s << u"01/01/1980"_s << u"H501"_s
                                 << u"RSSMRA80A01H501U"_s;
    QTest::newRow("BIANCHI LAURA") << u"BIANCHI"_s << u"LAURA"_s << u"F"_s << u"05/03/1985"_s << u"H501"_s
                                   << u"BNCLRA85C45H501Z"_s;
    QTest::newRow("lower case") << u"rossi"_s << u"mario"_s << u"M"_s << u"01/01/1980"_s << u"H501"_s
                                << u"RSSMRA80A01H501U"_s;
}

void TestTaxCode::wholeCodes()
{
    QFETCH(QString, surname);
    QFETCH(QString, name);
    QFETCH(QString, sex);
    QFETCH(QString, date);
    QFETCH(QString, cadastral);
    QFETCH(QString, code);
    QCOMPARE(TaxCode::compute(surname, name, sex, date, cadastral), code);
    QCOMPARE(TaxCode::checkCharacter(code.left(15)), code.back());
}

void TestTaxCode::problemsInOrder_data()
{
    QTest::addColumn<QString>("surname");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("sex");
    QTest::addColumn<QString>("place");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("message");
    QTest::newRow("no surname") << QString() << QString() << QString() << QString() << QString() << u"Manca Cognome."_s;
    QTest::newRow("blank surname") << u"   "_s << u"MARIO"_s << u"M"_s << u"ROMA"_s << u"01/01/1980"_s
                                   << u"Manca Cognome."_s;
    QTest::newRow("blank name") << u"ROSSI"_s << u"  "_s << u"M"_s << u"ROMA"_s << u"01/01/1980"_s << u"Manca Nome."_s;
    QTest::newRow("empty sex") << u"ROSSI"_s << u"MARIO"_s << QString() << u"ROMA"_s << u"01/01/1980"_s
                               << u"Sesso errato."_s;
    QTest::newRow("no place") << u"ROSSI"_s << u"MARIO"_s << u"F"_s << QString() << u"01/01/1980"_s
                              << u"Manca Comune di nascita."_s;
    QTest::newRow("one-digit day") << u"ROSSI"_s << u"MARIO"_s << u"M"_s << u"ROMA"_s << u"1/1/1980"_s
                                   << u"Data nascita errata. Esempio formato 01/01/2006"_s;
    QTest::newRow("two-digit year") << u"ROSSI"_s << u"MARIO"_s << u"M"_s << u"ROMA"_s << u"01/01/80"_s
                                    << u"Data nascita errata. Esempio formato 01/01/2006"_s;
    QTest::newRow("no such day") << u"ROSSI"_s << u"MARIO"_s << u"M"_s << u"ROMA"_s << u"30/02/1980"_s
                                 << u"Data nascita errata. Esempio formato 01/01/2006"_s;
}

void TestTaxCode::problemsInOrder()
{
    QFETCH(QString, surname);
    QFETCH(QString, name);
    QFETCH(QString, sex);
    QFETCH(QString, place);
    QFETCH(QString, date);
    QFETCH(QString, message);
    QCOMPARE(TaxCode::problemWith(surname, name, sex, place, date), std::optional<QString>(message));
}

void TestTaxCode::checkCharacterOfTypedCodes_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("expected"); // empty when the code passes
    QTest::newRow("right") << u"RSSMRA80A01H501U"_s << QString();
    QTest::newRow("wrong") << u"VRDLCU75A01F205Z"_s << u"M"_s;
    // A namesake's code: letters stand for digits, and the check character is of the letters.
    QTest::newRow("namesake") << u"RSSMRA80A01H50MM"_s << QString();
    QTest::newRow("namesake, every digit") << u"RSSMRAUPALMHRNMJ"_s << QString();
    QTest::newRow("namesake, wrong") << u"RSSMRA80A01H50MU"_s << u"M"_s;
    // Not a code of the usual shape: nothing to check, as before.
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("typed in part") << u"RSSMRA80A01H501"_s << QString();
    QTest::newRow("provisional, digits") << u"12345678901"_s << QString();
    QTest::newRow("no month letter") << u"RSSMRA80Z01H501U"_s << QString();
}

void TestTaxCode::checkCharacterOfTypedCodes()
{
    QFETCH(QString, code);
    QFETCH(QString, expected);
    const auto wrong = TaxCode::wrongCheckCharacter(code);
    QCOMPARE(wrong ? QString(*wrong) : QString(), expected);
    QCOMPARE(TaxCode::problemWithCode(code).value_or(QString()),
             expected.isEmpty()
                 ? QString()
                 : u"Codice fiscale errato: il carattere di controllo dovrebbe essere %1."_s.arg(expected));
}

void TestTaxCode::publishedVectorsThroughTheWindow()
{
    REQUIRE_SHARED_DATA(u"cf_vectors.csv"_s);
    QFile vectors(sharedDataFolder() + u"/cf_vectors.csv"_s);
    QVERIFY(vectors.open(QIODevice::ReadOnly));
    WorkingFolder folder;
    Messages::ScriptedResponder answers;
    QVERIFY(startSentaro());
    Formvol *window = Windows::formvol();
    vectors.readLine();
    int checked = 0;
    while (!vectors.atEnd()) {
        const QStringList fields = QString::fromUtf8(vectors.readLine()).trimmed().split(u';');
        if (fields.size() < 7)
            continue;
        window->fvcogn->setText(fields[0]);
        window->fvnome->setText(fields[1]);
        window->fvsesso->setText(fields[2]);
        window->fvdatana->setText(fields[3]);
        const int entry =
            window->fvluogona->findText(TextFormat::fixedWidth(fields[4], 35) + u"  "_s, Qt::MatchStartsWith);
        QVERIFY2(entry >= 0, qPrintable(fields[4]));
        window->fvluogona->setCurrentIndex(entry);
        emit window->fvluogona->activated(entry);
        window->fvcfisc->clear();
        answers.clear();
        answers.answerYes();
        window->cmdcfisc->click();
        QCOMPARE(answers.shown(), QStringList{u"Vuoi utilizzare il codice calcolato? "_s + fields[6]});
        QCOMPARE(window->fvcfisc->text(), fields[6]);
        QCOMPARE(TaxCode::wrongCheckCharacter(fields[6]), std::nullopt);
        ++checked;
    }
    QVERIFY(checked >= 30);
}

void TestTaxCode::municipalityNotFoundStops()
{
    WorkingFolder folder;
    Messages::ScriptedResponder answers;
    QVERIFY(startSentaro());
    Formvol *window = Windows::formvol();
    window->fvcogn->setText(u"Rossi"_s);
    window->fvnome->setText(u"Mario"_s);
    window->fvsesso->setText(u"m"_s);
    window->fvdatana->setText(u"01/01/1980"_s);
    window->fvcfisc->setText(u"PRIMA"_s);
    // A typed name of no municipality, or of two, is to be chosen from the list.
    for (const QString &typed : {u"ATLANTIDE"_s, u"castro"_s}) {
        window->fvluogona->setEditText(typed);
        answers.clear();
        answers.answerYes();
        window->cmdcfisc->click();
        QCOMPARE(answers.shown(), QStringList{u"Scegliere il luogo di nascita dall'elenco."_s});
        QCOMPARE(window->fvcfisc->text(), u"PRIMA"_s);
    }

    // Typed by hand, a name in one province only is found without one.
    window->fvluogona->setEditText(u"roma"_s);
    answers.clear();
    answers.answerYes();
    window->cmdcfisc->click();
    QCOMPARE(window->fvcfisc->text(), u"RSSMRA80A01H501U"_s);

    // The province of the chosen entry tells apart the two CASTRO.
    for (const auto &[province, expected] : {std::pair{u"BG"_s, u"C337"_s}, std::pair{u"LE"_s, u"M261"_s}}) {
        choose(window->fvluogona, TextFormat::fixedWidth(u"CASTRO"_s, 35) + u"  "_s + province);
        QCOMPARE(window->fvprovna->text(), province);
        answers.clear();
        answers.answerYes();
        window->cmdcfisc->click();
        QCOMPARE(window->fvcfisc->text().mid(11, 4), expected);
    }
}

void TestTaxCode::declinedCodeLeavesTheBox()
{
    WorkingFolder folder;
    Messages::ScriptedResponder answers;
    QVERIFY(startSentaro());
    Formvol *window = Windows::formvol();
    window->fvcogn->setText(u"BIANCHI"_s);
    window->fvnome->setText(u"LAURA"_s);
    window->fvsesso->setText(u"F"_s);
    window->fvdatana->setText(u"05/03/1985"_s);
    window->fvluogona->setEditText(u"ROMA"_s);
    window->fvcfisc->setText(u"GIA' SCRITTO"_s);
    answers.answerNo();
    window->cmdcfisc->click();
    QCOMPARE(answers.shown(), QStringList{u"Vuoi utilizzare il codice calcolato? BNCLRA85C45H501Z"_s});
    QCOMPARE(window->fvcfisc->text(), u"GIA' SCRITTO"_s);
}

QTEST_MAIN(TestTaxCode)
#include "tst_taxcode.moc"
