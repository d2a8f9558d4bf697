#pragma once

#include "app/core/Responder.h"
#include "graphics/ElementProtocols.h"
#include "graphics/ZDLViewInterface.h"
#include "platform/Canvas.h"
#include "views/ZDLEvent.h"

#include <QPointer>
#include <QRectF>
#include <QRegion>
#include <QTimer>
#include <QTransform>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QMenu;
class QPainter;

namespace zandrel {

class HandTool;
class ZDLDocument;
class ZDLScrollArea;
class ZDLTool;
class ZDLTracker;
struct Notification;

// Posted by a view with itself as object after every change of its selection.
inline const QString kUpdateViewSelectionNotification = QStringLiteral("updateViewSelection");

// The base of every document view: a custom-painted widget with flipped (y-down) coordinates whose
// bounds are in document units and whose frame is the bounds times the zoom, so that every point a
// tool, tracker or model sees is in document coordinates. It sits in a ZDLScrollArea, which scrolls
// it. The view owns the tools that turn mouse gestures into edits (left button, right button and
// its own hand tool) and the tracker of the gesture in progress; it holds the selection of its root
// object's children, the zoom with its fixed table of scales, the sizing to its content, scrolling
// and auto-scrolling, the transform origin, and it redraws only the areas it is told are dirty.
// Documents, undo and the editing commands come with ZDLEditingView.
class ZDLView : public QWidget, public ZDLViewInterface, public Responder {
    Q_OBJECT

public:
    explicit ZDLView(QWidget* parent = nullptr);
    ~ZDLView() override;

    // --- Zoom table ---
    static constexpr std::array<float, 14> kViewScaleTable { 0.25f, 0.5f, 0.75f, 1.0f, 1.5f, 2.0f, 2.5f, 3.0f,
        4.0f, 5.0f, 6.0f, 8.0f, 10.0f, 12.0f };
    static float minViewScale() { return kViewScaleTable.front(); }
    static float maxViewScale() { return kViewScaleTable.back(); }
    // Replaces the menu's items by one per table entry ("25%" to "1200%") sending the action.
    static void addScaleMenuItemsTo(QMenu* menu, const QString& action);
    // The scale a title such as "150%" stands for; 0 when it names none.
    static float floatFromScaleMenuItem(const QString& title);
    static QString scaleTitle(float scale);

    // --- Tools and trackers ---
    ZDLTool* currentTool() const { return m_currentTool.get(); }
    void setCurrentTool(std::shared_ptr<ZDLTool> tool);
    ZDLTool* rightClickTool() const { return m_rightClickTool.get(); }
    void setRightClickTool(std::shared_ptr<ZDLTool> tool);
    HandTool* handTool() const { return m_handTool.get(); }
    // The hand tool as a tool an editor can make current (its hand button).
    std::shared_ptr<HandTool> sharedHandTool() const { return m_handTool; }
    ZDLTracker* currentTracker() const { return m_currentTracker.get(); }
    // Installs the tracker of a gesture, or ends the gesture with null; ignored during a right click.
    void setCurrentTracker(std::unique_ptr<ZDLTracker> tracker);
    bool handToolOverride() const { return m_handToolOverride; }
    // Ends the space bar's hand override and lets the current tool set its cursor.
    void exitHandTool();

    // --- Selection (not undoable here; the editing views record selections) ---
    ElementList selection() const { return m_selection; }
    void select(const ObjectPtr& object, bool deselectingOthers);
    void deselect(const ObjectPtr& object);
    void toggleSelect(const ObjectPtr& object);
    void setSelection(const ElementList& objects);
    void selectAll();
    void deselectAll();
    bool isSelected(const ObjectPtr& object) const { return m_selection.contains(object); }
    qsizetype numSelected() const { return m_selection.size(); }
    ObjectPtr firstSelected() const { return m_selection.value(0); }
    // The selection in the order of the root's children, back to front.
    ElementList getSelectionSorted() const;
    // Drops selected objects that are hidden or no longer children of the root.
    void validateSelection();
    void hideSelectionDuringTracking();
    bool selectionHiddenWhileTracking() const { return m_selectionHiddenWhileTracking; }
    void setNeedsDisplaySelection();
    void setNeedsDisplayOrigin();

