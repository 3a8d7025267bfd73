#pragma once

#include "store/database.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class DataSource;

// What disagrees in a register kept for years or converted from an older file, found by reading it
// whole, and the mending of what can be worked out from the register itself.
namespace RegisterCheck {

enum class Kind {
    DetailDiffers,         // a detail row's end, place or province is not its activity's
    DetailWithoutActivity, // a detail row of no activity
    UnknownVolunteer,      // a name in detail rows that no volunteer has
    TotalsDiffer,          // an activity's hours are not the sums of its rows'
    SharedTaxCode,         // volunteers sharing a tax code
    WrongCheckCharacter,   // a tax code whose last character is not the one its others give
    VisitWithoutVolunteer, // a visit of no volunteer
};
inline constexpr int kinds = 7;

struct Finding {
    Kind kind;
    QString text; // the line shown
};

struct Report {
    QList<Finding> findings; // by kind, in the order of Kind
    Store::Result refusal;   // a read refused: then no findings
    int count(Kind kind) const;
    // Whether Correggi has anything to mend.
    bool mendable() const;
};

// The heading of a kind in the report.
QString title(Kind kind);
// The report as lines: for each kind its heading with the count, then its rows.
QStringList lines(const Report &report);
// The same as a CSV file: UTF-8 with BOM, ';', one row a finding.
QByteArray csv(const Report &report);

// The check character a tax code should have when it has the wrong one (the caller's rule).
using CheckCharacter = std::function<std::optional<QChar>(const QString &)>;

// Reads the whole register through the connection of `source`.
Report check(DataSource &source, const CheckCharacter &wrongCheckCharacter);

struct Mended {
    int details = 0;    // detail rows given their activity's end, place and province
    int activities = 0; // activities given the sums of their rows
};
// Copies the register into `copy` (as emptying does), then, in one transaction holding the activities
// and their rows, gives every detail row its activity's end, place and province and every activity
// with rows the sums of their hours. `copied` says whether the copy was kept; nothing is mended
// without it.
Store::Result mend(DataSource &source, const QString &copy, bool *copied, Mended *mended);

} // namespace RegisterCheck
