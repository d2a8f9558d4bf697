#include "colorui/GradientGeometryControl.h"

#include "colorui/ColorControlDrawing.h"
#include "colorui/GradientRuler.h"
#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"
#include "platform/CurrentCanvas.h"
#include "platform/PainterCanvas.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace zandrel {

namespace {

// The arrow spans this share of the preview's smaller side; its shape is 20 units long.
constexpr float kArrowShare = 0.7f;
constexpr float kArrowLength = 20.0f;

const CanvasPath& arrowShape()
{
    static const CanvasPath path = [] {
        CanvasPath p;
        const QPointF points[] = { { 0, 10 }, { 2, 5 }, { 0.5, 6 }, { 0.5, -5 }, { 1.5, -6.5 }, { 1.5, -10 },
            { 0, -8 }, { -1.5, -10 }, { -1.5, -6.5 }, { -0.5, -5 }, { -0.5, 6 }, { -2, 5 } };
        p.moveTo(points[0]);
        for (size_t i = 1; i < std::size(points); ++i)
            p.lineTo(points[i]);
        p.close();
        return p;
    }();
    return path;
}

const CanvasPath& centerHandle()
{
    static const CanvasPath path = CanvasPath::fromEllipse(QRectF(-3.5, -3.5, 7, 7));
    return path;
}

} // namespace

// --- GradientGeometryControl ---

GradientGeometryControl::GradientGeometryControl(QWidget* parent)
    : QWidget(parent)
{
}

void GradientGeometryControl::linkControls(GradientRuler* ruler, SegmentedControl* typeControl)
{
    m_linkedRuler = ruler;
    m_linkedTypeControl = typeControl;
    if (m_linkedRuler)
        connect(m_linkedRuler, &GradientRuler::action, this,
            &GradientGeometryControl::setGradientFromGradientRuler);
    if (m_linkedTypeControl)
        connect(m_linkedTypeControl, &SegmentedControl::action, this,
            &GradientGeometryControl::setTypeFromControl);
    loadLinkedControls();
}

void GradientGeometryControl::loadLinkedControls()
{
    if (m_linkedRuler)
        m_linkedRuler->setGradientValue(m_fill.gradient());
    if (m_linkedTypeControl)
        m_linkedTypeControl->setSelectedSegment(m_fill.gradientType() == GradientTypeLinear ? 0 : 1);
}

GradientFillPtr GradientGeometryControl::gradientFillValue() const
{
    return std::make_shared<GradientFill>(m_fill);
}

void GradientGeometryControl::setGradientFillValue(const GradientFill& fill)
{
    m_fill = fill;
    update();
    loadLinkedControls();
}

QRectF GradientGeometryControl::gradientBounds() const
{
    return QRectF(rect()).adjusted(kPreviewInset, kPreviewInset, -kPreviewInset, -kPreviewInset);
}

void GradientGeometryControl::setGradientFromGradientRuler()
{
    if (!m_linkedRuler)
        return;
    m_fill.setGradient(m_linkedRuler->gradientValue());
    update();
    emit action();
}

void GradientGeometryControl::setTypeFromControl()
{
    if (!m_linkedTypeControl)
        return;
    const int segment = m_linkedTypeControl->selectedSegment();
    if ((segment == 0 || segment == 1) && segment != m_fill.gradientType()) {
        m_fill.setGradientType(segment);
        update();
        emit action();
    }
}

void GradientGeometryControl::setAngleFromPoint(const QPointF& p, Qt::KeyboardModifiers modifiers)
{
    const QRectF b = rect();
    const QPointF c(b.x() + b.width() * 0.5, b.y() + b.height() * 0.5);
    float angle
        = std::atan2(float(c.y() - p.y()), float(p.x() - c.x())) * -180.0f / std::numbers::pi_v<float>;
    if (!(modifiers & Qt::ControlModifier)) {
        const int m = std::abs(int(std::round(angle))) % kAngleSnapStep;
        if (m <= kAngleSnapReach || m >= kAngleSnapStep - kAngleSnapReach)
            angle = std::round(angle / kAngleSnapStep) * kAngleSnapStep;
    }
    if (angle != m_fill.linearAngle()) {
        m_fill.setLinearAngle(angle);
        update();
        emit action();
    }
}

void GradientGeometryControl::setCenterFromPoint(const QPointF& point, Qt::KeyboardModifiers modifiers)
{
    const QRectF g = gradientBounds();
    if (g.width() <= 0 || g.height() <= 0)
        return;
    QPointF p = point;
    if (!(modifiers & Qt::ControlModifier)) {
        const QPointF middle = g.center();
        if (std::fabs(p.x() - middle.x()) <= kCenterSnapReach)
            p.setX(middle.x());
        if (std::fabs(p.y() - middle.y()) <= kCenterSnapReach)
            p.setY(middle.y());
    }
    const float rx = std::clamp(float(2 * (p.x() - g.x()) / g.width() - 1), -1.0f, 1.0f);
    const float ry = std::clamp(float(2 * (p.y() - g.y()) / g.height() - 1), -1.0f, 1.0f);
    m_fill.setRelativeCenter(QPointF(rx, ry));
    update();
    emit action();
}

void GradientGeometryControl::mousePressEvent(QMouseEvent* event)
{
    if (!isEnabled() || event->button() != Qt::LeftButton)
        return;
    mouseMoveEvent(event);
}

void GradientGeometryControl::mouseMoveEvent(QMouseEvent* event)
{
    if (!isEnabled() || !(event->buttons() & Qt::LeftButton))
        return;
    if (m_fill.gradientType() == GradientTypeLinear)
        setAngleFromPoint(event->position(), event->modifiers());
    else
        setCenterFromPoint(event->position(), event->modifiers());
}

void GradientGeometryControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PainterCanvas canvas(&painter);
    const CanvasScope scope(&canvas);
    const QRectF g = gradientBounds();
    canvas.save();
    fillCheckerboard(canvas, g);
    m_fill.fillRect(g);
    if (m_fill.gradientType() == GradientTypeLinear) {
        const float s = float(std::min(g.width(), g.height())) * kArrowShare / kArrowLength;
        canvas.translate(g.center().x(), g.center().y());
        canvas.scale(s, s);
        canvas.rotate(m_fill.linearAngle() - 90.0);
        CanvasPath arrow = arrowShape();
        arrow.setLineWidth(1.0 / s);
        canvas.fillPath(arrow, CanvasPaint(QColor(Qt::white)));
        canvas.strokePath(arrow, CanvasPaint(QColor(Qt::black)));
    } else {
        const QPointF c = m_fill.relativeCenter();
        canvas.translate((c.x() + 1) * 0.5 * g.width() + g.x(), (c.y() + 1) * 0.5 * g.height() + g.y());
        CanvasPath handle = centerHandle();
        handle.setLineWidth(1.0);
        canvas.fillPath(handle, CanvasPaint(QColor(Qt::white)));
        canvas.strokePath(handle, CanvasPaint(QColor(Qt::black)));
    }
    canvas.restore();
}

} // namespace zandrel
