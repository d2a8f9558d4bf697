#include "colorui/GradientRuler.h"

#include "colorui/ColorControlDrawing.h"
#include "colorui/ColorPopups.h"
#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"
#include "platform/PainterCanvas.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

// The rounded corners of the handles: control points this far from the corner's ends.
constexpr double kCornerControl = 1.2150;
constexpr double kSelectedTop = 0.62, kSelectedBottom = 0.73;
constexpr double kHandleTop = 0.86, kHandleBottom = 0.97;
constexpr double kHandleStroke = 0.63;
constexpr double kSelectedBoxStroke = 0.27, kBoxStroke = 0.46;

// A corner from a to b turning round c: a and b lie 2.2 from the corner c on either side.
void cornerTo(CanvasPath& path, const QPointF& from, const QPointF& corner, const QPointF& to)
{
    auto toward = [](const QPointF& a, const QPointF& b, double d) {
        const QPointF v = b - a;
        const double length = std::hypot(v.x(), v.y());
        return length > 0 ? a + v * (d / length) : a;
    };
    path.cubicTo(toward(from, corner, kCornerControl), toward(to, corner, kCornerControl), to);
}

const CanvasPath& fullHandle()
{
    static const CanvasPath path = [] {
        CanvasPath p;
        p.moveTo(QPointF(2.7, -10));
        p.lineTo(QPointF(18.3, -10));
        cornerTo(p, QPointF(18.3, -10), QPointF(20.5, -10), QPointF(20.5, -7.8));
        p.lineTo(QPointF(20.5, -5));
        p.lineTo(QPointF(25.5, 0));
        p.lineTo(QPointF(20.5, 5));
        p.lineTo(QPointF(20.5, 7.8));
        cornerTo(p, QPointF(20.5, 7.8), QPointF(20.5, 10), QPointF(18.3, 10));
        p.lineTo(QPointF(2.7, 10));
        cornerTo(p, QPointF(2.7, 10), QPointF(0.5, 10), QPointF(0.5, 7.8));
        p.lineTo(QPointF(0.5, -7.8));
        cornerTo(p, QPointF(0.5, -7.8), QPointF(0.5, -10), QPointF(2.7, -10));
        p.close();
        p.setLineWidth(1.0);
        return p;
    }();
    return path;
}

const CanvasPath& afterHalfHandle()
{
    static const CanvasPath path = [] {
        CanvasPath p;
        p.moveTo(QPointF(25.5, 0));
        p.lineTo(QPointF(0.5, 0));
        p.lineTo(QPointF(0.5, 7.8));
        cornerTo(p, QPointF(0.5, 7.8), QPointF(0.5, 10), QPointF(2.7, 10));
        p.lineTo(QPointF(18.3, 10));
        cornerTo(p, QPointF(18.3, 10), QPointF(20.5, 10), QPointF(20.5, 7.8));
        p.lineTo(QPointF(20.5, 5));
        p.close();
        p.setLineWidth(1.0);
        return p;
    }();
    return path;
}

const CanvasPath& beforeHalfHandle()
{
    static const CanvasPath path = [] {
        CanvasPath p;
        p.moveTo(QPointF(25.5, 0));
        p.lineTo(QPointF(20.5, -5));
        p.lineTo(QPointF(20.5, -7.8));
        cornerTo(p, QPointF(20.5, -7.8), QPointF(20.5, -10), QPointF(18.3, -10));
        p.lineTo(QPointF(2.7, -10));
        cornerTo(p, QPointF(2.7, -10), QPointF(0.5, -10), QPointF(0.5, -7.8));
        p.lineTo(QPointF(0.5, 0));
        p.close();
        p.setLineWidth(1.0);
        return p;
    }();
    return path;
}

} // namespace

GradientRuler::GradientRuler(QWidget* parent)
    : QWidget(parent)
    , m_gradient(std::make_shared<Gradient>())
{
}

void GradientRuler::setGradientValue(const GradientPtr& gradient)
{
    m_gradient = gradient ? gradient->copy() : std::make_shared<Gradient>();
    if (m_selectedStop >= m_gradient->numStops())
        m_selectedStop = -1;
    update();
}

QRectF GradientRuler::rulerBounds() const
{
    return isHorizontal() ? QRectF(0, 0, height(), width()) : QRectF(0, 0, width(), height());
}

QTransform GradientRuler::rulerToWidget() const
{
    // A quarter turn: the ruler's y runs along the widget's x, its x up from the widget's bottom.
    return isHorizontal() ? QTransform(0, -1, 1, 0, 0, height()) : QTransform();
}

QPointF GradientRuler::toRuler(const QPointF& widgetPoint) const
{
    return rulerToWidget().inverted().map(widgetPoint);
}

