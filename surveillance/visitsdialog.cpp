#include "surveillance/visitsdialog.h"

#include "common/volunteertext.h"
#include "surveillance/formsorv.h"
#include "ui/controls.h"
#include "ui/mainwindowinterface.h"
#include "ui/messages.h"
#include "ui/refusals.h"
#include "ui/twips.h"
#include "ui/windowaccess.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

using namespace Qt::StringLiterals;

namespace {
DataSource &visitsSource()
{
    return *Windows::mainWindow()->Data5;
}
} // namespace

VisitsDialog::VisitsDialog(QWidget *parent, const QString &surname, const QString &name,
                           const Surveillance::Thresholds &thresholds)
    : QDialog(parent)
    , m_surname(surname)
    , m_name(name)
    , m_thresholds(thresholds)
{
    setObjectName(u"Formvisite"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    const QString volunteer = VolunteerText::of(surname, name).trimmed();
    setWindowTitle(u"Sentaro - Visite di "_s + volunteer);
    Twips::resizeClient(this, 9600, 5400);

    using namespace Controls;
    label(this, u"Label1"_s, u"Visite di "_s + volunteer, 240, 120, 9120);
    tabvisite = rowTable(this, u"tabvisite"_s, {u"Data"_s, u"Tipo"_s, u"Esito"_s, u"Scadenza"_s, u"Note"_s}, 240, 420,
                         9120, 2400);

    label(this, u"Label2"_s, u"Data"_s, 240, 2940, 1215);
    visdata = textBox(this, u"visdata"_s, 240, 3180, 1215, 315, u"Data nel formato GG/MM/AAAA."_s);
    label(this, u"Label3"_s, u"Tipo"_s, 1560, 2940, 2535);
    vistipo = new QComboBox(this);
    vistipo->setObjectName(u"vistipo"_s);
    vistipo->addItems({Surveillance::basicCheck, Surveillance::surveillanceVisit});
    Twips::place(vistipo, 1560, 3180, 2535, 315);
    label(this, u"Label4"_s, u"Esito"_s, 4200, 2940, 2295);
    visesito = new QComboBox(this);
    visesito->setObjectName(u"visesito"_s);
    visesito->addItems({QString(), Surveillance::fit, Surveillance::fitWithLimits, Surveillance::unfit});
    Twips::place(visesito, 4200, 3180, 2295, 315);
    label(this, u"Label5"_s, u"Scadenza"_s, 6600, 2940, 2760);
    visscadenza = textBox(this, u"visscadenza"_s, 6600, 3180, 1215, 315,
                          u"Vuota: la data della visita più l'intervallo del suo tipo."_s);
    label(this, u"Label6"_s, u"Note"_s, 240, 3600, 1215);
    visnote = textBox(this, u"visnote"_s, 240, 3840, 9120, 315);

    cmdaggiungi = button(this, u"cmdaggiungi"_s, u"Aggiungi"_s, 240, 4680, 1455, 495);
    cmdmodifica = button(this, u"cmdmodifica"_s, u"Modifica"_s, 1800, 4680, 1455, 495);
    cmdelimina = button(this, u"cmdelimina"_s, u"Elimina"_s, 3360, 4680, 1455, 495);
    cmdesci = button(this, u"cmdesci"_s, u"Esci"_s, 7905, 4680, 1455, 495);
    for (QPushButton *button : {cmdaggiungi, cmdmodifica, cmdelimina, cmdesci})
        button->setAutoDefault(false);

    connect(cmdaggiungi, &QPushButton::clicked, this, &VisitsDialog::cmdaggiungi_Click);
    connect(cmdmodifica, &QPushButton::clicked, this, &VisitsDialog::cmdmodifica_Click);
    connect(cmdelimina, &QPushButton::clicked, this, &VisitsDialog::cmdelimina_Click);
    connect(cmdesci, &QPushButton::clicked, this, &QDialog::reject);
    connect(tabvisite, &QTableWidget::itemSelectionChanged, this, &VisitsDialog::showSelected);
}

void VisitsDialog::start()
{
    if (!load()) {
        deleteLater();
        return;
    }
    open();
}

bool VisitsDialog::load()
{
    Store::Result refusal;
    bool hidden = false;
    m_visits = Surveillance::visitsOf(visitsSource(), m_surname, m_name, &refusal, &hidden);
    if (hidden) {
        Messages::report(Formsorv::hiddenMessage());
        return false;
    }
    if (readRefused(!refusal.ok(), refusal.description))
        return false;
    tabvisite->clearContents();
    tabvisite->setRowCount(int(m_visits.size()));
    for (int row = 0; row < tabvisite->rowCount(); ++row) {
        const Visit &visit = m_visits[row];
        // An empty due date is the one the interval gives: shown, but marked as worked out.
        QString due = visit.due;
        if (due.isEmpty()) {
            const QDate computed = Surveillance::dueDate(visit, m_thresholds);
            if (computed.isValid())
                due = computed.toString(u"dd/MM/yyyy"_s) + u" (calcolata)"_s;
        }
        const QStringList texts{visit.date, visit.type, visit.outcome, due, visit.note};
        for (int column = 0; column < texts.size(); ++column)
            tabvisite->setItem(row, column, new QTableWidgetItem(texts[column]));
    }
    tabvisite->resizeColumnsToContents();
    return true;
}

void VisitsDialog::showSelected()
{
    const QList<QTableWidgetItem *> items = tabvisite->selectedItems();
    if (items.isEmpty())
        return;
    const Visit &visit = m_visits[items.first()->row()];
    visdata->setText(visit.date);
    vistipo->setCurrentIndex(std::max(0, vistipo->findText(visit.type, Qt::MatchFixedString)));
    visesito->setCurrentIndex(std::max(0, visesito->findText(visit.outcome, Qt::MatchFixedString)));
    visscadenza->setText(visit.due);
    visnote->setText(visit.note);
}

std::optional<Visit> VisitsDialog::entered()
{
    if (requiredDateRefused(visdata->text(), u"Data visita errata."_s) ||
        dateRefused(visscadenza->text(), u"Data scadenza errata."_s))
        return std::nullopt;
    return Visit{m_surname,
                 m_name,
                 visdata->text(),
                 vistipo->currentText(),
                 visesito->currentText(),
                 visscadenza->text(),
                 visnote->text().trimmed()};
}

std::optional<Visit> VisitsDialog::chosen()
{
    const QList<QTableWidgetItem *> items = tabvisite->selectedItems();
    if (items.isEmpty()) {
        Messages::report(u"Scegliere una visita nell'elenco."_s);
        return std::nullopt;
    }
    return m_visits[items.first()->row()];
}

void VisitsDialog::written(const Store::Result &result, const QString &what)
{
    if (result.ok())
        emit changed();
    // What is stored now, whatever became of the write: a visit changed elsewhere shows as it is.
    load();
    if (result.ok())
        return;
    if (result.number == Store::changedElsewhere)
        Messages::report(Messages::changedElsewhere());
    else if (result.number == Store::duplicateKey)
        Messages::report(u"Visita già registrata: il volontario ha già una visita di questo tipo in questa data."_s);
    else
        Messages::report(Store::refusal(what, result));
}

void VisitsDialog::cmdaggiungi_Click()
{
    if (const std::optional<Visit> visit = entered())
        written(Surveillance::addVisit(visitsSource(), *visit), u"Visita non registrata: "_s);
}

void VisitsDialog::cmdmodifica_Click()
{
    const std::optional<Visit> old = chosen();
    if (!old)
        return;
    if (const std::optional<Visit> visit = entered())
        written(Surveillance::changeVisit(visitsSource(), *old, *visit), u"Visita non modificata: "_s);
}

void VisitsDialog::cmdelimina_Click()
{
    const std::optional<Visit> visit = chosen();
    if (!visit || !Messages::askYesNo(u"Eliminare la visita del "_s + visit->date + u" ("_s + visit->type + u")?"_s,
                                      Messages::Default::No))
        return;
    written(Surveillance::removeVisit(visitsSource(), *visit), u"Visita non eliminata: "_s);
}
