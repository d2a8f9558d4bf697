// The balloon editing view's commands: pointers, shapes and styles, the properties dialog, group and
// ungroup, pasting, and the validation of its items.
#include "app/core/ActionNames.h"
#include "app/core/ActionTable.h"
#include "app/core/CharacterDocument.h"
#include "app/core/ComicDocument.h"
#include "app/core/DocumentDialogs.h"
#include "app/core/PasteboardParent.h"
#include "charmodel/Part.h"
#include "charmodel/PartElement.h"
#include "charmodel/PartGroup.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/Group.h"
#include "graphics/ArrayUtils.h"
#include "platform/Localization.h"
#include "views/BalloonEditingView.h"

#include <QSet>

namespace zandrel {

namespace {

BalloonPtr asBalloon(const ObjectPtr& object)
{
    return std::dynamic_pointer_cast<Balloon>(object);
}

} // namespace

// --- Pointers, shapes and styles ---

void BalloonEditingView::addBalloonPointer()
{
    const BalloonPtr balloon = numSelected() == 1 ? asBalloon(firstSelected()) : nullptr;
    if (!balloon || !document())
        return;
    ValueList pointers;
    for (const BalloonPointerPtr& pointer : balloon->pointers())
        pointers.append(Value(pointer));
    pointers.append(Value(std::make_shared<BalloonPointer>()));
    document()->undoableSetPropertyFor(balloon, Balloon::kPointersKey, Value(pointers));
    undoableSetSelection(selection(), true);
    document()->undoManager()->setActionName(localized("Add Balloon Pointer"));
}

void BalloonEditingView::setBalloonShape(const ActionSender& sender)
{
    setBalloonProperty(Balloon::kShapeKey, sender);
}

void BalloonEditingView::setBalloonStyle(const ActionSender& sender)
{
    setBalloonProperty(Balloon::kStyleKey, sender);
}

void BalloonEditingView::setBalloonProperty(const QString& key, const ActionSender& sender)
{
    // A segmented control sends its selected segment, a menu item its tag.
    bool segmented = false;
    const int segment = sender.value.toInt(&segmented);
    const int value = segmented ? segment : sender.tag;
    if (value < 0 || !document())
        return;
    const ElementList selected = selection();
    for (const ObjectPtr& object : selected) {
        // Panels have a shape too, and take it like a balloon.
        if (object && object->respondsToKey(key))
            document()->undoableSetPropertyFor(object, key, Value(value));
    }
    undoableSetSelection(selected, true);
}

bool BalloonEditingView::validateTaggedProperty(MenuItemValidation& item, const QString& key) const
{
    QSet<int> values;
    for (const ObjectPtr& object : selection()) {
        if (object && object->respondsToKey(key))
            values.insert(object->valueForKey(key).toInt());
    }
    item.enabled = !values.isEmpty();
    item.state = !values.contains(item.tag) ? MenuItemValidation::State::Off
        : values.size() == 1                ? MenuItemValidation::State::On
                                            : MenuItemValidation::State::Mixed;
    return true;
}

// --- Balloon properties ---

Object* BalloonEditingView::modelForBalloons(const ElementList& objects)
{
    if (objects.isEmpty())
        return nullptr;
    const auto modelOf = [](const ObjectPtr& object) -> Object* {
        const auto* element = asProtocol<ComicElement>(object);
        return element ? element->model() : nullptr;
    };
    Object* shared = modelOf(objects.first());
    for (const ObjectPtr& object : objects) {
        if (modelOf(object) != shared)
            return nullptr;
    }
    return shared;
}

bool BalloonEditingView::canEditBalloonProperties() const
{
    const ElementList balloons = ArrayUtils::flattenComicElementsArray(selection());
    if (balloons.isEmpty())
        return false;
    for (const ObjectPtr& object : balloons) {
        if (!asBalloon(object))
            return false;
    }
    return modelForBalloons(balloons) != nullptr;
}

void BalloonEditingView::editBalloonProperties()
{
    // The dialog reads the balloons from the view's selection.
    if (document() && canEditBalloonProperties())
        DocumentDialogs::open(kEditBalloonPropertiesAction, *document(), QWidget::window());
}

// --- Group and ungroup ---

void BalloonEditingView::group()
{
    const auto* root = asProtocol<Parent>(rootObject());
    const ElementList sorted = getSelectionSorted();
    if (!root || !document() || sorted.isEmpty() || !rootHoldsComicElements())
        return;
    groupSelectionInto(std::make_shared<Group>(), sorted);
}

void BalloonEditingView::ungroup()
{
    const auto* root = asProtocol<Parent>(rootObject());
    if (!root || !document())
        return;
    ElementList children = root->children();
    ElementList newSelection;
    bool dissolved = false;
    for (const ObjectPtr& object : selection()) {
        const auto* group = dynamic_cast<const Group*>(object.get());
        const qsizetype index = children.indexOf(object);
        if (!group || index < 0)
            continue;
        const ElementList members = group->children();
        children.removeAt(index);
        for (qsizetype i = 0; i < members.size(); ++i)
            children.insert(index + i, members.at(i));
        newSelection += members;
        // Emptied before the root's list changes, so that an undo fills it before it returns.
        document()->undoableSetChildren({}, object);
        dissolved = true;
    }
    if (!dissolved)
        return;
    undoableSetChildren(children, rootObject(), newSelection, selection());
    document()->undoManager()->setActionName(localized("Ungroup"));
}

// --- Pasting ---

void BalloonEditingView::insertFromScrap(const std::shared_ptr<PasteboardParent>& payload)
{
    if (!payload || payload->children().isEmpty() || !document())
        return;
    if (characterDoc()) {
        characterDoc()->undoableInsertFromScrap(payload->children(), *this, false);
        return;
    }
    const auto* root = asProtocol<Parent>(rootObject());
    const auto comic = comicDoc() ? comicDoc()->model() : nullptr;
    if (!comic || !root)
        return;
    ElementList objects = resolveAliases(payload->children());
    if (objects.isEmpty())
        return;
    const bool partElements = std::any_of(objects.cbegin(), objects.cend(),
        [](const ObjectPtr& object) { return dynamic_cast<const PartElement*>(object.get()) != nullptr; });
    if (partElements) {
        // Elements copied from a parts file come as one part of their character; a single group
        // gives its members rather than itself.
        const auto part = std::make_shared<Part>();
        part->setCharacterId(payload->characterId());
        const auto* group
            = objects.size() == 1 ? dynamic_cast<const PartGroup*>(objects.first().get()) : nullptr;
        part->setChildren(group ? group->children() : objects);
        objects = { part };
    }
    comic->mergeInCharactersAndColors(objects);
    adjustPastedObjects(objects);
    document()->undoableSetChildren(root->children() + objects, rootObject());
    undoableSetSelection(objects, false);
    // The step takes the title of the command, as the menu would show it.
    document()->undoManager()->setActionName(localized("Paste"));
}

void BalloonEditingView::adjustPastedObjects(const ElementList& objects)
{
    const auto comic = comicDoc() ? comicDoc()->model() : nullptr;
    if (const auto panel = comic ? comic->currentPanel() : nullptr)
        panel->adjustPastedObjects(objects);
}

// --- Responder ---

const ActionTable<BalloonEditingView>& BalloonEditingView::actionTable()
{
    static const auto newLettering = [](BalloonEditingView& view, MenuItemValidation& item) {
        item.enabled = !view.textEditing() && view.rootHoldsComicElements();
    };
    static const ActionTable<BalloonEditingView> table {
        { .action = kAddBalloonAction,
            .validate = newLettering,
            .perform = runs<&BalloonEditingView::addBalloon>,
            .validateToolbarItem = newLettering },
        { .action = kAddNarrativeBoxAction,
            .validate = newLettering,
            .perform = runs<&BalloonEditingView::addNarrativeBox> },
        { .action = kAddTextBlockAction,
            .validate = newLettering,
            .perform = runs<&BalloonEditingView::addTextBlock> },
        { .action = kAddBalloonPointerAction,
            .validate =
                [](BalloonEditingView& view, MenuItemValidation& item) {
                    item.enabled = view.numSelected() == 1 && asBalloon(view.firstSelected());
                },
            .perform = runs<&BalloonEditingView::addBalloonPointer> },
        { .action = kSetBalloonShapeAction,
            .validate
            = [](BalloonEditingView& view,
                  MenuItemValidation& item) { view.validateTaggedProperty(item, Balloon::kShapeKey); },
            .perform =
                [](BalloonEditingView& view, const ActionSender& sender) {
                    view.setBalloonShape(sender);
                    return true;
                } },
        { .action = kSetBalloonStyleAction,
            .validate
            = [](BalloonEditingView& view,
                  MenuItemValidation& item) { view.validateTaggedProperty(item, Balloon::kStyleKey); },
            .perform =
                [](BalloonEditingView& view, const ActionSender& sender) {
                    view.setBalloonStyle(sender);
                    return true;
                } },
        { .action = kEditBalloonPropertiesAction,
            .validate =
                [](BalloonEditingView& view, MenuItemValidation& item) {
                    // Offered once the dialogs have installed the balloon properties sheet.
                    item.enabled
                        = view.canEditBalloonProperties() && DocumentDialogs::isInstalled(item.action);
                },
            .perform = runs<&BalloonEditingView::editBalloonProperties> },
        { .action = kGroupAction,
            .validate =
                [](BalloonEditingView& view, MenuItemValidation& item) {
                    item.enabled = view.numSelected() >= 2 && view.rootHoldsComicElements();
                },
            .perform = runs<&BalloonEditingView::group> },
        { .action = kUngroupAction,
            .validate =
                [](BalloonEditingView& view, MenuItemValidation& item) {
                    const ElementList selected = view.selection();
                    item.enabled
                        = std::any_of(selected.cbegin(), selected.cend(), [](const ObjectPtr& object) {
                              return dynamic_cast<const Group*>(object.get()) != nullptr;
                          });
                },
            .perform = runs<&BalloonEditingView::ungroup> },
        // Nothing is imported while text is typed in place.
        { .action = kImportImageAction,
            .validate
            = [](BalloonEditingView& view,
                  MenuItemValidation& item) { item.enabled = view.acceptsImages() && !view.textEditing(); } },
    };
    return table;
}

bool BalloonEditingView::tryToPerform(const QString& action, const ActionSender& sender)
{
    if (const auto performed = actionTable().perform(*this, action, sender))
        return *performed;
    return ZDLEditingView::tryToPerform(action, sender);
}

bool BalloonEditingView::validateMenuItem(MenuItemValidation& item)
{
    return actionTable().validate(*this, item) || ZDLEditingView::validateMenuItem(item);
}

} // namespace zandrel
