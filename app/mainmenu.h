#pragma once

#include <QObject>

class Form1;
class QAction;
class QMenu;

// The menu bar of the main window, and what each of its commands does.
class MainMenu : public QObject {
    Q_OBJECT
public:
    explicit MainMenu(Form1 *window);

    // The commands, callable as a click on the item would.
    void mnattiv_Click();
    void mnorg_Click();
    void mnvol_Click();
    void mnattved_Click();
    void mnattvea_Click();
    void mnattinsdett_Click();
    void mnattins_Click();
    void mnattstreg_Click();
    void mnorgvel_Click();
    void mnorgaggman_Click();
    void mnorgaggmod_Click();
    void mnorgaggann_Click();
    void mnvvev_Click();
    void mnvvrt_Click();
    void mnvolinsman_Click();
    void mnvam_Click();
    void mnvac_Click();
    void mnvolimp_Click();
    void mnsorveglianza_Click();
    void mnstatcombi_Click();
    void mnespdb_Click();
    void mnazzatt_Click();
    void mnazzvol_Click();
    void mnazzcontrolla_Click();
    void mnguida_Click();
    void mninfo_Click();
    void mnesci_Click();

private:
    void showList(const QString &mode);
    void showOrganisations(const QString &operation, const QString &caption, const QString &title,
                           const QString &button);
    QMenu *addMenu(QMenu *parent, const QString &name, const QString &caption);
    QAction *addCommand(QMenu *parent, const QString &name, const QString &caption, void (MainMenu::*command)());

    Form1 *m_window;
};
