#include "graphics/ZDLColor.h"

#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Localization.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zandrel {

namespace {

double clampUnit(double value)
{
    if (std::isnan(value))
        return 0.0;
    return std::clamp(value, 0.0, 1.0);
}

QColor blended(const QColor& color, const QColor& target, double level)
{
    if (!color.isValid() || std::isnan(level))
        return color;
    const double f = std::clamp(level, 0.0, 1.0);
    const QColor c = color.toRgb();
    auto mix = [f](float from, float to) { return float(from + (to - from) * f); };
    return QColor::fromRgbF(mix(c.redF(), target.redF()), mix(c.greenF(), target.greenF()),
        mix(c.blueF(), target.blueF()), mix(c.alphaF(), target.alphaF()));
}

// Components out of range (long hex texts, hostile archives) are clamped so that the value stays
// an ordinary RGB colour.
QColor rgbColor(double red, double green, double blue, double alpha = 1.0)
{
    return QColor::fromRgbF(
        float(clampUnit(red)), float(clampUnit(green)), float(clampUnit(blue)), float(clampUnit(alpha)));
}

QColor colorFromHexText(const QString& hex)
{
    float r = 0.0f, g = 0.0f, b = 0.0f;
    ZDLColor::fromHex(hex, &r, &g, &b);
    return rgbColor(r, g, b);
}

} // namespace

QColor shadowWithLevel(const QColor& color, double level)
{
    return blended(color, QColor(0, 0, 0), level);
}

QColor highlightWithLevel(const QColor& color, double level)
{
    return blended(color, QColor(255, 255, 255), level);
}

QColor opaqueColor(const QColor& color)
{
    if (!color.isValid())
        return color;
    QColor c = color.toRgb();
    c.setAlphaF(1.0f);
    return c;
}

ZDLColor::ZDLColor()
    : m_color(Qt::white)
{
}

ZDLColor::ZDLColor(const QString& hex, const QString& name)
    : m_name(name)
    , m_color(colorFromHexText(hex))
{
}

ZDLColor::ZDLColor(int kind, const QString& name, const QColor& color)
    : m_name(name)
    , m_kind(kind)
    , m_color(color)
{
}

const PropertyTable& ZDLColor::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(),
        {
            property<ZDLColor>("name", &ZDLColor::name, &ZDLColor::setName),
            property<ZDLColor>("color", &ZDLColor::color, &ZDLColor::setColor),
            readOnlyProperty<ZDLColor>("kind", &ZDLColor::kind),
            readOnlyProperty<ZDLColor>("isNone", &ZDLColor::isNone),
            readOnlyProperty<ZDLColor>("locked", &ZDLColor::locked),
        });
    return table;
}

bool ZDLColor::validHexColor(const QString& text)
{
    if (text.size() != 7 || text.at(0) != QLatin1Char('#'))
        return false;
    static const QString digits = QStringLiteral("0123456789abcdefABCDEF");
    for (qsizetype i = 1; i < 7; ++i) {
        if (!digits.contains(text.at(i)))
            return false;
    }
    return true;
}

void ZDLColor::fromHex(const QString& hex, float* red, float* green, float* blue)
{
    auto digitAt = [&hex](qsizetype at) -> int {
        if (at >= hex.size())
            return -1;
        const char16_t c = hex.at(at).unicode();
        if (c >= u'0' && c <= u'9')
            return c - u'0';
        if (c >= u'a' && c <= u'f')
            return c - u'a' + 10;
        if (c >= u'A' && c <= u'F')
            return c - u'A' + 10;
        return -1;
    };
    // A scanner's hexadecimal reading: leading blanks and a "0x" are skipped, and a number too
    // large for 32 bits reads as the largest one.
    qsizetype i = 1;
    while (i < hex.size() && hex.at(i).isSpace())
        ++i;
    if (digitAt(i) == 0 && i + 1 < hex.size() && (hex.at(i + 1) == u'x' || hex.at(i + 1) == u'X')
        && digitAt(i + 2) >= 0)
        i += 2;
    quint64 value = 0;
    for (int digit = digitAt(i); digit >= 0; digit = digitAt(++i))
        value = std::min<quint64>(value * 16 + quint64(digit), std::numeric_limits<quint32>::max());
    const auto v = quint32(value);
    if (red)
        *red = float(v >> 16) / 255.0f;
    if (green)
        *green = float((v >> 8) & 0xFF) / 255.0f;
    if (blue)
        *blue = float(v & 0xFF) / 255.0f;
}

ZDLColorPtr ZDLColor::colorFromHexNamed(const QString& hex, const QString& name)
{
    return std::make_shared<ZDLColor>(hex, name);
}

ZDLColorPtr ZDLColor::colorFromHexWithAlphaNamed(const QString& hex, float alpha, const QString& name)
{
    auto color = colorFromHexNamed(hex, name);
    QColor value = color->m_color;
    value.setAlphaF(float(clampUnit(alpha)));
    color->m_color = value;
    return color;
}

ZDLColorPtr ZDLColor::colorFromNSColor(const QColor& value, const QString& name)
{
    auto color = std::make_shared<ZDLColor>();
    color->setColor(value);
    color->setName(name);
    return color;
}

ZDLColorPtr ZDLColor::initWithXMLAttributes(const QMap<QString, QString>& attributes)
{
    return std::make_shared<ZDLColor>(
        attributes.value(QStringLiteral("color")), attributes.value(QStringLiteral("name")));
}