    // --- Transform origin ---
    QPointF transformOrigin() const;
    void setTransformOrigin(const QPointF& origin);
    void restoreAutomaticOrigin() { m_transformOriginOverridden = false; }
    bool transformOriginOverridden() const { return m_transformOriginOverridden; }
    // Lower ranks win when the origin is chosen among the selected parts; 10000 for anything else.
    static int coreRankOf(const ObjectPtr& element);

    // --- Root ---
    ObjectPtr rootObject() const { return m_rootObject; }
    virtual void setRootObject(const ObjectPtr& root);
    // The topmost child of the root the view shows under the point, which tools hit-test: the root's
    // own answer, unless the view shows only some of its children.
    virtual ObjectPtr childAt(const QPointF& point) const;

    // --- Zoom and scrolling ---
    float viewScale() const override { return m_viewScale; }
    virtual void setViewScale(float scale);
    void zoomIn();
    void zoomOut();
    void actualSize();
    void toggleZoom();
    float toggleZoomScale() const { return m_toggleZoomScale; }
    // A pinch: the document point under the mouse stays under it.
    void magnify(double magnification);
    virtual QPointF getCenterForZoom() const;
    QPointF getCenterOfVisibleRect() const;
    void scrollToCenterDocPoint(const QPointF& point);
    // Scrolls the document point to the fraction of the viewport's width and height ((0, 0) the
    // top-left, (0.5, 0.5) the middle) as far as the scroll range allows; a view not yet shown
    // places it again once it is laid out.
    void scrollDocPointToViewport(const QPointF& point, const QPointF& fraction);
    // Where the point lies in the visible rect, as fractions of its width and height.
    QPointF getScrollPointForDocPoint(const QPointF& point) const;
    void scrollDocPoint(const QPointF& point, const QPointF& scrollPoint);
    // The last mouse position the view heard of, in document coordinates.
    QPointF getMouseDocPoint() const;
    // The part of the bounds the scroll area shows, in document coordinates.
    QRectF visibleRect() const;
    // Makes the document point the top-left of the visible rect, as far as the scroll range allows.
    void scrollPoint(const QPointF& point);
    // Scrolls as little as needed to show the rect.
    void scrollRectToVisible(const QRectF& rect);
    void updateViewSize();
    virtual QRectF getContentBounds() const;
    // The base content bounds united with what the root's children draw past their geometry
    // (outlines, their joins and blurs): the bounds of views that show every edge of the drawing.
    QRectF getDrawnContentBounds() const;
    // Content smaller than the viewport sits in its middle rather than at its top-left corner.
    bool centresSmallContent() const { return m_centresSmallContent; }
    void setCentresSmallContent(bool centres) { m_centresSmallContent = centres; }
    // Content, and the room a view leaves around it, at negative coordinates stays within the
    // scrollable area instead of being cut off at 0.
    bool keepsNegativeSpace() const { return m_keepsNegativeSpace; }
    void setKeepsNegativeSpace(bool keeps) { m_keepsNegativeSpace = keeps; }
    // Content at negative coordinates stays reachable, while the area still starts at the origin
    // when the content lies beyond it.
    bool reachesNegativeContent() const { return m_reachesNegativeContent; }
    void setReachesNegativeContent(bool reaches) { m_reachesNegativeContent = reaches; }
    QRectF viewBounds() const { return m_bounds; }
    // The frame in widget pixels: the bounds times the zoom.
    QSizeF frameSize() const { return m_bounds.size() * m_viewScale; }
    bool scalingViewInteractively() const override { return m_scalingViewInteractively; }
    void setScalingViewInteractively(bool scaling) { m_scalingViewInteractively = scaling; }
    // Counts as a scale change in progress for a moment: cached renderings are reused meanwhile,
    // and remade at the new zoom once it has passed.
    void temporarilySuspendImageFlushingWhileScaling();

