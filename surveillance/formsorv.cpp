#include "surveillance/formsorv.h"

#include "common/clock.h"
#include "common/datecheck.h"
#include "common/riskclasses.h"
#include "common/volunteertext.h"
#include "database/serverconnection.h"
#include "surveillance/monthchart.h"
#include "surveillance/surveillanceprint.h"
#include "surveillance/thresholdsdialog.h"
#include "surveillance/visitsdialog.h"
#include "ui/controls.h"
#include "ui/exportfile.h"
#include "ui/hourglass.h"
#include "ui/mainwindowinterface.h"
#include "ui/messages.h"
#include "ui/refusals.h"
#include "ui/twips.h"
#include "ui/windowaccess.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>

using namespace Qt::StringLiterals;

namespace {
// The hours, counts of the period: right-aligned to be compared down the column.
constexpr int firstHoursColumn = 3;
constexpr int lastHoursColumn = 9;
} // namespace

Formsorv::Formsorv()
{
    setObjectName(u"Formsorv"_s);
    setWindowTitle(u"Sentaro - Sorveglianza sanitaria"_s);
    Twips::resizeClient(this, 16935, 11160);

    using namespace Controls;
    Label1 = label(this, u"Label1"_s, u"Data da"_s, 480, 120, 1095, 375);
    sorvdal = textBox(this, u"sorvdal"_s, 480, 480, 1095, 375, u"Data nel formato GG/MM/AAAA."_s);
    Label2 = label(this, u"Label2"_s, u"Data a"_s, 1920, 120, 1095, 375);
    sorval = textBox(this, u"sorval"_s, 1920, 480, 1095, 375, u"Data nel formato GG/MM/AAAA."_s);
    for (QLabel *centred : {Label1, Label2})
        centred->setAlignment(Qt::AlignCenter);
    cmdelabora = button(this, u"cmdelabora"_s, u"Elabora"_s, 3360, 240, 1575, 615);
    cmdvisite = button(this, u"cmdvisite"_s, u"Visite…"_s, 5160, 240, 1575, 615,
                       u"Visite del volontario scelto nella tabella."_s);
    cmdsoglie = button(this, u"cmdsoglie"_s, u"Soglie…"_s, 6960, 240, 1575, 615,
                       u"Soglie delle ore di rischio e intervalli delle visite."_s);

    // Long headings on two lines: sized to one line they left the status, the last column, cut short.
    QStringList headings;
    for (const QString &heading : Surveillance::heading())
        headings << headingLines(heading).join(u'\n');
    tabsorv = rowTable(this, u"tabsorv"_s, headings, 360, 1200, 16215, 5280);

    graficosorv = MonthChartView::make(this);
    graficosorv->setObjectName(u"graficosorv"_s);
    Twips::place(graficosorv, 360, 6600, 16215, 3480);

    cmdstampa = button(this, u"cmdstampa"_s, u"Stampa"_s, 11400, 10320, 1215, 615);
    cmdesporta = button(this, u"cmdesporta"_s, u"Esporta"_s, 12960, 10320, 1215, 615);
    cmdesci = button(this, u"cmdesci"_s, u"Esci"_s, 14520, 10320, 1215, 615);

    connect(cmdelabora, &QPushButton::clicked, this, &Formsorv::cmdelabora_Click);
    connect(cmdvisite, &QPushButton::clicked, this, &Formsorv::cmdvisite_Click);
    connect(cmdsoglie, &QPushButton::clicked, this, &Formsorv::cmdsoglie_Click);
    connect(cmdstampa, &QPushButton::clicked, this, &Formsorv::cmdstampa_Click);
    connect(cmdesporta, &QPushButton::clicked, this, &Formsorv::cmdesporta_Click);
    connect(cmdesci, &QPushButton::clicked, this, &Formsorv::cmdesci_Click);
    connect(tabsorv, &QTableWidget::itemSelectionChanged, this, &Formsorv::showChart);

    // The twelve months ending today.
    const QDate today = Clock::today();
    sorvdal->setText(today.addYears(-1).addDays(1).toString(u"dd/MM/yyyy"_s));
    sorval->setText(today.toString(u"dd/MM/yyyy"_s));
    showChart();
}

void Formsorv::showEvent(QShowEvent *event)
{
    // A window restored from the task bar is not opened anew.
    if (!event->spontaneous())
        m_hiddenSaid = false;
    QWidget::showEvent(event);
}

void Formsorv::cmdelabora_Click()
{
    if (requiredDateRefused(sorvdal->text(), u"Data inizio errata."_s) ||
        requiredDateRefused(sorval->text(), u"Data fine errata."_s))
        return;
    const QDate from = calendarDate(sorvdal->text());
    const QDate to = calendarDate(sorval->text());
    // An empty table would pass for nobody to be seen.
    if (from > to) {
        Messages::report(u"La data inizio è successiva alla data fine."_s);
        return;
    }
    m_from = from;
    m_to = to;
    evaluate();
}

