#pragma once

#include "graphics/Fill.h"
#include "graphics/StyleKeys.h"
#include "graphics/ZDLColor.h"
#include "platform/GaussianBlur.h"
#include "platform/PropertyTable.h"

#include <initializer_list>
#include <optional>
#include <type_traits>
#include <vector>

namespace zandrel {

class KeyedArchiver;
class KeyedUnarchiver;

// The line and fill attributes that a style, a part path and a character's defaults for new paths
// hold alike. A copy copies the fill (a fill belongs to its holder) and shares the line colour (a
// palette entry). A new set holds every field's initial value.
struct StyleValues {
    StyleValues();
    StyleValues(const StyleValues& other);
    StyleValues& operator=(const StyleValues& other);

    ZDLColorPtr lineColor;
    float lineColorAdjust;
    float lineAlpha;
    // An index into the application's dash table; 0 is the solid line.
    qint64 lineDash;
    FillPtr fill;
    float fillAlpha;
    float lineWeight;
    float blur;
};

// What a style field declares whatever its type.
struct StyleFieldInfo {
    // The property name: styles copy from and apply to elements by it, and observers watch it.
    const QString& name;
    // The key in styles', paths' and characters' archives.
    const QString& archiveKey;
    // Setting the field changes how an element draws, so the element's cached rendering goes.
    bool flushesCaches;
};

// What a new holder's fill is: a white colour fill.
FillPtr newDefaultFill();
// Read through to a colour fill: its type, colour and adjustment (none and 0 for any other fill);
// the gradient fill, or null.
FillType fillTypeOf(const FillPtr& fill);
ZDLColorPtr fillColorOf(const FillPtr& fill);
float fillColorAdjustOf(const FillPtr& fill);
FillPtr gradientFillOf(const FillPtr& fill);
// What switching a holder to a gradient fill gives: a gradient from the colour fill's colour (as
// drawn) to white, or from black to white after any other fill.
FillPtr gradientFillFrom(const FillPtr& fill);

// The widest line and the largest blur radius, in points, that an element holds: what files give
// and what setters are handed beyond them is taken as them. A line wider than any page has room
// for shows nothing more, yet its stroke costs with its width squared, and a blur's bitmap is blurred
// at one pixel a point with a sigma of at most kMaxBlurSigma, so a larger radius would only widen
// the bitmap. The interface offers no more than these.
inline constexpr float kMaxLineWeight = 1000.0f;
inline constexpr float kMaxBlurRadius = float(kMaxBlurSigma);

// One style field, declared once for every holder: its names, where the value lives, the value a
// new holder starts with and the value a path or character file gives a key it lacks.
template <class T> struct StyleField : StyleFieldInfo {
    T StyleValues::*member;
    T (*initial)();
    T missing;
    // The largest value the field holds, for the fields drawing work grows with.
    std::optional<T> largest = std::nullopt;
};

// The value as the field holds it: within its largest value, if it has one.
template <class T> T boundedStyleValue(const StyleField<T>& field, const T& value)
{
    if constexpr (std::is_arithmetic_v<T>) {
        if (field.largest && value > *field.largest)
            return *field.largest;
    }
    return value;
}

// The archive key of the dash, which differs from its property name.
inline const QString kLineDashArchiveKey = QStringLiteral("dash");

namespace stylefields {

inline const StyleField<ZDLColorPtr> lineColor { { stylekeys::kLineColor, stylekeys::kLineColor, true },
    &StyleValues::lineColor, [] { return ZDLColorPtr(); }, nullptr };
inline const StyleField<float> lineColorAdjust { { stylekeys::kLineColorAdjust, stylekeys::kLineColorAdjust,
                                                     true },
    &StyleValues::lineColorAdjust, [] { return 0.0f; }, 0.0f };
// The one field that files lacking it read as opaque rather than 0.
inline const StyleField<float> lineAlpha { { stylekeys::kLineAlpha, stylekeys::kLineAlpha, true },
    &StyleValues::lineAlpha, [] { return 1.0f; }, 1.0f };
inline const StyleField<qint64> lineDash { { stylekeys::kLineDash, kLineDashArchiveKey, true },
    &StyleValues::lineDash, [] { return qint64(0); }, 0 };
// A new holder has a white colour fill; what a missing fill reads as is the holder's decision.
inline const StyleField<FillPtr> fill { { stylekeys::kFill, stylekeys::kFill, true }, &StyleValues::fill,
    &newDefaultFill, nullptr };
inline const StyleField<float> fillAlpha { { stylekeys::kFillAlpha, stylekeys::kFillAlpha, true },
    &StyleValues::fillAlpha, [] { return 1.0f; }, 0.0f };
inline const StyleField<float> lineWeight { { stylekeys::kLineWeight, stylekeys::kLineWeight, true },
    &StyleValues::lineWeight, [] { return 1.0f; }, 0.0f, kMaxLineWeight };
inline const StyleField<float> blur { { stylekeys::kBlur, stylekeys::kBlur, true }, &StyleValues::blur,
    [] { return 0.0f; }, 0.0f, kMaxBlurRadius };

} // namespace stylefields

// Calls visit with every style field, in the order of the style keys (the order in which styles
// are copied from and applied to elements).
template <class Visitor> void forEachStyleField(Visitor&& visit)
{
    visit(stylefields::lineColor);
    visit(stylefields::lineColorAdjust);
    visit(stylefields::lineAlpha);
    visit(stylefields::lineDash);
    visit(stylefields::fill);
    visit(stylefields::fillAlpha);
    visit(stylefields::lineWeight);
    visit(stylefields::blur);
}

// What a holder keeps of a value set: a copy of a fill, anything else as it is.
inline FillPtr storedStyleValue(const FillPtr& fill)
{
    return fill ? fill->copy() : nullptr;
}
template <class T> const T& storedStyleValue(const T& value)
{
    return value;
}

// --- Archiving ---

// How a holder reads its fields back. Styles read every key without a presence check, so a
// missing key gives 0 or none; paths and characters give a missing key the field's missing value.
// A float that is not finite reads as 0, or as the missing value where the holder says so.
struct StyleFieldReading {
    bool checksPresence = false;
    bool nonFiniteAsMissing = false;
};

void encodeStyleField(KeyedArchiver& coder, const StyleValues& values, const StyleField<ZDLColorPtr>& field);
void encodeStyleField(KeyedArchiver& coder, const StyleValues& values, const StyleField<float>& field);
void encodeStyleField(KeyedArchiver& coder, const StyleValues& values, const StyleField<qint64>& field);
void encodeStyleField(KeyedArchiver& coder, const StyleValues& values, const StyleField<FillPtr>& field);
void decodeStyleField(KeyedUnarchiver& coder, StyleValues& values, const StyleField<ZDLColorPtr>& field,
    StyleFieldReading reading);
void decodeStyleField(
    KeyedUnarchiver& coder, StyleValues& values, const StyleField<float>& field, StyleFieldReading reading);
void decodeStyleField(
    KeyedUnarchiver& coder, StyleValues& values, const StyleField<qint64>& field, StyleFieldReading reading);
// A fill of another class than the colour and gradient fills reads as none.
void decodeStyleField(
    KeyedUnarchiver& coder, StyleValues& values, const StyleField<FillPtr>& field, StyleFieldReading reading);

// Writes the fields in the order given: the order of the keys is part of a file's bytes.
template <class... Fields>
void encodeStyleFields(KeyedArchiver& coder, const StyleValues& values, const Fields&... fields)
{
    (encodeStyleField(coder, values, fields), ...);
}
template <class... Fields>
void decodeStyleFields(
    KeyedUnarchiver& coder, StyleValues& values, StyleFieldReading reading, const Fields&... fields)
{
    (decodeStyleField(coder, values, fields, reading), ...);
}

// The order in which styles and paths write their fields.
void encodeStyleFieldsInArchiveOrder(KeyedArchiver& coder, const StyleValues& values);
void decodeStyleFieldsInArchiveOrder(KeyedUnarchiver& coder, StyleValues& values, StyleFieldReading reading);

// --- Holders ---

// The style fields of a holder with their accessors, declared here once for styles, paths and a
// character's defaults. Owner derives from Object and from this class; setting a field tells the
// observers of its name, then lets the owner react through styleFieldChanged (a path drops its
// cached rendering).
template <class Owner> class StyleHolder {
public:
    const ZDLColorPtr& lineColor() const { return m_style.lineColor; }
    // A palette entry, referenced; null for no line colour.
    void setLineColor(const ZDLColorPtr& color) { setStyleField(stylefields::lineColor, color); }
    float lineColorAdjust() const { return m_style.lineColorAdjust; }
    void setLineColorAdjust(float adjust) { setStyleField(stylefields::lineColorAdjust, adjust); }
    float lineAlpha() const { return m_style.lineAlpha; }
    void setLineAlpha(float alpha) { setStyleField(stylefields::lineAlpha, alpha); }
    qint64 lineDash() const { return m_style.lineDash; }
    void setLineDash(qint64 dash) { setStyleField(stylefields::lineDash, dash); }
    const FillPtr& fill() const { return m_style.fill; }
    // Stores a copy, so that later edits of the caller's fill do not leak in.
    void setFill(const FillPtr& fill) { setStyleField(stylefields::fill, fill); }
    float fillAlpha() const { return m_style.fillAlpha; }
    void setFillAlpha(float alpha) { setStyleField(stylefields::fillAlpha, alpha); }
    float lineWeight() const { return m_style.lineWeight; }
    void setLineWeight(float weight) { setStyleField(stylefields::lineWeight, weight); }
    float blur() const { return m_style.blur; }
    void setBlur(float blur) { setStyleField(stylefields::blur, blur); }

    // FillTypeColor for a colour fill, FillTypeGradient for anything else (no fill included).
    FillType fillType() const { return fillTypeOf(m_style.fill); }
    // The colour fill's colour and adjustment; none and 0 for any other fill.
    ZDLColorPtr fillColor() const { return fillColorOf(m_style.fill); }
    float fillColorAdjust() const { return fillColorAdjustOf(m_style.fill); }
    // The fill when it is a gradient fill, else null.
    FillPtr fillGradient() const { return gradientFillOf(m_style.fill); }

    const StyleValues& styleValues() const { return m_style; }

    template <class T> void setStyleField(const StyleField<T>& field, const T& value)
    {
        auto& owner = static_cast<Owner&>(*this);
        owner.changeValueForKey(
            field.name, [&] { m_style.*field.member = storedStyleValue(boundedStyleValue(field, value)); });
        styleFieldChanged(field);
    }

    // The property of one field.
    template <class T> static Property styleProperty(const StyleField<T>& field)
    {
        const auto* declared = &field;
        return property<Owner>(
            field.name, [declared](const Owner& owner) -> T { return owner.styleValues().*declared->member; },
            [declared](Owner& owner, const T& value) { owner.setStyleField(*declared, value); });
    }

    // The properties of the fields in style-key order, for the owner's property table; the fields
    // listed in left out are not offered.
    static std::vector<Property> styleProperties(std::initializer_list<const StyleFieldInfo*> leftOut = {})
    {
        std::vector<Property> properties;
        forEachStyleField([&](const auto& field) {
            for (const StyleFieldInfo* skipped : leftOut) {
                if (skipped == &field)
                    return;
            }
            properties.push_back(styleProperty(field));
        });
        return properties;
    }

protected:
    StyleHolder() = default;
    StyleHolder(const StyleHolder&) = default;
    StyleHolder& operator=(const StyleHolder&) = default;
    virtual ~StyleHolder() = default;

    // After a field was set and its observers told.
    virtual void styleFieldChanged(const StyleFieldInfo& /*field*/) { }

    StyleValues m_style;
};

} // namespace zandrel
