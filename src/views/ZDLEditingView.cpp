// The editing view base: its document, undoable selections and children, the clipboard, keys and
// validation. The arranging, flipping and merging commands are in ZDLEditingViewCommands.cpp.
#include "views/ZDLEditingView.h"

#include "app/Pasteboard.h"
#include "app/core/ActionNames.h"
#include "app/core/ActionTable.h"
#include "app/core/ComicDocument.h"
#include "app/core/DocumentDialogs.h"
#include "app/core/DocumentHost.h"
#include "app/core/EditorContainer.h"
#include "charmodel/DocumentSettings.h"
#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "charmodel/PartAlias.h"
#include "charmodel/PartElement.h"
#include "charmodel/PartGroup.h"
#include "charmodel/PartPath.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/Group.h"
#include "graphics/ArrayUtils.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "tools/ZDLTool.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>

namespace zandrel {

namespace {

// An imported image is shrunk, never enlarged, to fit this many points both ways.
constexpr float kImportedImageSize = 200.0f;
// The editor tool a new part starts with: the pen.
constexpr int kPenToolIndex = 3;

} // namespace

ZDLEditingView::ZDLEditingView(ZDLDocument* document, QWidget* parent)
    : ZDLView(parent)
    , m_document(document)
    , m_comicDoc(dynamic_cast<ComicDocument*>(document))
    , m_characterDoc(dynamic_cast<CharacterDocument*>(document))
{
    // Which drags are taken is each view's answer to acceptsImages and acceptsLibraryDrags.
    setAcceptDrops(true);
    auto& center = NotificationCenter::defaultCenter();
    center.addObserver(this, kUpdateDocumentViewsNotification, document,
        [this](const Notification& notification) { updateView(notification); });
    center.addObserver(
        this, kDocumentClosingNotification, document, [this](const Notification&) { documentClosing(); });
}

ZDLEditingView::~ZDLEditingView()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    if (m_document)
        m_document->undoManager()->removeAllActionsWithTarget(this);
}

void ZDLEditingView::documentClosing()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    ZDLView::documentClosing();
    m_characterDoc = nullptr;
    m_comicDoc = nullptr;
    m_document = nullptr;
}

void ZDLEditingView::tellAllGraphics(GraphicNotice notice, GraphicManipulator* object)
{
    if (m_document)
        m_document->tellAllGraphics(notice, object);
}

void ZDLEditingView::setViewScale(float scale)
{
    ZDLView::setViewScale(scale);
    if (m_document && m_document->host() && isVisible())
        m_document->host()->setScalePopupValue(viewScale());
}

QPointF ZDLEditingView::getCenterForZoom() const
{
    const ElementList selected = selection();
    if (!selected.isEmpty())
        return ArrayUtils::getElementsCenter(selected);
    const ObjectPtr root = rootObject();
    if (const auto* container = asProtocol<Parent>(root); container && container->numChildren() > 0)
        return ArrayUtils::getElementsCenter(container->children());
    if (const auto* path = dynamic_cast<const PartPath*>(root.get()))
        return path->getBoundsIgnoringVisibility().center();
    return getCenterOfVisibleRect();
}

// --- Undoable view state ---

void ZDLEditingView::undoableSetSelection(const ElementList& selection, const ObjectPtr& root, bool bothWays)
{
    if (m_document) {
        const ElementList recorded = bothWays ? selection : this->selection();
        const QPointer<ZDLEditingView> self(this);
        m_document->undoManager()->registerUndo(this, [self, recorded, root, bothWays] {
            if (self)
                self->undoableSetSelection(recorded, root, bothWays);
        });
    }
    setSelectionFromUndo(selection, root);
}

void ZDLEditingView::undoableSetSelection(const ElementList& selection, bool bothWays)
{
    undoableSetSelection(selection, rootObject(), bothWays);
}

void ZDLEditingView::setSelectionFromUndo(const ElementList& selection, const ObjectPtr& root)
{
    // A view that shows another root meanwhile keeps its own selection.
    if (root == rootObject())
        replaceSelection(selection);
}

