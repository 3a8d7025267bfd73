#pragma once

#include <QString>

class DataSource;
struct AsRead;
class QComboBox;

// Procedures shared by the activity windows.

// Empties Form2's boxes and fills its lists of start dates and descriptions.
void caricaattivitaform2();
// Renames the activity descrattivita of Form2's start date to Form2's description, its
// detail rows first, all in one transaction. When descrattivita names no activity that day
// there is nothing to rename. Refuses with a message, changing nothing, when another
// activity already has that description on that date or the store fails; false then. With
// `asRead`, only while the activity holds what the window read (see Activities::change).
bool rinominaattivita(const AsRead *asRead = nullptr);

// Fills the lists of start dates and descriptions with every activity, oldest start first,
// one entry per activity, leaving their texts empty (both activity windows); a read the
// store refuses is said and leaves them as they were.
void fillActivityLists(QComboBox *dates, QComboBox *descriptions);
