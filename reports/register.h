#pragma once

#include <QString>

// Prints the register of activities from globals().datainiziostampa on, with the
// volunteers of each and their hours by risk class, and ends the print document.
// Returns the PDF's file name when there was no printer, otherwise empty text.
QString stamparegistro();
