#include "volunteers/formvol.h"

#include "common/twips.h"

#include <QComboBox>

using namespace Qt::StringLiterals;

Formvol::Formvol()
{
    setObjectName(u"Formvol"_s);
    setWindowTitle(u"Formvol"_s);

    fvluogona = new QComboBox(this);
    fvluogona->setObjectName(u"fvluogona"_s);
    fvluogona->setEditable(true);
    fvluogona->setInsertPolicy(QComboBox::NoInsert);
    fvluogona->setFont(Twips::font(u"Courier New"_s, 8.25));
    // About 8,000 entries of equal width: sizing from the first spares measuring each one.
    fvluogona->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    fvluogona->setMinimumContentsLength(39);
}
