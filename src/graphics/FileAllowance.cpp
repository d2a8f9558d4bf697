#include "graphics/FileAllowance.h"

#include "platform/Log.h"

namespace zandrel {

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

const QString EdgeEffectAllowance::kLeftOutMessage = QStringLiteral(
    "The document holds more edge effects of panel frames than can be drawn at once: panels past "
    "them show plain frames, and keep their edges.");

EdgeEffectAllowance::EdgeEffectAllowance()
    : FileAllowance(kSteps, kLeftOutMessage)
{
}

std::shared_ptr<EdgeEffectAllowance> EdgeEffectAllowance::forFileBeingRead()
{
    return ofFileBeingRead<EdgeEffectAllowance>(QStringLiteral("edgeEffectAllowance"));
}

} // namespace zandrel
