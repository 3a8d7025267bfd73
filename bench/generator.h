#pragma once

#include <QString>

// Writes working folders for the benchmarks, the same for the same seed.
namespace Generator {

struct Scale {
    QString name;
    int volunteers = 0;
    int organisations = 0;
    int activities = 0;
    int details = 0;
    int importRows = 0; // rows of voloesp.mdb, half of them volunteers not in the register
};

// "large" (a group of twenty years) or "small" (for trying the benchmarks quickly).
Scale scaleNamed(const QString &name, bool *known = nullptr);

// Makes `folder` a working folder at `scale`: the program's own first start creates the
// files, then the register is filled through the program's collation, and voloesp.mdb
// and intestazione.jpg are put beside it. Returns what went wrong, empty when done.
QString generate(const QString &folder, const Scale &scale, quint64 seed);

// Copies a generated working folder keeping only the first `detailRows` detail rows.
QString copyWithDetails(const QString &from, const QString &to, int detailRows);

// The details benchmark's activity: one with exactly this many volunteers present.
inline constexpr int busyActivityVolunteers = 200;

} // namespace Generator
