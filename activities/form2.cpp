#include "activities/form2.h"

#include "activities/activityregistry.h"
#include "activities/controlladata.h"
#include "app/form1.h"
#include "app/windows.h"
#include "common/clock.h"
#include "common/controls.h"
#include "common/globals.h"
#include "common/messages.h"
#include "common/textformat.h"
#include "common/twips.h"
#include "store/database.h"
#include "store/datasource.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {
const QString findActivity = u"select * from Attivita where datainatt = ? AND descratt = ?"_s;

bool dateRefused(const QString &date, const QString &message)
{
    globals().datacontrollo = date;
    controlladata();
    if (globals().esitodata == u"1"_s) {
        Messages::report(message);
        return true;
    }
    return false;
}
} // namespace

Form2::Form2()
{
    setObjectName(u"Form2"_s);
    setWindowTitle(u"Anagrafe Attività"_s);
    Twips::resizeClient(this, 10830, 6765);

    using namespace Controls;
    Label1 = label(this, u"Label1"_s, u"Data Inizio"_s, 960, 600);
    f2datain = comboBox(this, u"f2datain"_s, 720, 840, 1335);
    Command1 = button(this, u"Command1"_s, u"H"_s, 240, 720, 255, 375);
    Label2 = label(this, u"Label2"_s, u"Data Fine"_s, 2280, 600);
    f2datafi = textBox(this, u"f2datafi"_s, 2280, 840, 975, 285, u"Data fine attività nel formato gg/mm/aaaa"_s);
    Label3 = label(this, u"Label3"_s, u" Attività"_s, 3480, 600);
    f2descr = comboBox(this, u"f2descr"_s, 3360, 840, 5895);
    Label4 = label(this, u"Label4"_s, u"Località"_s, 3480, 1320);
    f2loc = textBox(this, u"f2loc"_s, 3360, 1560, 5895, 285, u"Località principale dove si è svolta l'attività."_s);
    Label5 = label(this, u"Label5"_s, u"Prov."_s, 9480, 1320, 615);
    f2prov = textBox(this, u"f2prov"_s, 9480, 1560, 615, 285,
                     u"Sigla provincia principale dove si è svolta l'attività"_s);
    Label6 = label(this, u"Label6"_s, u"Ore totali"_s, 840, 2280);
    f2oretot = textBox(this, u"f2oretot"_s, 840, 2520, 975, 285, u"Numero ore durata attività."_s);
    Label7 = label(this, u"Label7"_s, u"Ore uomo"_s, 2160, 2280);
    f2oreuomo = textBox(this, u"f2oreuomo"_s, 2160, 2520, 975, 285, u"Numero ore/uomo lavorate"_s);
    Label8 = label(this, u"Label8"_s, u"Note 1"_s, 3480, 2400);
    f2note1 = memoBox(this, u"f2note1"_s, 100, 3480, 2640, 5775, 795);
    Label9 = label(this, u"Label9"_s, u"Note 2"_s, 3480, 3720);
    f2note2 = memoBox(this, u"f2note2"_s, 100, 3480, 3960, 5775, 795);
    cmdreg = button(this, u"cmdreg"_s, u"Registra"_s, 3840, 5640, 1335, 495);
    cmdmodifica = button(this, u"cmdmodifica"_s, u"Modifica"_s, 5400, 5640, 1335, 495);
    cmdelimina = button(this, u"cmdelimina"_s, u"Elimina"_s, 6960, 5640, 1335, 495);
    cmdesci = button(this, u"cmdesci"_s, u"Esci"_s, 8520, 5640, 1335, 495);

    setTabOrder(f2datain, f2datafi);
    setTabOrder(f2datafi, f2descr);
    setTabOrder(f2descr, f2loc);
    setTabOrder(f2loc, f2prov);
    setTabOrder(f2prov, f2oretot);
    setTabOrder(f2oretot, f2oreuomo);
    setTabOrder(f2oreuomo, f2note1);
    setTabOrder(f2note1, f2note2);
    setTabOrder(f2note2, cmdreg);

    connect(f2datain, &QComboBox::activated, this, &Form2::f2datain_Click);
    connect(f2descr, &QComboBox::activated, this, &Form2::f2descr_Click);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(cmdreg, &QPushButton::clicked, this, &Form2::cmdreg_Click);
    connect(cmdmodifica, &QPushButton::clicked, this, &Form2::cmdmodifica_Click);
    connect(cmdelimina, &QPushButton::clicked, this, &Form2::cmdelimina_Click);
    connect(cmdesci, &QPushButton::clicked, this, &Form2::cmdesci_Click);
}

