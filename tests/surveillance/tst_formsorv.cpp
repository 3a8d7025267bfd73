#include "app/form1.h"
#include "app/windows.h"
#include "common/clock.h"
#include "database/datasource.h"
#include "database/serverconnection.h"
#include "store/schema.h"
#include "surveillance/formsorv.h"
#include "surveillance/thresholdsdialog.h"
#include "surveillance/visitsdialog.h"
#include "testsupport.h"
#include "ui/printer.h"

#include <QAction>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStackedBarSeries>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
// Column of the status, the last of the table.
constexpr int statusColumn = 15;
const QString due = u"Da sottoporre a sorveglianza"_s;
} // namespace

class TestFormsorv : public ProgramTest {
    Q_OBJECT
private slots:
    void init();
    void evaluatesAndFollowsTheVisits();
    void refusesWrongDatesAndThresholds();
    void exportsAndPrints();
    void healthDataKeptFromARole();

private:
    void open();
    void click(QPushButton *button, const QStringList &messages = {});
    // Surname and status of each row.
    QStringList statuses() const;

    Formsorv *m_form = nullptr;
};

void TestFormsorv::init()
{
    QVERIFY(start({u"insert into VOLO (COGN, NOME, CODFISC) values ('ROSSI', 'MARIO', 'RSSMRA80A01H501U'), "
                   u"('BIANCHI', 'ANNA', ''), ('VERDI', 'LUCA', '')"_s,
                   u"insert into ATTIVDETT (DATAINATT, DATAFIATT, DESCRATT, COGN, NOME, ORET0, ORET6, ORET7) values "
                   u"('10/03/2025', '10/03/2025', 'SISMA', 'ROSSI MARIO', '', 0, 0, 25), "
                   u"('02/05/2025', '', 'NEVE', 'ROSSI MARIO', '', 0, 0, 2.5), "
                   u"('01/06/2024', '', 'PRIMA', 'ROSSI MARIO', '', 0, 0, 40), "
                   u"('05/04/2025', '', 'NEVE', 'BIANCHI ANNA', '', 0, 3, 0), "
                   u"('05/04/2025', '', 'NEVE', 'VERDI LUCA', '', 8, 0, 0)"_s,
                   u"insert into VISITE (COGN, NOME, DATAVISITA, TIPO, ESITO, SCADENZA) values "
                   u"('BIANCHI', 'ANNA', '01/01/2024', 'Sorveglianza sanitaria', 'Idoneo', '01/01/2025')"_s},
                  [] { Clock::setFixed(QDateTime(QDate(2025, 6, 1), QTime(10, 0))); }));
    open();
}

void TestFormsorv::open()
{
    m_main->findChild<QAction *>(u"mnsorveglianza"_s)->trigger();
    m_form = Windows::formsorv();
    QVERIFY(m_form->isVisible());
}

void TestFormsorv::click(QPushButton *button, const QStringList &messages)
{
    m_answers->clear();
    m_answers->answerYes(int(messages.size()));
    button->click();
    QCOMPARE(m_answers->shown(), messages);
}

QStringList TestFormsorv::statuses() const
{
    QStringList found;
    for (int row = 0; row < m_form->tabsorv->rowCount(); ++row)
        found << m_form->tabsorv->item(row, 0)->text() + u' ' + m_form->tabsorv->item(row, statusColumn)->text();
    return found;
}

