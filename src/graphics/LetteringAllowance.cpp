#include "graphics/LetteringAllowance.h"

#include "graphics/DrawingWork.h"

#include <cmath>

namespace zandrel {

namespace {

// What DecodingBudget keeps the file's allowance under.
const QString kLetteringAllowanceKind = QStringLiteral("letteringAllowance");

} // namespace

const QString LetteringAllowance::kLeftOutMessage = QStringLiteral(
    "The document holds more lettering than can be laid out at once: balloons past it show as boxes "
    "without their text, which is kept.");

LetteringAllowance::LetteringAllowance()
    : FileAllowance(kUnits, kLeftOutMessage)
{
}

std::shared_ptr<LetteringAllowance> LetteringAllowance::forFileBeingRead()
{
    return ofFileBeingRead<LetteringAllowance>(kLetteringAllowanceKind);
}

qint64 LetteringAllowance::costOf(const AttributedText& text)
{
    const double cost = DrawingWork::letteringCost(text);
    // Beyond any allowance: counted as more than there is.
    return cost < double(kUnits) ? qint64(std::ceil(cost)) : kUnits + 1;
}

} // namespace zandrel
