#pragma once

#include "ui/mainwindowinterface.h"

#include <QByteArray>
#include <QMainWindow>

class DataSource;
class Formvol;
class GridModel;
class MainMenu;
class QLabel;
class QTableView;

// The main window: header picture, main menu and the grid over Data7.
class Form1 : public QMainWindow, public MainWindowInterface {
    Q_OBJECT
public:
    Form1();
    ~Form1() override;

    // Opens the data sources and copies the extra volunteers. False, after telling the user
    // why, when the files cannot be used.
    bool load();

    // Fills the volunteer window's list of places of birth once the files are open, the first
    // time that window is asked for: some 8,000 entries would be a third of the start.
    void fillMunicipalities(Formvol *window);

    // Re-points the grid to a table, as the top-level menus and activation do.
    void showInGrid(const QString &recordSource, const QString &gridKind) override;
    void showActivities() override;
    void setCaption(const QString &caption) override;
    QImage headerPicture() const override;

    // A change of the selected rows of the grid: an activity chosen opens its details.
    void DBGrid1_SelChange();

    QLabel *Image1;
    QTableView *DBGrid1;
    GridModel *gridModel;
    MainMenu *menu;
    // Where the register is, in the status line; only for an archive on a server.
    QLabel *archiveLabel = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void activated();
    void fitColumns();

    // The header picture's file as read at load: the register prints it whole.
    QByteArray m_headerPicture;
    bool m_loaded = false;
    bool m_municipalitiesFilled = false;
    bool m_shownOnce = false;
    QList<int> m_selectedRows;
};
