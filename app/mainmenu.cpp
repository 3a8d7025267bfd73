#include "app/mainmenu.h"

#include "activities/activityregistry.h"
#include "activities/form2.h"
#include "app/form1.h"
#include "app/help.h"
#include "app/maintenance.h"
#include "app/registercheckwindow.h"
#include "app/windows.h"
#include "common/controlladata.h"
#include "common/globals.h"
#include "common/riskclasses.h"
#include "common/textformat.h"
#include "organisations/formass.h"
#include "participation/form3.h"
#include "participation/participation.h"
#include "reports/formlist.h"
#include "reports/register.h"
#include "statistics/form4.h"
#include "surveillance/formsorv.h"
#include "store/grid.h"
#include "ui/controls.h"
#include "ui/messages.h"
#include "ui/refusals.h"
#include "volunteers/formvol.h"
#include "volunteers/import.h"

#include <QLabel>
#include <QMenuBar>
#include <QPushButton>

using namespace Qt::StringLiterals;

MainMenu::MainMenu(Form1 *window)
    : QObject(window)
    , m_window(window)
{
    setObjectName(u"MainMenu"_s);
    QMenuBar *bar = window->menuBar();
    bar->setObjectName(u"menubar"_s);

    QMenu *mnattiv = addMenu(nullptr, u"mnattiv"_s, u"&Attività"_s);
    connect(mnattiv, &QMenu::aboutToShow, this, &MainMenu::mnattiv_Click);
    QMenu *mnattv = addMenu(mnattiv, u"mnattv"_s, u"&Visualizza"_s);
    addCommand(mnattv, u"mnattved"_s, u"Elenco &dettagli attività"_s, &MainMenu::mnattved_Click);
    addCommand(mnattv, u"mnattvea"_s, u"Elenco &Attività"_s, &MainMenu::mnattvea_Click);
    QMenu *mnattagg = addMenu(mnattiv, u"mnattagg"_s, u"&Aggiorna"_s);
    addCommand(mnattagg, u"mnattinsdett"_s, u"Aggiornamento &Dettagli Attività"_s, &MainMenu::mnattinsdett_Click);
    addCommand(mnattagg, u"mnattins"_s, u"Aggiornamento &anagrafe attività"_s, &MainMenu::mnattins_Click);
    QMenu *mnattst = addMenu(mnattiv, u"mnattst"_s, u"&Stampe"_s);
    addCommand(mnattst, u"mnattstreg"_s, u"Stampa &registro attività"_s, &MainMenu::mnattstreg_Click);

    QMenu *mnorg = addMenu(nullptr, u"mnorg"_s, u"&Organizzazione"_s);
    connect(mnorg, &QMenu::aboutToShow, this, &MainMenu::mnorg_Click);
    QMenu *mnorgv = addMenu(mnorg, u"mnorgv"_s, u"&Visualizza"_s);
    addCommand(mnorgv, u"mnorgvel"_s, u"&Elenco Organizzazioni"_s, &MainMenu::mnorgvel_Click);
    QMenu *mnorgagg = addMenu(mnorg, u"mnorgagg"_s, u"&Aggiorna"_s);
    addCommand(mnorgagg, u"mnorgaggman"_s, u"&Inserimento manuale"_s, &MainMenu::mnorgaggman_Click);
    addCommand(mnorgagg, u"mnorgaggmod"_s, u"&Modifica Organizzazione"_s, &MainMenu::mnorgaggmod_Click);
    addCommand(mnorgagg, u"mnorgaggann"_s, u"&Annullamento Organizzazione"_s, &MainMenu::mnorgaggann_Click);

    QMenu *mnvol = addMenu(nullptr, u"mnvol"_s, u"&Volontari"_s);
    connect(mnvol, &QMenu::aboutToShow, this, &MainMenu::mnvol_Click);
    QMenu *mnvv = addMenu(mnvol, u"mnvv"_s, u"&Visualizza"_s);
    addCommand(mnvv, u"mnvvev"_s, u"&Elenco volontari"_s, &MainMenu::mnvvev_Click);
    addCommand(mnvv, u"mnvvrt"_s, u"Elenco volontari  &rischio tabella..."_s, &MainMenu::mnvvrt_Click);
    QMenu *mnaggv = addMenu(mnvol, u"mnaggv"_s, u"&Aggiornamento"_s);
    addCommand(mnaggv, u"mnvolinsman"_s, u"&Inserimento manuale"_s, &MainMenu::mnvolinsman_Click);
    addCommand(mnaggv, u"mnvam"_s, u"&Modifica"_s, &MainMenu::mnvam_Click);
    addCommand(mnaggv, u"mnvac"_s, u"&Cancellazione"_s, &MainMenu::mnvac_Click);
    addCommand(mnaggv, u"mnvolimp"_s, u"Im&porta da Dalvimoesp"_s, &MainMenu::mnvolimp_Click);
    addCommand(mnvol, u"mnsorveglianza"_s, u"&Sorveglianza sanitaria"_s, &MainMenu::mnsorveglianza_Click);

    QMenu *mnstat = addMenu(nullptr, u"mnstat"_s, u"&Statistiche"_s);
    addCommand(mnstat, u"mnstatcombi"_s, u"Statistiche &combinate"_s, &MainMenu::mnstatcombi_Click);

    addCommand(nullptr, u"mnespdb"_s, u"Es&porta Data Base"_s, &MainMenu::mnespdb_Click);

    QMenu *mnazz = addMenu(nullptr, u"mnazz"_s, u"A&zzeramenti"_s);
    addCommand(mnazz, u"mnazzatt"_s, u"Azzera &Attività"_s, &MainMenu::mnazzatt_Click);
    addCommand(mnazz, u"mnazzvol"_s, u"Azzera &Volontari"_s, &MainMenu::mnazzvol_Click);
    addCommand(mnazz, u"mnazzcontrolla"_s, u"&Controlla archivio"_s, &MainMenu::mnazzcontrolla_Click);

    QMenu *mnhelp = addMenu(nullptr, u"mnhelp"_s, u"&?"_s);
    QAction *mnguida = addCommand(mnhelp, u"mnguida"_s, u"&Guida di Sentaro"_s, &MainMenu::mnguida_Click);
    // From whichever window of the program the user is in, not only the main one.
    mnguida->setShortcut(QKeySequence(Qt::Key_F1));
    mnguida->setShortcutContext(Qt::ApplicationShortcut);
    addCommand(mnhelp, u"mninfo"_s, u"&Informazioni su Sentaro"_s, &MainMenu::mninfo_Click);
    addCommand(nullptr, u"mnesci"_s, u"&Esci"_s, &MainMenu::mnesci_Click);
}

