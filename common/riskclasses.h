#pragma once

#include <QString>
#include <QStringView>

#include <array>

// The occupational risk classes whose hours are kept for each volunteer and activity.
struct RiskClass {
    QStringView code;      // as classerischio and tabrischio hold it: "0", "6" ... "10"
    QStringView label;     // as lists and printouts head it: "R0" ... "R10"
    QStringView hourField; // the hours field of a detail row and of an activity
    QStringView button;    // the details window's button that records hours in it
};

inline constexpr std::array<RiskClass, 6> riskClasses{{
    {u"0", u"R0", u"ORET0", u"cmdr0"},
    {u"6", u"R6", u"ORET6", u"cmdr6"},
    {u"7", u"R7", u"ORET7", u"cmdr7"},
    {u"8", u"R8", u"ORET8", u"cmdr8"},
    {u"9", u"R9", u"ORET9", u"cmdr9"},
    {u"10", u"R10", u"ORET10", u"cmdr10"},
}};

// The class a typed number names ("6", "06", "6,0"); null when none.
const RiskClass *riskClassOfCode(const QString &typed);
// The class of a label ("R6"); null when none.
const RiskClass *riskClassOfLabel(QStringView label);
