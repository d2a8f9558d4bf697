#include "app/CharacterLibraryView.h"

#include "app/core/ActionNames.h"
#include "app/core/ActionTable.h"
#include "app/core/ComicDocument.h"
#include "app/core/LibraryParent.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "charmodel/PartAlias.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "comicmodel/ComicModel.h"
#include "graphics/ArrayUtils.h"
#include "graphics/ImageCache.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "tools/LibrarySelectionTool.h"
#include "views/ZDLScrollArea.h"

#include <QComboBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace zandrel {

namespace {

const QString kPartsExtension = QStringLiteral("parts");
const QColor kPlaceholderColor(0, 0, 0, 20);

// The part whose bitmap draws the element: the part itself, or the real part of an alias.
Part* partOf(const ObjectPtr& element)
{
    if (auto* alias = dynamic_cast<PartAlias*>(element.get()))
        return dynamic_cast<Part*>(alias->realPart().get());
    return dynamic_cast<Part*>(element.get());
}

CharacterLibraryView::DragRunner& dragRunner()
{
    static CharacterLibraryView::DragRunner runner
        = [](QDrag& drag) { return drag.exec(Qt::CopyAction, Qt::CopyAction); };
    return runner;
}

// Whole-character views of a character or of scenery.
QString wholeItemTitle(const CharacterLibraryItem* item)
{
    return item && item->partsKind() != 0 ? localized("All with Scenes") : localized("All with Poses");
}

} // namespace

CharacterLibraryView::CharacterLibraryView(QWidget* parent)
    : ZDLView(parent)
    , m_libraryTool(std::make_shared<LibrarySelectionTool>())
{
    setCurrentTool(m_libraryTool);
    setAcceptDrops(true);
    m_backgroundCachingTimer.setInterval(kBackgroundCacheIntervalMs);
    connect(&m_backgroundCachingTimer, &QTimer::timeout, this, [this] { backgroundCache(); });
    m_backgroundCachingTimer.start();
    m_previewTimer.setSingleShot(true);
    connect(&m_previewTimer, &QTimer::timeout, this, [this] {
        if (buildVisiblePreviews())
            schedulePreviews();
    });
}

CharacterLibraryView::~CharacterLibraryView() = default;

void CharacterLibraryView::setControls(
    QComboBox* viewPopup, QComboBox* scalePopup, QAbstractButton* editCharacterButton)
{
    m_viewPopup = viewPopup;
    m_scalePopup = scalePopup;
    m_editCharacterButton = editCharacterButton;
    if (viewPopup) {
        viewPopup->clear();
        viewPopup->addItem(wholeItemTitle(nullptr), CharacterLibraryItem::kWholeCharacter);
        viewPopup->addItem(localized("All Parts"), LibraryParent::kAllPartTypes);
        viewPopup->insertSeparator(kFixedViewItems - 1);
        connect(viewPopup, &QComboBox::activated, this, &CharacterLibraryView::viewPopupActivated);
    }
    if (scalePopup) {
        scalePopup->clear();
        for (const float scale : kViewScaleTable)
            scalePopup->addItem(scaleTitle(scale));
        m_scalePopupShowsCustomSize = false;
        connect(scalePopup, &QComboBox::activated, this, &CharacterLibraryView::scalePopupActivated);
    }
    if (editCharacterButton)
        connect(editCharacterButton, &QAbstractButton::clicked, this, [this] { editLibraryCharacter(); });
    setScalePopupValue(viewScale());
    rebuildViewPopup();
    updateControlsEnabled();
}

CharacterLibraryView* CharacterLibraryView::buildLibraryArea(
    QWidget* area, ComicDocument* document, QWidget* controlsBand)
{
    auto* column = new QVBoxLayout(area);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    QWidget* owner = controlsBand ? controlsBand : area;
    QLayout* bar = controlsBand ? controlsBand->layout() : nullptr;
    if (!bar) {
        auto* row = new QHBoxLayout;
        row->setContentsMargins(0, 0, 0, 0);
        if (controlsBand)
            controlsBand->setLayout(row);
        else
            column->addLayout(row);
        bar = row;
    }
    auto* viewPopup = new QComboBox(owner);
    viewPopup->setObjectName(QStringLiteral("libraryViewPopup"));
    // Its entries change with each character ("All with Scenes", the part types): the popup grows
    // to show the longest rather than keeping the width of the first it was shown with.
    viewPopup->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* edit = new QPushButton(localized("Edit"), owner);
    edit->setObjectName(QStringLiteral("libraryEditButton"));
    auto* scalePopup = new QComboBox(owner);
    scalePopup->setObjectName(QStringLiteral("libraryScalePopup"));
    bar->addWidget(viewPopup);
    bar->addWidget(edit);
    if (auto* box = qobject_cast<QBoxLayout*>(bar))
        box->addStretch(1);
    bar->addWidget(scalePopup);
    auto* view = new CharacterLibraryView;
    auto* scroll = new ZDLScrollArea(view, area);
    column->addWidget(scroll, 1);
    view->setComicDocument(document);
    view->setControls(viewPopup, scalePopup, edit);
    return view;
}