    // --- Coordinates and redrawing ---
    // From document coordinates to the widget's.
    QTransform viewTransform() const;
    QPointF convertFromWidget(const QPointF& widgetPoint) const;
    // The rect with its edges moved to the nearest device pixels.
    QRectF centerScanRect(const QRectF& rect) const;
    void setNeedsDisplayInRect(const QRectF& rect);
    void setNeedsDisplay() { update(); }
    bool needsToDrawRect(const QRectF& rect) const override;
    bool isInMainWindow() const override;

    // --- Options and state ---
    bool suppressCursorSetting() const { return m_suppressCursorSetting; }
    void setSuppressCursorSetting(bool suppress) { m_suppressCursorSetting = suppress; }
    // During a right click, and while the contextual menu it opened is up or its action runs.
    bool inRightClick() const { return m_inRightClick || m_rightClickMenuOpen; }
    QPointF rightClickPos() const { return m_rightClickPos; }
    // The view's help comic; without all three nothing is registered.
    void registerForHelpPanel(const QString& name, ZDLDocument* document, QWidget* host);
    const QString& helpPanelName() const { return m_helpPanelName; }
    // A help comic is registered and not open: the help command may show it.
    bool helpPanelOffered() const;

    // --- Hooks of the subclasses ---
    // The document closes: tools, tracker, root, timers and the help registration go.
    virtual void documentClosing();
    virtual void tellAllGraphics(GraphicNotice notice, GraphicManipulator* object) { }
    virtual void setToDefaultTool() { }
    virtual void setToReshapingTool() { }
    // The handler of "updateDocumentViews".
    virtual void updateView(const Notification& notification);

    // --- Responder ---
    bool tryToPerform(const QString& action, const ActionSender& sender) override;
    bool validateMenuItem(MenuItemValidation& item) override;
    // Each command of the view with when it is offered.
    static const ActionTable<ZDLView>& actionTable();

    // The scroll area holding the view, when it sits in one.
    ZDLScrollArea* scrollArea() const { return m_scrollArea; }
    // A drag of data resting within this many pixels of an edge scrolls the view toward that edge,
    // faster the nearer it is: the pointer of such a drag never leaves the view as a tracker's can.
    static constexpr int kDragScrollMargin = 16;
    // Areas to paint are merged into their bounding rectangle while it is at most this many times
    // larger than they are.
    static constexpr qint64 kMergedUpdateGrowth = 2;

protected:
    // Makes the list the selection as it is, without asking the root: what an undo restores.
    void replaceSelection(const ElementList& selection);
    // Draws the content of the dirty rect (document coordinates) into the current canvas, whose
    // transform maps document coordinates. Subclasses draw their content first and end with the base,
    // which draws the tool's handles and the tracker's feedback on top.
    virtual void drawRect(const QRectF& dirtyRect);
    // A new root shows other content: the whole view redraws, unless the subclass knows better.
    virtual void redisplayAfterRootChange() { update(); }
    // The menu of a right click; null shows none.
    virtual QMenu* contextMenuForView();
    // A right press: the view takes the keyboard, the right-click tool has the press, then the
    // contextual menu opens. Subclasses may show a menu of their own instead.
    virtual void rightMouseDown(const ZDLEvent& event, const QPoint& globalPos);
    // The arrow keys and the forward delete of the editing views; false passes the key on.
    virtual bool performKeyEquivalent(const ZDLEvent& event) { return false; }

    // --- Auto-scroll while dragging data over the view ---
    // Scrolls for a drag at the widget point, and keeps scrolling on the auto-scroll timer's ticks
    // while it rests near an edge; true when it scrolled now.
    bool autoscrollForDrag(const QPointF& widgetPoint);
    // The drag left the view or was dropped.
    void stopDragAutoscroll();
    // The view scrolled under a drag that did not move; the point (document coordinates) is what
    // now lies under it. Views that choose a target by what is under a drag follow it here.
    virtual void dragScrolledUnder(const QPointF& documentPoint) { }
    void dragLeaveEvent(QDragLeaveEvent* event) override;

