#pragma once

#include <QString>

// The state shared between windows and procedures, under the names the windows use.
struct Globals {
    QString tipogriglia;
    QString dataattivita;
    QString descrattivita;
    int dagriglia = 0;
    QString datacontrollo;
    QString esitodata;
    QString tipolista;
    QString tabrischio;
    QString tipoopvol;
    QString volontarioscelto;
    QString tipoopass;
    QString classerischio;
    QString vocecomune;
    QString datainiziostampa;
    int stampaattiva = 0;
    int intestazionepagina = 0;
    int righepagina = 0;
    int posizioneriga = 0;
};

Globals &globals();

// Puts every global back to its starting value (tests call it between cases).
void resetGlobals();
