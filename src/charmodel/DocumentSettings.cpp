#include "charmodel/DocumentSettings.h"

#include "platform/ArchiveNames.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zandrel {

namespace {

// Archive keys.
const QString kBackStyleKey = QStringLiteral("backStyle");
const QString kMainScaleKey = QStringLiteral("mainScale");
const QString kPartEdScaleKey = QStringLiteral("partEdScale");

} // namespace

const PropertyTable& DocumentSettings::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(),
        {
            property<DocumentSettings>(kBackgroundStyleKey, &DocumentSettings::backgroundStyle,
                &DocumentSettings::setBackgroundStyle),
            property<DocumentSettings>(
                kMainViewScaleKey, &DocumentSettings::mainViewScale, &DocumentSettings::setMainViewScale),
            property<DocumentSettings>(kPartEditingViewScaleKey, &DocumentSettings::partEditingViewScale,
                &DocumentSettings::setPartEditingViewScale),
        });
    return table;
}

float DocumentSettings::sanitizedViewScale(float scale, float fallback)
{
    if (!std::isfinite(scale) || scale <= 0.0f)
        return fallback;
    return std::clamp(scale, kMinimumViewScale, kMaximumViewScale);
}

QString DocumentSettings::className() const
{
    return kClassName;
}

void DocumentSettings::encodeWithCoder(KeyedArchiver& coder) const
{
    coder.encodeInteger(m_backgroundStyle, kBackStyleKey);
    coder.encodeFloat(m_mainViewScale, kMainScaleKey);
    coder.encodeFloat(m_partEditingViewScale, kPartEdScaleKey);
}

ObjectPtr DocumentSettings::initWithCoder(KeyedUnarchiver& coder)
{
    // A style that does not fit an int names no background; the default one is shown instead.
    const qint64 style = coder.decodeIntegerForKey(kBackStyleKey);
    const bool fits = style >= std::numeric_limits<int>::min() && style <= std::numeric_limits<int>::max();
    m_backgroundStyle = fits ? static_cast<int>(style) : kDefaultBackgroundStyle;
    // Files written before the zooms were kept lack these keys and open at the defaults.
    if (coder.containsValueForKey(kMainScaleKey))
        m_mainViewScale = sanitizedViewScale(coder.decodeFloatForKey(kMainScaleKey), kDefaultMainViewScale);
    if (coder.containsValueForKey(kPartEdScaleKey))
        m_partEditingViewScale
            = sanitizedViewScale(coder.decodeFloatForKey(kPartEdScaleKey), kDefaultPartEditingViewScale);
    return shared_from_this();
}

void registerDocumentSettingsClasses(ClassRegistry& registry)
{
    registry.registerClass<DocumentSettings>(DocumentSettings::kClassName, PlatformClass::kObject);
}

} // namespace zandrel
