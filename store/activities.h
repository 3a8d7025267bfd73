#pragma once

#include "store/database.h"
#include "store/records.h"

#include <QList>
#include <QString>

#include <functional>

class DataSource;

// The activities, read and written through the main window's source of them, which each
// operation leaves on the record source it ran. A read returns the rows it could read; a
// read the store refused shows in the source's lastError(), for the window to say.
namespace Activities {

// How a listing of one activity is ordered: as the registry lists activities (start year
// first) or as the details window does (start as typed).
enum class Order { Register, Start };

// The start and description of every activity, oldest start first: what the windows' lists offer.
// The rows are those of every activity; only those two fields are read from each.
QList<std::pair<QString, QString>> startsAndDescriptions(DataSource &activities);
// The activities starting on `start`.
QList<Activity> ofDate(DataSource &activities, const QString &start);
// The activity `description` of `start`, found by its identity.
QList<Activity> named(DataSource &activities, const QString &description, const QString &start, Order order);
// The activities whose description contains `typed` as it stands: %, _ and \ are characters.
QList<Activity> search(DataSource &activities, const QString &typed);

// Stands `activities` on the activity `description` of `start`; false when there is none
// (or the store refused the read). The registry's look-up, and the one its renaming and the
// details window run, which reads the identity the other way round.
bool find(DataSource &activities, const QString &start, const QString &description);
bool findNamed(DataSource &activities, const QString &description, const QString &start);

// Adds an activity as the registry enters it: its fields but the risk hours, which its
// detail rows make.
Store::Result insert(DataSource &activities, const Activity &activity);
// Changes the activity `description` of `start` as `changing` makes it, and the fields its detail
// rows copy from it (identity, dates, place, province) in every one of them, all or nothing, under
// the activity's hold. With `asRead`, only while the activity still holds what a window read of it;
// Store::changedElsewhere when it does not, or is no longer there.
Store::Result change(DataSource &activities, DataSource &details, const QString &description, const QString &start,
                     const AsRead *asRead, const std::function<void(Activity &)> &changing);
// The fields the registry window shows of an activity and writes back.
QStringList registryFields();
// Deletes the activity `activities` stands on with all its detail rows, or nothing.
Store::Result removeWithDetails(DataSource &activities, DataSource &details, const QString &start,
                                const QString &description);
// Renames the activity `oldName` of `start` with its detail rows (see change).
Store::Result rename(DataSource &activities, DataSource &details, const QString &oldName, const QString &start,
                     const QString &newName, const AsRead *asRead = nullptr);
// What renaming an activity in its registry came to.
enum class Renaming {
    Done,
    NothingToRename, // no activity of that name that day: typed by hand, or renamed already
    NameTaken,       // another activity of that day has the new name: the two would merge
    ReadRefused,     // the look-up was refused: see the source's lastError()
    Refused,         // the rename itself: nothing changed
};
// Renames the activity `oldName` of `start` to `newName` (see rename) once it is there and no
// other activity of that day has the new name; a change of letter case only is its own name.
// The store's refusal comes back in `refusal`.
Renaming renameIfFree(DataSource &activities, DataSource &details, const QString &oldName, const QString &start,
                      const QString &newName, Store::Result *refusal, const AsRead *asRead = nullptr);
// Moves the activity `description` of `oldStart` to `newStart` with its detail rows and its
// year-first date (see change).
Store::Result moveStart(DataSource &activities, DataSource &details, const QString &description,
                        const QString &oldStart, const QString &newStart, const QString &newSortKey,
                        const AsRead *asRead = nullptr);

// Inside a transaction on a server, holds the activity's row until the transaction ends, so
// that writes of its detail rows and its totals from several PCs go one after another; a
// failure when the activity is no longer there. Nothing to do on the local file, which one
// program writes at a time.
Store::Result lock(const QSqlDatabase &db, const QString &description, const QString &start);

} // namespace Activities
