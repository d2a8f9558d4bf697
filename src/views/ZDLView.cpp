// The view base: tools, trackers, mouse and key events, drawing. Selection and the transform origin
// are in ZDLViewSelection.cpp, zoom, scrolling and sizing in ZDLViewZoom.cpp.
#include "views/ZDLView.h"

#include "app/AppController.h"
#include "app/MenuActions.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/PainterCanvas.h"
#include "tools/HandTool.h"
#include "tools/ZDLTool.h"
#include "tools/ZDLTracker.h"
#include "views/ZDLScrollArea.h"

#include <QDragLeaveEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>

namespace zandrel {

namespace {

constexpr int kAutoScrollIntervalMs = 100;
constexpr int kDoneScalingDelayMs = 500;
// A wheel notch with Ctrl held zooms by this fraction, as a small pinch would.
constexpr double kWheelMagnificationPerNotch = 0.1;
constexpr double kWheelNotch = 120.0;

bool isModifierKey(int key)
{
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta
        || key == Qt::Key_AltGr;
}

// The modifier state once the key event has happened: Qt reports a modifier key's own event with
// the state before it on some platforms.
quint32 flagsAfterKey(const QKeyEvent& event, bool pressed)
{
    quint32 flags = ZDLEvent::modifierFlagsFrom(event.modifiers());
    quint32 own = 0;
    switch (event.key()) {
    case Qt::Key_Shift:
        own = kShiftKeyMask;
        break;
    case Qt::Key_Control:
        own = kCommandKeyMask;
        break;
    case Qt::Key_Alt:
    case Qt::Key_Meta:
    case Qt::Key_AltGr:
        own = kOptionKeyMask;
        break;
    default:
        break;
    }
    return pressed ? flags | own : flags & ~own;
}

} // namespace

ZDLView::ZDLView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    m_handTool = std::make_shared<HandTool>();
    m_handTool->setView(this);
    m_autoScrollTimer.setInterval(kAutoScrollIntervalMs);
    connect(&m_autoScrollTimer, &QTimer::timeout, this, &ZDLView::scrollNow);
    m_dragScrollTimer.setInterval(kAutoScrollIntervalMs);
    connect(&m_dragScrollTimer, &QTimer::timeout, this, &ZDLView::dragScrollNow);
    m_suspendFlushImagesTimer.setSingleShot(true);
    m_suspendFlushImagesTimer.setInterval(kDoneScalingDelayMs);
    connect(&m_suspendFlushImagesTimer, &QTimer::timeout, this, &ZDLView::doneScaling);
}

ZDLView::~ZDLView()
{
    m_currentTracker.reset();
    m_finishedTrackers.clear();
    for (ZDLTool* tool :
        { m_currentTool.get(), m_rightClickTool.get(), static_cast<ZDLTool*>(m_handTool.get()) }) {
        if (tool && tool->view() == this) {
            tool->exitTool();
            tool->setView(nullptr);
        }
    }
}

// --- Tools and trackers ---

void ZDLView::setCurrentTool(std::shared_ptr<ZDLTool> tool)
{
    if (m_currentTool)
        m_currentTool->exitTool();
    m_currentTool = std::move(tool);
    if (m_currentTool) {
        m_currentTool->setView(this);
        m_currentTool->enterTool();
    }
    update();
}

void ZDLView::setRightClickTool(std::shared_ptr<ZDLTool> tool)
{
    if (m_rightClickTool)
        m_rightClickTool->exitTool();
    m_rightClickTool = std::move(tool);
    if (m_rightClickTool) {
        m_rightClickTool->setView(this);
        m_rightClickTool->enterTool();
    }
    update();
}

void ZDLView::setCurrentTracker(std::unique_ptr<ZDLTracker> tracker)
{
    // A right click selects under the pointer but starts no gesture.
    if (m_inRightClick)
        return;
    // A tracker may end its own gesture from inside one of its calls: it lives until the event
    // that called it has been handled.
    if (m_currentTracker)
        m_finishedTrackers.push_back(std::move(m_currentTracker));
    if (tracker) {
        m_currentTracker = std::move(tracker);
        m_currentTracker->setView(this);
        return;
    }
    m_autoScrollTimer.stop();
    // The view may shrink again now that nothing is dragged.
    updateViewSize();
}

void ZDLView::exitHandTool()
{
    if (!m_handToolOverride)
        return;
    m_handToolOverride = false;
    if (mouseInVisibleRect() && m_currentTool)
        m_currentTool->mouseMovedAt(getMouseDocPoint(), ZDLEvent());
}

ZDLTool* ZDLView::toolForMouse() const
{
    return m_handToolOverride ? m_handTool.get() : m_currentTool.get();
}

