#include "graphics/GradientColorStop.h"

#include "graphics/ZDLColor.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

namespace zandrel {

GradientColorStop::GradientColorStop()
    : m_color(Qt::black)
{
}

GradientColorStop::GradientColorStop(const QColor& color, float location)
    : m_color(color.isValid() ? color.toRgb() : color)
    , m_location(location)
{
}

std::shared_ptr<GradientColorStop> GradientColorStop::initWithColor(const QColor& color, float location)
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

void GradientColorStop::setColor(const QColor& color)
{
    KeyChange change(*this, QStringLiteral("color"));
    m_color = color.isValid() ? color.toRgb() : color;
}

void GradientColorStop::setLocation(float location)
{
    KeyChange change(*this, QStringLiteral("location"));
    m_location = location;
}

QColor GradientColorStop::opaqueColor() const
{
    if (!m_color.isValid() || m_color.alphaF() == 1.0f)
        return m_color;
    return highlightWithLevel(zandrel::opaqueColor(m_color), 1.0 - m_color.alphaF());
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
    const QColor color
        = coder.decodeObjectOfClass(QStringLiteral("NSColor"), QStringLiteral("color")).toColor();
    m_color = color.isValid() ? color.toRgb() : QColor();
    m_location = coder.decodeFloatForKey(QStringLiteral("location"));
    return shared_from_this();
}

} // namespace zandrel
