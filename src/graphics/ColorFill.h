#pragma once

#include "graphics/Fill.h"
#include "graphics/ZDLColor.h"

namespace zandrel {

// One palette colour with a lightness adjustment. The colour is a palette entry, referenced and
// never copied, so that editing the palette recolours the fill.
class ColorFill : public Fill {
public:
    ZDL_PROPERTIES

    // Property names.
    static inline const QString kFillColorKey = QStringLiteral("fillColor");
    static inline const QString kFillColorAdjustKey = QStringLiteral("fillColorAdjust");

    // The shared white, no adjustment.
    ColorFill();
    ColorFill(const ColorFill& other) = default;
    ~ColorFill() override = default;

    const ZDLColorPtr& fillColor() const { return m_fillColor; }
    void setFillColor(const ZDLColorPtr& color);
    float fillColorAdjust() const { return m_fillColorAdjust; }
    void setFillColorAdjust(float adjust);

    // Invalid when there is no colour.
    RgbColor nsColor() const;
    RgbColor opaqueColor() const;

    void fillRect(const QRectF& rect) const override;
    void fillCGPath(const CanvasPath& path) const override;
    void fillNSPath(const CanvasPath& path) const override;
    // No colour, or the none colour.
    bool isNone() const override;
    FillType fillType() const override { return FillTypeColor; }
    // Refers to the same palette colour instance.
    FillPtr copy() const override;

    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("ColorFill");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

private:
    float m_fillColorAdjust = 0.0f;
    ZDLColorPtr m_fillColor;
};

using ColorFillPtr = std::shared_ptr<ColorFill>;

} // namespace zandrel
