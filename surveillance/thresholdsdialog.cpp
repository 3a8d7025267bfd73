#include "surveillance/thresholdsdialog.h"

#include "common/riskclasses.h"
#include "common/textformat.h"
#include "store/surveillance.h"
#include "ui/controls.h"
#include "ui/mainwindowinterface.h"
#include "ui/messages.h"
#include "ui/refusals.h"
#include "ui/twips.h"
#include "ui/windowaccess.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {
DataSource &thresholdsSource()
{
    return *Windows::mainWindow()->Data5;
}

// A box's number: empty for none, hours not below zero, or for an interval a whole number above
// zero. Says what is wrong, naming the box, and holds the focus there.
bool readBox(QLineEdit *box, bool interval, const QString &what, std::optional<double> *value)
{
    *value = std::nullopt;
    if (box->text().trimmed().isEmpty())
        return true;
    const std::optional<double> number = TextFormat::readNumber(box->text());
    const bool good = number && (interval ? *number > 0 && std::floor(*number) == *number : *number >= 0);
    if (good) {
        *value = number;
        return true;
    }
    Messages::report(u"Valore non valido per "_s + what +
                     (interval ? u": scrivere un numero intero maggiore di zero, oppure lasciare vuoto."_s
                               : u": scrivere un numero di ore, es. 7,5, oppure lasciare vuoto."_s));
    box->setFocus();
    box->selectAll();
    return false;
}
} // namespace

ThresholdsDialog::ThresholdsDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"Formsoglie"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(u"Sentaro - Soglie della sorveglianza sanitaria"_s);
    Twips::resizeClient(this, 6240, 4680);

    using namespace Controls;
    label(this, u"Label1"_s, u"Ore nel periodo"_s, 1320, 120, 2175, 375)->setAlignment(Qt::AlignCenter);
    label(this, u"Label2"_s, u"Ore in una settimana"_s, 3720, 120, 2175, 375)->setAlignment(Qt::AlignCenter);
    for (size_t i = 0; i < yearly.size(); ++i) {
        const RiskClass &riskClass = riskClasses[i + 1];
        const int top = 540 + int(i) * 420;
        label(this, u"Label"_s + riskClass.label.toString(), riskClass.label.toString(), 240, top + 30, 975);
        yearly[i] = textBox(this, u"sogliaanno"_s + riskClass.code.toString(), 1320, top, 2175, 315,
                            u"Vuoto: le ore nel periodo non sono controllate."_s);
        weekly[i] = textBox(this, u"sogliasett"_s + riskClass.code.toString(), 3720, top, 2175, 315,
                            u"Vuoto: le ore di una settimana non sono controllate."_s);
    }
    label(this, u"Label3"_s, u"Anni tra i controlli sanitari"_s, 240, 2730, 3255);
    intcontrollo = textBox(this, u"intcontrollo"_s, 3720, 2700, 2175, 315, u"Vuoto: nessuna scadenza."_s);
    label(this, u"Label4"_s, u"Mesi tra le visite di sorveglianza"_s, 240, 3150, 3255);
    intsorveglianza = textBox(this, u"intsorveglianza"_s, 3720, 3120, 2175, 315, u"Vuoto: nessuna scadenza."_s);
    cmdregistra = button(this, u"cmdregistra"_s, u"Registra"_s, 2880, 3960, 1455, 495);
    cmdesci = button(this, u"cmdesci"_s, u"Esci"_s, 4440, 3960, 1455, 495);
    cmdesci->setAutoDefault(false);
    cmdregistra->setDefault(true);

    connect(cmdregistra, &QPushButton::clicked, this, &ThresholdsDialog::cmdregistra_Click);
    connect(cmdesci, &QPushButton::clicked, this, &QDialog::reject);
}

void ThresholdsDialog::start()
{
    if (!load()) {
        deleteLater();
        return;
    }
    open();
}

bool ThresholdsDialog::load()
{
    Store::Result refusal;
    const Surveillance::Thresholds thresholds = Surveillance::readThresholds(thresholdsSource(), &refusal);
    if (readRefused(!refusal.ok(), refusal.description))
        return false;
    m_shown = thresholds;
    for (size_t i = 0; i < yearly.size(); ++i) {
        yearly[i]->setText(TextFormat::numberText(thresholds.classes[i].yearly));
        weekly[i]->setText(TextFormat::numberText(thresholds.classes[i].weekly));
    }
    intcontrollo->setText(TextFormat::numberText(thresholds.checkYears));
    intsorveglianza->setText(TextFormat::numberText(thresholds.visitMonths));
    return true;
}

void ThresholdsDialog::cmdregistra_Click()
{
    Surveillance::Thresholds thresholds;
    for (size_t i = 0; i < yearly.size(); ++i) {
        const QString label = riskClasses[i + 1].label.toString();
        if (!readBox(yearly[i], false, u"la soglia "_s + label + u" nel periodo"_s, &thresholds.classes[i].yearly) ||
            !readBox(weekly[i], false, u"la soglia "_s + label + u" in una settimana"_s, &thresholds.classes[i].weekly))
            return;
    }
    if (!readBox(intcontrollo, true, u"gli anni tra i controlli sanitari"_s, &thresholds.checkYears) ||
        !readBox(intsorveglianza, true, u"i mesi tra le visite di sorveglianza"_s, &thresholds.visitMonths))
        return;
    const Store::Result result = Surveillance::writeThresholds(thresholdsSource(), thresholds, &m_shown);
    if (result.number == Store::changedElsewhere) {
        Messages::report(Messages::changedElsewhere());
        load();
        return;
    }
    if (!result.ok()) {
        Messages::report(Store::refusal(u"Soglie non registrate: "_s, result));
        return;
    }
    emit saved();
    accept();
}