void TestFormsorv::evaluatesAndFollowsTheVisits()
{
    QCOMPARE(m_form->windowTitle(), u"Sentaro - Sorveglianza sanitaria"_s);
    // The twelve months ending today: the hours of 01/06/2024 are outside.
    QCOMPARE(m_form->sorvdal->text(), u"02/06/2024"_s);
    QCOMPARE(m_form->sorval->text(), u"01/06/2025"_s);
    click(m_form->cmdelabora);
    QCOMPARE(statuses(), (QStringList{u"BIANCHI Visita scaduta"_s, u"ROSSI "_s + due}));
    QCOMPARE(m_form->tabsorv->item(1, 5)->text(), u"27,5"_s);

    // The chart: one stacked set a class, one bar a month of the period.
    m_form->tabsorv->selectRow(1);
    auto *view = qobject_cast<QChartView *>(m_form->graficosorv);
    QVERIFY2(view, qPrintable(m_form->graficosorv->property("text").toString()));
    const auto series = view->chart()->series();
    QCOMPARE(series.size(), 1);
    const auto sets = qobject_cast<QStackedBarSeries *>(series[0])->barSets();
    QCOMPARE(sets.size(), 6);
    QCOMPARE(sets[2]->label(), u"R7"_s);
    QCOMPARE(sets[2]->count(), 13);
    QCOMPARE(sets[2]->at(0), 0.0);
    QCOMPARE(sets[2]->at(9), 25.0);

    // A surveillance visit puts him in order; a second of the same day and type is refused.
    click(m_form->cmdvisite);
    auto *visits = m_form->findChild<VisitsDialog *>();
    QVERIFY(visits && visits->isVisible());
    visits->visdata->setText(u"15/05/2025"_s);
    visits->vistipo->setCurrentText(u"Sorveglianza sanitaria"_s);
    visits->visesito->setCurrentText(u"Idoneo"_s);
    click(visits->cmdaggiungi);
    QCOMPARE(visits->tabvisite->rowCount(), 1);
    QCOMPARE(visits->tabvisite->item(0, 3)->text(), u"15/05/2026 (calcolata)"_s);
    QCOMPARE(statuses().value(1), u"ROSSI In regola"_s);
    QCOMPARE(m_form->tabsorv->item(1, 11)->text(), u"15/05/2025"_s);
    click(visits->cmdaggiungi,
          {u"Visita già registrata: il volontario ha già una visita di questo tipo in questa data."_s});
    visits->visdata->setText(u"31/02/2025"_s);
    click(visits->cmdaggiungi, {u"Data errata. Deve essere nel formato GG/MM/AAAA."_s, u"Data visita errata."_s});
    QCOMPARE(visits->tabvisite->rowCount(), 1);

    // Unfit, changed through the dialog; then deleted, and due again.
    visits->tabvisite->selectRow(0);
    visits->visesito->setCurrentText(u"Non idoneo"_s);
    click(visits->cmdmodifica);
    QCOMPARE(statuses().value(1), u"ROSSI Non idoneo"_s);
    visits->tabvisite->selectRow(0);
    click(visits->cmdelimina, {u"Eliminare la visita del 15/05/2025 (Sorveglianza sanitaria)?"_s});
    QCOMPARE(visits->tabvisite->rowCount(), 0);
    QCOMPARE(statuses().value(1), u"ROSSI "_s + due);
    QCOMPARE(queryValue(Schema::registerFile, u"select count(*) from VISITE"_s).toInt(), 1);
    visits->cmdesci->click();
}

void TestFormsorv::refusesWrongDatesAndThresholds()
{
    m_form->sorvdal->setText(u"30/02/2025"_s);
    click(m_form->cmdelabora, {u"Data errata. Deve essere nel formato GG/MM/AAAA."_s, u"Data inizio errata."_s});
    m_form->sorvdal->setText(u"02/06/2025"_s);
    click(m_form->cmdelabora, {u"La data inizio è successiva alla data fine."_s});
    QCOMPARE(m_form->tabsorv->rowCount(), 0);
    m_form->sorvdal->setText(u"02/06/2024"_s);
    // A refused read leaves no table to print or export.
    click(m_form->cmdelabora);
    m_answers->clear();
    m_answers->answerYes();
    DataSource::refuseReadsAfter(2);
    m_form->cmdelabora->click();
    DataSource::refuseReadsAfter(-1);
    QVERIFY(m_answers->shown().value(0).startsWith(u"Lettura dell'archivio non riuscita: "_s));
    click(m_form->cmdesporta, {u"Premere prima Elabora."_s});
    click(m_form->cmdelabora);

    click(m_form->cmdsoglie);
    auto *thresholds = m_form->findChild<ThresholdsDialog *>();
    QVERIFY(thresholds && thresholds->isVisible());
    QCOMPARE(thresholds->weekly[1]->text(), u"20"_s);
    QCOMPARE(thresholds->intcontrollo->text(), u"5"_s);
    thresholds->yearly[0]->setText(u"-1"_s);
    click(thresholds->cmdregistra, {u"Valore non valido per la soglia R6 nel periodo: scrivere un numero di ore, es. "
                                    u"7,5, oppure lasciare vuoto."_s});
    thresholds->yearly[0]->setText(u"2,5"_s);
    thresholds->intsorveglianza->setText(u"1,5"_s);
    click(thresholds->cmdregistra, {u"Valore non valido per i mesi tra le visite di sorveglianza: scrivere un numero "
                                    u"intero maggiore di zero, oppure lasciare vuoto."_s});
    QVERIFY(thresholds->isVisible());
    QCOMPARE(queryValue(Schema::registerFile, u"select ORESETTIMANA from SOGLIE where CLASSE = '7'"_s).toDouble(),
             20.0);

    // Stored, and the table evaluated again: 25 hours in a week are now under R7's threshold.
    thresholds->intsorveglianza->setText(u"12"_s);
    thresholds->weekly[1]->setText(u"30,5"_s);
    click(thresholds->cmdregistra);
    QCOMPARE(queryValue(Schema::registerFile, u"select ORESETTIMANA from SOGLIE where CLASSE = '7'"_s).toDouble(),
             30.5);
    QCOMPARE(statuses(), (QStringList{u"BIANCHI Visita scaduta"_s, u"ROSSI In regola"_s}));
}