bool ZDLView::mouseInVisibleRect() const
{
    return rect().contains(m_lastMouseWidgetPos.toPoint());
}

QPointF ZDLView::pointOf(const QPointF& widgetPosition) const
{
    return convertFromWidget(widgetPosition);
}

// --- Mouse ---

void ZDLView::mousePressEvent(QMouseEvent* event)
{
    m_lastMouseWidgetPos = event->position();
    if (event->button() == Qt::RightButton) {
        rightMouseDown(ZDLEvent::fromMouse(ZDLEvent::Type::RightMouseDown, *event, 1),
            event->globalPosition().toPoint());
    } else if (event->button() == Qt::LeftButton) {
        m_leftButtonDown = true;
        m_clickCount = 1;
        mouseDown(ZDLEvent::fromMouse(ZDLEvent::Type::LeftMouseDown, *event, m_clickCount));
    } else {
        event->ignore();
    }
    m_finishedTrackers.clear();
}

void ZDLView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click is a press like the first, with a click count of 2.
    m_lastMouseWidgetPos = event->position();
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_leftButtonDown = true;
    m_clickCount = 2;
    mouseDown(ZDLEvent::fromMouse(ZDLEvent::Type::LeftMouseDown, *event, m_clickCount));
    m_finishedTrackers.clear();
}

void ZDLView::mouseMoveEvent(QMouseEvent* event)
{
    m_lastMouseWidgetPos = event->position();
    if (m_leftButtonDown && (event->buttons() & Qt::LeftButton)) {
        m_lastDragEvent = ZDLEvent::fromMouse(ZDLEvent::Type::LeftMouseDragged, *event, m_clickCount);
        m_lastDragWidgetPos = event->position();
        mouseDragged(m_lastDragEvent);
    } else {
        mouseMoved(ZDLEvent::fromMouse(ZDLEvent::Type::MouseMoved, *event, 0));
    }
    m_finishedTrackers.clear();
}

void ZDLView::mouseReleaseEvent(QMouseEvent* event)
{
    m_lastMouseWidgetPos = event->position();
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_leftButtonDown = false;
    m_lastDragEvent = ZDLEvent();
    mouseUp(ZDLEvent::fromMouse(ZDLEvent::Type::LeftMouseUp, *event, m_clickCount));
    m_finishedTrackers.clear();
}

void ZDLView::mouseDown(const ZDLEvent& event)
{
    setFocus(Qt::MouseFocusReason);
    const QPointF point = pointOf(m_lastMouseWidgetPos);
    if (m_handToolOverride) {
        if (const std::shared_ptr<ZDLTool> hand = m_handTool)
            hand->mouseDownAt(point, event);
        return;
    }
    if (!m_currentTool)
        return;
    // The tool stays alive through its own call even if it replaces itself.
    const std::shared_ptr<ZDLTool> tool = m_currentTool;
    tool->mouseDownAt(point, event);
    if (m_currentTracker && m_currentTracker->wantsAutoScroll())
        m_autoScrollTimer.start();
}

void ZDLView::mouseDragged(const ZDLEvent& event)
{
    if (!m_currentTracker)
        return;
    if (m_currentTracker->wantsAutoScroll())
        autoscroll(m_lastDragWidgetPos);
    // Converted after scrolling: the same pointer now rests over another document point.
    m_currentTracker->mouseDraggedAt(pointOf(m_lastDragWidgetPos), event);
}

void ZDLView::mouseUp(const ZDLEvent& event)
{
    if (m_selectionHiddenWhileTracking) {
        m_selectionHiddenWhileTracking = false;
        setNeedsDisplaySelection();
    }
    const QPointF point = pointOf(m_lastMouseWidgetPos);
    if (m_currentTracker) {
        ZDLTracker* tracker = m_currentTracker.get();
        tracker->mouseUpAt(point, event);
        setCurrentTracker(nullptr);
        if (m_currentTool)
            m_currentTool->setCursorAt(getMouseDocPoint(), event);
    }
    // A double click reaches the tool once the second press's gesture has ended.
    if (event.clickCount == 2) {
        const std::shared_ptr<ZDLTool> tool = m_handToolOverride ? m_handTool : m_currentTool;
        if (tool)
            tool->doubleClickAt(point, event);
    }
}

