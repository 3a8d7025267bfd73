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
    for (const auto &[start, description] : Activities::startsAndDescriptions(*activities)) {
        dateEntries << start;
        descriptionEntries << description;
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
    window->forgetShown();
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

bool rinominaattivita(const AsRead *asRead)
{
    Form2 *window = Windows::form2();
    MainWindowInterface *main = Windows::mainWindow();
    const QString oldName = globals().descrattivita;
    const QString date = window->f2datain->currentText();
    const QString newName = window->f2descr->currentText();

    DataSource *activities = main->Data3;
    // On a server the activity's hold may have to wait for another PC's press.
    Hourglass::set();
    Store::Result refusal;
    const Activities::Renaming renaming =
        Activities::renameIfFree(*activities, *main->Data4, oldName, date, newName, &refusal, asRead);
    Hourglass::reset();
    switch (renaming) {
    case Activities::Renaming::Done:
    case Activities::Renaming::NothingToRename:
        return true;
    case Activities::Renaming::ReadRefused:
        readRefused(activities);
        return false;
    case Activities::Renaming::NameTaken:
        Messages::report(u"Attività già esistente."_s);
        return false;
    case Activities::Renaming::Refused:
        break;
    }
    if (refusal.number == Store::changedElsewhere) {
        window->showAsItIs(date, oldName);
        return false;
    }
    Messages::report(Store::refusal(u"Ridenominazione non eseguita, nulla è stato cambiato: "_s, refusal));
    return false;
}
