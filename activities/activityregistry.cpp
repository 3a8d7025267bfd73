#include "activities/activityregistry.h"

#include "activities/form2.h"
#include "common/controls.h"
#include "common/globals.h"
#include "common/hourglass.h"
#include "common/mainwindowinterface.h"
#include "common/messages.h"
#include "common/textformat.h"
#include "common/windowaccess.h"
#include "participation/form3.h"
#include "store/activities.h"
#include "store/datasource.h"

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
    fillDescriptions(descriptions, descriptionEntries, dateEntries);
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

void caricaattivitaform3()
{
    Form3 *window = Windows::form3();
    window->f3datafi->clear();
    window->f3datain->setEditText(QString());
    window->f3descr->setEditText(QString());
    window->f3loc->clear();
    window->f3note1->setText(QString());
    window->f3note2->setText(QString());
    window->f3oretot->setText(u"0"_s);
    window->f3oreuomo->setText(u"0"_s);
    window->f3prov->clear();
    fillActivityLists(window->f3datain, window->f3descr);
}

bool rinominaattivita()
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
        Activities::renameIfFree(*activities, *main->Data4, oldName, date, newName, &refusal);
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
    Messages::report(Store::refusal(u"Ridenominazione non eseguita, nulla è stato cambiato: "_s, refusal));
    return false;
}

void fillDescriptions(QComboBox *combo, const QStringList &descriptions, const QStringList &starts)
{
    Controls::fillCombo(combo, descriptions);
    for (int i = 0; i < starts.size(); ++i)
        combo->setItemData(i, starts.at(i));
}

bool readRefused(const DataSource *source)
{
    if (!source->failed())
        return false;
    Hourglass::reset();
    Messages::report(readFailureMessage(source->lastError().description));
    return true;
}

QString readFailureMessage(const QString &reason)
{
    return u"Lettura dell'archivio non riuscita: "_s + reason;
}

std::optional<double> typedHours(const QString &text, bool emptyIsZero)
{
    if (text.trimmed().isEmpty())
        return emptyIsZero ? std::optional<double>(0.0) : std::nullopt;
    const auto hours = TextFormat::readNumber(text);
    if (!hours || *hours < 0)
        return std::nullopt;
    return hours;
}

QString wrongHoursMessage(const QString &what)
{
    return what + u" errato: scrivere un numero non negativo, per esempio 7"_s + QLocale().decimalPoint() + u"5."_s;
}