void Formsorv::evaluate()
{
    const Surveillance::Row *current = selected();
    const bool wasSelected = current != nullptr;
    const QString surname = current ? current->surname : QString();
    const QString name = current ? current->name : QString();
    Hourglass::set();
    MainWindowInterface *main = Windows::mainWindow();
    Surveillance::Outcome outcome = Surveillance::evaluate(*main->Data5, *main->Data4, m_from, m_to, Clock::today());
    Hourglass::reset();
    m_rows = std::move(outcome.rows);
    m_thresholds = outcome.thresholds;
    showRows();
    if (readRefused(!outcome.refusal.ok(), outcome.refusal.description)) {
        // An empty table printed or exported would pass for nobody to be seen.
        m_from = m_to = QDate();
        return;
    }
    if (outcome.visitsHidden && !m_hiddenSaid) {
        m_hiddenSaid = true;
        Messages::report(hiddenMessage());
    }
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        if (wasSelected && m_rows[i].surname == surname && m_rows[i].name == name)
            tabsorv->selectRow(int(i));
    }
}

QString Formsorv::hiddenMessage()
{
    const auto &server = Server::current();
    return u"Dati sanitari non consultabili con l'utente "_s + (server ? server->user : QString()) + u'.';
}

void Formsorv::showRows()
{
    tabsorv->clearContents();
    tabsorv->setRowCount(int(m_rows.size()));
    for (int row = 0; row < tabsorv->rowCount(); ++row) {
        const QStringList fields = Surveillance::fields(m_rows[row]);
        for (int column = 0; column < fields.size(); ++column) {
            auto *item = new QTableWidgetItem(fields[column]);
            if (column >= firstHoursColumn && column <= lastHoursColumn)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            tabsorv->setItem(row, column, item);
        }
    }
    tabsorv->resizeColumnsToContents();
    showChart();
}

const Surveillance::Row *Formsorv::selected() const
{
    const QList<QTableWidgetItem *> chosen = tabsorv->selectedItems();
    if (chosen.isEmpty() || chosen.first()->row() >= m_rows.size())
        return nullptr;
    return &m_rows[chosen.first()->row()];
}

void Formsorv::showChart()
{
    MonthChart chart;
    const Surveillance::Row *row = selected();
    if (!row) {
        chart.title = u"Ore per mese: scegliere un volontario nella tabella"_s;
        MonthChartView::show(graficosorv, chart);
        return;
    }
    chart.title = u"Ore per mese di "_s + VolunteerText::of(row->surname, row->name).trimmed();
    for (const RiskClass &riskClass : riskClasses)
        chart.classes << riskClass.label.toString();
    chart.hours.resize(chart.classes.size());
    for (QDate month(m_from.year(), m_from.month(), 1); month <= m_to; month = month.addMonths(1)) {
        chart.months << month.toString(u"MM/yyyy"_s);
        const Surveillance::ClassHours hours = row->months.value(month);
        for (size_t i = 0; i < hours.size(); ++i)
            chart.hours[qsizetype(i)] << hours[i];
    }
    MonthChartView::show(graficosorv, chart);
}

bool Formsorv::evaluated()
{
    if (m_from.isValid())
        return true;
    Messages::report(u"Premere prima Elabora."_s);
    return false;
}

void Formsorv::cmdvisite_Click()
{
    const Surveillance::Row *row = selected();
    if (!row) {
        Messages::report(u"Scegliere un volontario nella tabella."_s);
        return;
    }
    auto *dialog = new VisitsDialog(this, row->surname, row->name, m_thresholds);
    connect(dialog, &VisitsDialog::changed, this, &Formsorv::evaluate);
    dialog->start();
}

void Formsorv::cmdsoglie_Click()
{
    auto *dialog = new ThresholdsDialog(this);
    connect(dialog, &ThresholdsDialog::saved, this, [this] {
        if (m_from.isValid())
            evaluate();
    });
    dialog->start();
}

void Formsorv::cmdstampa_Click()
{
    if (!evaluated())
        return;
    const MainWindowInterface *main = Windows::existingMainWindow();
    printSurveillance(m_rows, m_from, m_to, m_thresholds, main ? main->headerPicture() : QImage());
}

void Formsorv::cmdesporta_Click()
{
    if (!evaluated())
        return;
    exportStamped(u"sorveglianza"_s, u"csv"_s, Surveillance::csv(m_rows), u"Tabella esportata nel file "_s);
}

void Formsorv::cmdesci_Click()
{
    hide();
}
