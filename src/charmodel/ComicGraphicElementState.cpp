#include "charmodel/ComicGraphicElementState.h"

#include "app/core/ZDLAppController.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/PartElement.h"
#include "graphics/CoderExtensions.h"
#include "graphics/GeometryRecord.h"
#include "platform/ArchiveNames.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zandrel {

namespace {

// Archive keys.
const QString kPartTypeArchiveKey = QStringLiteral("type");
const QString kOriginXArchiveKey = QStringLiteral("originX");
const QString kOriginYArchiveKey = QStringLiteral("originY");
const QString kModelArchiveKey = QStringLiteral("model");
const QString kCharacterIdArchiveKey = QStringLiteral("characterId");

} // namespace

void encodeCharacterIdForPasteboard(KeyedArchiver& coder, const Object* characterModel)
{
    const ZDLAppController* controller = appController();
    if (!controller || !controller->writingPasteboard() || !characterModel)
        return;
    // The identifier belongs to the character, which answers it by name.
    if (!characterModel->respondsToKey(CharacterModel::kCharacterIdKey))
        return;
    const Value id = characterModel->valueForKey(CharacterModel::kCharacterIdKey);
    if (id.type() == Value::Type::String)
        coder.encodeObject(id, kCharacterIdArchiveKey);
}

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

void ComicGraphicElementState::recordOrigin(GeometryRecord& record) const
{
    record.addPoint(m_origin);
}

void ComicGraphicElementState::restoreOrigin(GeometryReader& reader)
{
    if (const auto origin = reader.readPoint())
        m_origin = *origin;
}

void ComicGraphicElementState::encodePlacement(KeyedArchiver& coder) const
{
    coder.encodeInteger(m_partType, kPartTypeArchiveKey);
    if (m_hasOrigin) {
        coder.encodeFloat(static_cast<float>(m_origin.x()), kOriginXArchiveKey);
        coder.encodeFloat(static_cast<float>(m_origin.y()), kOriginYArchiveKey);
    }
    if (const ObjectPtr model = m_model.lock())
        coder.encodeObject(model, kModelArchiveKey);
    encodeCharacterIdForPasteboard(coder, model());
}

void ComicGraphicElementState::decodePlacement(KeyedUnarchiver& coder)
{
    const qint64 type = coder.decodeIntegerForKey(kPartTypeArchiveKey);
    m_partType = static_cast<int>(
        std::clamp<qint64>(type, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));

    m_origin = QPointF();
    m_hasOrigin = false;
    if (coder.containsValueForKey(kOriginXArchiveKey)) {
        const float x = coder.decodeFloatForKey(kOriginXArchiveKey);
        const float y = coder.decodeFloatForKey(kOriginYArchiveKey);
        // A pivot that is not finite would throw every rotation off.
        if (std::isfinite(x) && std::isfinite(y)) {
            m_origin = QPointF(x, y);
            m_hasOrigin = true;
        }
    }

    // Only a link: in a parts file this is the root still being decoded, which must not be owned.
    m_model.reset();
    if (coder.containsValueForKey(kModelArchiveKey))
        m_model = zdlDecodeObjectOfClass(coder, CharacterModel::kClassName, kModelArchiveKey).toObject();
    m_characterId.clear();
    if (coder.containsValueForKey(kCharacterIdArchiveKey))
        m_characterId
            = zdlDecodeObjectOfClass(coder, PlatformClass::kString, kCharacterIdArchiveKey).toString();
}

} // namespace zandrel
