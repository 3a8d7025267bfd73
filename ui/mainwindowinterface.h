#pragma once

#include <QImage>
#include <QString>

class DataSource;

// What the windows and procedures of every folder use of the main window: its eight data
// sources, which live as long as the program, and the few things they do to it. app/
// provides it; the other folders see only this.
class MainWindowInterface {
public:
    virtual ~MainWindowInterface() = default;

    // Re-points the grid to a record source, as the top-level menus and activation do;
    // `gridKind` is the value tipogriglia takes (GridKind in common/globals.h).
    virtual void showInGrid(const QString &recordSource, const QString &gridKind) = 0;
    // Back to the activities, most recent first.
    virtual void showActivities() = 0;
    // The caption of the main window (the import counts its rows there).
    virtual void setCaption(const QString &caption) = 0;
    // The header picture as shown, for printouts; empty when there is none.
    virtual QImage headerPicture() const = 0;

    DataSource *Data20 = nullptr; // comuni.mdb: the municipalities
    DataSource *Data8 = nullptr;  // the organisations
    DataSource *Data7 = nullptr;  // what the main grid shows; the register walks it too
    DataSource *Data5 = nullptr;  // the extra volunteers, and look-ups of volunteers
    DataSource *Data6 = nullptr;  // the volunteers
    DataSource *Data4 = nullptr;  // the detail rows, one per volunteer and activity
    DataSource *Data3 = nullptr;  // the activities
    DataSource *Data2 = nullptr;  // voloesp.mdb: the volunteers to import
};
