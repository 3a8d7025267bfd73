#include "activities/form2.h"

#include "activities/activityregistry.h"
#include "common/clock.h"
#include "common/controlladata.h"
#include "common/datecheck.h"
#include "common/globals.h"
#include "common/textformat.h"
#include "database/datasource.h"
#include "store/activities.h"
#include "store/details.h"
#include "ui/controls.h"
#include "ui/hourglass.h"
#include "ui/mainwindowinterface.h"
#include "ui/messages.h"
#include "ui/refusals.h"
#include "ui/twips.h"
#include "ui/windowaccess.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

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
    f2prov =
        textBox(this, u"f2prov"_s, 9480, 1560, 615, 285, u"Sigla provincia principale dove si è svolta l'attività"_s);
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

void Form2::showActivityFields(const Activity &activity)
{
    m_shown = activity;
    f2datafi->setText(activity.end);
    f2loc->setText(activity.place);
    f2prov->setText(activity.province);
    f2oretot->setText(TextFormat::numberText(activity.totalHours));
    f2oreuomo->setText(TextFormat::numberText(activity.manHours));
    f2note1->setText(activity.note1);
    f2note2->setText(activity.note2);
}

void Form2::f2datain_Click()
{
    Globals &g = globals();
    g.dataattivita = f2datain->currentText();
    f2descr->clear();
    DataSource *activities = Windows::mainWindow()->Data3;
    for (const Activity &activity : Activities::ofDate(*activities, g.dataattivita)) {
        f2descr->addItem(activity.description);
        f2datafi->setText(activity.end);
        f2descr->setEditText(activity.description);
        g.descrattivita = activity.description;
        showActivityFields(activity);
    }
    readRefused(activities);
}

