// The part elements view: its links, drawing over the part's context, content bounds and the
// clipboard. The commands are in PartElementsViewCommands.cpp.
#include "views/PartElementsView.h"

#include "app/AppController.h"
#include "app/Pasteboard.h"
#include "app/core/ComicDocument.h"
#include "app/core/ModalAlert.h"
#include "app/core/PasteboardParent.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/DocumentSettings.h"
#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "charmodel/PartGroup.h"
#include "charmodel/PartPath.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPage.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/Group.h"
#include "graphics/ArrayUtils.h"
#include "graphics/Fill.h"
#include "graphics/ImageCache.h"
#include "graphics/PathBuilders.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"

#include <QMenu>
#include <QPointer>

namespace zandrel {

namespace {

// The background styles of the document settings.
constexpr int kCheckerboardBackground = 1;
constexpr int kContextBackground = 2;

constexpr float kCheckerboardCell = 8.0f;
// An imported image fits into a square of this side around the drop point.
constexpr float kImportedImageSide = 150.0f;
// The shapes that wash out what lies outside reach this far beyond the view.
constexpr double kOutsideMargin = 2.0;

// The checkerboard is lighter behind a compound path, whose own fill shows over it.
const QColor& checkerLight(bool behindPath)
{
    static const QColor path = QColor::fromRgbF(1.0f, 1.0f, 1.0f);
    static const QColor other = QColor::fromRgbF(0.88f, 0.88f, 0.88f);
    return behindPath ? path : other;
}

const QColor& checkerDark(bool behindPath)
{
    static const QColor path = QColor::fromRgbF(0.8f, 0.8f, 0.8f);
    static const QColor other = QColor::fromRgbF(0.77f, 0.77f, 0.77f);
    return behindPath ? path : other;
}

// The dimming hatch over the context.
const QColor kHatchA = QColor::fromRgbF(0.75f, 0.75f, 0.75f, 0.6f);
const QColor kHatchB = QColor::fromRgbF(0.6f, 0.6f, 0.6f, 0.6f);
// The current panel's outside and its edge.
const QColor kPanelOutside = QColor::fromRgbF(0, 0, 0, 0.2f);
// Outside a compound path being edited: darkened, then whitened, and its outline green.
const QColor kPathOutsideDark = QColor::fromRgbF(0, 0, 0, 0.15f);
const QColor kPathOutsideLight = QColor::fromRgbF(1, 1, 1, 0.45f);
const QColor kPathOutline = QColor::fromRgbF(0.24f, 0.71f, 0.24f);

} // namespace

PartElementsView::PartElementsView(ZDLDocument* document, QWidget* parent)
    : ZDLEditingView(document, parent)
{
    setObjectName(QStringLiteral("partElementsView"));
    // The zoom the part editor was left at, kept with the file.
    if (const auto settings = document ? document->documentSettings() : nullptr)
        ZDLView::setViewScale(settings->partEditingViewScale());
    // Parts are drawn about their own origin: what lies left of or above it must be reachable, and
    // the room left around the content lets any of it be scrolled to the middle.
    setKeepsNegativeSpace(true);
    NotificationCenter::defaultCenter().addObserver(
        this, kFlushAllCachesUsingColorNotification, nullptr, [this](const Notification& notification) {
            const auto* model
                = m_currentPart ? dynamic_cast<const CharacterModel*>(m_currentPart->model()) : nullptr;
            if (model && notification.object == static_cast<const void*>(model)) {
                dropImageCache();
                rebuildStyleMenu();
            }
        });
}

PartElementsView::~PartElementsView()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

void PartElementsView::documentClosing()
{
    ZDLEditingView::documentClosing();
    NotificationCenter::defaultCenter().removeObserver(this);
    m_editor = nullptr;
    m_comicView = nullptr;
    m_currentPart.reset();
    m_imageCache.reset();
}

void PartElementsView::setRootObject(const ObjectPtr& root)
{
    if (root != rootObject())
        dropImageCache();
    ZDLEditingView::setRootObject(root);
    std::shared_ptr<Part> part = std::dynamic_pointer_cast<Part>(root);
    if (!part && root) {
        if (auto* ancestor = ArrayUtils::getAncestorOfClass<Part>(root.get()))
            part = std::static_pointer_cast<Part>(ancestor->shared_from_this());
    }
    setCurrentPart(part);
}

void PartElementsView::setCurrentPart(const std::shared_ptr<Part>& part)
{
    if (part == m_currentPart)
        return;
    // The part was hidden or drawn differently here; the other views show it again as it is.
    if (m_currentPart && document())
        document()->updateViewsRect(m_currentPart->getInvalidationBounds(), true);
    m_currentPart = part;
}

void PartElementsView::setViewScale(float scale)
{
    if (scale != viewScale())
        dropImageCache();
    ZDLEditingView::setViewScale(scale);
    // Kept with the file, so that the editor opens as it was left.
    if (const auto settings = document() ? document()->documentSettings() : nullptr)
        settings->setPartEditingViewScale(viewScale());
}

void PartElementsView::dropImageCache()
{
    m_imageCache.reset();
}

std::shared_ptr<CharacterModel> PartElementsView::editorModel() const
{
    if (m_editor && m_editor->model())
        return m_editor->model();
    return document() ? document()->currentCharacter() : nullptr;
}

void PartElementsView::rebuildStyleMenu() const
{
    const auto model = editorModel();
    AppController* controller = AppController::shared();
    if (model && controller)
        AppController::setupStyleMenuWithStyles(controller->contextualStyleMenu(), model->styles());
}

ObjectPtr PartElementsView::createPathWith(const std::shared_ptr<Curve>& curve)
{
    auto path = std::make_shared<PartPath>();
    if (curve)
        path->setSegments({ curve });
    if (const auto character = document() ? document()->currentCharacter() : nullptr)
        character->setDefaultAttributesIn(*path);
    return path;
}

void PartElementsView::setToDefaultTool()
{
    if (m_editor)
        m_editor->setCurrentTool(0);
}

void PartElementsView::setToReshapingTool()
{
    if (m_editor)
        m_editor->setCurrentTool(1);
}

void PartElementsView::sizeAndPositionImportedImage(
    ImageElement& image, const ObjectPtr&, const QPointF& point)
{
    image.fitToSize(kImportedImageSide, point);
}

void PartElementsView::scrollToCenterRoot()
{
    const ObjectPtr root = rootObject();
    const auto* container = asProtocol<Parent>(root);
    if (const auto* path = dynamic_cast<const PartPath*>(root.get()); path && path->numSegments() > 0)
        scrollToCenterDocPoint(path->getBoundsIgnoringVisibility().center());
    else if (container && container->numChildren() > 0)
        scrollToCenterDocPoint(ArrayUtils::getElementsCenter(container->children()));
    else if (const auto comic = comicDoc() ? comicDoc()->model() : nullptr; comic && comic->currentPanel())
        scrollToCenterDocPoint(comic->currentPanel()->getBounds().center());
    else if (characterDoc())
        // A character's parts, its thumbnail frame and its catalog picture lie right of and below
        // the origin: a new part starts there, with the origin at the top-left of the editor.
        scrollDocPointToViewport(QPointF(0, 0), QPointF(0, 0));
    else
        scrollToCenterDocPoint(QPointF(0, 0));
}

bool PartElementsView::anyHidden() const
{
    const auto* root = asProtocol<Parent>(rootObject());
    if (!root)
        return false;
    for (const ObjectPtr& child : root->children()) {
        const auto* graphic = asProtocol<GraphicElement>(child);
        if (graphic && !graphic->visible())
            return true;
    }
    return false;
}

bool PartElementsView::allSelectedAreCompoundPaths() const
{
    for (const ObjectPtr& object : selection()) {
        const auto* path = dynamic_cast<const PartPath*>(object.get());
        if (!path || path->numSegments() < 2)
            return false;
    }
    return true;
}

// --- Content bounds ---

QRectF PartElementsView::getContentBounds() const
{
    // What the elements draw, so that a thick outline's mitres are never cut at an edge.
    QRectF bounds = getDrawnContentBounds();
    // Room to scroll any of the content to any edge of the visible area.
    const QWidget* viewport = parentWidget();
    const QSizeF visible = viewport ? QSizeF(viewport->size()) / double(viewScale()) : QSizeF();
    const double dx = std::max(0.0, visible.width() - bounds.width());
    const double dy = std::max(0.0, visible.height() - bounds.height());
    bounds = bounds.adjusted(-dx, -dy, dx, dy);
    const auto settings = document() ? document()->documentSettings() : nullptr;
    const bool context = settings && settings->backgroundStyle() == kContextBackground;
    if (characterDoc()) {
        if (const auto model = characterDoc()->model()) {
            bounds = unionRect(bounds, model->getTracingImageBounds());
            if (context)
                bounds = unionRect(bounds, model->getBounds());
        }
    } else if (const auto comic = comicDoc() ? comicDoc()->model() : nullptr) {
        if (context)
            bounds = unionRect(bounds, comic->bounds());
        else if (comic->currentPanel())
            bounds = unionRect(bounds, comic->currentPanel()->getBounds());
    }
    return bounds;
}

// --- Drawing ---

void PartElementsView::drawRect(const QRectF& dirtyRect)
{
    Canvas* canvas = currentCanvas();
    if (!canvas)
        return;
    canvas->fillRect(dirtyRect, CanvasPaint(Qt::white));
    if (!isVisible())
        return;
    canvas->save();
    const auto* rootPath = dynamic_cast<const PartPath*>(rootObject().get());
    const CanvasPath outline = rootPath ? rootPath->createCGPath() : CanvasPath();
    ZDLContext context(*this);
    const auto settings = document() ? document()->documentSettings() : nullptr;
    const int style = settings ? settings->backgroundStyle() : 0;
    if (style == kContextBackground) {
        drawContextBackground(context, dirtyRect);
    } else if (style == kCheckerboardBackground) {
        fillRectWithCheckerboard(
            canvas, checkerLight(rootPath), checkerDark(rootPath), viewBounds(), kCheckerboardCell);
    }
    if (rootPath && rootPath->fill() && !rootPath->fill()->isNone() && rootPath->fillAlpha() > 0) {
        canvas->save();
        canvas->setAlpha(rootPath->fillAlpha());
        rootPath->fill()->fillCGPath(outline);
        canvas->restore();
    }
    // Every blur is drawn while a part is edited, however small.
    context.setBlurThreshold(0);
    if (const auto* root = asProtocol<Parent>(rootObject()))
        ArrayUtils::drawPartElements(root->children(), context);
    if (comicDoc())
        framePanel();
    else if (characterDoc() && characterDoc()->model())
        characterDoc()->model()->drawTracingImageIn(*canvas);
    if (rootPath)
        washOutsideRootPath(outline);
    ZDLEditingView::drawRect(dirtyRect);
    canvas->restore();
}

void PartElementsView::drawContextBackground(ZDLContext& context, const QRectF& dirtyRect)
{
    // The part itself is drawn on top, at full strength: here it would only be dimmed twice.
    if (m_currentPart)
        m_currentPart->setVisible(false);
    if (const auto comic = comicDoc() ? comicDoc()->model() : nullptr) {
        if (comic->currentPage())
            comic->currentPage()->drawIn(context, dirtyRect);
    } else if (const auto model = characterDoc() ? characterDoc()->model() : nullptr) {
        model->drawIn(context, dirtyRect);
    }
    if (m_currentPart)
        m_currentPart->setVisible(true);
    if (m_currentPart && rootObject() != m_currentPart)
        drawRestOfPart(context);
    fillRectWithHatchPattern(context.canvas(), kHatchA, kHatchB, viewBounds());
}

void PartElementsView::drawRestOfPart(ZDLContext& context)
{
    if (!m_imageCache)
        m_imageCache = std::make_shared<ImageCache>();
    const ObjectPtr root = rootObject();
    auto* path = dynamic_cast<PartPath*>(root.get());
    auto* graphic = asProtocol<GraphicElement>(root);
    // A compound path hides only its contents: its outline is part of the rest.
    if (path)
        path->setContentVisible(false);
    else if (graphic)
        graphic->setVisible(false);
    m_imageCache->drawAndOrCache(m_currentPart->children(), context);
    if (path)
        path->setContentVisible(true);
    else if (graphic)
        graphic->setVisible(true);
}

void PartElementsView::framePanel()
{
    const auto comic = comicDoc() ? comicDoc()->model() : nullptr;
    const auto panel = comic ? comic->currentPanel() : nullptr;
    Canvas* canvas = currentCanvas();
    if (!panel || !canvas)
        return;
    CanvasPath frame = panel->panelFramePath();
    frame.addRect(insetRect(viewBounds(), -kOutsideMargin, -kOutsideMargin));
    frame.setWindingRule(WindingRule::EvenOdd);
    frame.setLineWidth(1.0);
    canvas->save();
    canvas->fillPath(frame, CanvasPaint(kPanelOutside));
    canvas->strokePath(frame, CanvasPaint(Qt::black));
    canvas->restore();
}

void PartElementsView::washOutsideRootPath(CanvasPath rootPath)
{
    Canvas* canvas = currentCanvas();
    if (!canvas)
        return;
    rootPath.addRect(insetRect(viewBounds(), -kOutsideMargin, -kOutsideMargin));
    rootPath.setWindingRule(WindingRule::EvenOdd);
    rootPath.setLineWidth(1.0 / viewScale());
    canvas->save();
    canvas->fillPath(rootPath, CanvasPaint(kPathOutsideDark));
    canvas->fillPath(rootPath, CanvasPaint(kPathOutsideLight));
    canvas->strokePath(rootPath, CanvasPaint(kPathOutline));
    canvas->restore();
}

// --- Clipboard ---

void PartElementsView::copyToClipboard()
{
    const PasteboardParentPtr payload = PasteboardParent::initWithChildren(getSelectionSorted());
    if (const auto model = editorModel())
        payload->setCharacterId(model->characterId());
    Pasteboard::writePayload(payload);
}

void PartElementsView::insertFromScrap(const std::shared_ptr<PasteboardParent>& payload)
{
    if (!payload || payload->children().isEmpty())
        return;
    const auto model = editorModel();
    const QString ownId = model ? model->characterId() : QString();
    ElementList taken;
    bool fromThisFile = true;
    for (const ObjectPtr& child : payload->children()) {
        if (dynamic_cast<const PartElement*>(child.get())) {
            fromThisFile
                = fromThisFile && (payload->characterId().isEmpty() || payload->characterId() == ownId);
            taken.append(child);
        } else if (auto* image = dynamic_cast<ImageElement*>(child.get())) {
            image->stripIdentity();
            taken.append(child);
        } else if (auto* part = dynamic_cast<Part*>(child.get())) {
            fromThisFile = fromThisFile && (!model || model->pastedPartsAreFromThisCharacter({ child }));
            if (ObjectPtr element = part->convertToPartElement())
                taken.append(element);
        } else if (const auto* group = dynamic_cast<const Group*>(child.get())) {
            fromThisFile = fromThisFile
                && (!model
                    || model->pastedPartsAreFromThisCharacter(
                        ArrayUtils::flattenComicElementsArray(group->children())));
            if (auto converted = group->convertToPartGroup())
                taken.append(converted);
        }
    }
    if (taken.isEmpty())
        return;
    if (fromThisFile) {
        insertPartElements(taken);
        return;
    }
    ModalAlert alert;
    alert.message = localized(
        "The clipboard contains objects that were copied from a different parts file than this part.");
    alert.informativeText = localized("Colors may change in the pasted parts, and colors from the other "
                                      "parts file will be merged into this part's colors.");
    alert.buttons = { localized("Paste"), localized("Cancel") };
    const QPointer<PartElementsView> self(this);
    appController()->showAlert(alert, QWidget::window(), [self, taken](int answer) {
        if (self && answer == ModalAlert::kFirstButton)
            self->insertPartElements(taken);
    });
}

void PartElementsView::insertPartElements(const ElementList& elements)
{
    const auto* root = asProtocol<Parent>(rootObject());
    if (!root || !document() || elements.isEmpty())
        return;
    if (const auto model = editorModel()) {
        for (const ObjectPtr& element : elements)
            model->mergePastedColorsIn(element);
    }
    document()->undoableSetChildren(root->children() + elements, rootObject());
    undoableSetSelection(elements, false);
    // Named after the command, as pasting into the other views is.
    document()->undoManager()->setActionName(localized("Paste"));
    if (m_editor)
        m_editor->checkToAddOrDeleteCurrentPart();
}

} // namespace zandrel