void Form2::showActivityFields(const DataSource *activities)
{
    f2datafi->setText(activities->text(u"datafiatt"_s));
    f2loc->setText(activities->text(u"locatt"_s));
    f2prov->setText(activities->text(u"provatt"_s));
    f2oretot->setText(TextFormat::numberText(activities->value(u"oretot"_s)));
    f2oreuomo->setText(TextFormat::numberText(activities->value(u"oreuomo"_s)));
    f2note1->setText(activities->text(u"note1"_s));
    f2note2->setText(activities->text(u"note2"_s));
}

void Form2::f2datain_Click()
{
    Globals &g = globals();
    g.dataattivita = f2datain->currentText();
    f2descr->clear();
    DataSource *activities = Windows::form1()->Data3;
    activities->setRecordSource(u"select * from Attivita where datainatt = ? order by datainatt, descratt"_s,
                                {g.dataattivita});
    activities->refresh();
    for (; !activities->eof(); activities->moveNext()) {
        const QString description = activities->text(u"descratt"_s);
        f2descr->addItem(description);
        f2datafi->setText(activities->text(u"datafiatt"_s));
        f2descr->setEditText(description);
        g.descrattivita = description;
        showActivityFields(activities);
    }
    readRefused(activities);
}

void Form2::f2descr_Click()
{
    Globals &g = globals();
    g.dataattivita = f2datain->currentText();
    g.descrattivita = f2descr->currentText();
    DataSource *activities = Windows::form1()->Data3;
    activities->setRecordSource(
        u"select * from Attivita where descratt = ? and datainatt = ? order by note4, descratt"_s,
        {g.descrattivita, g.dataattivita});
    activities->refresh();
    for (; !activities->eof(); activities->moveNext())
        showActivityFields(activities);
    readRefused(activities);
}

void Form2::Command1_Click()
{
    const QString today = Clock::today().toString(u"dd/MM/yyyy"_s);
    f2datain->setEditText(today);
    f2datafi->setText(today);
}

bool Form2::commonChecks()
{
    if (f2datain->currentText().isEmpty()) {
        Messages::report(u"Manca la data di inizio attività"_s);
        return false;
    }
    if (f2datafi->text().isEmpty()) {
        Messages::report(u"Manca la data di fine attività"_s);
        return false;
    }
    f2descr->setEditText(f2descr->currentText().toUpper());
    if (f2descr->currentText().isEmpty()) {
        Messages::report(u"Manca descrizione o nome dell'attività"_s);
        return false;
    }
    f2loc->setText(f2loc->text().toUpper());
    if (f2loc->text().isEmpty()) {
        Messages::report(u"Manca Località principale dove si è svolta l'attività"_s);
        return false;
    }
    f2prov->setText(f2prov->text().toUpper());
    if (f2prov->text().isEmpty()) {
        Messages::report(u"Manca la sigla della provincia principale dove si è svolta l'attività"_s);
        return false;
    }
    f2note1->setText(f2note1->text().toUpper());
    f2note2->setText(f2note2->text().toUpper());
    if (dateRefused(f2datain->currentText(), u"Data inizio errata."_s))
        return false;
    if (dateRefused(f2datafi->text(), u"Data fine errata."_s))
        return false;
    globals().datacontrollo = TextFormat::yearFirst(f2datain->currentText());
    return true;
}

// Hours are numbers: text that is not one is refused before anything is written.
bool Form2::readHours(double *total, double *manHours)
{
    const auto typedTotal = typedHours(f2oretot->text(), true);
    if (!typedTotal) {
        Messages::report(wrongHoursMessage(u"Numero ore totali"_s));
        return false;
    }
    const auto typedManHours = typedHours(f2oreuomo->text(), true);
    if (!typedManHours) {
        Messages::report(wrongHoursMessage(u"Numero ore uomo"_s));
        return false;
    }
    *total = *typedTotal;
    *manHours = *typedManHours;
    return true;
}

