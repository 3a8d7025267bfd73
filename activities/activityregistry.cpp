#include "activities/activityregistry.h"

#include "activities/form2.h"
#include "app/form1.h"
#include "app/windows.h"
#include "common/controls.h"
#include "common/globals.h"
#include "common/hourglass.h"
#include "common/messages.h"
#include "common/textformat.h"
#include "participation/form3.h"
#include "store/database.h"
#include "store/datasource.h"

#include <QComboBox>
#include <QLineEdit>
#include <QLocale>

using namespace Qt::StringLiterals;

namespace {
// Both windows list every activity, oldest start first, one entry per activity.
void fillActivityLists(QComboBox *dates, QComboBox *descriptions)
{
    DataSource *activities = Windows::form1()->Data3;
    activities->setRecordSource(u"select * from Attivita order by note4, descratt"_s);
    activities->refresh();
    QStringList dateEntries;
    QStringList descriptionEntries;
    for (; !activities->eof(); activities->moveNext()) {
        dateEntries << activities->text(u"datainatt"_s);
        descriptionEntries << activities->text(u"descratt"_s);
    }
    readRefused(activities);
    Controls::fillCombo(dates, dateEntries);
    fillDescriptions(descriptions, descriptionEntries, dateEntries);
}
} // namespace

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
    Form1 *main = Windows::form1();
    const QString oldName = globals().descrattivita;
    const QString date = window->f2datain->currentText();
    const QString newName = window->f2descr->currentText();
    const QString findByName = u"select * from attivita where descratt = ? and datainatt = ?"_s;

    DataSource *activities = main->Data3;
    activities->setRecordSource(findByName, {oldName, date});
    activities->refresh();
    if (readRefused(activities))
        return false;
    // A name typed by hand, or one already renamed, leaves nothing to rename.
    if (activities->eof())
        return true;
    // Renaming onto another activity of that day would merge the two; a change of letter
    // case only would find the activity itself.
    if (QString::compare(newName, oldName, Qt::CaseInsensitive) != 0) {
        activities->setRecordSource(findByName, {newName, date});
        activities->refresh();
        if (readRefused(activities))
            return false;
        if (!activities->eof()) {
            Messages::report(u"Attività già esistente."_s);
            return false;
        }
    }

    DataSource *details = main->Data4;
    // A walk the store cuts short would rename only part of the rows: then nothing is renamed.
    const auto renameAll = [&](DataSource *source, const QString &sql) {
        source->setRecordSource(sql, {oldName, date});
        source->refresh();
        for (; !source->eof(); source->moveNext()) {
            source->edit();
            source->setValue(u"DESCRATT"_s, newName);
            if (Store::Result stored = source->update(); !stored.ok())
                return stored;
        }
        return source->lastError();
    };
    const Store::Result result = Store::inTransaction(details->database(), [&]() {
        const Store::Result renamed =
            renameAll(details, u"select * from attivdett where descratt = ? and datainatt = ?"_s);
        return renamed.ok() ? renameAll(activities, findByName) : renamed;
    });
    if (!result.ok()) {
        Messages::report(u"Ridenominazione non eseguita, nulla è stato cambiato: "_s + result.description);
        return false;
    }
    return true;
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
