#include "activities/activityregistry.h"

#include "activities/form2.h"
#include "app/form1.h"
#include "app/windows.h"
#include "common/controls.h"
#include "common/globals.h"
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
    Controls::fillCombo(dates, dateEntries);
    Controls::fillCombo(descriptions, descriptionEntries);
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

    // Renaming onto another activity of that day would merge the two.
    DataSource *activities = main->Data3;
    activities->setRecordSource(u"select * from attivita where descratt = ? and datainatt = ?"_s, {newName, date});
    activities->refresh();
    // A change of letter case only finds the activity itself.
    if (!activities->eof() && QString::compare(newName, oldName, Qt::CaseInsensitive) != 0) {
        Messages::report(u"Attività già esistente."_s);
        return false;
    }

    DataSource *details = main->Data4;
    const Store::Result result = Store::inTransaction(main->Data4->database(), [&]() {
        details->setRecordSource(u"select * from attivdett where descratt = ? and datainatt = ?"_s,
                                 {oldName, date});
        details->refresh();
        for (; !details->eof(); details->moveNext()) {
            details->edit();
            details->setValue(u"DESCRATT"_s, newName);
            if (Store::Result stored = details->update(); !stored.ok())
                return stored;
        }
        activities->setRecordSource(u"select * from attivita where descratt = ? and datainatt = ?"_s,
                                    {oldName, date});
        activities->refresh();
        for (; !activities->eof(); activities->moveNext()) {
            activities->edit();
            activities->setValue(u"DESCRATT"_s, newName);
            if (Store::Result stored = activities->update(); !stored.ok())
                return stored;
        }
        return Store::Result{};
    });
    if (!result.ok()) {
        Messages::report(u"Ridenominazione non eseguita, nulla è stato cambiato: "_s + result.description);
        return false;
    }
    return true;
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