void Form2::writeFields(DataSource *activities, double total, double manHours)
{
    activities->setValue(u"DATAINATT"_s, f2datain->currentText());
    activities->setValue(u"DATAFIATT"_s, f2datafi->text());
    activities->setValue(u"DESCRATT"_s, f2descr->currentText());
    activities->setValue(u"LOCATT"_s, f2loc->text());
    activities->setValue(u"PROVATT"_s, f2prov->text());
    activities->setValue(u"ORETOT"_s, total);
    activities->setValue(u"OREUOMO"_s, manHours);
    activities->setValue(u"NOTE1"_s, f2note1->text());
    activities->setValue(u"NOTE2"_s, f2note2->text());
    activities->setValue(u"NOTE3"_s, QString(u""_s));
    activities->setValue(u"NOTE4"_s, globals().datacontrollo);
}

void Form2::refreshMainWindow()
{
    Form1 *main = Windows::form1();
    main->Data3->refresh();
    main->showActivities();
}

void Form2::cmdreg_Click()
{
    double total = 0;
    double manHours = 0;
    if (!commonChecks() || !readHours(&total, &manHours))
        return;
    DataSource *activities = Windows::form1()->Data3;
    activities->setRecordSource(findActivity, {f2datain->currentText(), f2descr->currentText()});
    activities->refresh();
    if (readRefused(activities))
        return;
    if (!activities->eof()) {
        Messages::report(u"Attività già esistente."_s);
        return;
    }
    activities->addNew();
    writeFields(activities, total, manHours);
    const Store::Result result = activities->update();
    activities->refresh();
    if (!result.ok()) {
        Messages::report(result.number == Store::duplicateKey ? u"Attività già esistente."_s
                                                               : u"Attività non registrata: "_s + result.description);
        return;
    }
    Messages::report(u"attività inserita regolarmente."_s);
    refreshMainWindow();
}

void Form2::cmdmodifica_Click()
{
    double total = 0;
    double manHours = 0;
    if (!commonChecks() || !readHours(&total, &manHours))
        return;
    if (f2descr->currentText() != globals().descrattivita) {
        if (Messages::askYesNo(u"Vuoi modificare la denominazione? "_s) && !rinominaattivita())
            return;
    }
    DataSource *activities = Windows::form1()->Data3;
    activities->setRecordSource(findActivity, {f2datain->currentText(), f2descr->currentText()});
    activities->refresh();
    if (readRefused(activities))
        return;
    if (activities->eof()) {
        Messages::report(u"Attività non trovata."_s);
        return;
    }
    activities->edit();
    writeFields(activities, total, manHours);
    const Store::Result result = activities->update();
    activities->refresh();
    if (!result.ok()) {
        Messages::report(u"Attività non modificata: "_s + result.description);
        return;
    }
    Messages::report(u"attività modificata regolarmente."_s);
    refreshMainWindow();
}

void Form2::cmdelimina_Click()
{
    if (!Messages::askYesNo(u"Confermi l'eliminazione dall'attività?"_s, Messages::Default::No))
        return;
    if (f2datain->currentText().isEmpty()) {
        Messages::report(u"Manca la data di inizio attività"_s);
        return;
    }
    f2descr->setEditText(f2descr->currentText().toUpper());
    if (f2descr->currentText().isEmpty()) {
        Messages::report(u"Manca descrizione o nome dell'attività"_s);
        return;
    }
    if (dateRefused(f2datain->currentText(), u"Data inizio errata."_s) ||
        dateRefused(f2datafi->text(), u"Data fine errata."_s))
        return;
    Form1 *main = Windows::form1();
    DataSource *activities = main->Data3;
    const QVariantList activity{f2datain->currentText(), f2descr->currentText()};
    activities->setRecordSource(findActivity, activity);
    activities->refresh();
    if (readRefused(activities))
        return;
    if (activities->eof()) {
        Messages::report(u"Attività non trovata."_s);
        return;
    }
    // The activity goes with all its detail rows, or nothing goes.
    DataSource *details = main->Data4;
    const Store::Result result = Store::inTransaction(details->database(), [&]() {
        details->setRecordSource(u"select * from Attivdett where datainatt = ? AND descratt = ?"_s, activity);
        details->refresh();
        for (; !details->eof(); details->moveNext()) {
            if (Store::Result removed = details->remove(); !removed.ok())
                return removed;
        }
        // Rows the store would not give are still there: the activity stays with them.
        if (details->failed())
            return details->lastError();
        return activities->remove();
    });
    if (!result.ok()) {
        Messages::report(u"Attività non eliminata, nulla è stato cambiato: "_s + result.description);
        return;
    }
    refreshMainWindow();
    Messages::report(u"attività eliminata regolarmente."_s);
}

void Form2::cmdesci_Click()
{
    hide();
}