void ZDLEditingView::undoableSetChildren(const ElementList& children, const ObjectPtr& parent,
    const ElementList& selection, const ElementList& oldSelection)
{
    auto* container = asProtocol<Parent>(parent);
    if (!container || !m_document)
        return;
    const ElementList oldChildren = container->children();
    const QPointer<ZDLEditingView> self(this);
    m_document->undoManager()->registerUndo(this, [self, oldChildren, parent, oldSelection, selection] {
        if (self)
            self->undoableSetChildren(oldChildren, parent, oldSelection, selection);
    });
    const auto announce = [this](const ObjectPtr& object, bool after) {
        const auto* source = asProtocol<InvalidationBoundsSource>(object);
        if (source)
            m_document->updateViewsRect(source->getInvalidationBounds(), after);
        return source != nullptr;
    };
    for (const ObjectPtr& child : oldChildren) {
        if (children.contains(child))
            continue;
        if (auto* graphic = asProtocol<GraphicElement>(child))
            graphic->notifyAllGraphicsOf(GraphicNotice::ParentChanged, nullptr);
        announce(child, false);
    }
    for (const ObjectPtr& child : children) {
        if (!oldChildren.contains(child))
            announce(child, false);
    }
    announce(parent, false);
    container->setChildren(children);
    if (parent == rootObject())
        setSelection(selection);
    if (!announce(parent, true))
        m_document->updateViews();
}

// --- Clipboard ---

void ZDLEditingView::copyToClipboard()
{
    Pasteboard::writePayload(PasteboardParent::initWithChildren(getSelectionSorted()));
}

void ZDLEditingView::copy()
{
    copyToClipboard();
}

void ZDLEditingView::cut()
{
    copyToClipboard();
    deleteSelection();
}

void ZDLEditingView::paste()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data)
        return;
    // Another program's picture goes where an imported image goes; our objects are never taken
    // as their own renderings.
    if (!data->hasFormat(PasteboardParent::objectsMimeType())) {
        if (acceptsImages() && hasPictureData(data))
            insertPictureData(data, graphicPastePoint(), localized("The pasted picture could not be read."));
        return;
    }
    // What another program or document put there is read like a file; copies scrolled out of sight
    // come back centred in view.
    const PasteboardParentPtr payload = Pasteboard::readPayload(data);
    if (!payload || payload->children().isEmpty())
        return;
    payload->ensureChildrenInRect(visibleRect());
    insertFromScrap(payload);
}

void ZDLEditingView::deleteSelection()
{
    if (currentTool() && currentTool()->customDelete())
        return;
    auto* root = asProtocol<Parent>(rootObject());
    if (!root || !m_document || numSelected() == 0)
        return;
    ElementList children = root->children();
    bool removed = false;
    for (qsizetype index = children.size() - 1; index >= 0; --index) {
        if (isSelected(children.at(index))) {
            children.removeAt(index);
            removed = true;
        }
    }
    if (!removed)
        return;
    undoableSetSelection({}, false);
    m_document->undoableSetChildren(children, rootObject());
    m_document->objectsDeletedByUserInParent(rootObject());
    m_document->undoManager()->setActionName(localized("Delete object"));
}

// --- Editing an object ---

void ZDLEditingView::doEditObject(const ObjectPtr& object)
{
    if (m_document)
        m_document->edit(object);
}

void ZDLEditingView::editNewPartIn(Parent* container, std::optional<QPointF> centre)
{
    if (!container || !m_document)
        return;
    // Pending: it knows its container, which does not hold it yet.
    auto part = std::make_shared<Part>();
    part->setParent(container);
    m_document->edit(part);
    EditorContainer* editor = m_document->currentEditor();
    if (!editor || editor->rootObject() != part)
        return;
    editor->setCurrentTool(kPenToolIndex);
    auto* editorWidget = dynamic_cast<QWidget*>(editor);
    auto* editingView = editorWidget ? editorWidget->findChild<ZDLView*>() : nullptr;
    if (!centre && inRightClick())
        centre = rightClickPos();
    if (centre && editingView)
        editingView->scrollToCenterDocPoint(*centre);
}

