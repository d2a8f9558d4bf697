#include "graphics/GradientColorStop.h"

#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

namespace zandrel {

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
            property<GradientColorStop>("color", &GradientColorStop::color, &GradientColorStop::setColor),
            property<GradientColorStop>(
                "location", &GradientColorStop::location, &GradientColorStop::setLocation),
        });
    return table;
}

void GradientColorStop::setColor(const RgbColor& color)
{
    KeyChange change(*this, QStringLiteral("color"));
    m_color = color;
}

void GradientColorStop::setLocation(float location)
{
    KeyChange change(*this, QStringLiteral("location"));
    m_location = location;
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
    return QStringLiteral("GradientColorStop");
}

void GradientColorStop::encodeWithCoder(KeyedArchiver& coder) const
{
    coder.encodeObject(m_color.isValid() ? Value(m_color) : Value(), QStringLiteral("color"));
    coder.encodeFloat(m_location, QStringLiteral("location"));
}

ObjectPtr GradientColorStop::initWithCoder(KeyedUnarchiver& coder)
{
    m_color = coder.decodeObjectOfClass(QStringLiteral("NSColor"), QStringLiteral("color")).toColor();
    m_location = coder.decodeFloatForKey(QStringLiteral("location"));
    return shared_from_this();
}

} // namespace zandrel