void ZDLView::rightMouseDown(const ZDLEvent& event, const QPoint& globalPos)
{
    setFocus(Qt::MouseFocusReason);
    const QPointF point = pointOf(m_lastMouseWidgetPos);
    m_inRightClick = true;
    m_rightClickPos = point;
    if (m_rightClickTool) {
        const std::shared_ptr<ZDLTool> tool = m_rightClickTool;
        tool->mouseDownAt(point, event);
    }
    if (QMenu* menu = contextMenuForView()) {
        MenuActions::setWindowOfMenu(menu, window());
        MenuActions::validateAndHideContextMenuItems(menu, window());
        // The menu stays open after this event, and the chosen item's action runs as it hides: the
        // click still counts as the right click until that action has run.
        m_rightClickMenuOpen = true;
        auto hidden = std::make_shared<QMetaObject::Connection>();
        *hidden = connect(menu, &QMenu::aboutToHide, this, [this, hidden] {
            disconnect(*hidden);
            QMetaObject::invokeMethod(
                this, [this] { m_rightClickMenuOpen = false; }, Qt::QueuedConnection);
        });
        menu->popup(globalPos);
    }
    m_inRightClick = false;
}

QMenu* ZDLView::contextMenuForView()
{
    AppController* controller = AppController::shared();
    return controller ? controller->contextualMenu() : nullptr;
}

void ZDLView::mouseMoved(const ZDLEvent& event)
{
    if (!isVisible() || m_suppressCursorSetting)
        return;
    if (ZDLTool* tool = toolForMouse())
        tool->mouseMovedAt(pointOf(m_lastMouseWidgetPos), event);
}

void ZDLView::flagsChanged(const ZDLEvent& event)
{
    // Tools change their cursors with the modifiers, but not in the middle of a gesture.
    if (m_currentTracker)
        return;
    if (ZDLTool* tool = toolForMouse())
        tool->mouseMovedAt(getMouseDocPoint(), event);
}

void ZDLView::scrollNow()
{
    // The view keeps scrolling under a pointer that rests outside it while the button is down.
    if (!m_leftButtonDown || m_lastDragEvent.type != ZDLEvent::Type::LeftMouseDragged) {
        m_autoScrollTimer.stop();
        return;
    }
    mouseDragged(m_lastDragEvent);
    m_finishedTrackers.clear();
}

bool ZDLView::autoscroll(const QPointF& widgetPoint, int margin)
{
    if (!m_scrollArea)
        return false;
    const QRect area = rect().adjusted(margin, margin, -margin, -margin);
    const auto beyond = [margin](double value, int low, int high) {
        double by = value < low ? value - low : value > high ? value - high : 0.0;
        // Within a margin, the depth into it sets the speed; past the view, the distance does.
        if (margin > 0)
            by = std::clamp(by, -double(margin), double(margin));
        return by;
    };
    const double dx = beyond(widgetPoint.x(), area.left(), area.right());
    const double dy = beyond(widgetPoint.y(), area.top(), area.bottom());
    if (dx == 0 && dy == 0)
        return false;
    const QPoint before = m_scrollArea->scrollOffset();
    m_scrollArea->setScrollOffset(before + QPoint(qRound(dx), qRound(dy)));
    return m_scrollArea->scrollOffset() != before;
}

bool ZDLView::autoscrollForDrag(const QPointF& widgetPoint)
{
    m_dragScrollPoint = widgetPoint;
    // A view too small for the margins would only ever scroll.
    if (width() <= 3 * kDragScrollMargin || height() <= 3 * kDragScrollMargin)
        return false;
    const QRect inner
        = rect().adjusted(kDragScrollMargin, kDragScrollMargin, -kDragScrollMargin, -kDragScrollMargin);
    if (inner.contains(widgetPoint.toPoint())) {
        m_dragScrollTimer.stop();
        return false;
    }
    if (!m_dragScrollTimer.isActive())
        m_dragScrollTimer.start();
    return autoscroll(widgetPoint, kDragScrollMargin);
}

void ZDLView::stopDragAutoscroll()
{
    m_dragScrollTimer.stop();
}

void ZDLView::dragScrollNow()
{
    if (autoscroll(m_dragScrollPoint, kDragScrollMargin))
        dragScrolledUnder(pointOf(m_dragScrollPoint));
}

void ZDLView::dragLeaveEvent(QDragLeaveEvent* event)
{
    stopDragAutoscroll();
    QWidget::dragLeaveEvent(event);
}

// --- Keys ---

void ZDLView::keyPressEvent(QKeyEvent* event)
{
    ZDLEvent made = ZDLEvent::fromKey(ZDLEvent::Type::KeyDown, *event);
    if (isModifierKey(event->key())) {
        made.type = ZDLEvent::Type::FlagsChanged;
        made.modifierFlags = flagsAfterKey(*event, true);
        flagsChanged(made);
        event->ignore();
        return;
    }
    if (made.charactersIgnoringModifiers == QStringLiteral(" ")) {
        // The space bar holds the hand tool; its repeats change nothing more.
        if (!m_handToolOverride && !made.isRepeat && m_handTool) {
            m_handToolOverride = true;
            if (mouseInVisibleRect())
                m_handTool->mouseMovedAt(getMouseDocPoint(), ZDLEvent());
        }
        return;
    }
    if (performKeyEquivalent(made))
        return;
    QWidget::keyPressEvent(event);
}

