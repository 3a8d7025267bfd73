#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class DataSource;
class QComboBox;

// Procedures shared by the activity windows.

// Empties Form2's boxes and fills its lists of start dates and descriptions.
void caricaattivitaform2();
// The same for the activity details window Form3.
void caricaattivitaform3();
// Renames the activity descrattivita of Form2's start date to Form2's description, its
// detail rows first, all in one transaction. When descrattivita names no activity that day
// there is nothing to rename. Refuses with a message, changing nothing, when another
// activity already has that description on that date or the store fails; false then.
bool rinominaattivita();

// Fills the lists of start dates and descriptions with every activity, oldest start first,
// one entry per activity, leaving their texts empty (both activity windows); a read the
// store refuses is said and leaves them as they were.
void fillActivityLists(QComboBox *dates, QComboBox *descriptions);

// Fills a drop-down list of activity descriptions, each entry carrying its start date, so
// that choosing one names one activity even where several days share a description.
void fillDescriptions(QComboBox *combo, const QStringList &descriptions, const QStringList &starts);

// Says so, once the pointer is back, with the store's reason, when the store refused a read
// of `source` since its last refresh; true then, and what was read must not be acted on.
bool readRefused(const DataSource *source);
QString readFailureMessage(const QString &reason);

// Hours typed in a box: empty reads as 0 when `emptyIsZero`; letters or a negative
// number read as nothing.
std::optional<double> typedHours(const QString &text, bool emptyIsZero);
// The message that refuses hours typed in a box named `what`.
QString wrongHoursMessage(const QString &what);