// --- What is shown ---

void CharacterLibraryView::setCurrentCharacter(const std::shared_ptr<CharacterLibraryItem>& item)
{
    if (item == m_currentCharacter)
        return;
    if (m_currentCharacter)
        m_currentCharacter->setScrollPoint(getCenterOfVisibleRect());
    m_currentCharacter = item;
    if (item) {
        const LibraryParentPtr& sheet = item->partAliasesParent();
        // The file was read again since the sheet was made: the sheet is made again from it.
        if (sheet && !sheet->showsCharacter(item->character().get()))
            item->setPartAliasesParent(LibraryParent::sheetOfType(item->character(), item->partType()));
        if (item->partAliasesParent())
            setRootObject(item->partAliasesParent());
        else
            setRootObject(item->character());
    } else {
        setRootObject(nullptr);
    }
    update();
    if (item) {
        setViewScale(item->viewScale());
        scrollToCenterDocPoint(item->scrollPoint());
    } else {
        setViewScale(1.0f);
        scrollToCenterDocPoint(QPointF(0, 0));
    }
    rebuildViewPopup();
    updateControlsEnabled();
}

void CharacterLibraryView::rebuildViewPopup()
{
    const CharacterLibraryItem* item = m_currentCharacter.get();
    if (m_editCharacterButton) {
        const bool editable = item
            && (item->fromCatalog() == CharacterLibraryItem::UserCatalog
                || item->fromCatalog() == CharacterLibraryItem::NotFromCatalog);
        m_editCharacterButton->setVisible(editable);
    }
    QComboBox* popup = m_viewPopup;
    if (!popup)
        return;
    while (popup->count() > kFixedViewItems)
        popup->removeItem(popup->count() - 1);
    popup->setItemText(0, wholeItemTitle(item));
    if (!item)
        return;
    if (const CharacterModelPtr character = m_currentCharacter->character()) {
        for (const int type : character->getPartTypesSorted())
            popup->addItem(Part::pluralNameForType(static_cast<PartType>(type)), type);
    }
    const int shown = item->partAliasesParent() ? popup->findData(item->partType()) : 0;
    popup->setCurrentIndex(std::max(shown, 0));
}

void CharacterLibraryView::updateControlsEnabled()
{
    const bool any = m_currentCharacter != nullptr;
    if (m_viewPopup)
        m_viewPopup->setEnabled(any);
    if (m_scalePopup)
        m_scalePopup->setEnabled(any);
}

void CharacterLibraryView::viewAllWithPoses()
{
    viewPartType(CharacterLibraryItem::kWholeCharacter);
}

void CharacterLibraryView::viewPartType(int partType)
{
    deselectAll();
    if (!m_currentCharacter)
        return;
    m_currentCharacter->setPartType(partType);
    if (partType == CharacterLibraryItem::kWholeCharacter) {
        m_currentCharacter->setPartAliasesParent(nullptr);
        setRootObject(m_currentCharacter->character());
    } else {
        const LibraryParentPtr sheet = LibraryParent::sheetOfType(m_currentCharacter->character(), partType);
        m_currentCharacter->setPartAliasesParent(sheet);
        setRootObject(sheet);
    }
    if (m_viewPopup) {
        const int index = m_viewPopup->findData(partType);
        if (index >= 0)
            m_viewPopup->setCurrentIndex(index);
    }
    update();
}

void CharacterLibraryView::viewPopupActivated(int index)
{
    if (!m_viewPopup || index < 0)
        return;
    bool ok = false;
    const int type = m_viewPopup->itemData(index).toInt(&ok);
    if (ok)
        viewPartType(type);
}

void CharacterLibraryView::editLibraryCharacter()
{
    if (m_currentCharacter)
        m_currentCharacter->openToEdit();
}

// --- Scale ---

