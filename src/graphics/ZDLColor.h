#pragma once

#include "platform/Object.h"
#include "platform/RgbColor.h"

#include <QColor>
#include <QMap>
#include <QString>
#include <memory>

namespace zandrel {

// Which of the three shared colours a ZDLColor is, or an ordinary palette entry.
enum ColorKind : int {
    ColorKindNone = 0,
    ColorKindBlack = 1,
    ColorKindWhite = 2,
    ColorKindOrdinary = 3,
};

class ZDLColor;
using ZDLColorPtr = std::shared_ptr<ZDLColor>;

// A named colour of a palette. Elements refer to palette entries by identity, so that editing an
// entry recolours everything that uses it; two entries with equal values are still two colours.
// The none, black and white colours are shared, locked instances: copying one, or reading one
// back from an archive, gives the very same instance. The value keeps the components exactly as
// the file or the user gave them; it becomes a QColor only to be drawn.
class ZDLColor : public Object {
public:
    ZDL_PROPERTIES

    // Property names.
    static inline const QString kNameKey = QStringLiteral("name");
    static inline const QString kColorKey = QStringLiteral("color");
    static inline const QString kKindKey = QStringLiteral("kind");
    static inline const QString kIsNoneKey = QStringLiteral("isNone");
    static inline const QString kLockedKey = QStringLiteral("locked");

    // Name "", white, ordinary.
    ZDLColor();
    // An ordinary colour named name with the value read by fromHex (alpha 1).
    ZDLColor(const QString& hex, const QString& name);
    // A copy has the same kind, name and value; use copy() to respect the shared instances.
    ZDLColor(const ZDLColor& other) = default;
    ~ZDLColor() override = default;

    // True for "#" and six hexadecimal digits, upper or lower case.
    static bool validHexColor(const QString& text);
    // Reads one hexadecimal number from the second character on: blue is its lowest 8 bits,
    // green the next 8, red everything from bit 16 up, each divided by 255. Does not validate;
    // text without digits gives 0, 0, 0. Null out-parameters are skipped.
    static void fromHex(const QString& hex, float* red, float* green, float* blue);
    static ZDLColorPtr colorFromHexNamed(const QString& hex, const QString& name);
    static ZDLColorPtr colorFromHexWithAlphaNamed(const QString& hex, float alpha, const QString& name);
    static ZDLColorPtr colorFromNSColor(const RgbColor& color, const QString& name);
    // The "name" and "color" attributes of the XML character format.
    static ZDLColorPtr initWithXMLAttributes(const QMap<QString, QString>& attributes);

    static ZDLColorPtr noneColor();
    static ZDLColorPtr blackColor();
    static ZDLColorPtr whiteColor();

    const QString& name() const { return m_name; }
    void setName(const QString& name);
    // Invalid only for a colour whose archived value was refused.
    const RgbColor& color() const { return m_color; }
    void setColor(const RgbColor& color);
    int kind() const { return m_kind; }
    bool isNone() const { return m_kind == ColorKindNone; }
    bool locked() const { return m_kind != ColorKindOrdinary; }

    // The value with its alpha multiplied by a.
    RgbColor getNSColorUsingAlpha(float a) const;
    // As above, then lightened (d > 0) or darkened (d < 0) by the fraction |d|, keeping alpha.
    RgbColor getNSColorUsingAlphaAndAdjustment(float a, float d) const;
    // The same, ready to draw.
    QColor getCGColorUsingAlpha(float a, float d) const
    {
        return getNSColorUsingAlphaAndAdjustment(a, d).toQColor();
    }
    // The colour as it shows over white, then adjusted; always opaque.
    RgbColor getOpaqueColorUsingAdjustment(float d) const;

    // Both or neither none, and exactly equal values.
    bool isSameColorAs(const ZDLColor* other) const;
    bool isSameColorAs(const ZDLColorPtr& other) const { return isSameColorAs(other.get()); }
    QString description() const;

    // The shared instances return themselves; an ordinary colour gives a new equal one.
    ZDLColorPtr copy() const;

    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("ZDLColor");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

private:
    ZDLColor(int kind, const QString& name, const RgbColor& color);

    QString m_name;
    int m_kind = ColorKindOrdinary;
    RgbColor m_color;
};

} // namespace zandrel
