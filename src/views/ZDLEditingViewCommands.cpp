// The editing view base's commands on the selection: stacking order, flips and scaling, merging,
// part types, the background style and the overlay outside the page.
#include "app/core/ComicDocument.h"
#include "app/core/ZDLDocument.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/ComicGraphicElementState.h"
#include "charmodel/DocumentSettings.h"
#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "charmodel/PartAlias.h"
#include "charmodel/PartGroup.h"
#include "charmodel/PartPath.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicModelClasses.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/Group.h"
#include "graphics/ArrayUtils.h"
#include "graphics/Curve.h"
#include "graphics/Path.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"
#include "platform/ClassRegistry.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "views/ZDLEditingView.h"

#include <QPointer>
#include <cmath>

namespace zandrel {

namespace {

// A character's page is this wide; the overlay shades everything right of it.
constexpr double kCharacterPageWidth = 864.0;
constexpr double kOverlayExtent = 20000.0;

bool isExactly(const ObjectPtr& object, const QString& className)
{
    return object && object->className() == className;
}

} // namespace

// --- Stacking order ---

void ZDLEditingView::reorder(const ElementList& children, const QString& actionName)
{
    if (!document())
        return;
    const ElementList selected = selection();
    document()->undoableSetChildren(children, rootObject());
    undoableSetSelection(selected, true);
    document()->undoManager()->setActionName(actionName);
}

void ZDLEditingView::bringToFront()
{
    const auto* root = asProtocol<Parent>(rootObject());
    if (!root)
        return;
    ElementList children = root->children();
    qsizetype target = children.size() - 1;
    for (qsizetype index = children.size() - 1; index >= 0; --index) {
        if (!isSelected(children.at(index)))
            continue;
        if (index < target)
            children.move(index, target);
        --target;
    }
    reorder(children, localized("Bring to Front"));
}

void ZDLEditingView::bringForward()
{
    const auto* root = asProtocol<Parent>(rootObject());
    if (!root)
        return;
    ElementList children = root->children();
    for (qsizetype index = children.size() - 2; index >= 0; --index) {
        if (isSelected(children.at(index)) && !isSelected(children.at(index + 1)))
            children.swapItemsAt(index, index + 1);
    }
    reorder(children, localized("Bring Forward"));
}

void ZDLEditingView::sendToBack()
{
    const auto* root = asProtocol<Parent>(rootObject());
    if (!root)
        return;
    ElementList children = root->children();
    qsizetype target = 0;
    for (qsizetype index = 0; index < children.size(); ++index) {
        if (!isSelected(children.at(index)))
            continue;
        if (index > target)
            children.move(index, target);
        ++target;
    }
    reorder(children, localized("Send to Back"));
}

void ZDLEditingView::sendBackward()
{
    const auto* root = asProtocol<Parent>(rootObject());
    if (!root)
        return;
    ElementList children = root->children();
    for (qsizetype index = 1; index < children.size(); ++index) {
        if (isSelected(children.at(index)) && !isSelected(children.at(index - 1)))
            children.swapItemsAt(index, index - 1);
    }
    reorder(children, localized("Send Backward"));
}

bool ZDLEditingView::canMoveForward() const
{
    const auto* root = asProtocol<Parent>(rootObject());
    const qsizetype count = root ? qsizetype(root->numChildren()) : 0;
    const qsizetype selected = numSelected();
    if (selected == 0 || selected >= count)
        return false;
    for (qsizetype index = count - selected; index < count; ++index) {
        if (!isSelected(root->getChildAtIndex(std::size_t(index))))
            return true;
    }
    return false;
}

bool ZDLEditingView::canMoveBackward() const
{
    const auto* root = asProtocol<Parent>(rootObject());
    const qsizetype count = root ? qsizetype(root->numChildren()) : 0;
    const qsizetype selected = numSelected();
    if (selected == 0 || selected >= count)
        return false;
    for (qsizetype index = 0; index < selected; ++index) {
        if (!isSelected(root->getChildAtIndex(std::size_t(index))))
            return true;
    }
    return false;
}

// --- Flips and scaling ---

void ZDLEditingView::scaleSelection(float sx, float sy, const QString& actionName)
{
    // A factor of zero cannot be undone; one that is not a number would spread through the model.
    if (!document() || numSelected() == 0 || sx == 0 || sy == 0 || !std::isfinite(sx) || !std::isfinite(sy))
        return;
    const QPointF origin = transformOrigin();
    const QTransform transform = QTransform::fromTranslate(-origin.x(), -origin.y())
        * QTransform::fromScale(sx, sy) * QTransform::fromTranslate(origin.x(), origin.y());
    const ElementList selected = selection();
    document()->undoableTransformObjects(selected, transform, actionName, false);
    undoableSetSelection(selected, true);
}

void ZDLEditingView::flipHorizontal()
{
    scaleSelection(-1, 1, localized("Flip Horizontal"));
}

void ZDLEditingView::flipVertical()
{
    scaleSelection(1, -1, localized("Flip Vertical"));
}

namespace {

// The line weight and blur of a path as they were before its marks were scaled.
struct PathMarks {
    std::shared_ptr<PartPath> path;
    float lineWeight;
    float blur;
};

void collectPathMarks(const ObjectPtr& element, std::vector<PathMarks>& marks, int depth)
{
    // As deep as the mark scaling itself walks.
    constexpr int kDeepest = 64;
    if (!element || depth > kDeepest)
        return;
    if (const auto* container = asProtocol<Parent>(element)) {
        for (const ObjectPtr& child : container->children())
            collectPathMarks(child, marks, depth + 1);
    }
    if (auto path = std::dynamic_pointer_cast<PartPath>(element))
        marks.push_back({ path, path->lineWeight(), path->blur() });
}

} // namespace

void ZDLEditingView::undoableScaleMarksInElements(
    const ElementList& elements, float factor, bool scalingLines, bool scalingBlurs)
{
    if (!document() || factor <= 0 || !std::isfinite(factor))
        return;
    // Undo puts back the values as they were: dividing by the factor again would leave rounding
    // differences behind.
    std::vector<PathMarks> before;
    for (const ObjectPtr& element : elements)
        collectPathMarks(element, before, 0);
    const QPointer<ZDLEditingView> self(this);
    document()->undoManager()->registerUndo(
        this, [self, elements, factor, scalingLines, scalingBlurs, before] {
            if (!self || !self->document())
                return;
            self->document()->undoManager()->registerUndo(
                self.data(), [self, elements, factor, scalingLines, scalingBlurs] {
                    if (self)
                        self->undoableScaleMarksInElements(elements, factor, scalingLines, scalingBlurs);
                });
            for (const PathMarks& marks : before) {
                marks.path->setLineWeight(marks.lineWeight);
                marks.path->setBlur(marks.blur);
            }
            self->document()->updateViewsRect(ArrayUtils::getElementsInvalidationBounds(elements), true);
        });
    for (const ObjectPtr& element : elements) {
        if (!asProtocol<Parent>(element))
            continue;
        if (scalingLines && scalingBlurs)
            Part::scaleMarksIn(element, factor);
        else if (scalingLines)
            Part::scaleLineWeightsIn(element, factor);
        else if (scalingBlurs)
            Part::scaleBlursIn(element, factor);
    }
    document()->updateViewsRect(ArrayUtils::getElementsInvalidationBounds(elements), true);
}

// --- Part types and background ---

ElementList ZDLEditingView::getSelectedTypeableElements() const
{
    ElementList typeable;
    for (const ObjectPtr& object : selection()) {
        const auto* alias = dynamic_cast<const PartAlias*>(object.get());
        if (dynamic_cast<const Part*>(object.get()) || dynamic_cast<const ImageElement*>(object.get())
            || (alias && alias->supportsPartType()))
            typeable.append(object);
    }
    return typeable;
}

void ZDLEditingView::setPartType(int partType)
{
    const ElementList typeable = getSelectedTypeableElements();
    if (!document() || typeable.isEmpty())
        return;
    for (const ObjectPtr& element : typeable)
        document()->undoableSetPropertyFor(element, ComicGraphicElementState::kPartTypeKey, Value(partType));
    document()->undoManager()->setActionName(localized("Set Part Type"));
}

bool ZDLEditingView::validatePartTypeItem(MenuItemValidation& item) const
{
    const ElementList typeable = getSelectedTypeableElements();
    if (typeable.isEmpty()) {
        item.enabled = false;
        item.state = MenuItemValidation::State::Off;
        return false;
    }
    item.enabled = true;
    qsizetype matching = 0;
    qsizetype counted = 0;
    for (const ObjectPtr& element : typeable) {
        const auto* comic = asProtocol<ComicElement>(element);
        const auto* alias = dynamic_cast<const PartAlias*>(element.get());
        if (dynamic_cast<const Balloon*>(element.get()))
            continue;
        const int type = comic ? comic->partType() : alias ? alias->partType() : 0;
        ++counted;
        matching += type == item.tag ? 1 : 0;
    }
    item.state = matching == 0 ? MenuItemValidation::State::Off
        : matching == counted  ? MenuItemValidation::State::On
                               : MenuItemValidation::State::Mixed;
    return true;
}

void ZDLEditingView::setBackground(int style)
{
    const auto settings = document() ? document()->documentSettings() : nullptr;
    if (!settings || settings->backgroundStyle() == style)
        return;
    // A viewing aid of the document, saved with it but not undoable.
    settings->setBackgroundStyle(style);
    document()->updateViews();
}

// --- Merging ---

MergeType ZDLEditingView::getMergeType() const
{
    const ElementList selected = selection();
    if (selected.size() < 2)
        return MergeType::Nothing;
    bool balloons = false, parts = false, images = false, balloonGroups = false, groups = false,
         partGroups = false, partPaths = false, pathLike = false;
    for (const ObjectPtr& object : selected) {
        if (dynamic_cast<const Balloon*>(object.get()))
            balloons = true;
        else if (dynamic_cast<const Part*>(object.get()))
            parts = true;
        else if (dynamic_cast<const ImageElement*>(object.get()))
            images = true;
        else if (dynamic_cast<const BalloonGroup*>(object.get()))
            balloonGroups = true;
        else if (dynamic_cast<const Group*>(object.get()))
            groups = true;
        else if (dynamic_cast<const PartGroup*>(object.get()))
            partGroups = true;
        else if (dynamic_cast<const PartPath*>(object.get()))
            partPaths = pathLike = true;
        else if (asProtocol<Path>(object))
            pathLike = true;
    }
    if (groups)
        return MergeType::Groups;
    if (partGroups)
        return MergeType::PartGroups;
    if ((balloons || balloonGroups) && !parts && !pathLike && !images)
        return MergeType::Balloons;
    if (partPaths && !images)
        return MergeType::Paths;
    if ((parts || images) && !balloons && !balloonGroups && characterDoc())
        return MergeType::Parts;
    return MergeType::Nothing;
}

void ZDLEditingView::groupSelectionInto(const ObjectPtr& group, const ElementList& sorted)
{
    const auto* root = asProtocol<Parent>(rootObject());
    if (!root || !document() || sorted.isEmpty())
        return;
    document()->undoableSetChildren(sorted, group);
    // The group takes the stacking place of the frontmost grouped element.
    ElementList children = root->children();
    children.insert(children.indexOf(sorted.last()), group);
    for (const ObjectPtr& object : sorted)
        children.removeAll(object);
    undoableSetChildren(children, rootObject(), { group }, selection());
    document()->undoManager()->setActionName(localized("Group"));
}

void ZDLEditingView::merge()
{
    const MergeType type = getMergeType();
    const auto* root = asProtocol<Parent>(rootObject());
    if (type == MergeType::Nothing || !root || !document())
        return;
    if (type == MergeType::Paths)
        mergePaths(getSelectionSorted(), root->children());
    else
        mergeIntoContainer(type, getSelectionSorted(), root->children());
}

void ZDLEditingView::mergeIntoContainer(MergeType type, const ElementList& sorted, ElementList children)
{
    // The container the selection goes into, matched by its exact class: a balloon group is no group.
    QString containerClass;
    switch (type) {
    case MergeType::PartGroups:
        containerClass = PartGroup::kClassName;
        break;
    case MergeType::Groups:
        containerClass = Group::kClassName;
        break;
    case MergeType::Balloons:
        containerClass = BalloonGroup::kClassName;
        break;
    default:
        containerClass = Part::kClassName;
        break;
    }
    const ObjectPtr last = sorted.last();
    ObjectPtr target = isExactly(last, containerClass) ? last : nullptr;
    if (!target) {
        ClassRegistry::shared().registerOnce(&registerComicModelClasses);
        target = ClassRegistry::shared().make(containerClass);
        auto* container = asProtocol<Parent>(target);
        if (!container || !asProtocol<GraphicElement>(target))
            return;
        if (type == MergeType::Parts) {
            if (auto* part = dynamic_cast<Part*>(target.get()); part && asProtocol<ComicElement>(last))
                part->setPartType(asProtocol<ComicElement>(last)->partType());
        }
        children.insert(children.indexOf(last), target);
    }
    ElementList merged;
    ElementList emptied;
    for (const ObjectPtr& object : sorted) {
        const bool container = isExactly(object, containerClass);
        // Only parts and images go into a part; anything else stays where it is.
        if (type == MergeType::Parts && !container && !dynamic_cast<const ImageElement*>(object.get()))
            continue;
        if (object != target)
            children.removeAll(object);
        if (container) {
            merged += asProtocol<Parent>(object)->children();
            if (object != target)
                emptied.append(object);
        } else {
            merged.append(object);
        }
    }
    registerRelinkOnUndo(emptied);
    document()->undoableSetChildren(children, rootObject());
    document()->undoableSetChildren(merged, target);
    undoableSetSelection({ target }, false);
    document()->undoManager()->setActionName(type == MergeType::Balloons ? localized("Merge Balloons")
            : type == MergeType::Parts                                   ? localized("Merge Parts")
                                                                         : localized("Merge Group"));
}

void ZDLEditingView::mergePaths(const ElementList& sorted, ElementList children)
{
    const ObjectPtr first = sorted.first();
    auto* path = asProtocol<Path>(first);
    if (!path)
        return;
    ValueList segments;
    for (const CurvePtr& curve : path->segments())
        segments.append(Value(curve));
    for (qsizetype index = 1; index < sorted.size(); ++index) {
        const auto* further = asProtocol<Path>(sorted.at(index));
        if (!further)
            continue;
        for (const CurvePtr& curve : further->segments())
            segments.append(Value(curve));
        children.removeAll(sorted.at(index));
    }
    document()->undoableSetPropertyFor(first, Path::kSegmentsKey, Value(segments));
    document()->undoableSetChildren(children, rootObject());
    undoableSetSelection({ first }, false);
    document()->undoManager()->setActionName(localized("Merge Paths"));
}

void ZDLEditingView::registerRelinkOnUndo(const ElementList& containers)
{
    if (!document() || containers.isEmpty())
        return;
    // Members keep the link to the container they were merged into when an undo gives them back to
    // their old one; registered first, this runs last in the undo and links them back. It registers
    // itself again for the undo after a redo.
    const QPointer<ZDLEditingView> self(this);
    document()->undoManager()->registerUndo(this, [self, containers] {
        for (const ObjectPtr& container : containers) {
            if (auto* parent = asProtocol<Parent>(container))
                parent->setChildren(parent->children());
        }
        if (self)
            self->registerRelinkOnUndo(containers);
    });
}

// --- Panels ---

std::shared_ptr<ComicPanel> ZDLEditingView::bestPanelForElement(
    const ObjectPtr& element, const QList<std::shared_ptr<ComicPanel>>& panels)
{
    const auto* graphic = asProtocol<GraphicElement>(element);
    if (!graphic)
        return nullptr;
    const QRectF bounds = graphic->getBounds();
    std::shared_ptr<ComicPanel> best;
    float bestArea = 0;
    for (const auto& panel : panels) {
        const QRectF overlap = intersectionRect(bounds, panel->bounds());
        const float area = static_cast<float>(overlap.width()) * static_cast<float>(overlap.height());
        if (area > bestArea) {
            bestArea = area;
            best = panel;
        }
    }
    return best;
}

void ZDLEditingView::restrictElementsToPanel(const ElementList& elements)
{
    ComicDocument* comic = comicDoc();
    const auto& model = comic ? comic->model() : nullptr;
    const std::shared_ptr<ComicPage> page = model ? model->currentPage() : nullptr;
    if (!page || elements.isEmpty())
        return;
    ComicStructureList structure;
    page->getPanelsInArray(structure);
    QList<std::shared_ptr<ComicPanel>> panels;
    for (const auto& element : structure) {
        if (auto panel = std::dynamic_pointer_cast<ComicPanel>(element))
            panels.append(panel);
    }
    QList<std::pair<ObjectPtr, std::shared_ptr<ComicPanel>>> moves;
    ElementList remaining = page->children();
    for (const ObjectPtr& element : elements) {
        const auto panel = page->hasChild(element.get()) ? bestPanelForElement(element, panels) : nullptr;
        if (panel) {
            moves.append({ element, panel });
            remaining.removeAll(element);
        }
    }
    undoableSetSelection({}, false);
    if (!moves.isEmpty()) {
        m_document->undoableSetChildren(remaining, page);
        m_document->objectsDeletedByUserInParent(page);
        for (const auto& [element, panel] : std::as_const(moves)) {
            const ObjectPtr layer = panel->frontLayer();
            m_document->undoableSetChildren(panel->frontLayer()->children() + ElementList { element }, layer);
        }
    }
    m_document->undoManager()->setActionName(localized("Restrict to Panel"));
}

bool ZDLEditingView::elementsAreFree(const ElementList& elements) const
{
    ComicDocument* comic = comicDoc();
    const auto& model = comic ? comic->model() : nullptr;
    const auto& page = model ? model->currentPage() : nullptr;
    for (const ObjectPtr& element : elements) {
        const auto* member = asProtocol<ModelElement>(element);
        if (!page || !member || dynamic_cast<const Object*>(member->parent()) != page.get())
            return false;
    }
    return true;
}

// --- Drawing ---

void ZDLEditingView::drawPasteboardOverlay()
{
    Canvas* canvas = currentCanvas();
    if (!canvas)
        return;
    const CanvasPaint shade(QColor::fromRgbF(0, 0, 0, 0.2f));
    // A comic shades what lies off its page; a character everything right of its page.
    if (comicDoc() && comicDoc()->model()) {
        CanvasPath offPage;
        offPage.setWindingRule(WindingRule::EvenOdd);
        offPage.addRect(QRectF(0, 0, kOverlayExtent, kOverlayExtent));
        offPage.addRect(comicDoc()->model()->bounds());
        canvas->fillPath(offPage, shade);
    } else if (characterDoc()) {
        // Above the origin too: parts drawn there can be scrolled to.
        canvas->fillRect(
            QRectF(kCharacterPageWidth, -kOverlayExtent, kOverlayExtent, 2 * kOverlayExtent), shade);
    }
}

} // namespace zandrel
