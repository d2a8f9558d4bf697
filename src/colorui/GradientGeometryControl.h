#pragma once

#include "graphics/GradientFill.h"
#include "panels/SegmentedControl.h"

#include <QWidget>

namespace zandrel {

class CanvasPath;
class GradientRuler;

// Shows a whole gradient fill in a square and edits its geometry: dragging turns a linear
// gradient's angle (sticking to multiples of 45 degrees within 5 unless Ctrl is held) or moves a
// radial gradient's centre (sticking to the middle within 4 points). It owns the fill and keeps a
// linked ruler (the stops) and type control in step. action() reports every change.
class GradientGeometryControl : public QWidget {
    Q_OBJECT

public:
    static constexpr double kPreviewInset = 4.0;
    static constexpr int kAngleSnapStep = 45;
    static constexpr int kAngleSnapReach = 5;
    static constexpr double kCenterSnapReach = 4.0;

    explicit GradientGeometryControl(QWidget* parent = nullptr);

    // The ruler reports to this control from now on, and both controls take the fill's values.
    void linkControls(GradientRuler* ruler, SegmentedControl* typeControl);

    GradientFillPtr gradientFillValue() const;
    // Shows the fill and hands it to the linked controls; reports nothing.
    void setGradientFillValue(const GradientFill& fill);
    QRectF gradientBounds() const;

    void setGradientFromGradientRuler();
    void setTypeFromControl();
    void setAngleFromPoint(const QPointF& p, Qt::KeyboardModifiers modifiers);
    void setCenterFromPoint(const QPointF& p, Qt::KeyboardModifiers modifiers);

signals:
    void action();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void loadLinkedControls();

    GradientFill m_fill;
    GradientRuler* m_linkedRuler = nullptr;
    SegmentedControl* m_linkedTypeControl = nullptr;
};

} // namespace zandrel
