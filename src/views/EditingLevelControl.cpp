#include "views/EditingLevelControl.h"

#include "app/core/ZDLAppController.h"
#include "graphics/PathBuilders.h"
#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"
#include "platform/Geometry.h"
#include "platform/PainterCanvas.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <cmath>

namespace zandrel {

namespace {

constexpr float kStartX = 2.5f;
// A crumb is its title plus this much room for the arrow shapes on either side.
constexpr float kTitlePadding = 26.0f;
constexpr float kIconInset = 11.5f;
// The last crumb has no arrow of its own to make room for.
constexpr float kLastCrumbShortening = 7.0f;
constexpr float kMaxIconHeight = 15.0f;
// No title loses more than this much in the first, even trimming pass.
constexpr float kMaxTrim = 14.0f;
// How far a crumb's point reaches into the next one, and the radius of the rounded ends.
constexpr double kArrowDepth = 10.0;
constexpr float kCornerRadius = 3.0f;

// The platform's shadow of a colour: a blend toward black.
QColor shadowed(const QColor& color, double level)
{
    return QColor::fromRgbF(color.redF() * (1 - level), color.greenF() * (1 - level),
        color.blueF() * (1 - level), color.alphaF());
}

} // namespace

// --- Crumb ---

void EditingLevelControl::Crumb::startAt(float x)
{
    if (bounds.x() == x)
        return;
    const float dx = static_cast<float>(x - bounds.x());
    bounds.translate(dx, 0);
    imageBounds.translate(dx, 0);
    textBounds.translate(dx, 0);
}

void EditingLevelControl::Crumb::reduceTextWidthBy(float amount)
{
    const float reduction = std::min(amount, static_cast<float>(textBounds.width()));
    textBounds.setWidth(textBounds.width() - reduction);
    bounds.setWidth(std::ceil(bounds.width() - reduction));
}

void EditingLevelControl::Crumb::hideImage()
{
    const double imageWidth = imageBounds.width();
    bounds.setWidth(bounds.width() - imageWidth);
    textBounds.translate(-imageWidth, 0);
    imageBounds.setWidth(0);
}

// --- Control ---

EditingLevelControl::EditingLevelControl(QWidget* parent)
    : QWidget(parent)
    , m_frameColor(QColor::fromRgbF(0.3f, 0.3f, 0.3f))
    , m_fillColor(Qt::white)
    , m_hoverFillColor(QColor::fromRgbF(0.9f, 0.9f, 0.9f))
    , m_textColor(palette().color(QPalette::WindowText))
    , m_trackingTextColor(Qt::white)
    , m_trackingFillColor1(appController()->highlightedControlTopColor())
    , m_trackingFillColor2(appController()->highlightedControlBottomColor())
{
    QFont small = QApplication::font();
    small.setPointSizeF(std::max(1.0, small.pointSizeF() - 2));
    setLabelFont(small);
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize EditingLevelControl::sizeHint() const
{
    return QSize(200, int(std::ceil(kRowTop * 2 + kRowHeight)));
}

void EditingLevelControl::setLevels(const EditingLevels* levels)
{
    m_levels = levels;
    levelsChanged();
}

void EditingLevelControl::levelsChanged()
{
    m_crumbs.clear();
    m_clickedLevel = -1;
    update();
}

qsizetype EditingLevelControl::numLevels() const
{
    return m_levels ? m_levels->numLevels() : 0;
}

ObjectPtr EditingLevelControl::representedObjectAtLevel(qsizetype index) const
{
    return m_levels ? m_levels->representedObjectAtLevel(index) : nullptr;
}

ObjectPtr EditingLevelControl::clickedLevelRepresentedObject() const
{
    if (m_clickedLevel < 0 || m_clickedLevel >= numLevels())
        return nullptr;
    return representedObjectAtLevel(m_clickedLevel);
}

void EditingLevelControl::setLabelFont(const QFont& font)
{
    m_labelFont = font;
    const QFontMetricsF metrics(font);
    m_textHeight = std::ceil(static_cast<float>(metrics.ascent() + metrics.descent() + 1));
    update();
}

float EditingLevelControl::measureTitle(const QString& title) const
{
    return static_cast<float>(QFontMetricsF(m_labelFont).horizontalAdvance(title));
}

// --- Layout ---

void EditingLevelControl::layoutCrumbs()
{
    const qsizetype count = numLevels();
    QList<Crumb> laid(count);
    float x = kStartX;
    for (qsizetype index = 0; index < count; ++index) {
        const EditingLevel& level = m_levels->levels().at(index);
        Crumb& crumb = laid[index];
        if (index < m_crumbs.size()) {
            crumb.mouseIn = m_crumbs.at(index).mouseIn;
            crumb.tracking = m_crumbs.at(index).tracking;
        }
        float width = std::ceil(measureTitle(level.title)) + kTitlePadding;
        float imageX = std::round(x + kIconInset);
        if (index == count - 1) {
            imageX -= kLastCrumbShortening;
            width -= kLastCrumbShortening;
        }
        float iconWidth = 0;
        if (level.image.isNull()) {
            crumb.imageBounds = QRectF(imageX, kRowTop, 0, kRowHeight);
        } else {
            const QSizeF size = level.image.deviceIndependentSize();
            float iconHeight = static_cast<float>(size.height());
            iconWidth = static_cast<float>(size.width());
            if (iconHeight > kMaxIconHeight) {
                iconWidth = iconWidth * kMaxIconHeight / iconHeight;
                iconHeight = kMaxIconHeight;
            }
            const float y = std::round((height() - iconHeight) * 0.5f);
            crumb.imageBounds = QRectF(imageX, y, iconWidth, iconHeight);
        }
        crumb.bounds = QRectF(x, kRowTop, width + iconWidth, kRowHeight);
        const float right = x + width + iconWidth;
        const float textX = imageX + iconWidth;
        crumb.textBounds
            = QRectF(textX, (kRowHeight - m_textHeight) * 0.5f + kRowTop, right - textX, m_textHeight);
        x = right;
    }
    m_crumbs = laid;
    // Shrinking, each pass only while the crumbs are still too wide.
    updateTooWide();
    if (m_tooWideBy > 0)
        trimTexts();
    if (m_tooWideBy > 0)
        hideFrom(1, count - 2, &Crumb::textBounds, &Crumb::hideText);
    if (m_tooWideBy > 0)
        hideFrom(0, count, &Crumb::textBounds, &Crumb::hideText);
    if (m_tooWideBy > 0)
        hideFrom(1, count - 2, &Crumb::imageBounds, &Crumb::hideImage);
    if (m_tooWideBy > 0)
        hideFrom(0, count, &Crumb::imageBounds, &Crumb::hideImage);
}

void EditingLevelControl::updateTooWide()
{
    m_tooWideBy = m_crumbs.isEmpty()
        ? 0.0f
        : std::max(0.0f, static_cast<float>(m_crumbs.last().bounds.right() - width()));
}

void EditingLevelControl::trimTexts()
{
    const float per = std::min(std::ceil(m_tooWideBy / float(m_crumbs.size())), kMaxTrim);
    float x = kStartX;
    for (Crumb& crumb : m_crumbs) {
        crumb.startAt(x);
        crumb.reduceTextWidthBy(per);
        x = static_cast<float>(crumb.bounds.right());
    }
    updateTooWide();
}

void EditingLevelControl::hideFrom(
    qsizetype from, qsizetype to, QRectF Crumb::*measured, void (Crumb::*hide)())
{
    float total = 0;
    float x = kStartX;
    for (qsizetype index = 0; index < m_crumbs.size(); ++index) {
        Crumb& crumb = m_crumbs[index];
        crumb.startAt(x);
        if (index >= from && index < to && total < m_tooWideBy) {
            total += static_cast<float>((crumb.*measured).width());
            (crumb.*hide)();
        }
        x = static_cast<float>(crumb.bounds.right());
    }
    updateTooWide();
}

void EditingLevelControl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    update();
}

// --- Drawing ---

void EditingLevelControl::paintEvent(QPaintEvent*)
{
    layoutCrumbs();
    QPainter painter(this);
    for (qsizetype index = 0; index < m_crumbs.size(); ++index)
        drawCrumb(painter, index);
}

void EditingLevelControl::drawCrumb(QPainter& painter, qsizetype index)
{
    const Crumb& crumb = m_crumbs.at(index);
    const qsizetype count = m_crumbs.size();
    const QRectF& box = crumb.bounds;
    const double x0 = box.x();
    const double y0 = box.y();
    const double h = box.height();
    const double mid = y0 + h / 2;
    const double right = box.right();
    const bool pressed = crumb.mouseIn && crumb.tracking;
    if (index < count - 1) {
        CanvasPath outline;
        outline.moveTo(QPointF(x0, mid));
        const QPointF topLeft(x0 + kArrowDepth, y0);
        const QPointF bottomLeft(x0 + kArrowDepth, y0 + h);
        const bool beforeLast = index == count - 2;
        const QPointF rightTop = beforeLast ? QPointF(right, y0) : QPointF(right + kArrowDepth, y0);
        if (index == 0)
            appendRoundedCorner(outline, topLeft, rightTop, kCornerRadius);
        else
            outline.lineTo(topLeft);
        if (beforeLast) {
            // The crumb before the last ends straight, with rounded corners.
            appendRoundedCorner(outline, QPointF(right, y0), QPointF(right, y0 + h), kCornerRadius);
            appendRoundedCorner(outline, QPointF(right, y0 + h), bottomLeft, kCornerRadius);
        } else {
            // A notch that the next crumb's point fits into.
            outline.lineTo(QPointF(right + kArrowDepth, y0));
            outline.lineTo(QPointF(right, mid));
            outline.lineTo(QPointF(right + kArrowDepth, y0 + h));
        }
        if (index == 0)
            appendRoundedCorner(outline, bottomLeft, QPointF(x0, mid), kCornerRadius);
        else
            outline.lineTo(bottomLeft);
        outline.lineTo(QPointF(x0, mid));
        outline.close();
        PainterCanvas canvas(&painter);
        if (pressed) {
            const QColor accent = palette().color(QPalette::Highlight);
            QLinearGradient gradient(QPointF(0, y0), QPointF(0, y0 + h));
            gradient.setColorAt(0, accent);
            gradient.setColorAt(1, shadowed(accent, 0.25));
            painter.save();
            painter.setRenderHint(QPainter::Antialiasing);
            painter.fillPath(outline.painterPath(), gradient);
            painter.restore();
        } else {
            canvas.fillPath(
                outline, CanvasPaint(crumb.mouseIn || crumb.tracking ? m_hoverFillColor : m_fillColor));
        }
        outline.setLineWidth(1.0);
        canvas.strokePath(outline, CanvasPaint(m_frameColor));
        canvas.finish();
    }
    const EditingLevel& level = m_levels->levels().at(index);
    if (!level.image.isNull() && crumb.imageBounds.width() > 0) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(crumb.imageBounds, level.image);
    }
    if (crumb.textBounds.width() > 0) {
        painter.setFont(m_labelFont);
        painter.setPen(pressed ? m_trackingTextColor : m_textColor);
        const QString shown
            = QFontMetricsF(m_labelFont).elidedText(level.title, Qt::ElideRight, crumb.textBounds.width());
        painter.drawText(crumb.textBounds, Qt::AlignHCenter | Qt::AlignVCenter, shown);
    }
}

