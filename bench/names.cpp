#include "names.h"

using namespace Qt::StringLiterals;

namespace Names {

const QStringList &surnames()
{
    static const QStringList list = {
        u"ROSSI"_s,      u"RUSSO"_s,      u"FERRARI"_s,      u"ESPOSITO"_s,    u"BIANCHI"_s,      u"ROMANO"_s,
        u"COLOMBO"_s,    u"RICCI"_s,      u"MARINO"_s,       u"GRECO"_s,       u"BRUNO"_s,        u"GALLO"_s,
        u"CONTI"_s,      u"DE LUCA"_s,    u"MANCINI"_s,      u"COSTA"_s,       u"GIORDANO"_s,     u"RIZZO"_s,
        u"LOMBARDI"_s,   u"MORETTI"_s,    u"BARBIERI"_s,     u"FONTANA"_s,     u"SANTORO"_s,      u"MARIANI"_s,
        u"RINALDI"_s,    u"CARUSO"_s,     u"FERRARA"_s,      u"GALLI"_s,       u"MARTINI"_s,      u"LEONE"_s,
        u"LONGO"_s,      u"GENTILE"_s,    u"MARTINELLI"_s,   u"VITALE"_s,      u"LOMBARDO"_s,     u"SERRA"_s,
        u"COPPOLA"_s,    u"DE SANTIS"_s,  u"D'ANGELO"_s,     u"MARCHETTI"_s,   u"PARISI"_s,       u"VILLA"_s,
        u"CONTE"_s,      u"FERRARO"_s,    u"FERRI"_s,        u"FABBRI"_s,      u"BIANCO"_s,       u"MARINI"_s,
        u"GRASSO"_s,     u"VALENTINI"_s,  u"MESSINA"_s,      u"SALA"_s,        u"DE ANGELIS"_s,   u"GATTI"_s,
        u"PELLEGRINI"_s, u"PALUMBO"_s,    u"SANNA"_s,        u"FARINA"_s,      u"RIZZI"_s,        u"MONTI"_s,
        u"CATTANEO"_s,   u"MORELLI"_s,    u"AMATO"_s,        u"SILVESTRI"_s,   u"MAZZA"_s,        u"TESTA"_s,
        u"GRASSI"_s,     u"PELLEGRINO"_s, u"CARBONE"_s,      u"GIULIANI"_s,    u"BENEDETTI"_s,    u"BARONE"_s,
        u"ROSSETTI"_s,   u"CAPUTO"_s,     u"MONTANARI"_s,    u"GUERRA"_s,      u"PALMIERI"_s,     u"BERNARDI"_s,
        u"MARTINO"_s,    u"FIORE"_s,      u"DE ROSA"_s,      u"FERRETTI"_s,    u"BELLINI"_s,      u"BASILE"_s,
        u"RIVA"_s,       u"DONATI"_s,     u"PIRAS"_s,        u"VITALI"_s,      u"BATTAGLIA"_s,    u"SARTORI"_s,
        u"NERI"_s,       u"COSTANTINI"_s, u"MILANI"_s,       u"PAGANO"_s,      u"RUGGIERO"_s,     u"SORRENTINO"_s,
        u"D'AMICO"_s,    u"ORLANDO"_s,    u"DAMICO"_s,       u"NEGRI"_s,       u"DELL'ORTO"_s,    u"DELL'ACQUA"_s,
        u"LO RUSSO"_s,   u"LA ROSA"_s,    u"DI STEFANO"_s,   u"DI PIETRO"_s,   u"D'ALESSANDRO"_s, u"SANT'ANGELO"_s,
        u"FOÀ"_s,        u"CANTÙ"_s,      u"LUCÀ"_s,         u"MARÌ"_s,        u"ZANÈ"_s,         u"NICOLÒ"_s,
        u"FERRÀ"_s,      u"BARBERÀ"_s,    u"SCIACCHITANO"_s, u"MUSUMECI"_s,    u"TROPEA"_s,       u"ZANETTI"_s,
        u"ZANON"_s,      u"BORTOLUZZI"_s, u"DAL MASO"_s,     u"DALLA VALLE"_s, u"DA ROS"_s,       u"PERIN"_s,
        u"BONIFACIO"_s,  u"CASAGRANDE"_s, u"TOMASI"_s,       u"PEDROTTI"_s,    u"GASPERINI"_s,    u"UNTERHOLZNER"_s,
        u"KOFLER"_s,     u"MAIR"_s,       u"PUGLIESE"_s,     u"CALABRÒ"_s,     u"MOLINARI"_s,     u"BERTOLINI"_s,
        u"MELIS"_s,      u"CONGIU"_s,     u"ATZENI"_s,       u"PINNA"_s,       u"CUCCU"_s,        u"MURGIA"_s,
        u"PAOLETTI"_s,   u"BALDINI"_s,    u"GUIDI"_s,        u"LANDI"_s,       u"BIONDI"_s,       u"PAGANI"_s,
        u"ARMANI"_s,     u"BERTI"_s,      u"CASADEI"_s,      u"TOSI"_s,        u"ZAMBONI"_s,      u"BENASSI"_s,
        u"GIANNINI"_s,   u"SIMONETTI"_s,  u"CIRILLO"_s,      u"IACOVELLI"_s,   u"DI GIOVANNI"_s,  u"DE FILIPPIS"_s,
        u"NARDELLI"_s,   u"FALCONE"_s,    u"GRIECO"_s,       u"MANCUSO"_s,     u"SPINELLI"_s,     u"CIOFFI"_s,
    };
    return list;
}

const QStringList &maleNames()
{
    static const QStringList list = {
        u"MARCO"_s,     u"GIUSEPPE"_s,   u"LUCA"_s,    u"ANDREA"_s,    u"FRANCESCO"_s, u"ALESSANDRO"_s, u"MATTEO"_s,
        u"LORENZO"_s,   u"DAVIDE"_s,     u"SIMONE"_s,  u"FEDERICO"_s,  u"RICCARDO"_s,  u"STEFANO"_s,    u"PAOLO"_s,
        u"ROBERTO"_s,   u"GIOVANNI"_s,   u"ANTONIO"_s, u"MARIO"_s,     u"LUIGI"_s,     u"FABIO"_s,      u"MASSIMO"_s,
        u"CLAUDIO"_s,   u"GIORGIO"_s,    u"DANIELE"_s, u"NICOLÒ"_s,    u"NICCOLÒ"_s,   u"MATTIA"_s,     u"TOMMASO"_s,
        u"GABRIELE"_s,  u"EMANUELE"_s,   u"PIETRO"_s,  u"SALVATORE"_s, u"VINCENZO"_s,  u"CARMELO"_s,    u"GIANLUCA"_s,
        u"PIERLUIGI"_s, u"GIAN MARIA"_s, u"JOSÈ"_s,    u"ENEA"_s,      u"ELIA"_s,      u"ALBERTO"_s,    u"RENATO"_s,
        u"SERGIO"_s,    u"BRUNO"_s,      u"CARLO"_s,   u"FRANCO"_s,    u"ENRICO"_s,    u"DINO"_s,
    };
    return list;
}

const QStringList &femaleNames()
{
    static const QStringList list = {
        u"GIULIA"_s,       u"FRANCESCA"_s,  u"CHIARA"_s,   u"SARA"_s,     u"MARTINA"_s,   u"ELENA"_s,  u"ANNA"_s,
        u"VALENTINA"_s,    u"ALESSIA"_s,    u"FEDERICA"_s, u"SILVIA"_s,   u"LAURA"_s,     u"PAOLA"_s,  u"MARIA"_s,
        u"MARIA GRAZIA"_s, u"ANNA MARIA"_s, u"ROSSELLA"_s, u"CRISTINA"_s, u"ELISA"_s,     u"ILARIA"_s, u"BEATRICE"_s,
        u"AURORA"_s,       u"GINEVRA"_s,    u"NOEMI"_s,    u"LETIZIA"_s,  u"BENEDETTA"_s, u"SOFIA"_s,  u"GIORGIA"_s,
        u"ROBERTA"_s,      u"MONICA"_s,     u"BARBARA"_s,  u"DANIELA"_s,  u"TIZIANA"_s,   u"LUCIA"_s,  u"ROSA"_s,
        u"CONCETTA"_s,     u"ASSUNTA"_s,    u"IRENE"_s,    u"MICHELA"_s,  u"ERIKA"_s,     u"SIMONA"_s, u"NICOLETTA"_s,
    };
    return list;
}

const QStringList &streets()
{
    static const QStringList list = {
        u"VIA GARIBALDI"_s,        u"VIA ROMA"_s,
        u"VIA MAZZINI"_s,          u"CORSO VITTORIO EMANUELE"_s,
        u"VIA CAVOUR"_s,           u"PIAZZA DELLA LIBERTÀ"_s,
        u"VIA DANTE ALIGHIERI"_s,  u"VIA XX SETTEMBRE"_s,
        u"VIA DELLA REPUBBLICA"_s, u"VIA SANT'ANTONIO"_s,
        u"VIA MARCONI"_s,          u"VIA DEI MILLE"_s,
        u"VIALE EUROPA"_s,         u"VIA GRAMSCI"_s,
        u"VIA MATTEOTTI"_s,        u"VIA DELL'UNITÀ D'ITALIA"_s,
        u"VIA SAN FRANCESCO"_s,    u"VIA PO"_s,
        u"VIA NAZIONALE"_s,        u"LARGO DELLA CARITÀ"_s,
    };
    return list;
}

const std::vector<ActivityKind> &activityKinds()
{
    // Classes: 0 = R0, 1 = R6 manual handling, 2 = R7 screens, 3 = R8 physical agents,
    // 4 = R9 dangerous substances, 5 = R10 biological agents.
    static const std::vector<ActivityKind> list = {
        {u"ANTINCENDIO BOSCHIVO"_s, 3, 4, 16, 48},
        {u"Esercitazione antincendio boschivo"_s, 3, 1, 12, 32},
        {u"EMERGENZA ALLUVIONE"_s, 1, 5, 24, 56},
        {u"Emergenza sisma - campo di accoglienza"_s, 1, 5, 32, 64},
        {u"Presidio idrogeologico"_s, 1, 3, 16, 40},
        {u"Monitoraggio argini"_s, 3, 1, 12, 32},
        {u"Sala operativa"_s, 2, 0, 16, 48},
        {u"Assistenza manifestazione"_s, 0, 1, 8, 32},
        {u"Assistenza alla popolazione - ondata di calore"_s, 0, 5, 12, 32},
        {u"Corso base di protezione civile"_s, 0, 2, 8, 24},
        {u"Corso di formazione BLSD"_s, 0, 5, 12, 20},
        {u"Corso motoseghe e sicurezza"_s, 3, 1, 12, 32},
        {u"Attività nelle scuole: la sicurezza è di tutti"_s, 0, 2, 8, 16},
        {u"Ricerca persona scomparsa"_s, 1, 3, 16, 48},
        {u"Emergenza neve"_s, 1, 3, 16, 40},
        {u"Pulizia alvei e sfalcio"_s, 3, 4, 16, 32},
        {u"Manutenzione mezzi e attrezzature"_s, 1, 4, 8, 24},
        {u"Disinfestazione e bonifica"_s, 4, 5, 12, 32},
        {u"Soccorso idraulico con idrovore"_s, 3, 1, 16, 48},
        {u"Campagna \"Io non rischio\""_s, 0, 2, 8, 16},
        {u"Servizio antincendio - porto"_s, 4, 3, 12, 32},
        {u"Esercitazione regionale di protezione civile"_s, 1, 3, 16, 48},
        {u"Allestimento centro operativo comunale"_s, 1, 2, 12, 32},
        {u"Vigilanza piena del fiume"_s, 3, 0, 16, 48},
        {u"Supporto vaccinazioni - punto di accoglienza"_s, 5, 0, 16, 32},
        {u"Distribuzione pasti alla popolazione"_s, 5, 1, 12, 32},
        {u"Ripristino viabilità dopo frana"_s, 1, 3, 16, 48},
        {u"Aggiornamento piano comunale di emergenza"_s, 2, 0, 8, 24},
    };
    return list;
}

const QStringList &organisationKinds()
{
    static const QStringList list = {
        u"GRUPPO COMUNALE DI PROTEZIONE CIVILE DI"_s,
        u"ASSOCIAZIONE VOLONTARI PROTEZIONE CIVILE DI"_s,
        u"NUCLEO ANTINCENDIO BOSCHIVO DI"_s,
        u"SQUADRA RADIOAMATORI EMERGENZA DI"_s,
        u"CROCE VERDE DI"_s,
        u"GRUPPO CINOFILO DA SOCCORSO DI"_s,
    };
    return list;
}

} // namespace Names
