#include "graphics/StyleFields.h"

#include "graphics/ColorFill.h"
#include "graphics/GradientFill.h"
#include "graphics/GraphicUtils.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <cmath>

namespace zandrel {

StyleValues::StyleValues()
{
    forEachStyleField([this](const auto& field) { this->*field.member = field.initial(); });
}

StyleValues::StyleValues(const StyleValues& other)
{
    *this = other;
}

StyleValues& StyleValues::operator=(const StyleValues& other)
{
    if (this != &other)
        forEachStyleField(
            [&](const auto& field) { this->*field.member = storedStyleValue(other.*field.member); });
    return *this;
}

FillPtr newDefaultFill()
{
    return std::make_shared<ColorFill>();
}

FillType fillTypeOf(const FillPtr& fill)
{
    return fill && fill->fillType() == FillTypeColor ? FillTypeColor : FillTypeGradient;
}

ZDLColorPtr fillColorOf(const FillPtr& fill)
{
    const auto* colorFill = dynamic_cast<const ColorFill*>(fill.get());
    return colorFill ? colorFill->fillColor() : nullptr;
}

float fillColorAdjustOf(const FillPtr& fill)
{
    const auto* colorFill = dynamic_cast<const ColorFill*>(fill.get());
    return colorFill ? colorFill->fillColorAdjust() : 0.0f;
}

FillPtr gradientFillOf(const FillPtr& fill)
{
    return std::dynamic_pointer_cast<GradientFill>(fill);
}

FillPtr gradientFillFrom(const FillPtr& fill)
{
    auto gradientFill = std::make_shared<GradientFill>();
    const auto* colorFill = dynamic_cast<const ColorFill*>(fill.get());
    if (colorFill && colorFill->nsColor().isValid()) {
        auto gradient = std::make_shared<Gradient>();
        gradient->setColor(colorFill->nsColor(), 0);
        gradientFill->setGradient(gradient);
    }
    return gradientFill;
}

// --- Archiving ---

void encodeStyleField(KeyedArchiver& coder, const StyleValues& values, const StyleField<ZDLColorPtr>& field)
{
    coder.encodeObject(values.*field.member, field.archiveKey);
}

void encodeStyleField(KeyedArchiver& coder, const StyleValues& values, const StyleField<float>& field)
{
    coder.encodeFloat(values.*field.member, field.archiveKey);
}

void encodeStyleField(KeyedArchiver& coder, const StyleValues& values, const StyleField<qint64>& field)
{
    coder.encodeInteger(values.*field.member, field.archiveKey);
}

void encodeStyleField(KeyedArchiver& coder, const StyleValues& values, const StyleField<FillPtr>& field)
{
    coder.encodeObject(values.*field.member, field.archiveKey);
}

void decodeStyleField(
    KeyedUnarchiver& coder, StyleValues& values, const StyleField<ZDLColorPtr>& field, StyleFieldReading)
{
    values.*field.member
        = coder.decodeObjectOfClass(ZDLColor::kClassName, field.archiveKey).toObject<ZDLColor>();
}

void decodeStyleField(
    KeyedUnarchiver& coder, StyleValues& values, const StyleField<float>& field, StyleFieldReading reading)
{
    if (reading.checksPresence && !coder.containsValueForKey(field.archiveKey)) {
        values.*field.member = field.missing;
        return;
    }
    const float value = coder.decodeFloatForKey(field.archiveKey);
    values.*field.member = std::isfinite(value) ? boundedStyleValue(field, value)
        : reading.nonFiniteAsMissing            ? field.missing
                                                : 0.0f;
}

void decodeStyleField(
    KeyedUnarchiver& coder, StyleValues& values, const StyleField<qint64>& field, StyleFieldReading)
{
    values.*field.member = coder.decodeIntegerForKey(field.archiveKey);
}

void decodeStyleField(
    KeyedUnarchiver& coder, StyleValues& values, const StyleField<FillPtr>& field, StyleFieldReading)
{
    values.*field.member = coder.decodeObjectOfClasses(fillClassNames(), field.archiveKey).toObject<Fill>();
}

void encodeStyleFieldsInArchiveOrder(KeyedArchiver& coder, const StyleValues& values)
{
    using namespace stylefields;
    encodeStyleFields(
        coder, values, lineColor, lineAlpha, lineDash, fill, lineColorAdjust, fillAlpha, lineWeight, blur);
}

void decodeStyleFieldsInArchiveOrder(KeyedUnarchiver& coder, StyleValues& values, StyleFieldReading reading)
{
    using namespace stylefields;
    decodeStyleFields(coder, values, reading, lineColor, lineAlpha, lineDash, fill, lineColorAdjust,
        fillAlpha, lineWeight, blur);
}

} // namespace zandrel
