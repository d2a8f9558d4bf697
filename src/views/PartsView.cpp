// The parts view: what it shows, how it draws and caches, and how it follows its document. Its
// commands and their validation are in PartsViewCommands.cpp.
#include "views/PartsView.h"

#include "app/core/CharacterDocument.h"
#include "app/core/LibraryParent.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/DocumentSettings.h"
#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "charmodel/PartAlias.h"
#include "comicmodel/Balloon.h"
#include "graphics/ArrayUtils.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/UndoManager.h"
#include "tools/ComicSelectionTool.h"
#include "tools/ThumbnailEditingTool.h"

#include <QSet>

namespace zandrel {

namespace {

// Parts stay reachable by scrolling this many screen points beyond their edges.
constexpr double kContentMargin = 14.0;
// The sheet of one type keeps this many screen points clear of the window's width (its scroll bar).
constexpr double kSheetMargin = 16.0;
// An imported image fits this many units both ways, centred where it was dropped.
constexpr float kImportedImageSize = 300.0f;

} // namespace

PartsView::PartsView(CharacterDocument* document, QWidget* parent)
    : BalloonEditingView(document, parent)
    , m_characterDocument(document)
{
    setObjectName(QStringLiteral("partsView"));
    setFocusPolicy(Qt::StrongFocus);
    m_selectionTool = std::make_shared<ComicSelectionTool>();
    m_thumbnailTool = std::make_shared<ThumbnailEditingTool>();
    // Selected parts without a type are framed in their own colour, so that they are noticed.
    m_selectionTool->setPartsViewSpecialColoring(true);
    setCurrentTool(m_selectionTool);
    // The right button selects under the pointer, so that the contextual menu acts on it.
    setRightClickTool(std::make_shared<SelectionTool>());
    // A part drawn left of or above the origin in the part editor is still there to be seen,
    // selected and edited.
    setReachesNegativeContent(true);
    if (const auto settings = document ? document->documentSettings() : nullptr)
        ZDLView::setViewScale(settings->mainViewScale());
    showModel();
    observeDocument();
    // On the interface thread, as all drawing for the screen: one part per tick keeps each short.
    m_backgroundCachingTimer.setInterval(kBackgroundCachingInterval);
    connect(&m_backgroundCachingTimer, &QTimer::timeout, this, [this] { backgroundCache(); });
    m_backgroundCachingTimer.start();
}

PartsView::~PartsView()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

CharacterModel* PartsView::model() const
{
    return m_characterDocument ? m_characterDocument->model().get() : nullptr;
}

void PartsView::observeDocument()
{
    if (!m_characterDocument)
        return;
    auto& center = NotificationCenter::defaultCenter();
    // A revert installs a new model: the view shows all of it.
    center.addObserver(
        this, kUpdateDocumentViewsNotification, m_characterDocument, [this](const Notification&) {
            if (model() && model() != m_shownModel)
                showModel();
        });
    // An undone or redone change of the character's parts changes what the sheet shows.
    UndoManager* undoManager = m_characterDocument->undoManager();
    connect(undoManager, &UndoManager::didUndo, this, &PartsView::rebuildSortedView);
    connect(undoManager, &UndoManager::didRedo, this, &PartsView::rebuildSortedView);
    center.addObserver(
        this, kModelPropertyChangeNotification, m_characterDocument, [this](const Notification& note) {
            // The name is asked for whenever it is shown; the bar of levels shows it too.
            if (note.userInfo.value(kPropertyKey).toString() == CharacterModel::kCharacterNameKey)
                update();
        });
    center.addObserver(
        this, kPropertyChangedNotification, m_characterDocument, [this](const Notification& note) {
            if (note.userInfo.value(kPropertyKey).toString() == ComicGraphicElementState::kPartTypeKey)
                rebuildSortedView();
        });
}

void PartsView::modeChanged()
{
    // The window validates its toolbar items again, as after a change of selection.
    NotificationCenter::defaultCenter().post(kUpdateViewSelectionNotification, this);
}

void PartsView::showModel()
{
    const bool typeShown = m_viewPartType >= 0;
    deselectAll();
    m_partAliasesParent.reset();
    m_viewPartType = -1;
    if (auto* tool = dynamic_cast<SelectionTool*>(m_selectionTool.get()))
        tool->setAllowEditing(true);
    m_shownModel = model();
    setRootObject(m_characterDocument ? m_characterDocument->model() : nullptr);
    updateViewSize();
    update();
    modeChanged();
    if (typeShown)
        emit viewPartTypeChanged(-1);
}

QString PartsView::contentName() const
{
    const CharacterModel* character = model();
    const QString name = character ? character->characterName() : QString();
    return name.isEmpty() ? localized("Unnamed Character") : name;
}

void PartsView::documentClosing()
{
    m_backgroundCachingTimer.stop();
    m_partAliasesParent.reset();
    BalloonEditingView::documentClosing();
    m_selectionTool.reset();
    m_thumbnailTool.reset();
    m_characterDocument = nullptr;
}

void PartsView::setViewScale(float scale)
{
    if (scale == viewScale())
        return;
    BalloonEditingView::setViewScale(scale);
    if (const auto settings = document() ? document()->documentSettings() : nullptr)
        settings->setMainViewScale(viewScale());
}

// --- What is shown ---

void PartsView::viewSelectedType(int partType)
{
    if (!model())
        return;
    deselectAll();
    const auto sheet = LibraryParent::sheetOfType(m_characterDocument->model(), partType);
    m_partAliasesParent = sheet;
    m_viewPartType = partType;
    setRootObject(sheet);
    // Aliases are picked and looked at, not moved or reshaped.
    if (auto* tool = dynamic_cast<SelectionTool*>(m_selectionTool.get()))
        tool->setAllowEditing(false);
    updateViewSize();
    update();
    modeChanged();
    emit viewPartTypeChanged(partType);
}

void PartsView::viewAllWithPoses()
{
    if (m_viewPartType < 0)
        return;
    showModel();
}

void PartsView::rebuildSortedView()
{
    CharacterModel* character = model();
    if (!m_partAliasesParent || !character)
        return;
    QSet<const Object*> selectedParts;
    for (const ObjectPtr& selected : selection()) {
        if (const auto* alias = dynamic_cast<const PartAlias*>(selected.get()))
            selectedParts.insert(alias->realPart().get());
    }
    deselectAll();
    m_partAliasesParent->setChildren(character->getPartAliasesOfType(m_viewPartType));
    for (const ObjectPtr& child : m_partAliasesParent->children()) {
        const auto* alias = dynamic_cast<const PartAlias*>(child.get());
        if (alias && selectedParts.contains(alias->realPart().get()))
            select(child, false);
    }
    // Lays the sheet out again for its new children.
    updateViewSize();
    update();
}

void PartsView::reenterAfterEditing()
{
    rebuildSortedView();
}

QRectF PartsView::getContentBounds() const
{
    const double scale = viewScale();
    if (m_partAliasesParent) {
        const QWidget* frame = parentWidget();
        const double available = (frame ? frame->width() : width()) - kSheetMargin;
        m_partAliasesParent->arrangePartAliasesToFit(float(available / scale));
    }
    // What the parts draw, outlines, their joins and blurs included, so that every edge of it can
    // be scrolled to: their geometry alone would cut a thick outline off at the view's edges.
    QRectF bounds = getDrawnContentBounds();
    const CharacterModel* character = model();
    if (m_partAliasesParent || !character)
        return bounds;
    const double margin = kContentMargin / scale;
    if (!isEmptyRect(bounds)) {
        // The margin reaches past the origin only beside parts whose drawing already does: parts
        // near it are not worth scroll bars.
        const QRectF parts = bounds;
        bounds = insetRect(bounds, -margin, -margin);
        if (parts.left() >= 0)
            bounds.setLeft(std::max(bounds.left(), 0.0));
        if (parts.top() >= 0)
            bounds.setTop(std::max(bounds.top(), 0.0));
    }
    // The tracing image and the thumbnail's frame can always be scrolled to.
    bounds = unionRect(bounds, character->getTracingImageBounds());
    return unionRect(bounds, character->thumbnailRect());
}

// --- Thumbnail editor ---

bool PartsView::thumbnailEditing() const
{
    return m_thumbnailTool && currentTool() == m_thumbnailTool.get();
}

void PartsView::toggleThumbnailEditor()
{
    if (thumbnailEditing()) {
        setCurrentTool(m_selectionTool);
        if (m_characterDocument)
            m_characterDocument->hideNavigation();
    } else if (const CharacterModel* character = model()) {
        setCurrentTool(m_thumbnailTool);
        if (m_characterDocument)
            m_characterDocument->showNavigationForMode(localized("Thumbnail editor"));
        scrollRectToVisible(character->thumbnailRect());
    }
    update();
    modeChanged();
}

void PartsView::exitMode()
{
    if (thumbnailEditing())
        toggleThumbnailEditor();
}

// --- Drawing and caching ---

void PartsView::drawRect(const QRectF& dirtyRect)
{
    Canvas* canvas = currentCanvas();
    if (!canvas)
        return;
    canvas->fillRect(dirtyRect, CanvasPaint(Qt::white));
    ZDLContext context(*this);
    if (const auto* root = asProtocol<Parent>(rootObject())) {
        // A copy: drawing may flush caches, which must not disturb the walk.
        const ElementList children = root->children();
        for (const ObjectPtr& child : children) {
            auto* graphic = asProtocol<GraphicElement>(child);
            if (graphic && intersectsRect(graphic->getInvalidationBounds(), dirtyRect))
                graphic->drawIn(context);
        }
    }
    if (!m_partAliasesParent) {
        if (const CharacterModel* character = model())
            character->drawTracingImageIn(*canvas);
        drawPasteboardOverlay();
    }
    BalloonEditingView::drawRect(dirtyRect);
}

bool PartsView::backgroundCache()
{
    if (scalingViewInteractively())
        return false;
    const auto* root = asProtocol<Parent>(rootObject());
    if (!root)
        return false;
    for (const ObjectPtr& element : ArrayUtils::flattenComicElementsArray(root->children())) {
        auto* part = dynamic_cast<Part*>(element.get());
        if (part && part->cacheIfNeededAtScale(viewScale()))
            return true;
    }
    return false;
}

// --- Editing hooks ---

void PartsView::doEditObject(const ObjectPtr& object)
{
    if (dynamic_cast<const Balloon*>(object.get()) && !canEditBalloon())
        return;
    BalloonEditingView::doEditObject(object);
}

void PartsView::sizeAndPositionImportedImage(ImageElement& image, const ObjectPtr&, const QPointF& point)
{
    image.fitToSize(kImportedImageSize, point);
}

bool PartsView::performKeyEquivalent(const ZDLEvent& event)
{
    if (event.key == Qt::Key_Escape && thumbnailEditing()) {
        exitMode();
        return true;
    }
    if (m_partAliasesParent || thumbnailEditing())
        return false;
    return BalloonEditingView::performKeyEquivalent(event);
}

} // namespace zandrel