void CharacterLibraryView::setViewScale(float scale)
{
    ZDLView::setViewScale(scale);
    if (m_currentCharacter)
        m_currentCharacter->setViewScale(viewScale());
    setScalePopupValue(viewScale());
    updateViewSize();
}

void CharacterLibraryView::setScalePopupValue(float scale)
{
    QComboBox* popup = m_scalePopup;
    if (!popup)
        return;
    if (m_scalePopupShowsCustomSize) {
        popup->removeItem(0);
        popup->removeItem(0);
        m_scalePopupShowsCustomSize = false;
    }
    const QString title = scaleTitle(scale);
    const int index = popup->findText(title);
    if (index >= 0) {
        popup->setCurrentIndex(index);
        return;
    }
    popup->insertItem(0, title);
    popup->insertSeparator(1);
    m_scalePopupShowsCustomSize = true;
    popup->setCurrentIndex(0);
}

void CharacterLibraryView::scalePopupActivated(int index)
{
    if (!m_scalePopup)
        return;
    const float scale = floatFromScaleMenuItem(m_scalePopup->itemText(index));
    if (scale <= 0.0f || scale == viewScale())
        return;
    const QPointF centre = getCenterForZoom();
    setViewScale(scale);
    scrollToCenterDocPoint(centre);
}

// --- Drawing and caching ---

QRectF CharacterLibraryView::getContentBounds() const
{
    if (!m_currentCharacter)
        return QRectF();
    if (const LibraryParentPtr& sheet = m_currentCharacter->partAliasesParent()) {
        const float before = sheet->savedLayoutWidth();
        sheet->arrangePartAliasesToFit(float((width() - kSheetWidthMargin) / viewScale()));
        // The aliases moved: what the view showed is stale.
        if (sheet->savedLayoutWidth() != before)
            const_cast<CharacterLibraryView*>(this)->update();
    }
    return ZDLView::getContentBounds();
}

bool CharacterLibraryView::backgroundCache()
{
    if (scalingViewInteractively())
        return false;
    const auto* root = asProtocol<Parent>(rootObject());
    if (!root)
        return false;
    const float scale = viewScale();
    for (const ObjectPtr& element : ArrayUtils::flattenComicElementsArray(root->children())) {
        if (auto* part = dynamic_cast<Part*>(element.get())) {
            if (part->cacheIfNeededAtScale(scale))
                return true;
        } else if (auto* alias = dynamic_cast<PartAlias*>(element.get())) {
            if (alias->cacheIfNeededAtScale(scale))
                return true;
        }
    }
    return false;
}

void CharacterLibraryView::drawRect(const QRectF& dirtyRect)
{
    Canvas* canvas = currentCanvas();
    if (!canvas)
        return;
    canvas->fillRect(viewBounds(), CanvasPaint(Qt::white));
    const auto* root = m_currentCharacter ? asProtocol<Parent>(rootObject()) : nullptr;
    if (root) {
        ZDLContext context(*this);
        bool pending = false;
        for (const ObjectPtr& child : root->children()) {
            auto* graphic = asProtocol<GraphicElement>(child);
            if (!graphic || !intersectsRect(graphic->getFilteredBounds(), dirtyRect))
                continue;
            if (previewReady(child)) {
                graphic->drawIn(context);
            } else {
                canvas->fillRect(graphic->getBounds(), CanvasPaint(kPlaceholderColor));
                pending = true;
            }
        }
        if (pending)
            schedulePreviews();
    }
    ZDLView::drawRect(dirtyRect);
}

bool CharacterLibraryView::previewReady(const ObjectPtr& element) const
{
    const Part* part = partOf(element);
    if (!part || !part->visible())
        return true;
    if (m_drawnDirectlyScale == viewScale() && m_drawnDirectly.contains(part))
        return true;
    const auto& cache = part->cachedImage();
    if (!cache)
        return false;
    // While the zoom changes any bitmap is stretched; a new one follows when it settles.
    if (scalingViewInteractively() && !cache->cache().isNull())
        return true;
    // Made at this scale, or found not worth keeping there.
    return cache->cachedScale() == viewScale() && (!cache->cache().isNull() || !cache->tryCaching());
}

void CharacterLibraryView::schedulePreviews()
{
    if (!m_previewTimer.isActive())
        m_previewTimer.start(0);
}

