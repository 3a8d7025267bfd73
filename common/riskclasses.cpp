#include "common/riskclasses.h"

#include "common/textformat.h"

const RiskClass *riskClassOfCode(const QString &typed)
{
    const auto number = TextFormat::readNumber(typed);
    if (!number)
        return nullptr;
    for (const RiskClass &riskClass : riskClasses) {
        if (riskClass.code.toDouble() == *number)
            return &riskClass;
    }
    return nullptr;
}

const RiskClass *riskClassOfLabel(QStringView label)
{
    for (const RiskClass &riskClass : riskClasses) {
        if (riskClass.label == label)
            return &riskClass;
    }
    return nullptr;
}
