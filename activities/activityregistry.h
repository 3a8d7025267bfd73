#pragma once

#include <QString>

#include <optional>

// Procedures shared by the activity windows.

// Empties Form2's boxes and fills its lists of start dates and descriptions.
void caricaattivitaform2();
// The same for the activity details window Form3.
void caricaattivitaform3();
// Renames the activity descrattivita of Form2's start date to Form2's description, its
// detail rows first, all in one transaction. Refuses with a message, changing nothing,
// when another activity already has that description on that date; false then.
bool rinominaattivita();

// Hours typed in a box: empty reads as 0 when `emptyIsZero`; letters or a negative
// number read as nothing.
std::optional<double> typedHours(const QString &text, bool emptyIsZero);
// The message that refuses hours typed in a box named `what`.
QString wrongHoursMessage(const QString &what);
