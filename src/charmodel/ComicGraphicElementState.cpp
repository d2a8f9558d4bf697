#include "charmodel/ComicGraphicElementState.h"

#include "charmodel/PartElement.h"
#include "graphics/CoderExtensions.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zandrel {

void ComicGraphicElementState::setOrigin(const QPointF& origin)
{
    m_origin = origin;
    m_hasOrigin = true;
}

void ComicGraphicElementState::stripIdentity()
{
    m_model.reset();
    m_characterId.clear();
}

void ComicGraphicElementState::encodePlacement(KeyedArchiver& coder) const
{
    coder.encodeInteger(m_partType, QStringLiteral("type"));
    if (m_hasOrigin) {
        coder.encodeFloat(static_cast<float>(m_origin.x()), QStringLiteral("originX"));
        coder.encodeFloat(static_cast<float>(m_origin.y()), QStringLiteral("originY"));
    }
    if (const ObjectPtr model = m_model.lock())
        coder.encodeObject(model, QStringLiteral("model"));
    encodeCharacterIdForPasteboard(coder, model());
}

void ComicGraphicElementState::decodePlacement(KeyedUnarchiver& coder)
{
    const qint64 type = coder.decodeIntegerForKey(QStringLiteral("type"));
    m_partType = static_cast<int>(
        std::clamp<qint64>(type, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));

    m_origin = QPointF();
    m_hasOrigin = false;
    if (coder.containsValueForKey(QStringLiteral("originX"))) {
        const float x = coder.decodeFloatForKey(QStringLiteral("originX"));
        const float y = coder.decodeFloatForKey(QStringLiteral("originY"));
        // A pivot that is not finite would throw every rotation off.
        if (std::isfinite(x) && std::isfinite(y)) {
            m_origin = QPointF(x, y);
            m_hasOrigin = true;
        }
    }

    // Only a link: in a parts file this is the root still being decoded, which must not be owned.
    m_model.reset();
    if (coder.containsValueForKey(QStringLiteral("model")))
        m_model = zdlDecodeObjectOfClass(coder, QStringLiteral("CharacterModel"), QStringLiteral("model"))
                      .toObject();
    m_characterId.clear();
    if (coder.containsValueForKey(QStringLiteral("characterId")))
        m_characterId
            = zdlDecodeObjectOfClass(coder, QStringLiteral("NSString"), QStringLiteral("characterId"))
                  .toString();
}

} // namespace zandrel
