#pragma once

#include "graphics/Gradient.h"
#include "platform/RgbColor.h"

#include <QTransform>
#include <QWidget>

namespace zandrel {

class Canvas;
class CanvasPath;
class ColorPopupButton;

// Edits the colour stops of a gradient: a narrow gauge shows the gradient, each stop has a handle
// with a swatch of its colour beside it. A click on the gauge adds a stop; dragging a handle moves
// its stop, snapping onto a neighbour within 10 points; dragging it well away from the ruler takes
// it off (back near the ruler it returns); a click on a handle opens a colour popup for the stop.
// Every change is reported at once by action().
//
// The ruler works along its own y axis, location 0 at the top. Made wider than tall, it is turned
// a quarter: location 0 at the left, the handles below the gauge.
class GradientRuler : public QWidget {
    Q_OBJECT

public:
    static constexpr double kGaugeWidth = 20.0;
    static constexpr double kGaugeEndInset = 11.0;
    static constexpr double kSnapDistance = 10.0;
    // How far beside the ruler the pointer may go before a dragged stop comes off.
    static constexpr double kNearBefore = -40.0;
    static constexpr double kNearAfter = 30.0;

    explicit GradientRuler(QWidget* parent = nullptr);

    GradientPtr gradientValue() const { return m_gradient->copy(); }
    void setGradientValue(const GradientPtr& gradient);
    const Gradient& peekGradient() const { return *m_gradient; }
    int selectedStop() const { return m_selectedStop; }
    // Made wider than tall, the ruler works turned a quarter.
    bool isHorizontal() const { return width() > height(); }

    // Ruler coordinates: the bounds the ruler works in, and the mapping to the widget's own.
    QRectF rulerBounds() const;
    QTransform rulerToWidget() const;
    QRectF gaugeBox() const;
    float yFromLocation(float location) const;
    float locationFromY(float y) const;
    bool useAfterHalfForStop(int index) const;
    bool useBeforeHalfForStop(int index) const;
    QRectF colorBoxForStopHandle(int index) const;
    QRectF handleRectForStop(int index) const;

    void deselectHandle();
    void popupColorsForSelectedStop();
    ColorPopupButton* stopColorButton() const { return m_stopColorButton; }

signals:
    void action();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void reportChange() { emit action(); }
    void colorChanged();
    const CanvasPath& handlePathForStopHandle(int index) const;
    void drawStopHandle(Canvas& canvas, int index);
    QPointF toRuler(const QPointF& widgetPoint) const;

    GradientPtr m_gradient;
    int m_selectedStop = -1;
    float m_yOffset = 0.0f;
    bool m_deletingStop = false;
    int m_deletingStopIndex = -1;
    RgbColor m_deletedColor;
    ColorPopupButton* m_stopColorButton = nullptr;
    bool m_draggedCurrentStop = false;
    bool m_addedCurrentStop = false;
    bool m_pressed = false;
};

} // namespace zandrel