QRectF GradientRuler::gaugeBox() const
{
    const QRectF b = rulerBounds();
    const double w = std::min(b.width(), kGaugeWidth);
    return QRectF(b.x() + b.width() - w, b.y() + kGaugeEndInset, w, b.height() - 2 * kGaugeEndInset);
}

float GradientRuler::yFromLocation(float location) const
{
    const QRectF gauge = gaugeBox();
    return std::floor(location * float(gauge.height() - 1) + float(gauge.y())) + 0.5f;
}

float GradientRuler::locationFromY(float y) const
{
    const QRectF gauge = gaugeBox();
    const float span = float(gauge.height() - 1);
    if (span <= 0)
        return 0.0f;
    return std::clamp(y - float(gauge.y()), 0.0f, span) / span;
}

bool GradientRuler::useAfterHalfForStop(int index) const
{
    return index >= 1 && index < m_gradient->numStops()
        && m_gradient->locationOfStopAtIndex(index) == m_gradient->minLocationOfStopAtIndex(index);
}

bool GradientRuler::useBeforeHalfForStop(int index) const
{
    return index >= 0 && index < m_gradient->numStops() - 1
        && m_gradient->locationOfStopAtIndex(index) == m_gradient->maxLocationOfStopAtIndex(index);
}

const CanvasPath& GradientRuler::handlePathForStopHandle(int index) const
{
    if (useAfterHalfForStop(index))
        return afterHalfHandle();
    if (useBeforeHalfForStop(index))
        return beforeHalfHandle();
    return fullHandle();
}

QRectF GradientRuler::colorBoxForStopHandle(int index) const
{
    if (useAfterHalfForStop(index))
        return QRectF(4.5, 0, 12, 6);
    if (useBeforeHalfForStop(index))
        return QRectF(4.5, -6, 12, 6);
    return QRectF(4.5, -6, 12, 12);
}

QRectF GradientRuler::handleRectForStop(int index) const
{
    const double y = yFromLocation(m_gradient->locationOfStopAtIndex(index));
    if (useAfterHalfForStop(index))
        return QRectF(0, y, 21, 11);
    if (useBeforeHalfForStop(index))
        return QRectF(0, y - 11, 21, 11);
    return QRectF(0, y - 11, 21, 21);
}

void GradientRuler::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PainterCanvas canvas(&painter);
    canvas.concatenate(rulerToWidget());
    const QRectF gauge = gaugeBox();
    fillCheckerboard(canvas, gauge);
    canvas.fillRect(gauge, CanvasPaint(LinearGradient::acrossRect(gauge, 90.0, m_gradient->nsGradient())));
    for (int i = 0; i < m_gradient->numStops(); ++i) {
        if (i != m_selectedStop)
            drawStopHandle(canvas, i);
    }
    if (m_selectedStop >= 0 && m_selectedStop < m_gradient->numStops())
        drawStopHandle(canvas, m_selectedStop);
}

void GradientRuler::drawStopHandle(Canvas& canvas, int index)
{
    const bool selected = index == m_selectedStop;
    canvas.save();
    canvas.translate(0, yFromLocation(m_gradient->locationOfStopAtIndex(index)));
    const CanvasPath& outline = handlePathForStopHandle(index);
    const QGradientStops shading { { 0.0, grayLevel(selected ? kSelectedTop : kHandleTop) },
        { 1.0, grayLevel(selected ? kSelectedBottom : kHandleBottom) } };
    canvas.fillPath(outline,
        CanvasPaint(LinearGradient::acrossRect(outline.bounds(), isHorizontal() ? 0.0 : 90.0, shading)));
    canvas.strokePath(outline, CanvasPaint(grayLevel(kHandleStroke)));
    const QRectF box = colorBoxForStopHandle(index);
    drawSwatchInRect(canvas, m_gradient->colorOfStopAtIndex(index), box);
    CanvasPath frame = CanvasPath::fromRect(box);
    frame.setLineWidth(1.0);
    canvas.strokePath(frame, CanvasPaint(grayLevel(selected ? kSelectedBoxStroke : kBoxStroke)));
    canvas.restore();
}