bool CharacterLibraryView::buildVisiblePreviews()
{
    const auto* root = m_currentCharacter ? asProtocol<Parent>(rootObject()) : nullptr;
    if (!root)
        return false;
    if (m_drawnDirectlyScale != viewScale()) {
        m_drawnDirectly.clear();
        m_drawnDirectlyScale = viewScale();
    }
    QElapsedTimer slice;
    slice.start();
    const QRectF visible = visibleRect();
    for (const ObjectPtr& child : root->children()) {
        auto* graphic = asProtocol<GraphicElement>(child);
        if (!graphic || previewReady(child) || !intersectsRect(graphic->getFilteredBounds(), visible))
            continue;
        if (slice.elapsed() >= kPreviewSliceMs)
            return true;
        Part* part = partOf(child);
        if (!part->cacheIfNeededAtScale(viewScale()) || !previewReady(child))
            m_drawnDirectly.insert(part);
        setNeedsDisplayInRect(graphic->getFilteredBounds());
    }
    return false;
}

// --- Drags ---

void CharacterLibraryView::setDragRunner(DragRunner runner)
{
    dragRunner()
        = runner ? std::move(runner) : [](QDrag& drag) { return drag.exec(Qt::CopyAction, Qt::CopyAction); };
}

Qt::DropAction CharacterLibraryView::beginDraggingSession(
    QMimeData* data, const QImage& image, const QPoint& hotSpot)
{
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    if (!image.isNull()) {
        drag->setPixmap(QPixmap::fromImage(image));
        drag->setHotSpot(hotSpot);
    }
    // The drag's loop may outlive the view (its window closing meanwhile); the drag goes with it.
    const QPointer<QDrag> running(drag);
    const Qt::DropAction result = dragRunner()(*drag);
    if (running)
        running->deleteLater();
    return result;
}

QStringList CharacterLibraryView::droppedPartsFiles(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).suffix().toLower() == kPartsExtension)
            paths.append(url.toLocalFile());
    }
    return paths;
}

void CharacterLibraryView::dragEnterEvent(QDragEnterEvent* event)
{
    if ((event->possibleActions() & Qt::LinkAction) && !droppedPartsFiles(event->mimeData()).isEmpty()) {
        event->setDropAction(Qt::LinkAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CharacterLibraryView::dragMoveEvent(QDragMoveEvent* event)
{
    dragEnterEvent(static_cast<QDragEnterEvent*>(event));
}

void CharacterLibraryView::dropEvent(QDropEvent* event)
{
    const QStringList paths = droppedPartsFiles(event->mimeData());
    for (const QString& path : paths) {
        if (m_characterFileOpener) {
            m_characterFileOpener(path);
        } else if (ComicModel* comic = m_comicDocument ? m_comicDocument->model().get() : nullptr) {
            if (const auto item = comic->getCharacterLibraryFromFile(path, true))
                setCurrentCharacter(item);
        }
    }
    event->setDropAction(Qt::LinkAction);
    event->accept();
}

// --- Hooks of the base ---

void CharacterLibraryView::documentClosing()
{
    m_backgroundCachingTimer.stop();
    m_previewTimer.stop();
    m_drawnDirectly.clear();
    if (m_scalePopup)
        m_scalePopup->clear();
    m_scalePopupShowsCustomSize = false;
    m_currentCharacter = nullptr;
    m_comicDocument = nullptr;
    ZDLView::documentClosing();
}

void CharacterLibraryView::tellAllGraphics(GraphicNotice notice, GraphicManipulator* object)
{
    if (!m_currentCharacter)
        return;
    if (const CharacterModelPtr character = m_currentCharacter->character())
        character->tellAllGraphics(notice, object);
}

const ActionTable<CharacterLibraryView>& CharacterLibraryView::actionTable()
{
    static const auto withoutCharacter = [](CharacterLibraryView& view) { return !view.m_currentCharacter; };
    static const auto off = [](const QString& action) {
        return ActionRule<CharacterLibraryView> { .action = action,
            .validate = neverEnabled<CharacterLibraryView>,
            .validateToolbarItem = neverEnabled<CharacterLibraryView>,
            .applies = withoutCharacter };
    };
    static const ActionTable<CharacterLibraryView> table { off(kSelectAllAction), off(kZoomInAction),
        off(kZoomOutAction), off(kToggleZoomAction), off(kActualSizeAction) };
    return table;
}

bool CharacterLibraryView::validateMenuItem(MenuItemValidation& item)
{
    return actionTable().validate(*this, item) || ZDLView::validateMenuItem(item);
}

} // namespace zandrel
