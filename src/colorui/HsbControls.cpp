#include "colorui/HsbControls.h"

#include "app/core/ZDLAppController.h"
#include "colorui/ColorControlDrawing.h"
#include "graphics/PathBuilders.h"
#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"
#include "platform/PainterCanvas.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

constexpr int kHueStops = 90;
// The handle's point reaches this far in, onto the gauge.
constexpr double kHandleTipX = 18.5;
constexpr double kHandleHalfHeight = 8.0;
const QString kBrightnessCursor = QStringLiteral("Cur_ns-resize_Sm.tiff");
const QString kSaturationCursor = QStringLiteral("Cur_ew-resize_Sm.tiff");
constexpr QPointF kZoneCursorHotSpot(8, 8);

QColor fillWhileDragging(bool dragging)
{
    return dragging ? grayLevel(0.95) : QColor(Qt::white);
}

const CanvasPath& valueIndicatorPath()
{
    static const CanvasPath path = CanvasPath::fromEllipse(QRectF(-8, -8, 16, 16));
    return path;
}

const CanvasPath& colorCirclePath()
{
    static const CanvasPath path = CanvasPath::fromEllipse(QRectF(-5, -5, 10, 10));
    return path;
}

double clampUnit(double v)
{
    return std::clamp(v, 0.0, 1.0);
}

} // namespace

HsbColor hsbFromRgb(const RgbColor& color)
{
    HsbColor hsb;
    if (!color.isValid())
        return hsb;
    const double r = color.red(), g = color.green(), b = color.blue();
    const double mx = std::max({ r, g, b });
    const double mn = std::min({ r, g, b });
    const double delta = mx - mn;
    hsb.brightness = mx;
    hsb.saturation = mx > 0.0 ? delta / mx : 0.0;
    hsb.alpha = color.alpha();
    if (delta <= 0.0)
        return hsb;
    double h;
    if (mx == r)
        h = (g - b) / delta;
    else if (mx == g)
        h = 2.0 + (b - r) / delta;
    else
        h = 4.0 + (r - g) / delta;
    h /= 6.0;
    if (h < 0.0)
        h += 1.0;
    hsb.hue = h;
    return hsb;
}

RgbColor rgbFromHsb(double hue, double saturation, double brightness, double alpha)
{
    const double h = clampUnit(hue) * 6.0;
    const double s = clampUnit(saturation);
    const double v = clampUnit(brightness);
    const int sector = std::min(int(std::floor(h)), 5);
    const double f = h - sector;
    const double p = v * (1.0 - s);
    const double q = v * (1.0 - s * f);
    const double t = v * (1.0 - s * (1.0 - f));
    switch (sector) {
    case 0:
        return RgbColor(v, t, p, alpha);
    case 1:
        return RgbColor(q, v, p, alpha);
    case 2:
        return RgbColor(p, v, t, alpha);
    case 3:
        return RgbColor(p, q, v, alpha);
    case 4:
        return RgbColor(t, p, v, alpha);
    default:
        return RgbColor(v, p, q, alpha);
    }
}

// --- SaturationBrightnessControl ---

SaturationBrightnessControl::SaturationBrightnessControl(QWidget* parent)
    : QWidget(parent)
{
    setHueValue(0.0);
    setMouseTracking(true);
}

void SaturationBrightnessControl::linkSliders(HueSlider* hueSlider, AlphaSlider* alphaSlider)
{
    m_hueSlider = hueSlider;
    m_alphaSlider = alphaSlider;
    if (m_hueSlider) {
        m_hueSlider->setHueValue(m_hue);
        connect(m_hueSlider, &GraphicSlider::action, this, &SaturationBrightnessControl::setHueFromHueSlider);
    }
    if (m_alphaSlider) {
        m_alphaSlider->setAlphaValue(m_alpha);
        m_alphaSlider->setColor(colorValue());
        connect(m_alphaSlider, &GraphicSlider::action, this,
            &SaturationBrightnessControl::setAlphaFromAlphaSlider);
    }
}

QRectF SaturationBrightnessControl::activeBox() const
{
    return QRectF(rect()).adjusted(kActiveInset, kActiveInset, -kActiveInset, -kActiveInset);
}

void SaturationBrightnessControl::setHueValue(double hue)
{
    if (hue == m_hue)
        return;
    m_hue = hue;
    update();
    if (m_hueSlider)
        m_hueSlider->setHueValue(hue);
    if (m_alphaSlider)
        m_alphaSlider->setColor(colorValue());
}

void SaturationBrightnessControl::setSaturationValue(double saturation)
{
    m_saturation = saturation;
    update();
}

void SaturationBrightnessControl::setBrightnessValue(double brightness)
{
    m_brightness = brightness;
    update();
}

RgbColor SaturationBrightnessControl::colorValue() const
{
    return rgbFromHsb(m_hue, m_saturation, m_brightness, m_alpha);
}