void ZDLEditingView::editObject()
{
    if (numSelected() != 1)
        return;
    ObjectPtr object = firstSelected();
    if (const auto* alias = dynamic_cast<const PartAlias*>(object.get()))
        object = alias->realPart();
    if (dynamic_cast<const Part*>(object.get()) || dynamic_cast<const PartElement*>(object.get())
        || dynamic_cast<const ImageElement*>(object.get()) || dynamic_cast<const Balloon*>(object.get())
        || dynamic_cast<const Group*>(object.get()))
        doEditObject(object);
}

QString ZDLEditingView::editObjectTitle(bool* enabled) const
{
    ObjectPtr object = firstSelected();
    if (const auto* alias = dynamic_cast<const PartAlias*>(object.get()))
        object = alias->realPart();
    *enabled = true;
    if (dynamic_cast<const Part*>(object.get()))
        return localized("Edit Part");
    if (dynamic_cast<const Balloon*>(object.get())) {
        *enabled = canEditBalloon();
        return localized("Edit Balloon Text");
    }
    if (dynamic_cast<const ImageElement*>(object.get()))
        return localized("Edit Image Masks and Cropping");
    if (dynamic_cast<const PartPath*>(object.get()))
        return localized("Edit Path Contents");
    if (dynamic_cast<const BalloonGroup*>(object.get()))
        return localized("Edit Balloon Group");
    if (dynamic_cast<const PartGroup*>(object.get()) || dynamic_cast<const Group*>(object.get()))
        return localized("Edit Group");
    *enabled = false;
    return localized("Edit");
}

void ZDLEditingView::sizeAndPositionImportedImage(ImageElement& image, const ObjectPtr&, const QPointF& point)
{
    image.fitToSize(kImportedImageSize, point);
}

// --- Keys ---

void ZDLEditingView::nudge(const QPointF& screenOffset)
{
    if (numSelected() == 0 || !currentTool())
        return;
    currentTool()->nudge(screenOffset / double(viewScale()));
}

bool ZDLEditingView::performKeyEquivalent(const ZDLEvent& event)
{
    if ((event.modifierFlags & kDeviceIndependentModifierMask) || numSelected() == 0)
        return false;
    switch (event.key) {
    case Qt::Key_Up:
        nudge(QPointF(0, -1));
        return true;
    case Qt::Key_Down:
        nudge(QPointF(0, 1));
        return true;
    case Qt::Key_Left:
        nudge(QPointF(-1, 0));
        return true;
    case Qt::Key_Right:
        nudge(QPointF(1, 0));
        return true;
    case Qt::Key_Delete:
        deleteSelection();
        return true;
    default:
        return false;
    }
}

// --- Responder ---

