#pragma once

#include "platform/RgbColor.h"

#include <QPointF>
#include <QRectF>
#include <QWidget>

namespace zandrel {

class CanvasPath;
class HueSlider;
class AlphaSlider;

// Hue, saturation and brightness (each 0 to 1) of a colour and back, in double precision so that
// a value set is the value read.
struct HsbColor {
    double hue = 0.0;
    double saturation = 0.0;
    double brightness = 0.0;
    double alpha = 1.0;
};
HsbColor hsbFromRgb(const RgbColor& color);
RgbColor rgbFromHsb(double hue, double saturation, double brightness, double alpha = 1.0);

// The square in which x chooses the saturation and y the brightness of a colour whose hue and
// opacity come from two linked sliders. It owns the colour, keeps the sliders in step and emits
// action() at every change the user makes.
class SaturationBrightnessControl : public QWidget {
    Q_OBJECT

public:
    // The square's margin, in which a press adjusts only one of the two values.
    static constexpr double kActiveInset = 9.0;
    static constexpr double kIndicatorSize = 16.0;

    explicit SaturationBrightnessControl(QWidget* parent = nullptr);

    // The sliders take the square's values and report to it from now on.
    void linkSliders(HueSlider* hueSlider, AlphaSlider* alphaSlider);

    double hueValue() const { return m_hue; }
    void setHueValue(double hue);
    double saturationValue() const { return m_saturation; }
    void setSaturationValue(double saturation);
    double brightnessValue() const { return m_brightness; }
    void setBrightnessValue(double brightness);
    double alpha() const { return m_alpha; }
    void setAlpha(double alpha) { m_alpha = alpha; }
    RgbColor colorValue() const;
    // Splits the colour into the square's values; the opacity goes through the alpha slider.
    void setColorValue(const RgbColor& color);

    // The bounds inset by the margin, in which both values are chosen.
    QRectF activeBox() const;
    QPointF indicatorPoint() const;
    QRectF indicatorBox() const;
    // The margins beside the square adjust only the brightness; those above and below only the
    // saturation.
    bool pointInBrightnessZone(const QPointF& p) const;
    bool pointInSaturationZone(const QPointF& p) const;
    void setValueFromPoint(const QPointF& p);

signals:
    void action();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setHueFromHueSlider();
    void setAlphaFromAlphaSlider();
    void reportChange() { emit action(); }
    void updateCursorAt(const QPointF& p);

    double m_hue = -1.0;
    double m_saturation = 1.0;
    double m_brightness = 1.0;
    double m_alpha = 1.0;
    bool m_dragging = false;
    QPointF m_dragOffset;
    bool m_adjustingSaturation = true;
    bool m_adjustingBrightness = true;
    HueSlider* m_hueSlider = nullptr;
    AlphaSlider* m_alphaSlider = nullptr;
};

// A vertical slider of a value from 0 (bottom of the gauge) to 1 (top), with an arrow-shaped
// handle pointing at the gauge the subclass draws. Emits action() when the user changes the value
// and when the value is set to something new.
class GraphicSlider : public QWidget {
    Q_OBJECT

public:
    explicit GraphicSlider(QWidget* parent = nullptr);

    double unitValue() const { return m_unitValue; }
    void setUnitValue(double value);
    // The bounds less the handle's room at the left and half a handle at each end.
    QRectF gaugeBox() const;
    double yFromValue(double value) const;
    double valueFromY(double y) const;
    QRectF handleBox() const;

signals:
    void action();

protected:
    virtual void drawGaugeIn(class Canvas& canvas, const QRectF& box) = 0;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    static const CanvasPath& sliderHandlePath();

    // Unset at first, so that the first value set always counts as a change.
    double m_unitValue = -1.0;
    float m_dragOffset = 0.0f;
    bool m_dragging = false;
};

// The hue slider: the colour wheel's hues from red at the bottom round to red at the top.
class HueSlider : public GraphicSlider {
    Q_OBJECT

public:
    using GraphicSlider::GraphicSlider;
    double hueValue() const { return unitValue(); }
    void setHueValue(double hue) { setUnitValue(hue); }

protected:
    void drawGaugeIn(Canvas& canvas, const QRectF& box) override;
};

// The opacity slider: the current colour fading out toward the bottom over a checkerboard.
class AlphaSlider : public GraphicSlider {
    Q_OBJECT

public:
    explicit AlphaSlider(QWidget* parent = nullptr);
    double alphaValue() const { return unitValue(); }
    void setAlphaValue(double alpha) { setUnitValue(alpha); }
    RgbColor color() const { return m_color; }
    void setColor(const RgbColor& color);

protected:
    void drawGaugeIn(Canvas& canvas, const QRectF& box) override;

private:
    RgbColor m_color;
};

} // namespace zandrel
