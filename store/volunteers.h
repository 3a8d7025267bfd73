#pragma once

#include "store/database.h"
#include "store/records.h"

#include <QStringList>
#include <QVariantList>

#include <memory>
#include <optional>
#include <vector>

class DataSource;
class PreparedStatement;

// The volunteers (VOLO), read and written through the volunteer source the caller passes
// (the main window's), which each operation leaves on the rows it read.
namespace Volunteers {
// A volunteer as the volunteer window shows it. The specialisation and the notes are shown
// only when they hold a value: one without leaves its box as it was.
struct Shown {
    Volunteer volunteer;
    bool hasSpecialisation = false;
    bool hasNote = false;
    bool hasNote2 = false;
    bool hasNote3 = false;
};

// The volunteer whose text (surname, blank, first name) is `text`, trailing blanks aside,
// standing on it; none when missing or the read was refused.
std::optional<Shown> findByText(DataSource &volunteers, const QString &text);
// The volunteer of that surname and first name, standing on it; none when missing or the
// read was refused.
std::optional<Volunteer> find(DataSource &volunteers, const QString &surname, const QString &name);

// The volunteer window's writes: every field but the fax, which the window never shows,
// and the mail, which it clears.
Store::Result insert(DataSource &volunteers, const Volunteer &volunteer);
Store::Result rewrite(DataSource &volunteers, const Volunteer &volunteer);
// Deletes the volunteer the source stands on.
Store::Result remove(DataSource &volunteers);

// Offers every row of VOLOEXTRA to VOLO; a row the store refuses, a volunteer already
// there above all, is skipped.
void addExtraVolunteers(DataSource &extra, DataSource &volunteers);
} // namespace Volunteers

// Copies the volunteers of another program's export into VOLO, in groups of rows that the
// caller commits. The look-ups and the insert are prepared once: preparing them again for
// each of thousands of volunteers would cost more than running them.
class VolunteerImport {
public:
    // Writes through the database of the volunteer source, whose walks are told first.
    explicit VolunteerImport(DataSource &volunteers);
    ~VolunteerImport();
    VolunteerImport(const VolunteerImport &) = delete;
    VolunteerImport &operator=(const VolunteerImport &) = delete;

    // Points a source over the export at its volunteers, by surname and first name.
    static void walk(DataSource &exported);

    // Whether VOLO holds the volunteer of the current row of the export.
    Store::Result lookUp(const DataSource &exported, bool *present);
    // Adds the current row of the export to VOLO, every field as it is there.
    Store::Result add(const DataSource &exported);

    void begin();
    // Commits the group; one the store refuses is rolled back.
    Store::Result commit();
    void rollback();

    // Leaves the volunteer source on the last volunteer looked up, and refreshes it.
    void showLastLookedUp();

private:
    DataSource &m_volunteers;
    QSqlDatabase m_db;
    QStringList m_fields;
    // One look-up for each way of missing the surname, the first name, both or neither.
    std::unique_ptr<PreparedStatement> m_finds[4];
    std::unique_ptr<PreparedStatement> m_insert;
    QVariantList m_row;
    std::vector<int> m_exportedPositions; // of VOLO's fields in the export's walk, -1 when missing
    int m_lastBlanks = -1;                // which look-up ran last, -1 before any
    QVariantList m_lastValues;
};