void Form2::f2descr_Click()
{
    Globals &g = globals();
    g.dataattivita = f2datain->currentText();
    g.descrattivita = f2descr->currentText();
    DataSource *activities = Windows::mainWindow()->Data3;
    for (const Activity &activity :
         Activities::named(*activities, g.descrattivita, g.dataattivita, Activities::Order::Register))
        showActivityFields(activity);
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
    // Reports and the details window count an activity's days from its start to its end.
    if (calendarDate(f2datafi->text()) < calendarDate(f2datain->currentText())) {
        Messages::report(u"La data di fine è precedente alla data di inizio."_s);
        return false;
    }
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

Activity Form2::typedActivity(double total, double manHours) const
{
    Activity activity;
    activity.start = f2datain->currentText();
    activity.end = f2datafi->text();
    activity.description = f2descr->currentText();
    activity.place = f2loc->text();
    activity.province = f2prov->text();
    activity.totalHours = total;
    activity.manHours = manHours;
    activity.note1 = f2note1->text();
    activity.note2 = f2note2->text();
    activity.note3 = u""_s;
    activity.sortKey = globals().datacontrollo;
    return activity;
}

void Form2::showChange()
{
    MainWindowInterface *main = Windows::mainWindow();
    main->Data3->refresh();
    main->showActivities();
    // The lists offer the activities as they now stand; the boxes keep what the user sees.
    const QString start = f2datain->currentText();
    const QString description = f2descr->currentText();
    fillActivityLists(f2datain, f2descr);
    f2datain->setEditText(start);
    f2descr->setEditText(description);
}

void Form2::cmdreg_Click()
{
    double total = 0;
    double manHours = 0;
    if (!commonChecks() || !readHours(&total, &manHours))
        return;
    DataSource *activities = Windows::mainWindow()->Data3;
    const bool exists = Activities::find(*activities, f2datain->currentText(), f2descr->currentText());
    if (readRefused(activities))
        return;
    if (exists) {
        Messages::report(u"Attività già esistente."_s);
        return;
    }
    const Store::Result result = Activities::insert(*activities, typedActivity(total, manHours));
    if (!result.ok()) {
        Messages::report(result.number == Store::duplicateKey ? u"Attività già esistente."_s
                                                              : Store::refusal(u"Attività non registrata: "_s, result));
        return;
    }
    Messages::report(u"attività inserita regolarmente."_s);
    showChange();
}

std::optional<AsRead> Form2::shownAsRead(const QString &start, const QString &description) const
{
    if (!m_shown || m_shown->start != start || QString::compare(m_shown->description, description, Qt::CaseInsensitive))
        return std::nullopt;
    return Records::asRead(*m_shown, Activities::registryFields());
}

void Form2::showAsItIs(const QString &start, const QString &description)
{
    Messages::report(Messages::changedElsewhere());
    m_shown.reset();
    DataSource *activities = Windows::mainWindow()->Data3;
    const QList<Activity> now = Activities::named(*activities, description, start, Activities::Order::Register);
    if (readRefused(activities))
        return;
    if (now.isEmpty()) {
        // Deleted: nothing of it is left to write over.
        f2descr->setEditText(QString());
        showActivityFields(Activity{});
        m_shown.reset();
    } else {
        showActivityFields(now.first());
    }
    showChange();
}

bool Form2::hoursStillFit()
{
    const QString start = f2datain->currentText();
    const QString end = f2datafi->text();
    const QString description = globals().descrattivita.isEmpty() ? f2descr->currentText() : globals().descrattivita;
    // Only a change of dates can leave a volunteer with more hours than the activity's days hold.
    if (m_shown && m_shown->start == start && m_shown->end == end &&
        !QString::compare(m_shown->description, description, Qt::CaseInsensitive))
        return true;
    const auto limit = hoursTheDaysHold(start, end);
    if (!limit)
        return true;
    DataSource *details = Windows::mainWindow()->Data4;
    const double most = Details::mostHours(*details, description, start);
    if (readRefused(details))
        return false;
    return most <= *limit ||
           Messages::askYesNo(u"Ore superiori alla durata dell'attività: confermi?"_s, Messages::Default::No);
}

void Form2::cmdmodifica_Click()
{
    double total = 0;
    double manHours = 0;
    if (!commonChecks() || !readHours(&total, &manHours) || !hoursStillFit())
        return;
    // What the window read of the activity, before any rename: both writes go over that alone.
    const QString oldName = globals().descrattivita;
    const std::optional<AsRead> asRead =
        shownAsRead(f2datain->currentText(), oldName.isEmpty() ? f2descr->currentText() : oldName);
    bool renamed = false;
    if (f2descr->currentText() != oldName && Messages::askYesNo(u"Vuoi modificare la denominazione? "_s)) {
        if (!rinominaattivita(asRead ? &*asRead : nullptr))
            return;
        renamed = true;
    }
    // A rename is committed on its own: the windows show it even when the change stops after it.
    if (rewriteActivity(total, manHours, asRead ? &*asRead : nullptr) || renamed)
        showChange();
}

bool Form2::rewriteActivity(double total, double manHours, const AsRead *asRead)
{
    MainWindowInterface *main = Windows::mainWindow();
    DataSource *activities = main->Data3;
    const QString start = f2datain->currentText();
    const QString description = f2descr->currentText();
    const bool exists = Activities::find(*activities, start, description);
    if (readRefused(activities))
        return false;
    if (!exists) {
        Messages::report(u"Attività non trovata."_s);
        return false;
    }
    const Activity typed = typedActivity(total, manHours);
    // On a server the activity's hold may have to wait for another PC's press.
    Hourglass::set();
    const Store::Result result =
        Activities::change(*activities, *main->Data4, description, start, asRead, [&](Activity &activity) {
            // The window's fields; NOTE3, which it does not show, keeps what the row holds.
            activity.end = typed.end;
            activity.place = typed.place;
            activity.province = typed.province;
            activity.totalHours = typed.totalHours;
            activity.manHours = typed.manHours;
            activity.note1 = typed.note1;
            activity.note2 = typed.note2;
            activity.sortKey = typed.sortKey;
        });
    Hourglass::reset();
    if (result.number == Store::changedElsewhere) {
        showAsItIs(start, description);
        return false;
    }
    if (!result.ok()) {
        Messages::report(Store::refusal(u"Attività non modificata: "_s, result));
        return false;
    }
    m_shown = typed;
    Messages::report(u"attività modificata regolarmente."_s);
    return true;
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
    MainWindowInterface *main = Windows::mainWindow();
    DataSource *activities = main->Data3;
    const QString start = f2datain->currentText();
    const QString description = f2descr->currentText();
    const bool exists = Activities::find(*activities, start, description);
    if (readRefused(activities))
        return;
    if (!exists) {
        Messages::report(u"Attività non trovata."_s);
        return;
    }
    // The activity goes with all its detail rows, or nothing goes.
    // On a server the activity's hold may have to wait for another PC's press.
    Hourglass::set();
    const Store::Result result = Activities::removeWithDetails(*activities, *main->Data4, start, description);
    Hourglass::reset();
    if (!result.ok()) {
        Messages::report(Store::refusal(u"Attività non eliminata, nulla è stato cambiato: "_s, result));
        return;
    }
    showChange();
    Messages::report(u"attività eliminata regolarmente."_s);
}

void Form2::cmdesci_Click()
{
    hide();
}