void SaturationBrightnessControl::setColorValue(const RgbColor& color)
{
    if (!color.isValid())
        return;
    const HsbColor hsb = hsbFromRgb(color);
    setHueValue(hsb.hue);
    setSaturationValue(hsb.saturation);
    setBrightnessValue(hsb.brightness);
    if (m_alphaSlider) {
        m_alphaSlider->setColor(color);
        // A changed opacity comes back through the slider's action.
        m_alphaSlider->setAlphaValue(hsb.alpha);
    } else {
        m_alpha = hsb.alpha;
    }
}

void SaturationBrightnessControl::setHueFromHueSlider()
{
    if (m_hueSlider && m_hueSlider->hueValue() != m_hue) {
        setHueValue(m_hueSlider->hueValue());
        reportChange();
    }
}

void SaturationBrightnessControl::setAlphaFromAlphaSlider()
{
    if (!m_alphaSlider)
        return;
    m_alpha = m_alphaSlider->alphaValue();
    reportChange();
}

void SaturationBrightnessControl::setValueFromPoint(const QPointF& p)
{
    const QRectF b = activeBox();
    if (b.width() <= 0 || b.height() <= 0)
        return;
    bool changed = false;
    if (m_adjustingSaturation) {
        const double x = std::clamp(p.x(), b.left(), b.right());
        const double s = float((x - b.left()) / b.width());
        if (s != m_saturation) {
            setSaturationValue(s);
            changed = true;
        }
    }
    if (m_adjustingBrightness) {
        const double y = std::clamp(p.y(), b.top(), b.bottom());
        const double v = float(1.0 - (y - b.top()) / b.height());
        if (v != m_brightness) {
            setBrightnessValue(v);
            changed = true;
        }
    }
    if (changed) {
        reportChange();
        if (m_alphaSlider)
            m_alphaSlider->setColor(colorValue());
    }
}

QPointF SaturationBrightnessControl::indicatorPoint() const
{
    const QRectF b = activeBox();
    return QPointF(std::floor(float(b.left() + m_saturation * b.width())) + 0.5,
        std::floor(float(b.top() + (1.0 - m_brightness) * b.height())) + 0.5);
}

QRectF SaturationBrightnessControl::indicatorBox() const
{
    const QPointF c = indicatorPoint();
    const double half = kIndicatorSize / 2;
    return QRectF(c.x() - half, c.y() - half, kIndicatorSize, kIndicatorSize);
}

bool SaturationBrightnessControl::pointInBrightnessZone(const QPointF& p) const
{
    const QRectF b = activeBox();
    return !b.contains(p) && !indicatorBox().contains(p) && b.top() <= p.y() && p.y() <= b.bottom();
}

bool SaturationBrightnessControl::pointInSaturationZone(const QPointF& p) const
{
    const QRectF b = activeBox();
    return !b.contains(p) && !indicatorBox().contains(p) && b.left() <= p.x() && p.x() <= b.right();
}

void SaturationBrightnessControl::mousePressEvent(QMouseEvent* event)
{
    if (!isEnabled() || event->button() != Qt::LeftButton)
        return;
    const QPointF p = event->position();
    m_dragging = true;
    m_adjustingSaturation = true;
    m_adjustingBrightness = true;
    update();
    if (indicatorBox().contains(p)) {
        // The indicator is grabbed where it was hit.
        m_dragOffset = indicatorPoint() - p;
        return;
    }
    if (pointInBrightnessZone(p))
        m_adjustingSaturation = false;
    else if (pointInSaturationZone(p))
        m_adjustingBrightness = false;
    m_dragOffset = QPointF();
    setValueFromPoint(p);
}

void SaturationBrightnessControl::mouseMoveEvent(QMouseEvent* event)
{
    if (!isEnabled())
        return;
    if (m_dragging && (event->buttons() & Qt::LeftButton)) {
        setValueFromPoint(event->position() + m_dragOffset);
        return;
    }
    updateCursorAt(event->position());
}

void SaturationBrightnessControl::mouseReleaseEvent(QMouseEvent* event)
{
    if (!isEnabled() || event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    update();
}

void SaturationBrightnessControl::leaveEvent(QEvent*)
{
    unsetCursor();
}

void SaturationBrightnessControl::updateCursorAt(const QPointF& p)
{
    if (pointInBrightnessZone(p))
        setCursor(appController()->getCursorResource(kBrightnessCursor, kZoneCursorHotSpot));
    else if (pointInSaturationZone(p))
        setCursor(appController()->getCursorResource(kSaturationCursor, kZoneCursorHotSpot));
    else
        unsetCursor();
}

void SaturationBrightnessControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PainterCanvas canvas(&painter);
    const QRectF b = activeBox();
    // White at the left to the pure hue at the right, then black rising from the bottom.
    const QGradientStops saturationStops { { 0.0, rgbFromHsb(m_hue, 0, 1).toQColor() },
        { 1.0, rgbFromHsb(m_hue, 1, 1).toQColor() } };
    canvas.fillRect(b, CanvasPaint(LinearGradient::acrossRect(b, 0.0, saturationStops)));
    const QGradientStops darkening { { 0.0, QColor(0, 0, 0, 0) }, { 1.0, QColor(0, 0, 0, 255) } };
    canvas.fillRect(b, CanvasPaint(LinearGradient::acrossRect(b, 90.0, darkening)));

    const QPointF c = indicatorPoint();
    canvas.save();
    canvas.translate(c.x(), c.y());
    canvas.fillPath(valueIndicatorPath(), CanvasPaint(fillWhileDragging(m_dragging)));
    canvas.strokePath(valueIndicatorPath(), CanvasPaint(lightGrayOutline()));
    canvas.fillPath(colorCirclePath(), CanvasPaint(colorValue().opaque().toQColor()));
    canvas.strokePath(colorCirclePath(), CanvasPaint(lightGrayOutline()));
    canvas.restore();
}

