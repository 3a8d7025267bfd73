#pragma once

// Prints the register of activities from globals().datainiziostampa on, with the
// volunteers of each and their hours by risk class, and tells the user how it went:
// "Stampa registro terminata." only when a register was printed; otherwise that there was
// nothing to print, or why it could not be read or printed. True when it was printed.
bool stamparegistro();