void GradientRuler::mousePressEvent(QMouseEvent* event)
{
    if (!isEnabled() || event->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    const QPointF p = toRuler(event->position());
    m_draggedCurrentStop = false;
    m_addedCurrentStop = false;

    int hit = -1;
    if (m_selectedStop >= 0 && m_selectedStop < m_gradient->numStops()
        && handleRectForStop(m_selectedStop).contains(p))
        hit = m_selectedStop;
    for (int i = m_gradient->numStops() - 1; hit < 0 && i >= 0; --i) {
        if (i != m_selectedStop && handleRectForStop(i).contains(p))
            hit = i;
    }
    const QRectF gauge = gaugeBox();
    if (hit < 0 && gauge.top() <= p.y() && p.y() < gauge.bottom()) {
        const int added = m_gradient->addColorStopAt(locationFromY(float(p.y())));
        if (added >= 0) {
            m_addedCurrentStop = true;
            update();
            reportChange();
            hit = added;
        }
    }
    if (hit != m_selectedStop) {
        m_selectedStop = hit;
        update();
    }
    if (m_selectedStop >= 0)
        m_yOffset = yFromLocation(m_gradient->locationOfStopAtIndex(m_selectedStop)) - float(p.y());
}

void GradientRuler::mouseMoveEvent(QMouseEvent* event)
{
    if (!isEnabled() || !m_pressed || (m_selectedStop < 0 && !m_deletingStop))
        return;
    m_draggedCurrentStop = true;
    const QPointF p = toRuler(event->position());
    const QRectF b = rulerBounds();
    bool near = p.x() >= kNearBefore && p.x() <= b.x() + b.width() + kNearAfter;
    // A gradient keeps at least two stops.
    if (!m_deletingStop && m_gradient->numStops() < 3)
        near = true;

    if (!near) {
        if (m_deletingStop)
            return;
        m_deletingStop = true;
        m_deletingStopIndex = m_selectedStop;
        m_deletedColor = m_gradient->colorOfStopAtIndex(m_selectedStop);
        m_selectedStop = -1;
        m_gradient->removeColorStopAtindex(m_deletingStopIndex);
        update();
        reportChange();
        return;
    }
    if (m_deletingStop) {
        m_selectedStop = std::clamp(m_deletingStopIndex, 0, m_gradient->numStops());
        m_gradient->addColorStopAtIndex(m_selectedStop);
        m_gradient->setColor(m_deletedColor, m_selectedStop);
        m_deletingStop = false;
        m_deletedColor = RgbColor();
        update();
        reportChange();
    }

    const float y = float(p.y()) + m_yOffset;
    float t = locationFromY(y);
    const float lo = m_gradient->minLocationOfStopAtIndex(m_selectedStop);
    const float hi = m_gradient->maxLocationOfStopAtIndex(m_selectedStop);
    if (t < lo && std::fabs(yFromLocation(lo) - y) < kSnapDistance)
        t = lo;
    if (t > hi && std::fabs(yFromLocation(hi) - y) < kSnapDistance)
        t = hi;
    m_selectedStop = m_gradient->setLocation(t, m_selectedStop);
    update();
    reportChange();
}

void GradientRuler::mouseReleaseEvent(QMouseEvent* event)
{
    if (!isEnabled() || !m_pressed || event->button() != Qt::LeftButton)
        return;
    m_pressed = false;
    // A stop dragged away stays off.
    m_deletingStop = false;
    m_deletedColor = RgbColor();
    if (m_addedCurrentStop || !m_draggedCurrentStop)
        popupColorsForSelectedStop();
}

void GradientRuler::deselectHandle()
{
    if (m_selectedStop < 0)
        return;
    m_selectedStop = -1;
    update();
}

void GradientRuler::popupColorsForSelectedStop()
{
    if (m_selectedStop < 0 || m_selectedStop >= m_gradient->numStops())
        return;
    const QRectF box = colorBoxForStopHandle(m_selectedStop)
                           .translated(0, yFromLocation(m_gradient->locationOfStopAtIndex(m_selectedStop)));
    const QRect frame = rulerToWidget().mapRect(box).toAlignedRect();
    if (!m_stopColorButton) {
        m_stopColorButton = new ColorPopupButton(this);
        m_stopColorButton->setObjectName(QStringLiteral("stopColorButton"));
        m_stopColorButton->setModeless(true);
        m_stopColorButton->hide();
        connect(m_stopColorButton, &ColorPopupButton::action, this, &GradientRuler::colorChanged);
        // Cancel puts the old colour back into the button first; it comes back as a change.
        m_stopColorButton->setCancelHandler([this](PopupWell*) { colorChanged(); });
    }
    // Beside the handle: to the left of an upright ruler, below a turned one.
    m_stopColorButton->setAttachmentSide(isHorizontal() ? PopupBelowAnchor : PopupLeftOfAnchor);
    m_stopColorButton->setGeometry(frame);
    m_stopColorButton->setColor(m_gradient->colorOfStopAtIndex(m_selectedStop));
    m_stopColorButton->popupColorPanel();
}

void GradientRuler::colorChanged()
{
    if (m_selectedStop < 0 || !m_stopColorButton)
        return;
    m_gradient->setColor(m_stopColorButton->color(), m_selectedStop);
    update();
    reportChange();
}

} // namespace zandrel