const ActionTable<ZDLEditingView>& ZDLEditingView::actionTable()
{
    using State = MenuItemValidation::State;
    // Flips and scaling need something that is not a balloon.
    static const auto transformable = [](ZDLEditingView& view) {
        bool allBalloons = view.numSelected() > 0;
        for (const ObjectPtr& object : view.selection())
            allBalloons = allBalloons && dynamic_cast<const Balloon*>(object.get());
        return view.numSelected() > 0 && !allBalloons;
    };
    static const auto whenTransformable
        = [](ZDLEditingView& view, MenuItemValidation& item) { item.enabled = transformable(view); };
    static const auto whenSelected
        = [](ZDLEditingView& view, MenuItemValidation& item) { item.enabled = view.numSelected() > 0; };
    static const auto forward
        = [](ZDLEditingView& view, MenuItemValidation& item) { item.enabled = view.canMoveForward(); };
    static const auto backward
        = [](ZDLEditingView& view, MenuItemValidation& item) { item.enabled = view.canMoveBackward(); };
    static const auto validateEditObject = [](ZDLEditingView& view, MenuItemValidation& item) {
        bool enabled = false;
        if (view.numSelected() == 1)
            item.title = view.editObjectTitle(&enabled);
        item.enabled = enabled;
    };
    static const ActionTable<ZDLEditingView> table {
        { .action = kDeleteAction,
            .validate = whenSelected,
            .perform = runs<&ZDLEditingView::deleteSelection> },
        { .action = kCutAction, .validate = whenSelected, .perform = runs<&ZDLEditingView::cut> },
        { .action = kCopyAction, .validate = whenSelected, .perform = runs<&ZDLEditingView::copy> },
        { .action = kPasteAction,
            .validate = alwaysEnabled<ZDLEditingView>,
            .perform = runs<&ZDLEditingView::paste> },
        { .action = kImportImageAction,
            .validate
            = [](ZDLEditingView& view, MenuItemValidation& item) { item.enabled = view.acceptsImages(); },
            .perform = runs<&ZDLEditingView::importImage> },
        { .action = kEditObjectAction,
            .validate = validateEditObject,
            .perform = runs<&ZDLEditingView::editObject>,
            .validateToolbarItem = validateEditObject },
        { .action = kBringToFrontAction,
            .validate = forward,
            .perform = runs<&ZDLEditingView::bringToFront> },
        { .action = kBringForwardAction,
            .validate = forward,
            .perform = runs<&ZDLEditingView::bringForward> },
        { .action = kSendToBackAction, .validate = backward, .perform = runs<&ZDLEditingView::sendToBack> },
        { .action = kSendBackwardAction,
            .validate = backward,
            .perform = runs<&ZDLEditingView::sendBackward> },
        { .action = kFlipHorizontalAction,
            .validate = whenTransformable,
            .perform = runs<&ZDLEditingView::flipHorizontal>,
            .validateToolbarItem = whenTransformable },
        { .action = kFlipVerticalAction,
            .validate = whenTransformable,
            .perform = runs<&ZDLEditingView::flipVertical>,
            .validateToolbarItem = whenTransformable },
        { .action = kScaleAction,
            .validate =
                [](ZDLEditingView& view, MenuItemValidation& item) {
                    // The scale sheet is offered once the dialogs have installed it.
                    item.enabled = transformable(view) && DocumentDialogs::isInstalled(item.action);
                },
            .perform =
                [](ZDLEditingView& view, const ActionSender& sender) {
                    return view.m_document
                        && DocumentDialogs::open(sender.action, *view.m_document, view.QWidget::window());
                } },
        { .action = kMergeAction,
            .validate =
                [](ZDLEditingView& view, MenuItemValidation& item) {
                    const MergeType type = view.getMergeType();
                    item.enabled = type != MergeType::Nothing;
                    switch (type) {
                    case MergeType::PartGroups:
                    case MergeType::Groups:
                        item.title = localized("Merge Into Single Group");
                        break;
                    case MergeType::Parts:
                        item.title = localized("Merge Into Single Part");
                        break;
                    case MergeType::Balloons:
                        item.title = localized("Merge Into Balloon Group");
                        break;
                    case MergeType::Paths:
                        item.title = localized("Merge Into Compound Path");
                        break;
                    case MergeType::Nothing:
                        item.title = localized("Merge");
                        break;
                    }
                },
            .perform = runs<&ZDLEditingView::merge> },
        { .action = kSetPartTypeAction,
            .validate
            = [](ZDLEditingView& view, MenuItemValidation& item) { view.validatePartTypeItem(item); },
            .perform =
                [](ZDLEditingView& view, const ActionSender& sender) {
                    view.setPartType(sender.tag);
                    return true;
                } },
        { .action = kSetBackgroundAction,
            .validate =
                [](ZDLEditingView& view, MenuItemValidation& item) {
                    const auto settings = view.m_document ? view.m_document->documentSettings() : nullptr;
                    item.enabled = true;
                    item.state = settings && settings->backgroundStyle() == item.tag ? State::On : State::Off;
                },
            .perform =
                [](ZDLEditingView& view, const ActionSender& sender) {
                    view.setBackground(sender.tag);
                    return true;
                } },
    };
    return table;
}

bool ZDLEditingView::tryToPerform(const QString& action, const ActionSender& sender)
{
    if (const auto performed = actionTable().perform(*this, action, sender))
        return *performed;
    return ZDLView::tryToPerform(action, sender);
}

bool ZDLEditingView::validateMenuItem(MenuItemValidation& item)
{
    return actionTable().validate(*this, item) || ZDLView::validateMenuItem(item);
}

} // namespace zandrel
