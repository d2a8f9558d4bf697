// The part elements view's commands: grouping, splitting, point alignment, hand-drawn look,
// styles, the pivot point, hiding, and the validation of their items.
#include "app/core/ActionNames.h"
#include "app/core/ActionTable.h"
#include "app/core/DocumentDialogs.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "charmodel/PartGroup.h"
#include "charmodel/PartPath.h"
#include "graphics/EdgeEffects.h"
#include "graphics/NamedShapeStyle.h"
#include "graphics/ShapeStyle.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "views/PartElementsView.h"

namespace zandrel {

namespace {

ObjectPtr sharedOf(Object* object)
{
    return object ? object->shared_from_this() : nullptr;
}

ObjectPtr parentObjectOf(const ObjectPtr& element)
{
    const auto* child = asProtocol<ModelElement>(element);
    return child ? sharedOf(dynamic_cast<Object*>(child->parent())) : nullptr;
}

} // namespace

bool PartElementsView::allSelectedArePaths() const
{
    const ElementList selected = selection();
    return std::all_of(selected.cbegin(), selected.cend(),
        [](const ObjectPtr& object) { return dynamic_cast<const PartPath*>(object.get()) != nullptr; });
}

// --- Grouping ---

void PartElementsView::group()
{
    const auto* root = asProtocol<Parent>(rootObject());
    const ElementList sorted = getSelectionSorted();
    if (!root || !document() || sorted.size() < 2)
        return;
    groupSelectionInto(std::make_shared<PartGroup>(), sorted);
}

void PartElementsView::ungroup()
{
    const auto* root = asProtocol<Parent>(rootObject());
    if (!root || !document() || numSelected() == 0)
        return;
    ElementList children = root->children();
    ElementList newSelection;
    if (allSelectedAreCompoundPaths()) {
        for (const ObjectPtr& object : selection()) {
            const auto* path = dynamic_cast<const PartPath*>(object.get());
            const qsizetype index = children.indexOf(object);
            if (!path || index < 0)
                continue;
            children.removeAt(index);
            const QList<CurvePtr> curves = path->segments();
            for (qsizetype i = 0; i < curves.size(); ++i) {
                auto piece = std::static_pointer_cast<PartPath>(path->initByCopying());
                piece->setSegments({ Curve::initByCopying(*curves.at(i)) });
                children.insert(index + i, piece);
                newSelection.append(piece);
            }
        }
        undoableSetChildren(children, rootObject(), newSelection, selection());
        document()->undoManager()->setActionName(localized("Ungroup Compound Paths"));
        return;
    }
    ElementList dissolved;
    for (const ObjectPtr& object : selection()) {
        const auto* group = dynamic_cast<const PartGroup*>(object.get());
        const qsizetype index = children.indexOf(object);
        if (!group || index < 0)
            continue;
        const ElementList members = group->children();
        children.removeAt(index);
        for (qsizetype i = 0; i < members.size(); ++i)
            children.insert(index + i, members.at(i));
        newSelection += members;
        dissolved.append(object);
    }
    if (dissolved.isEmpty())
        return;
    undoableSetChildren(children, rootObject(), newSelection, selection());
    for (const ObjectPtr& group : std::as_const(dissolved))
        document()->undoableSetChildren({}, group);
    document()->undoManager()->setActionName(localized("Ungroup"));
}

// --- Splitting into a new part ---

void PartElementsView::splitSelectionToPartWithType(int partType)
{
    const auto* root = asProtocol<Parent>(rootObject());
    const std::shared_ptr<Part> current = currentPart();
    const ElementList sorted = getSelectionSorted();
    if (!root || !current || !document() || sorted.isEmpty())
        return;
    ElementList children = root->children();
    for (qsizetype index = children.size() - 1; index >= 0; --index) {
        if (sorted.contains(children.at(index)))
            children.removeAt(index);
    }
    undoableSetChildren(children, rootObject(), {}, selection());
    document()->objectsDeletedByUserInParent(rootObject());

    const ObjectPtr parent = parentObjectOf(current);
    const auto* container = asProtocol<Parent>(parent);
    if (!container)
        return;
    const auto part
        = comicDoc() ? std::make_shared<Part>(sharedOf(current->model())) : std::make_shared<Part>();
    part->setCharacterId(current->characterId());
    part->setPartType(static_cast<PartType>(partType));
    ElementList copies;
    for (const ObjectPtr& element : sorted) {
        if (const auto* graphic = asProtocol<GraphicElement>(element))
            copies.append(graphic->initByCopying());
    }
    // A lone group gives its members: the part is their group now.
    if (copies.size() == 1) {
        if (const auto* group = dynamic_cast<const PartGroup*>(copies.first().get()))
            copies = group->children();
    }
    part->setChildren(copies);
    document()->undoableSetChildren(container->children() + ElementList { part }, parent);
    document()->undoManager()->setActionName(localized("Split Part"));
}

// --- Paths ---

void PartElementsView::alignPathPoints()
{
    if (!document() || numSelected() == 0 || !allSelectedArePaths())
        return;
    for (const ObjectPtr& object : getSelectionSorted())
        static_cast<PartPath*>(object.get())->alignPathPointsWithUndoDocument(document());
    document()->undoManager()->setActionName(localized("Align Path Points"));
}

void PartElementsView::makePathLookHanddrawn()
{
    if (!document() || numSelected() == 0 || !allSelectedArePaths())
        return;
    for (const ObjectPtr& object : getSelectionSorted()) {
        ValueList curves;
        for (const CurvePtr& curve : static_cast<PartPath*>(object.get())->segments()) {
            if (CurvePtr drawn = handDrawnPathFromCurve(*curve))
                curves.append(Value(drawn));
        }
        document()->undoableSetPropertyFor(object, Path::kSegmentsKey, Value(curves));
    }
    document()->undoManager()->setActionName(localized("Make Paths Look Handdrawn"));
}

// --- Styles ---

void PartElementsView::copyFont()
{
    const auto model = editorModel();
    if (!model)
        return;
    if (numSelected() == 0)
        model->stylePasteboard()->copyFrom(model.get());
    else if (numSelected() == 1 && dynamic_cast<const PartPath*>(firstSelected().get()))
        model->stylePasteboard()->copyFrom(firstSelected().get());
}

NamedShapeStylePtr PartElementsView::newStyleFromSelection() const
{
    const auto model = editorModel();
    if (!model)
        return nullptr;
    auto style = std::make_shared<NamedShapeStyle>();
    if (numSelected() == 0)
        style->copyFrom(model.get());
    else if (numSelected() == 1 && dynamic_cast<const PartPath*>(firstSelected().get()))
        style->copyFrom(firstSelected().get());
    else
        return nullptr;
    return style;
}

void PartElementsView::pasteFont()
{
    const auto model = editorModel();
    if (!model || !document())
        return;
    applyStyleToSelection(*model->stylePasteboard(), localized("Paste Style"));
}

void PartElementsView::applyStyle(int index)
{
    const auto model = editorModel();
    if (!model || !document() || index < 0 || index >= model->styles().size())
        return;
    applyStyleToSelection(*model->styles().at(index), localized("Apply Style"));
}

void PartElementsView::applyStyleToSelection(const ShapeStyle& style, const QString& actionName)
{
    if (numSelected() == 0) {
        style.applyTo(editorModel().get());
        NotificationCenter::defaultCenter().post(kUpdateViewSelectionNotification, this);
        return;
    }
    for (const ObjectPtr& object : getSelectionSorted())
        style.undoableApplyTo(object, document());
    document()->undoManager()->setActionName(actionName);
}

// --- Pivot point ---

void PartElementsView::setPivotPoint(const QPointF& point)
{
    const ObjectPtr root = rootObject();
    if (!dynamic_cast<const Part*>(root.get()) || !document())
        return;
    document()->undoableSetPropertyFor(root, Part::kHasOriginKey, Value(true));
    document()->undoableSetPropertyFor(root, Part::kOriginKey, Value(point));
    undoableSetSelection({}, true);
    document()->undoManager()->setActionName(localized("Set Part Pivot Point"));
}

void PartElementsView::resetPivotPoint()
{
    const ObjectPtr root = rootObject();
    if (!dynamic_cast<const Part*>(root.get()) || !document())
        return;
    document()->undoableSetPropertyFor(root, Part::kHasOriginKey, Value(false));
    undoableSetSelection({}, true);
    document()->undoManager()->setActionName(localized("Reset Part Pivot Point"));
}

// --- Hiding ---

void PartElementsView::hideSelection()
{
    setNeedsDisplaySelection();
    for (const ObjectPtr& object : selection()) {
        if (auto* graphic = asProtocol<GraphicElement>(object))
            graphic->setVisible(false);
    }
    deselectAll();
}

void PartElementsView::showAll()
{
    const auto* root = asProtocol<Parent>(rootObject());
    if (!root)
        return;
    for (const ObjectPtr& child : root->children()) {
        if (auto* graphic = asProtocol<GraphicElement>(child))
            graphic->setVisible(true);
    }
    update();
}

// --- Responder ---

const ActionTable<PartElementsView>& PartElementsView::actionTable()
{
    static const auto onePath = [](PartElementsView& view) {
        return view.numSelected() == 1 && dynamic_cast<const PartPath*>(view.firstSelected().get());
    };
    static const auto rootPart
        = [](PartElementsView& view) { return dynamic_cast<const Part*>(view.rootObject().get()); };
    static const auto whenPaths
        = [](PartElementsView& view, MenuItemValidation& item) { item.enabled = view.allSelectedArePaths(); };
    static const auto whenSomePaths = [](PartElementsView& view, MenuItemValidation& item) {
        item.enabled = view.numSelected() > 0 && view.allSelectedArePaths();
    };
    // Their sheets read the selection from this view and call back.
    static const auto openSheet = [](PartElementsView& view, const ActionSender& sender) {
        return view.document()
            && DocumentDialogs::open(sender.action, *view.document(), view.QWidget::window());
    };
    static const ActionTable<PartElementsView> table {
        { .action = kGroupAction,
            .validate = [](PartElementsView& view,
                            MenuItemValidation& item) { item.enabled = view.numSelected() >= 2; },
            .perform = runs<&PartElementsView::group> },
        { .action = kUngroupAction,
            .validate =
                [](PartElementsView& view, MenuItemValidation& item) {
                    const ElementList chosen = view.selection();
                    const bool anyGroup
                        = std::any_of(chosen.cbegin(), chosen.cend(), [](const ObjectPtr& object) {
                              return dynamic_cast<const PartGroup*>(object.get()) != nullptr;
                          });
                    item.enabled = view.numSelected() > 0
                        && (anyGroup || (view.allSelectedArePaths() && view.allSelectedAreCompoundPaths()));
                },
            .perform = runs<&PartElementsView::ungroup> },
        { .action = kSplitToSeparatePartAction,
            .validate =
                [](PartElementsView& view, MenuItemValidation& item) {
                    const qsizetype selected = view.numSelected();
                    const auto* root = asProtocol<Parent>(view.rootObject());
                    item.enabled = selected >= 1 && root && std::size_t(selected) < root->numChildren()
                        && rootPart(view) && DocumentDialogs::isInstalled(item.action);
                },
            .perform = openSheet },
        { .action = kAlignPathPointsAction,
            .validate = whenSomePaths,
            .perform = runs<&PartElementsView::alignPathPoints> },
        { .action = kMakePathLookHanddrawnAction,
            .validate = whenSomePaths,
            .perform = runs<&PartElementsView::makePathLookHanddrawn> },
        { .action = kCopyFontAction,
            .validate
            = [](PartElementsView& view,
                  MenuItemValidation& item) { item.enabled = view.numSelected() == 0 || onePath(view); },
            .perform = runs<&PartElementsView::copyFont> },
        { .action = kPasteFontAction, .validate = whenPaths, .perform = runs<&PartElementsView::pasteFont> },
        { .action = kApplyStyleAction,
            .validate = whenPaths,
            .perform =
                [](PartElementsView& view, const ActionSender& sender) {
                    view.applyStyle(sender.tag);
                    return true;
                } },
        { .action = kSaveAsStyleAction,
            .validate =
                [](PartElementsView& view, MenuItemValidation& item) {
                    item.enabled = (view.numSelected() == 0 || onePath(view))
                        && DocumentDialogs::isInstalled(item.action);
                },
            .perform = openSheet },
        { .action = kEditStylesAction,
            .validate
            = [](PartElementsView&,
                  MenuItemValidation& item) { item.enabled = DocumentDialogs::isInstalled(item.action); },
            .perform = openSheet },
        { .action = kSetPivotPointAction,
            .validate = [](PartElementsView& view,
                            MenuItemValidation& item) { item.enabled = rootPart(view) != nullptr; },
            .perform =
                [](PartElementsView& view, const ActionSender& sender) {
                    // Only where the contextual menu was opened: a main-menu choice has no point to set.
                    if (view.inRightClick() || sender.value.toString() == kContextualMenuSender)
                        view.setPivotPoint(view.rightClickPos());
                    return true;
                } },
        { .action = kResetPivotPointAction,
            .validate =
                [](PartElementsView& view, MenuItemValidation& item) {
                    const Part* part = rootPart(view);
                    item.enabled = part && part->hasOrigin();
                },
            .perform = runs<&PartElementsView::resetPivotPoint> },
        { .action = kHideSelectionAction,
            .validate
            = [](PartElementsView& view, MenuItemValidation& item) { item.enabled = view.numSelected() > 0; },
            .perform = runs<&PartElementsView::hideSelection> },
        { .action = kShowAllAction,
            .validate
            = [](PartElementsView& view, MenuItemValidation& item) { item.enabled = view.anyHidden(); },
            .perform = runs<&PartElementsView::showAll> },
        // New parts are made in the parts view, not inside one.
        { .action = kCreateNewPartAction,
            .validate = neverEnabled<PartElementsView>,
            .perform = [](PartElementsView&, const ActionSender&) { return true; },
            .validateToolbarItem = neverEnabled<PartElementsView> },
    };
    return table;
}

bool PartElementsView::tryToPerform(const QString& action, const ActionSender& sender)
{
    if (const auto performed = actionTable().perform(*this, action, sender))
        return *performed;
    return ZDLEditingView::tryToPerform(action, sender);
}

bool PartElementsView::validateMenuItem(MenuItemValidation& item)
{
    return actionTable().validate(*this, item) || ZDLEditingView::validateMenuItem(item);
}

} // namespace zandrel
