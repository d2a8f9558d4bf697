#include "graphics/GradientColorStop.h"

#include "platform/ArchiveNames.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

namespace zandrel {

namespace {

// Archive keys.
const QString kColorArchiveKey = QStringLiteral("color");
const QString kLocationArchiveKey = QStringLiteral("location");

} // namespace

GradientColorStop::GradientColorStop()
    : m_color(0, 0, 0)
{
}

GradientColorStop::GradientColorStop(const RgbColor& color, float location)
    : m_color(color)
    , m_location(location)
{
}

std::shared_ptr<GradientColorStop> GradientColorStop::initWithColor(const RgbColor& color, float location)
{
    return std::make_shared<GradientColorStop>(color, location);
}

const PropertyTable& GradientColorStop::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(),
        {
            property<GradientColorStop>(kColorKey, &GradientColorStop::color, &GradientColorStop::setColor),
            property<GradientColorStop>(
                kLocationKey, &GradientColorStop::location, &GradientColorStop::setLocation),
        });
    return table;
}

void GradientColorStop::setColor(const RgbColor& color)
{
    changeValueForKey(kColorKey, [&] { m_color = color; });
}

void GradientColorStop::setLocation(float location)
{
    changeValueForKey(kLocationKey, [&] { m_location = location; });
}

RgbColor GradientColorStop::opaqueColor() const
{
    return m_color.overWhite();
}

std::shared_ptr<GradientColorStop> GradientColorStop::copy() const
{
    return std::make_shared<GradientColorStop>(m_color, m_location);
}

QString GradientColorStop::className() const
{
    return kClassName;
}

void GradientColorStop::encodeWithCoder(KeyedArchiver& coder) const
{
    coder.encodeObject(m_color.isValid() ? Value(m_color) : Value(), kColorArchiveKey);
    coder.encodeFloat(m_location, kLocationArchiveKey);
}

ObjectPtr GradientColorStop::initWithCoder(KeyedUnarchiver& coder)
{
    m_color = coder.decodeObjectOfClass(PlatformClass::kColor, kColorArchiveKey).toColor();
    m_location = coder.decodeFloatForKey(kLocationArchiveKey);
    return shared_from_this();
}

} // namespace zandrel