ZDLColorPtr ZDLColor::noneColor()
{
    // White is the value of a new colour; the none colour is never drawn.
    static const ZDLColorPtr none(new ZDLColor(ColorKindNone, localized("None"), QColor(Qt::white)));
    return none;
}

ZDLColorPtr ZDLColor::blackColor()
{
    static const ZDLColorPtr black(
        new ZDLColor(ColorKindBlack, localized("Black"), colorFromHexText("#000000")));
    return black;
}

ZDLColorPtr ZDLColor::whiteColor()
{
    static const ZDLColorPtr white(
        new ZDLColor(ColorKindWhite, localized("White"), colorFromHexText("#FFFFFF")));
    return white;
}

void ZDLColor::setName(const QString& name)
{
    KeyChange change(*this, QStringLiteral("name"));
    m_name = name;
}

void ZDLColor::setColor(const QColor& color)
{
    KeyChange change(*this, QStringLiteral("color"));
    m_color = color.isValid() ? color.toRgb() : color;
}

QColor ZDLColor::getNSColorUsingAlpha(float a) const
{
    if (!m_color.isValid())
        return m_color;
    QColor c = m_color.toRgb();
    c.setAlphaF(float(clampUnit(double(c.alphaF()) * a)));
    return c;
}

QColor ZDLColor::getNSColorUsingAlphaAndAdjustment(float a, float d) const
{
    const QColor c = getNSColorUsingAlpha(a);
    if (d == 0.0f || !c.isValid())
        return c;
    const float alpha = c.alphaF();
    QColor adjusted = d < 0.0f ? shadowWithLevel(opaqueColor(c), -d) : highlightWithLevel(opaqueColor(c), d);
    adjusted.setAlphaF(alpha);
    return adjusted;
}

QColor ZDLColor::getOpaqueColorUsingAdjustment(float d) const
{
    if (!m_color.isValid())
        return m_color;
    QColor c = m_color.toRgb();
    if (c.alphaF() < 1.0f)
        c = highlightWithLevel(opaqueColor(c), 1.0 - c.alphaF());
    if (d < 0.0f)
        return shadowWithLevel(c, -d);
    if (d > 0.0f)
        return highlightWithLevel(c, d);
    return c;
}

bool ZDLColor::isSameColorAs(const ZDLColor* other) const
{
    if (!other)
        return false;
    return isNone() == other->isNone() && m_color == other->m_color;
}

QString ZDLColor::description() const
{
    const QColor c = m_color.toRgb();
    const QString value = m_color.isValid()
        ? QStringLiteral("RGB %1 %2 %3 %4").arg(c.redF()).arg(c.greenF()).arg(c.blueF()).arg(c.alphaF())
        : QStringLiteral("(null)");
    return QStringLiteral("ZDLColor %1 %2").arg(m_name, value);
}

ZDLColorPtr ZDLColor::copy() const
{
    // The shared instances are never duplicated.
    switch (m_kind) {
    case ColorKindNone:
        return noneColor();
    case ColorKindBlack:
        return blackColor();
    case ColorKindWhite:
        return whiteColor();
    default:
        return std::shared_ptr<ZDLColor>(new ZDLColor(m_kind, m_name, m_color));
    }
}

QString ZDLColor::className() const
{
    return QStringLiteral("ZDLColor");
}

void ZDLColor::encodeWithCoder(KeyedArchiver& coder) const
{
    coder.encodeObject(Value(m_name), QStringLiteral("name"));
    coder.encodeObject(m_color.isValid() ? Value(m_color) : Value(), QStringLiteral("color"));
    coder.encodeInt32(m_kind, QStringLiteral("kind"));
}

ObjectPtr ZDLColor::initWithCoder(KeyedUnarchiver& coder)
{
    // The shared colours are archived by kind and read back as the shared instances themselves.
    if (coder.containsValueForKey(QStringLiteral("kind"))) {
        switch (coder.decodeInt32ForKey(QStringLiteral("kind"))) {
        case ColorKindNone:
            return noneColor();
        case ColorKindBlack:
            return blackColor();
        case ColorKindWhite:
            return whiteColor();
        default:
            break;
        }
    } else {
        // Older archives flagged the shared colours instead.
        if (coder.decodeBoolForKey(QStringLiteral("none")))
            return noneColor();
        if (coder.decodeBoolForKey(QStringLiteral("locked"))) {
            const QString name
                = coder.decodeObjectOfClass(QStringLiteral("NSString"), QStringLiteral("name")).toString();
            if (name == QLatin1String("Black"))
                return blackColor();
            if (name == QLatin1String("White"))
                return whiteColor();
            return nullptr;
        }
    }
    m_name = coder.decodeObjectOfClass(QStringLiteral("NSString"), QStringLiteral("name")).toString();
    m_kind = ColorKindOrdinary;
    if (coder.containsValueForKey(QStringLiteral("color"))) {
        // A value of a refused class reads as no colour.
        const QColor color
            = coder.decodeObjectOfClass(QStringLiteral("NSColor"), QStringLiteral("color")).toColor();
        m_color = color.isValid() ? color.toRgb() : QColor();
    } else {
        m_color = rgbColor(coder.decodeFloatForKey(QStringLiteral("r")),
            coder.decodeFloatForKey(QStringLiteral("g")), coder.decodeFloatForKey(QStringLiteral("b")));
    }
    return shared_from_this();
}

} // namespace zandrel