    // Paints the region (widget pixels): the window background, then drawRect. A view that keeps
    // bitmaps of its content may paint from them instead.
    virtual void paintRegion(QPainter& painter, const QRegion& region);
    // The paint event's region: a painter on the view, and paintRegion. A view that can write the
    // window's pixels itself may begin the painter only when it draws through one.
    virtual void paintEventRegion(const QRegion& region);
    // Runs draw with a canvas on the painter, current, that maps document coordinates (the painter's
    // own transform applied after the view's), while needsToDrawRect answers for the region (widget
    // pixels). draw gets the region's bounds in document coordinates. target overrides the kind of
    // canvas the painter's device makes (a view's own bitmaps of the screen count as the screen).
    void drawThroughCanvas(QPainter& painter, const QRegion& region, std::optional<CanvasTarget> target,
        const std::function<void(Canvas&, const QRectF&)>& draw);

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    friend class ZDLScrollArea;

    void mouseDown(const ZDLEvent& event);
    void mouseDragged(const ZDLEvent& event);
    void mouseUp(const ZDLEvent& event);
    void mouseMoved(const ZDLEvent& event);
    void flagsChanged(const ZDLEvent& event);
    void scrollNow();
    // Scrolls toward a pointer outside the visible area less the margin, by as far as it lies
    // beyond it (at most the margin when there is one); true when it scrolled.
    bool autoscroll(const QPointF& widgetPoint, int margin = 0);
    void dragScrollNow();
    void doneScaling();
    void setZoomKeepingCenter(float scale);
    void updateSelectionChange();
    QPointF pointOf(const QPointF& widgetPosition) const;
    ZDLTool* toolForMouse() const;
    bool mouseInVisibleRect() const;
    // Set by the scroll area.
    void setScrollOffset(const QPoint& offset) { m_scrollOffset = offset; }
    QSize viewportSize() const;

    ElementList m_selection;
    bool m_selectionHiddenWhileTracking = false;
    std::shared_ptr<ZDLTool> m_currentTool;
    std::shared_ptr<ZDLTool> m_rightClickTool;
    std::unique_ptr<ZDLTracker> m_currentTracker;
    // Trackers that ended while one of their own calls ran; dropped once the event is handled.
    std::vector<std::unique_ptr<ZDLTracker>> m_finishedTrackers;
    bool m_inUpdateViewSize = false;
    float m_viewScale = 1.0f;
    float m_toggleZoomScale = 8.0f;
    ObjectPtr m_rootObject;
    bool m_handToolOverride = false;
    QTimer m_autoScrollTimer;
    QTimer m_dragScrollTimer;
    QPointF m_dragScrollPoint;
    QTimer m_suspendFlushImagesTimer;
    bool m_transformOriginOverridden = false;
    QPointF m_transformOrigin;
    QString m_helpPanelName;
    QPointer<QWidget> m_helpPanelHost;
    ZDLDocument* m_helpPanelDocument = nullptr;
    bool m_scalingViewInteractively = false;
    bool m_suppressCursorSetting = false;
    bool m_inRightClick = false;
    bool m_rightClickMenuOpen = false;
    bool m_centresSmallContent = false;
    bool m_keepsNegativeSpace = false;
    bool m_reachesNegativeContent = false;
    // Where to scroll a document point once the view is shown, and whether that is under way.
    struct PendingPlacement {
        QPointF point;
        QPointF fraction;
    };
    std::optional<PendingPlacement> m_placeWhenShown;
    bool m_placingWhenShown = false;
    std::shared_ptr<HandTool> m_handTool;
    QPointF m_rightClickPos;

    // The Qt side of the platform view.
    QRectF m_bounds;
    QPoint m_scrollOffset;
    ZDLScrollArea* m_scrollArea = nullptr;
    QRegion m_paintRegion;
    // The last area asked to be painted since the last paint, which the next one may grow.
    QRect m_pendingUpdate;
    bool m_painting = false;
    bool m_leftButtonDown = false;
    int m_clickCount = 0;
    QPointF m_lastMouseWidgetPos;
    ZDLEvent m_lastDragEvent;
    QPointF m_lastDragWidgetPos;
};

} // namespace zandrel
