#pragma once

#include "ui/windowaccess.h"

class Form1;
class Form11;
class Form2;
class Form3;
class Formass;
class Formlist;
class Form4;
class Formvol;
class Formsorv;
class Formguida;

// Each window is made once, on first use, and lives hidden until the program ends.
namespace Windows {
Form11 *form11();
// Making the main window runs its load; null when the load had to stop the program.
Form1 *form1();
Formlist *formlist();
Form4 *form4();
Formsorv *formsorv();
Formguida *formguida();

// The main window if it exists, without making it.
Form1 *existingForm1();

// Hides every window and ends the event loop: the program's stop, in order.
void endProgram(int exitCode = 0);
bool endRequested();

// Destroys every window and closes the database files (at exit, and between tests).
void destroyAll();
} // namespace Windows