// --- GraphicSlider ---

GraphicSlider::GraphicSlider(QWidget* parent)
    : QWidget(parent)
{
}

QRectF GraphicSlider::gaugeBox() const
{
    const QRectF b = rect();
    return QRectF(b.x() + 5, b.y() + 9, b.width() - 5, b.height() - 18);
}

void GraphicSlider::setUnitValue(double value)
{
    if (value == m_unitValue)
        return;
    m_unitValue = value;
    update();
    emit action();
}

double GraphicSlider::yFromValue(double value) const
{
    const QRectF gauge = gaugeBox();
    return (1.0 - value) * gauge.height() + gauge.y();
}

double GraphicSlider::valueFromY(double y) const
{
    const QRectF gauge = gaugeBox();
    if (gauge.height() <= 0)
        return 0.0;
    const float clamped = float(std::clamp(y, gauge.top(), gauge.bottom()));
    return 1.0 - (clamped - gauge.y()) / gauge.height();
}

QRectF GraphicSlider::handleBox() const
{
    const double y = std::floor(float(yFromValue(m_unitValue))) + 0.5 - kHandleHalfHeight;
    return QRectF(0, y, width(), 2 * kHandleHalfHeight);
}

const CanvasPath& GraphicSlider::sliderHandlePath()
{
    static const CanvasPath path = [] {
        CanvasPath p;
        p.moveTo(QPointF(0, 0));
        appendRoundedCorner(p, QPointF(-8, -8), QPointF(-18, -8), 2);
        appendRoundedCorner(p, QPointF(-18, -8), QPointF(-18, 8), 3);
        appendRoundedCorner(p, QPointF(-18, 8), QPointF(-8, 8), 3);
        appendRoundedCorner(p, QPointF(-8, 8), QPointF(0, 0), 2);
        p.lineTo(QPointF(0, 0));
        p.close();
        return p;
    }();
    return path;
}

void GraphicSlider::mousePressEvent(QMouseEvent* event)
{
    if (!isEnabled() || event->button() != Qt::LeftButton)
        return;
    const QPointF p = event->position();
    m_dragging = true;
    update();
    if (handleBox().contains(p)) {
        m_dragOffset = float(yFromValue(m_unitValue) - p.y());
        return;
    }
    m_dragOffset = 0;
    setUnitValue(valueFromY(p.y()));
}

void GraphicSlider::mouseMoveEvent(QMouseEvent* event)
{
    if (!isEnabled() || !m_dragging)
        return;
    const double v = valueFromY(event->position().y() + m_dragOffset);
    if (v != m_unitValue)
        setUnitValue(v);
}

void GraphicSlider::mouseReleaseEvent(QMouseEvent* event)
{
    if (!isEnabled() || event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    update();
}

void GraphicSlider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PainterCanvas canvas(&painter);
    drawGaugeIn(canvas, gaugeBox());
    canvas.save();
    canvas.translate(kHandleTipX, std::floor(float(yFromValue(clampUnit(m_unitValue)))) + 0.5);
    canvas.fillPath(sliderHandlePath(), CanvasPaint(fillWhileDragging(m_dragging)));
    canvas.strokePath(sliderHandlePath(), CanvasPaint(lightGrayOutline()));
    canvas.restore();
}

// --- HueSlider and AlphaSlider ---

void HueSlider::drawGaugeIn(Canvas& canvas, const QRectF& box)
{
    static const QGradientStops stops = [] {
        QGradientStops s;
        for (int i = 0; i < kHueStops; ++i) {
            const double t = double(i) / (kHueStops - 1);
            s.append({ t, rgbFromHsb(t, 1, 1).toQColor() });
        }
        return s;
    }();
    // Hue 0 at the bottom.
    canvas.fillRect(box, CanvasPaint(LinearGradient::acrossRect(box, -90.0, stops)));
}

AlphaSlider::AlphaSlider(QWidget* parent)
    : GraphicSlider(parent)
    , m_color(1, 1, 1, 1)
{
}

void AlphaSlider::setColor(const RgbColor& color)
{
    m_color = color;
    update();
}

void AlphaSlider::drawGaugeIn(Canvas& canvas, const QRectF& box)
{
    fillCheckerboard(canvas, box);
    const QGradientStops stops { { 0.0, m_color.withAlpha(0).toQColor() },
        { 1.0, m_color.withAlpha(1).toQColor() } };
    canvas.fillRect(box, CanvasPaint(LinearGradient::acrossRect(box, -90.0, stops)));
}

} // namespace zandrel
