#include "graphics/ZDLColor.h"

#include "charmodel/CharXMLNames.h"
#include "platform/ArchiveNames.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Localization.h"

#include <algorithm>
#include <limits>

namespace zandrel {

namespace {

// Archive keys, and the names older files gave the locked black and white.
const QString kNameArchiveKey = QStringLiteral("name");
const QString kColorArchiveKey = QStringLiteral("color");
const QString kKindArchiveKey = QStringLiteral("kind");
const QString kNoneArchiveKey = QStringLiteral("none");
const QString kLockedArchiveKey = QStringLiteral("locked");
const QString kRedArchiveKey = QStringLiteral("r");
const QString kGreenArchiveKey = QStringLiteral("g");
const QString kBlueArchiveKey = QStringLiteral("b");
const QString kLegacyBlackName = QStringLiteral("Black");
const QString kLegacyWhiteName = QStringLiteral("White");

// A scanner's hexadecimal reading from the second character on: leading blanks and a "0x" are
// skipped, text without digits reads as 0, and a number too large for 32 bits as the largest one.
quint32 hexValue(const QString& hex)
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
    qsizetype i = 1;
    while (i < hex.size() && hex.at(i).isSpace())
        ++i;
    if (digitAt(i) == 0 && i + 1 < hex.size() && (hex.at(i + 1) == u'x' || hex.at(i + 1) == u'X')
        && digitAt(i + 2) >= 0)
        i += 2;
    quint64 value = 0;
    for (int digit = digitAt(i); digit >= 0; digit = digitAt(++i))
        value = std::min<quint64>(value * 16 + quint64(digit), std::numeric_limits<quint32>::max());
    return quint32(value);
}

// "#d5b332" names 213/255, 179/255 and 50/255: divided in double precision, so that the value
// kept and archived is the nearest double to each, not the nearest float. Digits past six
// (long texts) put red above 255, which clamps.
RgbColor colorFromHexText(const QString& hex)
{
    const quint32 v = hexValue(hex);
    return RgbColor((v >> 16) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0);
}

} // namespace

ZDLColor::ZDLColor()
    : m_color(1, 1, 1)
{
}

ZDLColor::ZDLColor(const QString& hex, const QString& name)
    : m_name(name)
    , m_color(colorFromHexText(hex))
{
}

ZDLColor::ZDLColor(int kind, const QString& name, const RgbColor& color)
    : m_name(name)
    , m_kind(kind)
    , m_color(color)
{
}

const PropertyTable& ZDLColor::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(),
        {
            property<ZDLColor>(kNameKey, &ZDLColor::name, &ZDLColor::setName),
            property<ZDLColor>(kColorKey, &ZDLColor::color, &ZDLColor::setColor),
            readOnlyProperty<ZDLColor>(kKindKey, &ZDLColor::kind),
            readOnlyProperty<ZDLColor>(kIsNoneKey, &ZDLColor::isNone),
            readOnlyProperty<ZDLColor>(kLockedKey, &ZDLColor::locked),
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
    const quint32 v = hexValue(hex);
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
    color->m_color = color->m_color.withAlpha(alpha);
    return color;
}

ZDLColorPtr ZDLColor::colorFromNSColor(const RgbColor& value, const QString& name)
{
    auto color = std::make_shared<ZDLColor>();
    color->setColor(value);
    color->setName(name);
    return color;
}

ZDLColorPtr ZDLColor::initWithXMLAttributes(const QMap<QString, QString>& attributes)
{
    return std::make_shared<ZDLColor>(
        attributes.value(CharXML::kColorAttribute), attributes.value(CharXML::kNameAttribute));
}

ZDLColorPtr ZDLColor::noneColor()
{
    // White is the value of a new colour; the none colour is never drawn.
    static const ZDLColorPtr none(new ZDLColor(ColorKindNone, localized("None"), RgbColor(1, 1, 1)));
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

// The none, black and white colours are shared by every document of the process: no edit of one
// document may rename or recolour them in all the others.
void ZDLColor::setName(const QString& name)
{
    if (locked())
        return;
    changeValueForKey(kNameKey, [&] { m_name = name; });
}

void ZDLColor::setColor(const RgbColor& color)
{
    if (locked())
        return;
    changeValueForKey(kColorKey, [&] { m_color = color; });
}

RgbColor ZDLColor::getNSColorUsingAlpha(float a) const
{
    return m_color.withAlpha(m_color.alpha() * a);
}

RgbColor ZDLColor::getNSColorUsingAlphaAndAdjustment(float a, float d) const
{
    const RgbColor c = getNSColorUsingAlpha(a);
    if (d == 0.0f || !c.isValid())
        return c;
    const RgbColor adjusted = d < 0.0f ? c.opaque().shadowWithLevel(-d) : c.opaque().highlightWithLevel(d);
    return adjusted.withAlpha(c.alpha());
}

RgbColor ZDLColor::getOpaqueColorUsingAdjustment(float d) const
{
    const RgbColor c = m_color.overWhite();
    if (d < 0.0f)
        return c.shadowWithLevel(-d);
    if (d > 0.0f)
        return c.highlightWithLevel(d);
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
    const QString value
        = m_color.isValid() ? QStringLiteral("RGB ") + m_color.description() : QStringLiteral("(null)");
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
    return kClassName;
}

void ZDLColor::encodeWithCoder(KeyedArchiver& coder) const
{
    coder.encodeObject(Value(m_name), kNameArchiveKey);
    coder.encodeObject(m_color.isValid() ? Value(m_color) : Value(), kColorArchiveKey);
    coder.encodeInt32(m_kind, kKindArchiveKey);
}

ObjectPtr ZDLColor::initWithCoder(KeyedUnarchiver& coder)
{
    // The shared colours are archived by kind and read back as the shared instances themselves.
    if (coder.containsValueForKey(kKindArchiveKey)) {
        switch (coder.decodeInt32ForKey(kKindArchiveKey)) {
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
        if (coder.decodeBoolForKey(kNoneArchiveKey))
            return noneColor();
        if (coder.decodeBoolForKey(kLockedArchiveKey)) {
            const QString name
                = coder.decodeObjectOfClass(PlatformClass::kString, kNameArchiveKey).toString();
            if (name == kLegacyBlackName)
                return blackColor();
            if (name == kLegacyWhiteName)
                return whiteColor();
            return nullptr;
        }
    }
    m_name = coder.decodeObjectOfClass(PlatformClass::kString, kNameArchiveKey).toString();
    m_kind = ColorKindOrdinary;
    if (coder.containsValueForKey(kColorArchiveKey)) {
        // A value of a refused class reads as no colour.
        m_color = coder.decodeObjectOfClass(PlatformClass::kColor, kColorArchiveKey).toColor();
    } else {
        m_color = RgbColor(coder.decodeFloatForKey(kRedArchiveKey), coder.decodeFloatForKey(kGreenArchiveKey),
            coder.decodeFloatForKey(kBlueArchiveKey));
    }
    return shared_from_this();
}

} // namespace zandrel
