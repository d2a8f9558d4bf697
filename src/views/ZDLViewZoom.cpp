// The view base's zoom, scrolling, sizing, redrawing of announced areas and its menu commands.
#include "app/MenuActions.h"
#include "app/core/ActionNames.h"
#include "app/core/ActionTable.h"
#include "app/core/ZDLDocument.h"
#include "graphics/ArrayUtils.h"
#include "panels/HelpComicView.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "tools/ZDLTracker.h"
#include "views/ZDLScrollArea.h"
#include "views/ZDLView.h"

#include <QMenu>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <optional>

namespace zandrel {

namespace {

// Without "unscaledOutset" a dirty rect grows by this many screen points, for antialiasing.
constexpr double kDefaultUnscaledOutset = 4.0;

} // namespace

// --- Scale menus ---

QString ZDLView::scaleTitle(float scale)
{
    return QStringLiteral("%1%").arg(static_cast<int>(scale * 100.0f));
}

void ZDLView::addScaleMenuItemsTo(QMenu* menu, const QString& action)
{
    menu->clear();
    for (float scale : kViewScaleTable)
        MenuActions::add(menu, scaleTitle(scale), action);
}

float ZDLView::floatFromScaleMenuItem(const QString& title)
{
    const QString number = title.section(QLatin1Char('%'), 0, 0).trimmed();
    bool ok = false;
    const float value = number.toFloat(&ok);
    return ok ? value / 100.0f : 0.0f;
}

// --- Zoom ---

void ZDLView::temporarilySuspendImageFlushingWhileScaling()
{
    m_scalingViewInteractively = true;
    m_suspendFlushImagesTimer.start();
}

void ZDLView::doneScaling()
{
    m_scalingViewInteractively = false;
    m_suspendFlushImagesTimer.stop();
    update();
}

void ZDLView::setViewScale(float scale)
{
    // A scale that is not a positive number would make every coordinate infinite.
    if (!std::isfinite(scale) || scale <= 0.0f)
        return;
    // A zoom that starts tells the elements, which drop what depends on the scale (blurred paths
    // regroup for what shows at the new one); the later steps of a zoom under way do not, so that
    // cached renderings are kept until it settles.
    const bool tellsElements = !m_scalingViewInteractively && scale != m_viewScale;
    temporarilySuspendImageFlushingWhileScaling();
    if (scale != 1.0f)
        m_toggleZoomScale = scale;
    m_viewScale = scale;
    if (tellsElements)
        tellAllGraphics(GraphicNotice::ZoomChanged, nullptr);
    updateViewSize();
    update();
}

void ZDLView::setZoomKeepingCenter(float scale)
{
    const QPointF centre = getCenterForZoom();
    setViewScale(scale);
    scrollToCenterDocPoint(centre);
}

void ZDLView::zoomIn()
{
    const auto next = std::find_if(kViewScaleTable.begin() + 1, kViewScaleTable.end(),
        [this](float scale) { return scale > m_viewScale; });
    if (next != kViewScaleTable.end())
        setZoomKeepingCenter(*next);
}

void ZDLView::zoomOut()
{
    for (auto index = qsizetype(kViewScaleTable.size()) - 2; index >= 0; --index) {
        if (kViewScaleTable[std::size_t(index)] < m_viewScale) {
            setZoomKeepingCenter(kViewScaleTable[std::size_t(index)]);
            return;
        }
    }
}

void ZDLView::actualSize()
{
    setZoomKeepingCenter(1.0f);
}

void ZDLView::toggleZoom()
{
    if (m_viewScale == 1.0f)
        setZoomKeepingCenter(m_toggleZoomScale);
    else
        actualSize();
}

void ZDLView::magnify(double magnification)
{
    const QPointF point = getMouseDocPoint();
    const QPointF fraction = getScrollPointForDocPoint(point);
    const float scale = std::clamp(
        m_viewScale * (1.0f + static_cast<float>(magnification)), minViewScale(), maxViewScale());
    setViewScale(scale);
    scrollDocPoint(point, fraction);
}

QPointF ZDLView::getCenterForZoom() const
{
    if (!m_selection.isEmpty())
        return ArrayUtils::getElementsCenter(m_selection);
    if (const auto* root = asProtocol<Parent>(m_rootObject); root && root->numChildren() > 0)
        return ArrayUtils::getElementsCenter(root->children());
    return getCenterOfVisibleRect();
}

// --- Scrolling ---

QSize ZDLView::viewportSize() const
{
    return size();
}

QRectF ZDLView::visibleRect() const
{
    const double scale = m_viewScale;
    const QSize port = viewportSize();
    const QRectF shown(m_bounds.x() + m_scrollOffset.x() / scale, m_bounds.y() + m_scrollOffset.y() / scale,
        port.width() / scale, port.height() / scale);
    return intersectionRect(shown, m_bounds);
}

QPointF ZDLView::getCenterOfVisibleRect() const
{
    const double scale = m_viewScale;
    const QSize port = viewportSize();
    return m_bounds.topLeft()
        + QPointF(m_scrollOffset.x() / scale + port.width() / (2 * scale),
            m_scrollOffset.y() / scale + port.height() / (2 * scale));
}

void ZDLView::scrollPoint(const QPointF& point)
{
    if (!m_scrollArea)
        return;
    const QPointF offset = (point - m_bounds.topLeft()) * m_viewScale;
    m_scrollArea->setScrollOffset(QPoint(qRound(offset.x()), qRound(offset.y())));
}

void ZDLView::scrollToCenterDocPoint(const QPointF& point)
{
    scrollDocPointToViewport(point, QPointF(0.5, 0.5));
}

void ZDLView::scrollDocPointToViewport(const QPointF& point, const QPointF& fraction)
{
    const double scale = m_viewScale;
    const QSize port = viewportSize();
    scrollPoint(point - QPointF(port.width() * fraction.x(), port.height() * fraction.y()) / scale);
    update();
    // A view not yet shown has no size of its own: the point is placed again once it has, that
    // is while the pass of the event loop that shows and lays it out lasts.
    if (!isVisible()) {
        m_placeWhenShown = PendingPlacement { point, fraction };
    } else if (m_placeWhenShown && !m_placingWhenShown) {
        m_placeWhenShown.reset();
    }
}

void ZDLView::scrollRectToVisible(const QRectF& rect)
{
    const double scale = m_viewScale;
    const QSize port = viewportSize();
    const QRectF shown(m_bounds.x() + m_scrollOffset.x() / scale, m_bounds.y() + m_scrollOffset.y() / scale,
        port.width() / scale, port.height() / scale);
    QPointF topLeft = shown.topLeft();
    if (rect.left() < shown.left())
        topLeft.setX(rect.left());
    else if (rect.right() > shown.right())
        topLeft.setX(std::min(rect.left(), rect.right() - shown.width()));
    if (rect.top() < shown.top())
        topLeft.setY(rect.top());
    else if (rect.bottom() > shown.bottom())
        topLeft.setY(std::min(rect.top(), rect.bottom() - shown.height()));
    scrollPoint(topLeft);
}

QPointF ZDLView::getScrollPointForDocPoint(const QPointF& point) const
{
    const QRectF shown = visibleRect();
    if (isEmptyRect(shown))
        return QPointF();
    return QPointF((point.x() - shown.x()) / shown.width(), (point.y() - shown.y()) / shown.height());
}

void ZDLView::scrollDocPoint(const QPointF& point, const QPointF& scrollPoint)
{
    QRectF shown = visibleRect();
    shown.translate(point.x() - (scrollPoint.x() * shown.width() + shown.x()),
        point.y() - (scrollPoint.y() * shown.height() + shown.y()));
    scrollRectToVisible(shown);
}

QPointF ZDLView::getMouseDocPoint() const
{
    return convertFromWidget(m_lastMouseWidgetPos);
}

// --- Sizing ---

QRectF ZDLView::getContentBounds() const
{
    const auto* root = asProtocol<Parent>(m_rootObject);
    if (!root)
        return QRectF();
    QRectF bounds = root->getGeometryBounds();
    for (const ObjectPtr& child : root->children()) {
        if (const auto* graphic = asProtocol<GraphicElement>(child))
            bounds = unionRect(bounds, graphic->getGeometryBounds());
    }
    return bounds;
}

QRectF ZDLView::getDrawnContentBounds() const
{
    const QRectF bounds = ZDLView::getContentBounds();
    const auto* root = asProtocol<Parent>(m_rootObject);
    return root ? unionRect(bounds, ArrayUtils::getElementsFilteredBounds(root->children())) : bounds;
}

void ZDLView::updateViewSize()
{
    if (m_inUpdateViewSize)
        return;
    m_inUpdateViewSize = true;
    const double scale = m_viewScale;
    const QSize port = viewportSize();
    const QRectF content = getContentBounds();
    QRectF area;
    if (m_centresSmallContent && !isEmptyRect(content)) {
        // Along an axis where the content is smaller than the viewport, the bounds are the viewport
        // with the content in its middle, reaching into negative coordinates where need be.
        area = content;
        const double shownWidth = port.width() / scale;
        const double shownHeight = port.height() / scale;
        if (shownWidth > content.width())
            area = QRectF(content.center().x() - shownWidth / 2, area.y(), shownWidth, area.height());
        if (shownHeight > content.height())
            area = QRectF(area.x(), content.center().y() - shownHeight / 2, area.width(), shownHeight);
    } else if (m_keepsNegativeSpace && !isEmptyRect(content)) {
        // The top-left on a whole pixel, so that pixels of the view stay whole document units at
        // the zooms that make them so.
        const QPointF topLeft(
            std::floor(content.left() * scale) / scale, std::floor(content.top() * scale) / scale);
        area = QRectF(topLeft, content.bottomRight());
        if (area.width() < port.width() / scale)
            area.setWidth(port.width() / scale);
        if (area.height() < port.height() / scale)
            area.setHeight(port.height() / scale);
    } else if (m_reachesNegativeContent && !isEmptyRect(content)) {
        // The area starts at the origin, or at the content's top-left where that lies left of or
        // above it (on a whole pixel, as above), and holds at least the viewport from there: content
        // that fits the viewport needs no scrolling wherever it lies.
        const QPointF topLeft(std::floor(std::min(0.0, content.left()) * scale) / scale,
            std::floor(std::min(0.0, content.top()) * scale) / scale);
        area = unionRect(QRectF(topLeft, QSizeF(port.width() / scale, port.height() / scale)), content);
    } else {
        area = unionRect(QRectF(0, 0, port.width() / scale, port.height() / scale), content);
        // Content at negative coordinates lies outside the scrollable area.
        if (area.x() < 0)
            area = QRectF(0, area.y(), area.width() + area.x(), area.height());
        if (area.y() < 0)
            area = QRectF(area.x(), 0, area.width(), area.height() + area.y());
    }
    // Never shrink under a drag: the area under the pointer stays where it is.
    if (m_currentTracker && m_currentTracker->editingDocument())
        area = unionRect(area, m_bounds);
    // Bounds that gain or lose room at their top or left keep what is on screen where it is.
    std::optional<QPoint> keptOffset;
    if (m_scrollArea && !isEmptyRect(m_bounds) && area.topLeft() != m_bounds.topLeft()) {
        const QPointF shift = (m_bounds.topLeft() - area.topLeft()) * scale;
        keptOffset = m_scrollOffset + QPoint(qRound(shift.x()), qRound(shift.y()));
    }
    if (!equalRects(area, m_bounds))
        m_bounds = area;
    if (m_scrollArea)
        m_scrollArea->updateScrollBars(keptOffset);
    if (m_placeWhenShown && m_scrollArea && isVisible()) {
        m_placingWhenShown = true;
        scrollDocPointToViewport(m_placeWhenShown->point, m_placeWhenShown->fraction);
        m_placingWhenShown = false;
        QTimer::singleShot(0, this, [this] {
            if (isVisible())
                m_placeWhenShown.reset();
        });
    }
    m_inUpdateViewSize = false;
}

// --- Coordinates ---

QTransform ZDLView::viewTransform() const
{
    const double scale = m_viewScale;
    return QTransform::fromTranslate(-m_bounds.x(), -m_bounds.y()) * QTransform::fromScale(scale, scale)
        * QTransform::fromTranslate(-m_scrollOffset.x(), -m_scrollOffset.y());
}

QPointF ZDLView::convertFromWidget(const QPointF& widgetPoint) const
{
    return (widgetPoint + QPointF(m_scrollOffset)) / double(m_viewScale) + m_bounds.topLeft();
}

QRectF ZDLView::centerScanRect(const QRectF& rect) const
{
    const double ratio = devicePixelRatioF();
    const QTransform toDevice = viewTransform() * QTransform::fromScale(ratio, ratio);
    const QRectF device = toDevice.mapRect(rect);
    const QRectF aligned(QPointF(std::round(device.left()), std::round(device.top())),
        QPointF(std::round(device.right()), std::round(device.bottom())));
    return toDevice.inverted().mapRect(aligned);
}

void ZDLView::setNeedsDisplayInRect(const QRectF& rect)
{
    if (isEmptyRect(rect))
        return;
    const QRect pixels = viewTransform().mapRect(rect).toAlignedRect();
    // Overlapping or neighbouring areas (what a move left and what it covers) are painted as one
    // rectangle: a paint clipped to a region of several rectangles blits and fills through Qt's
    // slow path, many times dearer than the few pixels more.
    const QRect merged = m_pendingUpdate | pixels;
    const auto area = [](const QRect& r) { return qint64(r.width()) * r.height(); };
    if (!m_pendingUpdate.isEmpty()
        && area(merged) <= kMergedUpdateGrowth * (area(m_pendingUpdate) + area(pixels))) {
        m_pendingUpdate = merged;
        update(merged);
        return;
    }
    m_pendingUpdate = pixels;
    update(pixels);
}

// --- Document changes ---

void ZDLView::updateView(const Notification& notification)
{
    if (!isVisible())
        return;
    const ValueMap& info = notification.userInfo;
    if (info.isEmpty()) {
        updateViewSize();
        update();
        return;
    }
    const double scale = m_viewScale;
    const double outset = info.contains(kUnscaledOutsetKey)
        ? info.value(kUnscaledOutsetKey).toDouble() / scale
        : kDefaultUnscaledOutset / scale;
    const QRectF dirty = insetRect(info.value(kDirtyRectKey).toRect(), -outset, -outset);
    if (info.value(kAfterChangeKey).toBool())
        updateViewSize();
    setNeedsDisplayInRect(dirty);
    setNeedsDisplaySelection();
}

// --- Responder ---

const ActionTable<ZDLView>& ZDLView::actionTable()
{
    using State = MenuItemValidation::State;
    static const auto helpOffered
        = [](ZDLView& view, MenuItemValidation& item) { item.enabled = view.helpPanelOffered(); };
    // The layers come with their own parts of the program.
    static const auto nothing = [](ZDLView&, const ActionSender&) { return true; };
    static const ActionTable<ZDLView> table {
        { .action = kSelectAllAction,
            .validate =
                [](ZDLView& view, MenuItemValidation& item) {
                    const auto* root = asProtocol<Parent>(view.m_rootObject);
                    item.enabled = root && view.m_selection.size() < qsizetype(root->numChildren());
                },
            .perform = runs<&ZDLView::selectAll> },
        { .action = kDeselectAllAction,
            .validate
            = [](ZDLView& view, MenuItemValidation& item) { item.enabled = !view.m_selection.isEmpty(); },
            .perform = runs<&ZDLView::deselectAll> },
        { .action = kZoomInAction,
            .validate
            = [](ZDLView& view,
                  MenuItemValidation& item) { item.enabled = view.m_viewScale < view.maxViewScale(); },
            .perform = runs<&ZDLView::zoomIn> },
        { .action = kZoomOutAction,
            .validate
            = [](ZDLView& view,
                  MenuItemValidation& item) { item.enabled = view.m_viewScale > view.minViewScale(); },
            .perform = runs<&ZDLView::zoomOut> },
        { .action = kActualSizeAction,
            .validate = alwaysEnabled<ZDLView>,
            .perform = runs<&ZDLView::actualSize> },
        { .action = kToggleZoomAction,
            .validate = alwaysEnabled<ZDLView>,
            .perform = runs<&ZDLView::toggleZoom> },
        { .action = kSetViewScaleFromPopupAction,
            .validate =
                [](ZDLView& view, MenuItemValidation& item) {
                    item.enabled = true;
                    item.state
                        = floatFromScaleMenuItem(item.title) == view.m_viewScale ? State::On : State::Off;
                },
            .perform =
                [](ZDLView& view, const ActionSender& sender) {
                    const float scale = sender.value.isValid() ? sender.value.toFloat()
                                                               : floatFromScaleMenuItem(sender.title);
                    if (scale > 0.0f)
                        view.setZoomKeepingCenter(scale);
                    return true;
                } },
        { .action = kShowPanelHelpAction,
            .validate = helpOffered,
            .perform =
                [](ZDLView& view, const ActionSender&) {
                    if (!view.m_helpPanelName.isEmpty()
                        && !HelpComicView::getOpenHelp(view.m_helpPanelName, view.m_helpPanelDocument))
                        HelpComicView::createHelp(
                            view.m_helpPanelName, view.m_helpPanelDocument, view.m_helpPanelHost, true);
                    return true;
                },
            .validateToolbarItem = helpOffered },
        { .action = kMoveToLayerAction,
            .validate =
                [](ZDLView&, MenuItemValidation& item) {
                    item.enabled = false;
                    item.title = localized("Move to Other Layer");
                },
            .perform = nothing },
        { .action = kToggleFloatingAction,
            .validate =
                [](ZDLView&, MenuItemValidation& item) {
                    item.enabled = false;
                    item.title = localized("Free from Panel");
                },
            .perform = nothing },
    };
    return table;
}

bool ZDLView::tryToPerform(const QString& action, const ActionSender& sender)
{
    return actionTable().perform(*this, action, sender).value_or(false);
}

// Toolbar items of the view are off but help; the subclasses answer their own first.
bool ZDLView::validateMenuItem(MenuItemValidation& item)
{
    return actionTable().validate(*this, item);
}

bool ZDLView::helpPanelOffered() const
{
    return !m_helpPanelName.isEmpty() && !HelpComicView::getOpenHelp(m_helpPanelName, m_helpPanelDocument);
}

} // namespace zandrel
