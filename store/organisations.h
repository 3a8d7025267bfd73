#pragma once

#include "store/database.h"
#include "store/records.h"

#include <QHash>
#include <QStringList>

#include <optional>

class DataSource;

// The member organisations, read and written through the organisation source the caller
// passes (the main window's), which each operation leaves on the rows it read.
namespace Organisations {
// Every organisation, by name: what the main grid shows of them.
const QString &inOrder();

// The names of every organisation in order; the caller checks the source for a refused read.
QStringList names(DataSource &organisations);
// The first organisation in order; none when there is none or the read was refused.
std::optional<Organisation> first(DataSource &organisations);
// The organisation of that name, standing on it; none when missing or the read was refused.
std::optional<Organisation> find(DataSource &organisations, const QString &name);

// Adds an organisation, with the source back on every organisation in order. One without a
// code is given the next free one (see codeOf).
Store::Result insert(DataSource &organisations, const Organisation &organisation);
// The code (CODASS) of the organisation `name` in `code`, given it now when it has none: the next
// number past every code an organisation or a volunteer holds, so that no two organisations share
// one and a code of a deleted organisation its volunteers still hold is not given again. A
// failure when there is no such organisation.
Store::Result codeOf(DataSource &organisations, const QString &name, QString *code);
// The name of the organisation of code `code`; none when no organisation holds it (deleted) or
// the read was refused.
std::optional<QString> nameOfCode(DataSource &organisations, const QString &code);
// How many volunteers belong to the organisation of code `code`; the caller checks the source
// for a refused read.
int volunteersOf(DataSource &organisations, const QString &code);
// Every organisation's name by its code; the caller checks the source for a refused read.
QHash<QString, QString> namesByCode(DataSource &organisations);
// What is shown of a volunteer's organisation code: its organisation's name, deletedName() for a
// code no organisation holds, nothing for none.
QString shownName(const QHash<QString, QString> &names, const QString &code);
const QString &deletedName();
// What is shown of each volunteer's organisation (see shownName), by the key of his text
// (VolunteerText::key), read through `source`; the caller checks the source for a refused read.
QHash<QString, QString> ofVolunteers(DataSource &source);
// Rewrites every field of the organisation `name` as `organisation`; with `asRead`, only while it
// still holds what a window read of it, else Store::changedElsewhere.
Store::Result rewrite(DataSource &organisations, const QString &name, const Organisation &organisation,
                      const AsRead *asRead = nullptr);
// The fields the organisation window shows.
QStringList windowFields();
// Deletes the organisation the source stands on.
Store::Result remove(DataSource &organisations);
} // namespace Organisations