QMenu *MainMenu::addMenu(QMenu *parent, const QString &name, const QString &caption)
{
    QMenu *menu = parent ? parent->addMenu(caption) : m_window->menuBar()->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    return menu;
}

QAction *MainMenu::addCommand(QMenu *parent, const QString &name, const QString &caption, void (MainMenu::*command)())
{
    QAction *action = parent ? parent->addAction(caption) : m_window->menuBar()->addAction(caption);
    action->setObjectName(name);
    if (command)
        connect(action, &QAction::triggered, this, command);
    return action;
}

void MainMenu::mnattiv_Click()
{
    m_window->showActivities();
}

void MainMenu::mnorg_Click()
{
    m_window->showInGrid(GridSource::organisations(), GridKind::organisations);
}

void MainMenu::mnvol_Click()
{
    m_window->showInGrid(GridSource::volunteers(), GridKind::volunteers);
}

void MainMenu::showList(const QString &mode)
{
    globals().tipolista = mode;
    Controls::showWindow(Windows::formlist());
}

void MainMenu::mnattved_Click()
{
    showList(ListKind::details);
}

void MainMenu::mnattvea_Click()
{
    showList(ListKind::activities);
}

void MainMenu::mnattinsdett_Click()
{
    caricaattivitaform3();
    Controls::showWindow(Windows::form3());
}

void MainMenu::mnattins_Click()
{
    caricaattivitaform2();
    Controls::showWindow(Windows::form2());
}

