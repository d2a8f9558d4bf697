#include "platform/RgbColor.h"

#include "platform/KeyedArchiveText.h"

#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

double unit(double value)
{
    return std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0);
}

} // namespace

RgbColor::RgbColor(double red, double green, double blue, double alpha)
    : m_red(unit(red))
    , m_green(unit(green))
    , m_blue(unit(blue))
    , m_alpha(unit(alpha))
    , m_valid(true)
{
}

RgbColor RgbColor::fromQColor(const QColor& color)
{
    if (!color.isValid())
        return {};
    const QColor c = color.toRgb();
    return RgbColor(c.redF(), c.greenF(), c.blueF(), c.alphaF());
}

RgbColor RgbColor::withAlpha(double alpha) const
{
    return m_valid ? RgbColor(m_red, m_green, m_blue, alpha) : *this;
}

RgbColor RgbColor::blended(const RgbColor& target, double level) const
{
    if (!m_valid || std::isnan(level))
        return *this;
    return mixedWith(target, std::clamp(level, 0.0, 1.0));
}

RgbColor RgbColor::shadowWithLevel(double level) const
{
    return blended(RgbColor(0, 0, 0), level);
}

RgbColor RgbColor::highlightWithLevel(double level) const
{
    return blended(RgbColor(1, 1, 1), level);
}

RgbColor RgbColor::overWhite() const
{
    if (!m_valid || m_alpha == 1.0)
        return *this;
    return opaque().highlightWithLevel(1.0 - m_alpha);
}

RgbColor RgbColor::mixedWith(const RgbColor& other, double f) const
{
    if (!m_valid)
        return other;
    if (!other.m_valid)
        return *this;
    auto lerp = [f](double from, double to) { return from + (to - from) * f; };
    return RgbColor(lerp(m_red, other.m_red), lerp(m_green, other.m_green), lerp(m_blue, other.m_blue),
        lerp(m_alpha, other.m_alpha));
}

QColor RgbColor::toQColor() const
{
    if (!m_valid)
        return {};
    return QColor::fromRgbF(float(m_red), float(m_green), float(m_blue), float(m_alpha));
}

// What the description of no colour says.
constexpr const char* kInvalidDescription = "invalid";

QString RgbColor::description() const
{
    if (!m_valid)
        return QString::fromLatin1(kInvalidDescription);
    using archivetext::number;
    return QStringLiteral("%1 %2 %3 %4").arg(number(m_red), number(m_green), number(m_blue), number(m_alpha));
}

} // namespace zandrel