void TestFormsorv::exportsAndPrints()
{
    // Enough volunteers with visits for a second page.
    QStringList many;
    for (int i = 1; i <= 40; ++i)
        many << u"('PROVA%1', 'X', '01/01/2025', 'Controllo sanitario')"_s.arg(i, 2, 10, QChar(u'0'));
    runSql(Schema::registerFile, {u"insert into VISITE (COGN, NOME, DATAVISITA, TIPO) values "_s + many.join(u", "_s)});
    click(m_form->cmdesporta, {u"Premere prima Elabora."_s});
    click(m_form->cmdelabora);
    QCOMPARE(m_form->tabsorv->rowCount(), 42);

    const QString path =
        QDir::toNativeSeparators(QDir::current().absoluteFilePath(u"sorveglianza-20250601-100000.csv"_s));
    click(m_form->cmdesporta, {u"Tabella esportata nel file "_s + path});
    QVERIFY(keepForCheck(path));
    const QString python = QStandardPaths::findExecutable(u"python3"_s);
    if (!python.isEmpty()) {
        QProcess process;
        process.start(python, {u"-c"_s,
                               u"import csv, sys\n"
                               u"rows = list(csv.reader(open(sys.argv[1], encoding='utf-8-sig', newline=''), "
                               u"delimiter=';'))\n"
                               u"print(len(rows)); print('|'.join(rows[0])); print('|'.join(rows[-1]))\n"_s,
                               path});
        QVERIFY(process.waitForFinished(60000));
        const QStringList read = QString::fromUtf8(process.readAllStandardOutput()).trimmed().split(u'\n');
        QCOMPARE(read.value(0), u"43"_s);
        QCOMPARE(read.value(1), u"Cognome|Nome|Codice fiscale|R0|R6|R7|R8|R9|R10|R7 settimana massima|Classi oltre "
                                u"soglia|Ultima visita|Tipo|Esito|Scadenza|Stato"_s);
        QCOMPARE(read.value(2), u"ROSSI|MARIO|RSSMRA80A01H501U|0|0|27,5|0|0|0|25|R7|||||"_s + due);
    }

    Printer::setTarget(Printer::Target::Pdf);
    m_answers->clear();
    m_answers->answerNo();
    m_form->cmdstampa->click();
    Printer::setTarget(Printer::Target::RecordOnly);
    QCOMPARE(m_answers->shown().size(), 1);
    const QString pdf = m_answers->shown()[0].section(u"nel file "_s, 1).section(u'\n', 0, 0);
    QVERIFY2(fileBytes(pdf).startsWith("%PDF"), qPrintable(m_answers->shown()[0]));
    QVERIFY(Printer::lastPage().landscape);
    QStringList texts;
    for (const DrawnItem &item : Printer::lastRecording())
        texts << item.text;
    QVERIFY(texts.contains(u"Pagina 2 di 2"_s));
    QCOMPARE(texts.count(u"SORVEGLIANZA SANITARIA DAL 02/06/2024 AL 01/06/2025"_s), 2);
    QCOMPARE(texts.count(u"Stampato il 01/06/2025"_s), 2);
    QVERIFY(texts.contains(u"Controllo sanitario ogni 5 anni; sorveglianza sanitaria ogni 12 mesi."_s));
    QVERIFY(texts.contains(u"PROVA40"_s) && texts.contains(u"ROSSI"_s));
}

void TestFormsorv::healthDataKeptFromARole()
{
    if (!serverArchive())
        QSKIP("a role is a server's");
    runSql(Schema::registerFile, {u"revoke select on VISITE from consultazione"_s});
    stopSentaro();
    QSettings(Server::settingsFile, QSettings::IniFormat).setValue(u"archivio/utente"_s, u"consultazione"_s);
    qputenv("PGPASSWORD", "consultazione-prova");
    Clock::setFixed(QDateTime(QDate(2025, 6, 1), QTime(10, 0)));
    m_answers->clear();
    m_answers->answerYes();
    m_main = startSentaro();
    QVERIFY(m_main);
    QCOMPARE(m_answers->shown(), QStringList{u"L'utente consultazione può solo consultare l'archivio."_s});
    open();
    const QString hidden = u"Dati sanitari non consultabili con l'utente consultazione."_s;
    click(m_form->cmdelabora, {hidden});
    // The hours and flags still show, the visit columns stay empty.
    QCOMPARE(statuses(), (QStringList{u"BIANCHI "_s + due, u"ROSSI "_s + due}));
    QCOMPARE(m_form->tabsorv->item(0, 11)->text(), QString());
    click(m_form->cmdelabora);
    m_form->cmdesci->click();
    open();
    click(m_form->cmdelabora, {hidden});

    // A write the role may not make is said, and nothing is written.
    click(m_form->cmdsoglie);
    auto *thresholds = m_form->findChild<ThresholdsDialog *>();
    thresholds->weekly[1]->setText(u"99"_s);
    m_answers->clear();
    m_answers->answerYes();
    thresholds->cmdregistra->click();
    QCOMPARE(m_answers->shown().size(), 1);
    QVERIFY(thresholds->isVisible());
    stopSentaro();
    qputenv("PGPASSWORD", "segreteria-prova");
    QCOMPARE(queryValue(Schema::registerFile, u"select ORESETTIMANA from SOGLIE where CLASSE = '7'"_s).toDouble(),
             20.0);
}

QTEST_MAIN(TestFormsorv)
#include "tst_formsorv.moc"
