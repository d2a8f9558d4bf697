#include "graphics/LetteringAllowance.h"

#include "graphics/DrawingWork.h"
#include "platform/DecodingBudget.h"
#include "platform/Log.h"

#include <cmath>

namespace zandrel {

namespace {

// What DecodingBudget keeps the file's allowances under.
const QString kLetteringAllowanceKind = QStringLiteral("letteringAllowance");
const QString kEdgeEffectAllowanceKind = QStringLiteral("edgeEffectAllowance");

} // namespace

FileAllowance::FileAllowance(qint64 units, QString leftOutMessage)
    : m_left(units)
    , m_leftOutMessage(std::move(leftOutMessage))
{
}

bool FileAllowance::take(qint64 units)
{
    qint64 left = m_left.load();
    while (units <= left) {
        if (m_left.compare_exchange_weak(left, left - units))
            return true;
    }
    if (!m_said.exchange(true))
        zdlLog(m_leftOutMessage);
    return false;
}

void FileAllowance::giveBack(qint64 units)
{
    m_left += units;
}

const QString LetteringAllowance::kLeftOutMessage = QStringLiteral(
    "The document holds more lettering than can be laid out at once: balloons past it show as boxes "
    "without their text, which is kept.");

LetteringAllowance::LetteringAllowance()
    : FileAllowance(kUnits, kLeftOutMessage)
{
}

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

const QString EdgeEffectAllowance::kLeftOutMessage = QStringLiteral(
    "The document holds more edge effects of panel frames than can be drawn at once: panels past "
    "them show plain frames, and keep their edges.");

EdgeEffectAllowance::EdgeEffectAllowance()
    : FileAllowance(kSteps, kLeftOutMessage)
{
}

std::shared_ptr<EdgeEffectAllowance> EdgeEffectAllowance::forFileBeingRead()
{
    return DecodingBudget::expandOncePerFile<EdgeEffectAllowance>(
        kEdgeEffectAllowanceKind, [] { return std::make_shared<EdgeEffectAllowance>(); });
}

} // namespace zandrel