void MainMenu::mnattstreg_Click()
{
    Globals &g = globals();
    const auto typed = Messages::prompt(u"Batti la data di inizio attività da stampare es. 01/01/2010 oppure non "
                                        u"inserire niente per stampare tutto."_s);
    // Annulla prints nothing; only an empty answer confirmed prints everything.
    if (!typed)
        return;
    QString answer = *typed;
    if (answer.isEmpty())
        answer = u"01/01/2000"_s;
    if (dateRefused(answer, u"Data inizio errata."_s))
        return;
    g.datainiziostampa = TextFormat::yearFirst(answer);
    stamparegistro();
}

void MainMenu::mnorgvel_Click()
{
    showList(ListKind::organisations);
}

void MainMenu::showOrganisations(const QString &operation, const QString &caption, const QString &title,
                                 const QString &button)
{
    Formass *window = Windows::formass();
    globals().tipoopass = operation;
    window->setWindowTitle(caption);
    window->Label1->setText(title);
    window->cmdassregistra->setText(button);
    window->cmdassregistra->setVisible(true);
    window->openedByCommand();
    Controls::showWindow(window);
}

void MainMenu::mnorgaggman_Click()
{
    showOrganisations(Operation::insert, u"Organizzazioni - Inserimento"_s, u" Inserimento nuova organizzazione"_s,
                      u"Registra"_s);
}

void MainMenu::mnorgaggmod_Click()
{
    showOrganisations(Operation::modify, u"Organizzazioni - Modifica"_s, u"Modifica Organizzazione"_s, u"Modifica"_s);
}

void MainMenu::mnorgaggann_Click()
{
    showOrganisations(Operation::removeOrganisation, u"Organizzazioni - Cancellazione"_s,
                      u"Cancellazione di una Organizzazione"_s, u"Elimina"_s);
}

void MainMenu::mnvvev_Click()
{
    showList(ListKind::volunteers);
}

void MainMenu::mnvvrt_Click()
{
    Globals &g = globals();
    g.tabrischio = Messages::prompt(u"Batti il numero della tabella tipo rischio."_s).value_or(QString());
    // A cancelled or non-numeric answer is no table, like a number that is not one.
    if (!riskClassOfCode(g.tabrischio)) {
        Messages::report(u"Numero tabella rischio inesistente."_s);
        return;
    }
    showList(ListKind::riskTable);
}

void MainMenu::mnvolinsman_Click()
{
    globals().tipoopvol = Operation::insert;
    caricaassformvol();
    Windows::formvol()->cmdregistra->setText(u"Registra"_s);
    Controls::showWindow(Windows::formvol());
}

void MainMenu::mnvam_Click()
{
    globals().tipoopvol = Operation::modify;
    Windows::formvol()->cmdregistra->setText(u"Modifica"_s);
    showList(ListKind::toModify);
}

void MainMenu::mnvac_Click()
{
    globals().tipoopvol = Operation::remove;
    caricaassformvol();
    Windows::formvol()->cmdregistra->setText(u"Elimina"_s);
    showList(ListKind::toDelete);
}

void MainMenu::mnsorveglianza_Click()
{
    Controls::showWindow(Windows::formsorv());
}

void MainMenu::mnstatcombi_Click()
{
    Form4 *window = Windows::form4();
    window->setWindowTitle(u"Sentaro - Statistiche combinate"_s);
    Controls::showWindow(window);
}

void MainMenu::mnvolimp_Click()
{
    importavolontari();
}

void MainMenu::mnespdb_Click()
{
    esportadatabase();
}

void MainMenu::mnazzatt_Click()
{
    azzeraattivita();
}

void MainMenu::mnazzcontrolla_Click()
{
    controllaarchivio();
}

void MainMenu::mnazzvol_Click()
{
    azzeravolontari();
}

void MainMenu::mnguida_Click()
{
    Controls::showWindow(Windows::formguida());
}

void MainMenu::mninfo_Click()
{
    Messages::report(Help::aboutText());
}

void MainMenu::mnesci_Click()
{
    Windows::endProgram(0);
}
