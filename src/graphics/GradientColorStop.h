#pragma once

#include "platform/Object.h"
#include "platform/RgbColor.h"

#include <memory>

namespace zandrel {

// One colour of a gradient at a position from 0 to 1. The colour may be translucent.
class GradientColorStop : public Object {
public:
    ZDL_PROPERTIES

    // Property names.
    static inline const QString kColorKey = QStringLiteral("color");
    static inline const QString kLocationKey = QStringLiteral("location");

    // Black at 0; the blank object the unarchiver fills.
    GradientColorStop();
    GradientColorStop(const RgbColor& color, float location);
    GradientColorStop(const GradientColorStop& other) = default;
    ~GradientColorStop() override = default;

    static std::shared_ptr<GradientColorStop> initWithColor(const RgbColor& color, float location);

    const RgbColor& color() const { return m_color; }
    void setColor(const RgbColor& color);
    float location() const { return m_location; }
    void setLocation(float location);

    // The colour as it shows over white: itself when fully opaque, else made opaque and blended
    // toward white by its transparency.
    RgbColor opaqueColor() const;

    // A new stop with the same colour and location.
    std::shared_ptr<GradientColorStop> copy() const;

    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("GradientColorStop");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

private:
    RgbColor m_color;
    float m_location = 0.0f;
};

using GradientColorStopPtr = std::shared_ptr<GradientColorStop>;

} // namespace zandrel
