#pragma once

class Form2;
class Form3;
class Formass;
class Formvol;
class MainWindowInterface;
class QComboBox;

// The windows one folder reaches in another. Each is made once, on first use, and lives
// hidden until the program ends; app/ makes them.
namespace Windows {
// How app/ makes them, given once at its start: the window folders sit below app/ and cannot link it.
struct Makers {
    MainWindowInterface *(*mainWindow)() = nullptr;
    MainWindowInterface *(*existingMainWindow)() = nullptr;
    Form2 *(*form2)() = nullptr;
    Form3 *(*form3)() = nullptr;
    Formass *(*formass)() = nullptr;
    Formvol *(*formvol)() = nullptr;
    void (*showFormvol)() = nullptr;
    void (*fillActivityLists)(QComboBox *, QComboBox *) = nullptr;
};
void provide(const Makers &makers);

// The main window, made and loaded on first use; null when its load had to stop the program.
MainWindowInterface *mainWindow();
// The main window if it exists, without making it.
MainWindowInterface *existingMainWindow();
Form2 *form2();
Form3 *form3();
Formass *formass();
Formvol *formvol();
// Shows the volunteer window, for the operation the globals name.
void showFormvol();
// Fills the lists of start dates and descriptions of either activity window with every
// activity (activities/activityregistry.h).
void fillActivityLists(QComboBox *dates, QComboBox *descriptions);
} // namespace Windows
