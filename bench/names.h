#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// Italian words the generated archives are made of: names as a volunteer register holds
// them (capitals, accents, apostrophes), streets, and the kinds of activity a
// civil-protection group records with the risk classes each exposes to.
namespace Names {

const QStringList &surnames();
const QStringList &maleNames();
const QStringList &femaleNames();
const QStringList &streets();

struct ActivityKind {
    QString description;
    // Indexes into the six classes R0, R6, R7, R8, R9, R10: where most hours go, and
    // where a share of the volunteers spend some hours too.
    int mainClass;
    int otherClass;
    // Typical length of a volunteer's turn, in quarter hours.
    int minQuarters;
    int maxQuarters;
};
const std::vector<ActivityKind> &activityKinds();

// Words that name an organisation before its town.
const QStringList &organisationKinds();

} // namespace Names