// --- Mouse ---

qsizetype EditingLevelControl::crumbAt(const QPointF& point) const
{
    for (qsizetype index = 0; index < m_crumbs.size(); ++index) {
        if (pointInRect(point, m_crumbs.at(index).bounds))
            return index;
    }
    return -1;
}

void EditingLevelControl::mousePressEvent(QMouseEvent* event)
{
    if (!isEnabled() || event->button() != Qt::LeftButton)
        return;
    layoutCrumbs();
    const qsizetype index = crumbAt(event->position());
    // The last crumb is the level being edited: nothing to return to.
    if (index < 0 || index == m_crumbs.size() - 1)
        return;
    m_clickedLevel = index;
    m_crumbs[index].tracking = true;
    m_crumbs[index].mouseIn = true;
    update();
}

void EditingLevelControl::mouseMoveEvent(QMouseEvent* event)
{
    if (!isEnabled())
        return;
    layoutCrumbs();
    if (m_clickedLevel >= 0 && m_clickedLevel < m_crumbs.size()) {
        Crumb& pressed = m_crumbs[m_clickedLevel];
        const bool inside = pointInRect(event->position(), pressed.bounds);
        if (inside != pressed.mouseIn) {
            pressed.mouseIn = inside;
            update();
        }
        return;
    }
    for (qsizetype index = 0; index < m_crumbs.size(); ++index) {
        Crumb& crumb = m_crumbs[index];
        const bool inside = index < m_crumbs.size() - 1 && pointInRect(event->position(), crumb.bounds);
        if (inside != crumb.mouseIn) {
            crumb.mouseIn = inside;
            update();
        }
    }
}

void EditingLevelControl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_clickedLevel < 0 || m_clickedLevel >= m_crumbs.size())
        return;
    Crumb& pressed = m_crumbs[m_clickedLevel];
    if (pressed.tracking && pressed.mouseIn) {
        update();
        emit action();
    }
    // The action may have refilled the bar.
    if (m_clickedLevel >= 0 && m_clickedLevel < m_crumbs.size()) {
        m_crumbs[m_clickedLevel].tracking = false;
        m_crumbs[m_clickedLevel].mouseIn = false;
    }
    m_clickedLevel = -1;
    update();
}

void EditingLevelControl::leaveEvent(QEvent* event)
{
    for (Crumb& crumb : m_crumbs) {
        if (crumb.mouseIn) {
            crumb.mouseIn = false;
            update();
        }
    }
    QWidget::leaveEvent(event);
}

} // namespace zandrel
