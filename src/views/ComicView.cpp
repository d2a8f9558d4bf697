// The comic view: drawing the current page, following the current panel, and the selection that
// carries its panel along. The commands are in ComicViewCommands.cpp.
#include "views/ComicView.h"

#include "app/MenuActions.h"
#include "app/core/ActionNames.h"
#include "app/core/ComicDocument.h"
#include "charmodel/DocumentSettings.h"
#include "charmodel/ImageElement.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/ComicRow.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "tools/ComicSelectionTool.h"
#include "tools/ZDLTracker.h"
#include "views/ComicViewBacking.h"

#include <QDragMoveEvent>
#include <QMenu>
#include <QPointer>

namespace zandrel {

// Single-precision 0.2 and 0.7 widened, as the colour has always been.
const QColor ComicView::kCurrentRowColor = QColor::fromRgbF(0.2f, 0.7f, 0.2f, 0.5f);

ComicView::ComicView(ComicDocument* document, QWidget* parent)
    : BalloonEditingView(document, parent)
    , m_backing(std::make_unique<ComicViewBacking>(*this))
{
    setObjectName(QStringLiteral("comicView"));
    setContentName(localized("Comic"));
    setCurrentTool(std::make_shared<ComicSelectionTool>());
    setRightClickTool(std::make_shared<ComicSelectionTool>());
    if (const auto settings = document ? document->documentSettings() : nullptr)
        ZDLView::setViewScale(settings->mainViewScale());
    NotificationCenter::defaultCenter().addObserver(this, kModelPropertyChangeNotification, document,
        [this](const Notification& notification) { modelPropertyChanged(notification); });
    followCurrentPanel();
}

ComicView::~ComicView() = default;

ComicModel* ComicView::comicModel() const
{
    return comicDoc() ? comicDoc()->model().get() : nullptr;
}

std::shared_ptr<ComicPanel> ComicView::currentPanel() const
{
    const ComicModel* model = comicModel();
    return model ? model->currentPanel() : nullptr;
}

void ComicView::followCurrentPanel()
{
    const auto panel = currentPanel();
    setRootObject(panel ? ObjectPtr(panel->currentLayer()) : nullptr);
}

void ComicView::documentClosing()
{
    m_backing->release();
    BalloonEditingView::documentClosing();
}

// --- Model notifications ---

void ComicView::modelPropertyChanged(const Notification& notification)
{
    const QString property = notification.userInfo.value(kPropertyKey).toString();
    // The page, panel and modes are part of what the backing was drawn for: only a change of them
    // drops it, and a panel made current again (each click in it) keeps it.
    if (property != ComicModel::kEditBackgroundKey && property != ComicModel::kCurrentPanelKey
        && property != ComicModel::kFocusOnPanelKey && property != ComicModel::kCurrentPageKey)
        m_backing->invalidate();
    if (property == ComicModel::kEditBackgroundKey) {
        followCurrentPanel();
        update();
    } else if (property == ComicModel::kCurrentPanelKey) {
        followCurrentPanel();
    } else if (property == ComicModel::kFocusOnPanelKey || property == ComicModel::kCurrentPageKey) {
        update();
    }
}

void ComicView::updateView(const Notification& notification)
{
    m_backing->documentChanged(notification.userInfo);
    if (notification.userInfo.isEmpty()) {
        const auto panel = currentPanel();
        if (rootObject() != (panel ? ObjectPtr(panel->currentLayer()) : nullptr))
            followCurrentPanel();
    }
    BalloonEditingView::updateView(notification);
}

// --- Row highlight ---

QRectF ComicView::currentRowBounds() const
{
    const auto panel = currentPanel();
    const ComicRow* row = panel ? panel->getTopLevelRowContainer() : nullptr;
    return row ? row->bounds() : QRectF();
}

void ComicView::setShowCurrentRow(bool show)
{
    if (show == m_showCurrentRow)
        return;
    m_showCurrentRow = show;
    setNeedsDisplayInRect(currentRowBounds());
}

// --- Zoom and size ---

void ComicView::setViewScale(float scale)
{
    if (scale == viewScale())
        return;
    BalloonEditingView::setViewScale(scale);
    // Kept with the comic, so that it opens as it was left.
    if (const auto settings = document() ? document()->documentSettings() : nullptr)
        settings->setMainViewScale(viewScale());
}

QRectF ComicView::getContentBounds() const
{
    const double margin = kContentMargin / viewScale();
    QRectF bounds = BalloonEditingView::getContentBounds();
    if (!isEmptyRect(bounds))
        bounds = insetRect(bounds, -margin, -margin);
    const ComicModel* model = comicModel();
    return model ? unionRect(bounds, model->bounds()) : bounds;
}

QPointF ComicView::graphicPastePoint() const
{
    const auto panel = currentPanel();
    return panel ? panel->bounds().center() : QPointF();
}

// --- Drawing ---

void ComicView::drawRect(const QRectF& dirtyRect)
{
    drawContent(dirtyRect, nullptr);
    drawDecorations(dirtyRect);
}

void ComicView::paintRegion(QPainter& painter, const QRegion& region)
{
    LazyPainter given(painter);
    if (!m_backing->paint(given, nullptr, region))
        BalloonEditingView::paintRegion(painter, region);
}

void ComicView::paintEventRegion(const QRegion& region)
{
    // A painter's set-up costs as much as a small area's pixels: where Qt has the view paint into
    // the window's bitmap, the bitmaps are written there first and a painter begun only if needed.
    LazyPainter painter(*this);
    SpanBitmap::Target pixels;
    QPoint redirection;
    const bool direct
        = !sharedPainter() && SpanBitmap::directTarget(redirected(&redirection), redirection, region, pixels);
    if (!m_backing->paint(painter, direct ? &pixels : nullptr, region))
        BalloonEditingView::paintRegion(painter(), region);
}

void ComicView::drawContent(const QRectF& dirtyRect, DrawingSplit* split)
{
    // The window background around the page is the paint event's; the page is white.
    Canvas* canvas = currentCanvas();
    ComicModel* model = comicModel();
    if (!canvas || !model)
        return;
    canvas->fillRect(model->bounds(), CanvasPaint(Qt::white));
    // While an editor covers the comic only the two fills are made.
    if (!isVisible())
        return;
    ZDLContext context(*this);
    context.setSplit(split);
    canvas->save();
    if (m_showCurrentRow) {
        const auto panel = currentPanel();
        if (const ComicRow* row = panel ? panel->getTopLevelRowContainer() : nullptr) {
            CanvasPath quad;
            quad.moveTo(row->topLeft());
            quad.lineTo(row->topRight());
            quad.lineTo(row->bottomRight());
            quad.lineTo(row->bottomLeft());
            quad.close();
            canvas->fillPath(quad, CanvasPaint(kCurrentRowColor));
        }
    }
    model->drawIn(context, dirtyRect);
    canvas->restore();
    drawPasteboardOverlay();
}

void ComicView::drawDecorations(const QRectF& dirtyRect)
{
    BalloonEditingView::drawRect(dirtyRect);
}

bool ComicView::decorationsDrawNothing() const
{
    return !textEditing() && (!currentTool() || currentTool()->drawsNothing())
        && (!currentTracker() || currentTracker()->drawsNothing());
}

// --- Selection ---

void ComicView::undoableSetSelectionAndPanel(
    const ElementList& selection, const std::shared_ptr<ComicPanel>& panel, bool bothWays)
{
    ComicModel* model = comicModel();
    if (!model || !document())
        return;
    const ElementList recorded = bothWays ? selection : this->selection();
    const auto recordedPanel = bothWays ? panel : model->currentPanel();
    const QPointer<ComicView> self(this);
    document()->undoManager()->registerUndo(this, [self, recorded, recordedPanel, bothWays] {
        if (self)
            self->undoableSetSelectionAndPanel(recorded, recordedPanel, bothWays);
    });
    model->setCurrentPanel(panel);
    replaceSelection(selection);
}

void ComicView::undoableSetSelection(const ElementList& selection, const ObjectPtr& root, bool bothWays)
{
    if (!document())
        return;
    const ElementList recorded = bothWays ? selection : this->selection();
    const ObjectPtr recordedRoot = bothWays ? root : rootObject();
    const QPointer<ComicView> self(this);
    document()->undoManager()->registerUndo(this, [self, recorded, recordedRoot, bothWays] {
        if (self)
            self->undoableSetSelection(recorded, recordedRoot, bothWays);
    });
    // A selection recorded in another panel brings that panel back first.
    if (const auto* layer = dynamic_cast<const PanelLayer*>(root.get()); layer && layer->parent()) {
        if (ComicModel* model = comicModel())
            model->setCurrentPanel(
                std::dynamic_pointer_cast<ComicPanel>(layer->parent()->shared_from_this()));
    }
    if (root == rootObject())
        replaceSelection(selection);
}

Object* ComicView::selectedCharacter() const
{
    Object* found = nullptr;
    for (const ObjectPtr& object : selection()) {
        const auto* element = asProtocol<ComicElement>(object);
        Object* model = element ? element->model() : nullptr;
        if (!model)
            continue;
        if (found && found != model)
            return nullptr;
        found = model;
    }
    return found;
}

void ComicView::sizeAndPositionImportedImage(
    ImageElement& image, const ObjectPtr& parent, const QPointF& point)
{
    const auto* layer = dynamic_cast<const PanelLayer*>(parent.get());
    if (layer && layer->parent()) {
        const QRectF panel = layer->parent()->bounds();
        const QRectF bounds = image.getBounds();
        // Only an image larger both ways is fitted; one that is too large one way keeps its place.
        if (bounds.width() > panel.width() && bounds.height() > panel.height()) {
            image.fitInPanel(panel);
            return;
        }
    }
    BalloonEditingView::sizeAndPositionImportedImage(image, parent, point);
}

void ComicView::textEditingChanged()
{
    if (ComicDocument* document = comicDoc())
        document->updatePageControls();
}

// --- Right clicks ---

QMenu* ComicView::freeElementContextMenu()
{
    if (!m_freeElementContextMenu) {
        m_freeElementContextMenu = new QMenu(this);
        m_freeElementContextMenu->setObjectName(QStringLiteral("freeElementContextMenu"));
        MenuActions::add(
            m_freeElementContextMenu, localized("Edit Free Objects"), kEditFreeObjectsLayerAction);
        MenuActions::add(m_freeElementContextMenu, localized("Restrict to Panel"), kRestrictToPanelAction);
        // The object is known while the menu is up and until the item chosen from it has run.
        connect(m_freeElementContextMenu, &QMenu::aboutToHide, this, [this] {
            QMetaObject::invokeMethod(
                this, [this] { m_clickedFreeElement.reset(); }, Qt::QueuedConnection);
        });
    }
    return m_freeElementContextMenu;
}

void ComicView::rightMouseDown(const ZDLEvent& event, const QPoint& globalPos)
{
    setFocus(Qt::MouseFocusReason);
    ComicModel* model = comicModel();
    const auto& page = model ? model->currentPage() : nullptr;
    if (page && !model->editBackground() && !model->focusOnPanel()) {
        if (ObjectPtr hit = page->getChildAt(getMouseDocPoint(), viewScale())) {
            m_clickedFreeElement = std::move(hit);
            deselectAll();
            QMenu* menu = freeElementContextMenu();
            MenuActions::validateMenu(menu, QWidget::window());
            menu->popup(globalPos);
            return;
        }
    }
    BalloonEditingView::rightMouseDown(event, globalPos);
}

// --- Drags ---

std::shared_ptr<ComicPanel> ComicView::panelUnderDrag(const QPointF& point)
{
    ComicModel* model = comicModel();
    const auto panel = model ? model->getPanelAt(point) : nullptr;
    // Over the gutter beside a panel the drop is taken, but the current panel stays.
    if (panel && panel != model->currentPanel() && !model->focusOnPanel() && panel->frameContains(point))
        model->setCurrentPanel(panel);
    return panel;
}

void ComicView::dragMoveEvent(QDragMoveEvent* event)
{
    const Qt::DropAction operation = dragOperationFor(event->mimeData(), event->possibleActions());
    if (operation == Qt::IgnoreAction) {
        stopDragAutoscroll();
        answerDrag(event, operation);
        return;
    }
    // Scrolled first: the pointer then rests over what the drop would land in.
    autoscrollForDrag(event->position());
    const bool overPanel = panelUnderDrag(convertFromWidget(event->position())) != nullptr;
    answerDrag(event, overPanel ? operation : Qt::IgnoreAction);
}

void ComicView::dragScrolledUnder(const QPointF& documentPoint)
{
    panelUnderDrag(documentPoint);
}

void ComicView::dropEvent(QDropEvent* event)
{
    // The view may have scrolled under a resting drag since it was last answered.
    const ComicModel* model = comicModel();
    if (!model || !model->getPanelAt(convertFromWidget(event->position()))) {
        stopDragAutoscroll();
        event->ignore();
        return;
    }
    BalloonEditingView::dropEvent(event);
}

} // namespace zandrel
