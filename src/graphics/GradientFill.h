#pragma once

#include "graphics/Fill.h"
#include "graphics/Gradient.h"

#include <QPointF>

namespace zandrel {

enum GradientType : int {
    GradientTypeLinear = 0,
    GradientTypeRadial = 1, // as is any value but 0
};

// A gradient drawn linearly at an angle or radially about a centre relative to the filled rect.
// The fill owns its gradient: it hands out and takes in copies, never its own instance.
class GradientFill : public Fill {
public:
    ZDL_PROPERTIES

    // Property names.
    static inline const QString kGradientKey = QStringLiteral("gradient");
    static inline const QString kGradientTypeKey = QStringLiteral("gradientType");
    static inline const QString kLinearAngleKey = QStringLiteral("linearAngle");
    static inline const QString kRelativeCenterKey = QStringLiteral("relativeCenter");

    // Black to white, linear, 90 degrees, centred.
    GradientFill();
    // Copies the gradient.
    GradientFill(const GradientFill& other);
    GradientFill& operator=(const GradientFill& other);
    ~GradientFill() override = default;

    // A copy of the gradient (null when the fill has none, as after reading an archive without
    // one); a fill's gradient is changed by changing the copy and setting it back.
    GradientPtr gradient() const;
    void setGradient(const GradientPtr& gradient);
    // The gradient itself, for reading without a copy.
    const Gradient* peekGradient() const { return m_gradient.get(); }

    int gradientType() const { return m_gradientType; }
    void setGradientType(int type);
    // Degrees in the current user space: 0 runs toward growing x, 90 toward growing y.
    float linearAngle() const { return m_linearAngle; }
    void setLinearAngle(float angle);
    // (0, 0) the rect's centre, -1 and 1 its edges.
    QPointF relativeCenter() const { return m_relativeCenter; }
    void setRelativeCenter(const QPointF& center);

    void fillRect(const QRectF& rect) const override;
    // As fillRect with the gradient's opaque colours, the colours as they show over white.
    void opaqueFillRect(const QRectF& rect) const;
    void fillCGPath(const CanvasPath& path) const override;
    void fillNSPath(const CanvasPath& path) const override;
    bool isNone() const override { return false; }
    FillType fillType() const override { return FillTypeGradient; }
    FillPtr copy() const override;

    // Turns the fill by degrees: a linear angle grows; a radial centre moves along the
    // origin-centred square it lies on.
    void rotate(float degrees);

    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("GradientFill");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

private:
    void drawInRect(const QRectF& rect, bool opaque) const;

    GradientPtr m_gradient;
    int m_gradientType = GradientTypeLinear;
    float m_linearAngle = 90.0f;
    QPointF m_relativeCenter;
};

using GradientFillPtr = std::shared_ptr<GradientFill>;

} // namespace zandrel
