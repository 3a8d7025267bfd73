#include "activities/activityregistry.h"

#include "activities/form2.h"
#include "common/globals.h"
#include "common/textformat.h"
#include "database/datasource.h"
#include "store/activities.h"
#include "ui/controls.h"
#include "ui/hourglass.h"
#include "ui/mainwindowinterface.h"
#include "ui/messages.h"
#include "ui/refusals.h"
#include "ui/windowaccess.h"

#include <QComboBox>
#include <QLineEdit>
#include <QLocale>

using namespace Qt::StringLiterals;

void fillActivityLists(QComboBox *dates, QComboBox *descriptions)
{
    DataSource *activities = Windows::mainWindow()->Data3;
    QStringList dateEntries;
    QStringList descriptionEntries;
    for (const Activity &activity : Activities::all(*activities)) {
        dateEntries << activity.start;
        descriptionEntries << activity.description;
    }
    // Part of the activities would pass for all of them.
    if (readRefused(activities))
        return;
    Controls::fillCombo(dates, dateEntries);
    Controls::fillDescriptions(descriptions, descriptionEntries, dateEntries);
}

void caricaattivitaform2()
{
    Form2 *window = Windows::form2();
    window->f2datafi->clear();
    window->f2datain->setEditText(QString());
    window->f2descr->setEditText(QString());
    window->f2loc->clear();
    window->f2note1->setText(QString());
    window->f2note2->setText(QString());
    window->f2oretot->setText(u"0"_s);
    window->f2oreuomo->setText(u"0"_s);
    window->f2prov->clear();
    fillActivityLists(window->f2datain, window->f2descr);
}

bool rinominaattivita()
{
    Form2 *window = Windows::form2();
    MainWindowInterface *main = Windows::mainWindow();
    const QString oldName = globals().descrattivita;
    const QString date = window->f2datain->currentText();
    const QString newName = window->f2descr->currentText();

    DataSource *activities = main->Data3;
    const bool found = Activities::findNamed(*activities, oldName, date);
    if (readRefused(activities))
        return false;
    // A name typed by hand, or one already renamed, leaves nothing to rename.
    if (!found)
        return true;
    // Renaming onto another activity of that day would merge the two; a change of letter
    // case only would find the activity itself.
    if (QString::compare(newName, oldName, Qt::CaseInsensitive) != 0) {
        const bool taken = Activities::findNamed(*activities, newName, date);
        if (readRefused(activities))
            return false;
        if (taken) {
            Messages::report(u"Attività già esistente."_s);
            return false;
        }
    }
    // On a server the activity's hold may have to wait for another PC's press.
    Hourglass::set();
    const Store::Result result = Activities::rename(*activities, *main->Data4, oldName, date, newName);
    Hourglass::reset();
    if (!result.ok()) {
        Messages::report(Store::refusal(u"Ridenominazione non eseguita, nulla è stato cambiato: "_s, result));
        return false;
    }
    return true;
}