void ZDLView::keyReleaseEvent(QKeyEvent* event)
{
    if (isModifierKey(event->key())) {
        ZDLEvent made = ZDLEvent::fromKey(ZDLEvent::Type::FlagsChanged, *event);
        made.modifierFlags = flagsAfterKey(*event, false);
        flagsChanged(made);
        event->ignore();
        return;
    }
    if (event->key() == Qt::Key_Space) {
        if (!event->isAutoRepeat())
            exitHandTool();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void ZDLView::focusOutEvent(QFocusEvent* event)
{
    exitHandTool();
    QWidget::focusOutEvent(event);
}

void ZDLView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        exitHandTool();
    QWidget::changeEvent(event);
}

void ZDLView::wheelEvent(QWheelEvent* event)
{
    // Ctrl and the wheel zoom as a pinch does; a plain wheel scrolls the area.
    if (event->modifiers() & Qt::ControlModifier) {
        m_lastMouseWidgetPos = event->position();
        magnify(event->angleDelta().y() / kWheelNotch * kWheelMagnificationPerNotch);
        event->accept();
        return;
    }
    event->ignore();
}

bool ZDLView::event(QEvent* event)
{
    if (event->type() == QEvent::NativeGesture) {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            m_lastMouseWidgetPos = gesture->position();
            magnify(gesture->value());
            return true;
        }
    }
    return QWidget::event(event);
}

void ZDLView::showEvent(QShowEvent* event)
{
    // Changes announced while the view was hidden were not followed.
    updateViewSize();
    QWidget::showEvent(event);
}

// --- Drawing ---

void ZDLView::paintEvent(QPaintEvent* event)
{
    m_pendingUpdate = QRect();
    paintEventRegion(event->region());
}

void ZDLView::paintEventRegion(const QRegion& region)
{
    QPainter painter(this);
    paintRegion(painter, region);
}

void ZDLView::paintRegion(QPainter& painter, const QRegion& region)
{
    painter.fillRect(region.boundingRect(), palette().window());
    drawThroughCanvas(
        painter, region, std::nullopt, [this](Canvas&, const QRectF& dirty) { drawRect(dirty); });
}

void ZDLView::drawThroughCanvas(QPainter& painter, const QRegion& region, std::optional<CanvasTarget> target,
    const std::function<void(Canvas&, const QRectF&)>& draw)
{
    PainterCanvas canvas(&painter, target);
    canvas.concatenate(viewTransform());
    CanvasScope scope(&canvas);
    const QRegion outerRegion = m_paintRegion;
    const bool outerPainting = m_painting;
    m_paintRegion = region;
    m_painting = true;
    draw(canvas, viewTransform().inverted().mapRect(QRectF(region.boundingRect())));
    m_painting = outerPainting;
    m_paintRegion = outerRegion;
}

void ZDLView::drawRect(const QRectF&)
{
    if (m_currentTool) {
        m_currentTool->currentHandles().clear();
        m_currentTool->draw();
    }
    if (m_currentTracker)
        m_currentTracker->draw();
}

bool ZDLView::needsToDrawRect(const QRectF& rect) const
{
    if (!m_painting)
        return true;
    return m_paintRegion.intersects(viewTransform().mapRect(rect).toAlignedRect());
}

bool ZDLView::isInMainWindow() const
{
    return window() && window()->isActiveWindow();
}

void ZDLView::documentClosing()
{
    m_currentTracker.reset();
    for (const std::shared_ptr<ZDLTool>& tool :
        { m_currentTool, m_rightClickTool, std::static_pointer_cast<ZDLTool>(m_handTool) }) {
        if (tool && tool->view() == this) {
            tool->exitTool();
            tool->setView(nullptr);
        }
    }
    m_currentTool.reset();
    m_rightClickTool.reset();
    m_handTool.reset();
    m_rootObject.reset();
    m_selection.clear();
    m_autoScrollTimer.stop();
    m_dragScrollTimer.stop();
    m_suspendFlushImagesTimer.stop();
    registerForHelpPanel(QString(), nullptr, nullptr);
}

void ZDLView::registerForHelpPanel(const QString& name, ZDLDocument* document, QWidget* host)
{
    const bool complete = !name.isEmpty() && document && host;
    m_helpPanelName = complete ? name : QString();
    m_helpPanelDocument = complete ? document : nullptr;
    m_helpPanelHost = complete ? host : nullptr;
}

} // namespace zandrel
