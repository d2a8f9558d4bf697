#include "colorui/ColorAdjuster.h"

#include "colorui/ColorControlDrawing.h"
#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"
#include "platform/PainterCanvas.h"
#include "platform/UndoManager.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>

namespace zandrel {

namespace {

// Tick greys: disabled, the middle cell's, the others'.
constexpr double kDisabledTick = 0.8;
constexpr double kZeroTick = 0.1;
constexpr double kTick = 0.57;
constexpr double kDisabledBar = 0.8;
constexpr double kMarkerFill = 0.9;
constexpr double kMarkerStroke = 0.4;
constexpr double kDisabledMarkerStroke = 0.6;

} // namespace

ColorAdjuster::ColorAdjuster(QWidget* parent)
    : QWidget(parent)
    , m_color(1, 0, 0, 1)
{
}

ColorAdjuster::~ColorAdjuster()
{
    closeGroup();
}

void ColorAdjuster::setColor(const RgbColor& color)
{
    m_color = color.isValid() ? color.opaque() : color;
    update();
}

void ColorAdjuster::setFloatValue(float value)
{
    m_value = value;
    update();
}

void ColorAdjuster::clearValue()
{
    // A value no cell compares with: no marker is drawn.
    setFloatValue(std::numeric_limits<float>::quiet_NaN());
}

void ColorAdjuster::setUndoManager(UndoManager* undoManager)
{
    closeGroup();
    m_undoManager = undoManager;
}

float ColorAdjuster::valueFromPoint(const QPointF& p) const
{
    const float w = float(width()) / kCells;
    if (w <= 0)
        return 0.0f;
    const float value = std::floor(float(p.x()) / w - 10.0f) / 10.0f;
    return std::clamp(value, -1.0f, 1.0f);
}

void ColorAdjuster::trackTo(const QPointF& p)
{
    const float value = valueFromPoint(p);
    if (value == m_value)
        return;
    setFloatValue(value);
    if (m_continuous)
        emit action();
}

void ColorAdjuster::mousePressEvent(QMouseEvent* event)
{
    if (!isEnabled() || event->button() != Qt::LeftButton)
        return;
    closeGroup();
    if (m_undoManager) {
        m_undoManager->beginUndoGrouping();
        m_groupOpenIn = m_undoManager;
    }
    m_tracking = true;
    trackTo(event->position());
}

void ColorAdjuster::mouseMoveEvent(QMouseEvent* event)
{
    if (!isEnabled() || !m_tracking)
        return;
    trackTo(event->position());
}

void ColorAdjuster::mouseReleaseEvent(QMouseEvent* event)
{
    if (!isEnabled() || !m_tracking || event->button() != Qt::LeftButton)
        return;
    m_tracking = false;
    if (!m_continuous)
        emit action();
    closeGroup();
}

void ColorAdjuster::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        m_tracking = false;
        closeGroup();
    }
    QWidget::changeEvent(event);
}

void ColorAdjuster::hideEvent(QHideEvent* event)
{
    m_tracking = false;
    closeGroup();
    QWidget::hideEvent(event);
}

void ColorAdjuster::closeGroup()
{
    if (!m_groupOpenIn)
        return;
    UndoManager* undo = m_groupOpenIn;
    m_groupOpenIn = nullptr;
    if (undo->groupingLevel() > 0)
        undo->endUndoGrouping();
}

void ColorAdjuster::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PainterCanvas canvas(&painter);
    // Drawn in the unflipped space the layout is measured in: the ticks below, the marker above.
    canvas.translate(0, height());
    canvas.scale(1, -1);
    const QRectF b = rect();
    const QRectF bar(b.x(), b.y() + 6, b.width(), b.height() - 10);
    const bool enabled = isEnabled();
    if (!enabled)
        canvas.fillRect(bar, CanvasPaint(grayLevel(kDisabledBar)));
    const double w = bar.width() / kCells;
    int k = 0;
    for (float v = -1.0f; v <= 1.0001f && k < kCells; v += 0.1f, ++k) {
        const QRectF cell(bar.x() + k * w, bar.y(), w, bar.height());
        if (enabled) {
            RgbColor shade = m_color;
            if (v > 0)
                shade = m_color.highlightWithLevel(v);
            else if (v < 0)
                shade = m_color.shadowWithLevel(-v);
            canvas.fillRect(cell, CanvasPaint(shade.toQColor()));
        }
        const double x = float(cell.center().x());
        CanvasPath tick;
        tick.moveTo(QPointF(x, bar.y() - 2));
        tick.lineTo(QPointF(x, bar.y() - 6));
        tick.setLineWidth(1.0);
        const double tickGray = !enabled ? kDisabledTick : (std::fabs(v) < 0.01f ? kZeroTick : kTick);
        canvas.strokePath(tick, CanvasPaint(grayLevel(tickGray)));

        if (m_value > v - 0.05f && m_value <= v + 0.05f) {
            QRectF m(cell.x(), b.y() + 8, cell.width(), b.height() - 8);
            m = QRectF(QPointF(std::round(m.left()), std::round(m.top())),
                QPointF(std::round(m.right()), std::round(m.bottom())))
                    .adjusted(0.5, 0.5, -0.5, -0.5);
            CanvasPath marker;
            const double half = m.width() / 2;
            marker.moveTo(QPointF(m.x() + half, m.y()));
            marker.lineTo(QPointF(m.right(), m.y() + half + 1));
            marker.lineTo(QPointF(m.right(), m.bottom() - 2));
            marker.cubicTo(QPointF(m.right(), m.bottom() - 0.8), QPointF(m.right() - 0.8, m.bottom()),
                QPointF(m.right() - 2, m.bottom()));
            marker.lineTo(QPointF(m.x() + 2, m.bottom()));
            marker.cubicTo(QPointF(m.x() + 0.8, m.bottom()), QPointF(m.x(), m.bottom() - 0.8),
                QPointF(m.x(), m.bottom() - 2));
            marker.lineTo(QPointF(m.x(), m.y() + half + 1));
            marker.close();
            marker.setLineWidth(1.0);
            canvas.fillPath(marker, CanvasPaint(grayLevel(kMarkerFill)));
            canvas.strokePath(
                marker, CanvasPaint(grayLevel(enabled ? kMarkerStroke : kDisabledMarkerStroke)));
        }
    }
}

} // namespace zandrel
