#include "graphics/LetteringAllowance.h"

#include "graphics/DrawingWork.h"
#include "platform/DecodingBudget.h"
#include "platform/Log.h"

#include <cmath>

namespace zandrel {

namespace {

// What DecodingBudget keeps the file's allowance under.
const QString kLetteringAllowanceKind = QStringLiteral("letteringAllowance");

} // namespace

const QString LetteringAllowance::kLeftOutMessage = QStringLiteral(
    "The document holds more lettering than can be laid out at once: balloons past it show as boxes "
    "without their text, which is kept.");

std::shared_ptr<LetteringAllowance> LetteringAllowance::forFileBeingRead()
{
    return DecodingBudget::expandOncePerFile<LetteringAllowance>(
        kLetteringAllowanceKind, [] { return std::make_shared<LetteringAllowance>(); });
}

qint64 LetteringAllowance::costOf(const AttributedText& text)
{
    const double cost = DrawingWork::letteringCost(text);
    // Beyond any allowance: counted as more than there is.
    return cost < double(kUnits) ? qint64(std::ceil(cost)) : kUnits + 1;
}

bool LetteringAllowance::take(qint64 units)
{
    qint64 left = m_left.load();
    while (units <= left) {
        if (m_left.compare_exchange_weak(left, left - units))
            return true;
    }
    if (!m_said.exchange(true))
        zdlLog(kLeftOutMessage);
    return false;
}

void LetteringAllowance::giveBack(qint64 units)
{
    m_left += units;
}

} // namespace zandrel
