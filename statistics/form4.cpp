#include "statistics/form4.h"

#include "common/clock.h"
#include "common/controlladata.h"
#include "common/globals.h"
#include "common/riskclasses.h"
#include "common/volunteertext.h"
#include "statistics/statistics.h"
#include "store/reportrows.h"
#include "ui/controls.h"
#include "ui/hourglass.h"
#include "ui/mainwindowinterface.h"
#include "ui/messages.h"
#include "ui/printer.h"
#include "ui/refusals.h"
#include "ui/twips.h"
#include "ui/windowaccess.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using namespace Qt::StringLiterals;

Form4::Form4()
{
    setObjectName(u"Form4"_s);
    setWindowTitle(u"Sentaro - Statistiche"_s);
    Twips::resizeClient(this, 16935, 11160);

    using namespace Controls;
    Label1 = label(this, u"Label1"_s, u"Data da"_s, 480, 120, 1095, 375);
    f4datada = textBox(this, u"f4datada"_s, 480, 480, 1095, 375);
    Label2 = label(this, u"Label2"_s, u"Data a"_s, 1920, 120, 1095, 375);
    f4dataa = textBox(this, u"f4dataa"_s, 1920, 480, 1095, 375);
    Label3 = label(this, u"Label3"_s, u"Rischio"_s, 3360, 120, 1575, 255);
    cmbrisc = comboBox(this, u"cmbrisc"_s, 3360, 480, 1575, 315);
    Label4 = label(this, u"Label4"_s, u"Volontari"_s, 5160, 120, 3135, 375);
    cmbvol = comboBox(this, u"cmbvol"_s, 5160, 480, 3135, 315);
    for (QLabel *centred : {Label1, Label2, Label3, Label4})
        centred->setAlignment(Qt::AlignCenter);
    cmdelab = button(this, u"cmdelab"_s, u"Elabora"_s, 8760, 240, 1575, 615);
    List1 = new QListWidget(this);
    List1->setObjectName(u"List1"_s);
    List1->setFont(Twips::font(u"Courier New"_s, 8.25));
    List1->setUniformItemSizes(true);
    Twips::place(List1, 360, 2280, 16215, 6990);
    cmdstampa = button(this, u"cmdstampa"_s, u"Stampa"_s, 12960, 10200, 1215, 615);
    cmdesci = button(this, u"cmdesci"_s, u"Esci"_s, 14520, 10200, 1215, 615);

    QWidget *order[] = {f4datada, f4dataa, cmbrisc, cmbvol, List1, cmdesci, cmdstampa, cmdelab};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(cmdelab, &QPushButton::clicked, this, &Form4::cmdelab_Click);
    connect(cmdstampa, &QPushButton::clicked, this, &Form4::cmdstampa_Click);
    connect(cmdesci, &QPushButton::clicked, this, &Form4::cmdesci_Click);
    Form_Load();
}

void Form4::Form_Load()
{
    const QDate today = Clock::today();
    f4datada->setText(u"01/01/"_s + QString::number(today.year()).rightJustified(4, u'0'));
    f4dataa->setText(today.toString(u"dd/MM/yyyy"_s));
    QStringList classes{u"TUTTI"_s};
    for (const RiskClass &riskClass : riskClasses)
        classes << riskClass.label.toString();
    Controls::fillCombo(cmbrisc, classes);
    // A listing of everything is what most want first.
    cmbrisc->setCurrentIndex(0);
    QStringList names{u"TUTTI"_s};
    Reports::volunteers(*Windows::mainWindow()->Data6,
                        [&](const Volunteer &row) { names << VolunteerText::of(row.surname, row.name); });
    Controls::fillCombo(cmbvol, names);
    cmbvol->setCurrentIndex(0);
    Hourglass::reset();
}

void Form4::cmdelab_Click()
{
    List1->clear();
    if (requiredDateRefused(f4datada->text(), u"Data inizio errata."_s) ||
        requiredDateRefused(f4dataa->text(), u"Data fine errata."_s))
        return;
    // Without them the listing would count nothing and look like an archive without hours.
    const QString riskChoice = cmbrisc->currentText();
    if (riskChoice != u"TUTTI"_s && !riskClassOfLabel(riskChoice)) {
        Messages::report(u"Scegliere il rischio."_s);
        return;
    }
    if (cmbvol->currentText().trimmed().isEmpty()) {
        Messages::report(u"Scegliere i volontari."_s);
        return;
    }
    Store::Result refusal;
    const QStringList lines =
        buildStatistics({f4datada->text(), f4dataa->text(), riskChoice, cmbvol->currentText()}, &refusal);
    List1->addItems(lines);
    if (!refusal.ok())
        Messages::report(u"Statistica non calcolata, l'archivio non si è potuto leggere: "_s + refusal.description);
}

void Form4::cmdstampa_Click()
{
    QStringList lines;
    for (int i = 0; i < List1->count(); ++i)
        lines << List1->item(i)->text();
    // The widest line of the listing is a volunteer's: name, total and six classes.
    printListing(lines, u"statistiche"_s, int(statisticsLine({}, 0, {0, 0, 0, 0, 0, 0}).size()));
}

void Form4::cmdesci_Click()
{
    hide();
}
