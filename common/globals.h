#pragma once

#include <QString>

// What the main grid shows (tipogriglia).
namespace GridKind {
inline const QString activities = QStringLiteral("A");
inline const QString organisations = QStringLiteral("O");
inline const QString volunteers = QStringLiteral("V");
} // namespace GridKind

// The modes of the list window (tipolista).
namespace ListKind {
inline const QString activities = QStringLiteral("EA");    // the activities
inline const QString details = QStringLiteral("ED");       // each activity with its volunteers
inline const QString organisations = QStringLiteral("EO"); // the organisations
inline const QString volunteers = QStringLiteral("EV");    // the volunteers, a click shows one
inline const QString toModify = QStringLiteral("EM");      // the volunteers, a click opens one to change
inline const QString toDelete = QStringLiteral("EC");      // the volunteers, a click opens one to delete
inline const QString riskTable = QStringLiteral("ER");     // hours of one risk class per volunteer
} // namespace ListKind

// The operations of the volunteer window (tipoopvol) and of the organisation window (tipoopass).
namespace Operation {
inline const QString insert = QStringLiteral("I");
inline const QString view = QStringLiteral("V"); // volunteers only
inline const QString modify = QStringLiteral("M");
inline const QString remove = QStringLiteral("C"); // volunteers
inline const QString removeOrganisation = QStringLiteral("A");
} // namespace Operation

// The state shared between windows and procedures, under the names the windows use.
struct Globals {
    QString tipogriglia;      // what the main grid shows: GridKind
    QString dataattivita;     // start date (GG/MM/AAAA) of the activity being worked on
    QString descrattivita;    // description of that activity
    int dagriglia = 0;        // 1 while the details window is opened from the grid: its activation then keeps its lists
    QString datacontrollo;    // the date text controlladata checks
    QString esitodata;        // its verdict: "0" a valid date, "1" not
    QString tipolista;        // the list window's mode: ListKind
    QString tabrischio;       // the risk class of list ER as typed: "0", "6" ... "10"
    QString tipoopvol;        // the volunteer window's operation: Operation insert, view, modify, remove
    QString volontarioscelto; // the volunteer chosen in a list (surname, blank, first name)
    QString tipoopass;        // the organisation window's operation: Operation insert, modify, removeOrganisation
    QString classerischio;    // the risk class of the button pressed in the details window: "0", "6" ... "10"
    QString vocecomune;       // one municipality entry: name in 35 characters, two blanks, province
    QString datainiziostampa; // the register's first start date, year first (AAAA/MM/GG)
    int stampaattiva = 0;     // 1 once the register has an activity to print
    int intestazionepagina = 0; // 1 when the next register line must start a page with its heading
};

Globals &globals();

// Puts every global back to its starting value (tests call it between cases).
void resetGlobals();
