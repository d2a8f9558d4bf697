#include "app/core/ZDLDocument.h"

#include "app/core/ActionNames.h"
#include "app/core/ActionTable.h"
#include "graphics/ArrayUtils.h"
#include "graphics/GeometryRecord.h"
#include "graphics/GraphicManipulator.h"
#include "platform/DeferredCalls.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/Object.h"

namespace zandrel {

namespace {

// "Answers getInvalidationBounds": graphic elements, and structure pieces such as panels that are
// not graphic elements but know the area they cover.
const InvalidationBoundsSource* boundsSource(const ObjectPtr& object)
{
    return asProtocol<InvalidationBoundsSource>(object);
}

ValueList namedObjects(const ElementList& objects)
{
    ValueList named;
    for (const ObjectPtr& object : objects)
        named.append(Value(object));
    return named;
}

bool isUndoingOrRedoing(const UndoManager& undoManager)
{
    return undoManager.isUndoing() || undoManager.isRedoing();
}

QString moveObjectsActionName()
{
    return localized("Move Objects");
}

QString deferredKey(const QString& property)
{
    return QStringLiteral("notifyPropertyChange:") + property;
}

} // namespace

ZDLDocument::ZDLDocument()
{
    QObject::connect(&m_undoManager, &UndoManager::stateChanged, [this] { undoStateChanged(); });
    QObject::connect(&m_undoManager, &UndoManager::didUndo, [this] { didUndoOrRedo(); });
    QObject::connect(&m_undoManager, &UndoManager::didRedo, [this] { didUndoOrRedo(); });
}

ZDLDocument::~ZDLDocument()
{
    // The undo manager outlives this body; what it signals from now on has nobody to reach.
    QObject::disconnect(&m_undoManager, nullptr, nullptr, nullptr);
    DeferredCalls::cancelAll(this);
    NotificationCenter::defaultCenter().removeObserver(this);
    abandonBackgroundWrite();
}

void ZDLDocument::close()
{
    finishBackgroundWrite();
    edit(nullptr);
    NotificationCenter::defaultCenter().removeObserver(this);
    // A closed document announces nothing more, and its history goes with it.
    DeferredCalls::cancelAll(this);
    m_undoManager.removeAllActions();
    NotificationCenter::defaultCenter().post(kDocumentClosingNotification, this);
}

// --- Changes of the model ---

ZDLDocument::ChangeScope::ChangeScope(ZDLDocument& document, ElementList objects)
    : m_document(document)
    , m_objects(std::move(objects))
{
    ++m_document.m_changeScopes;
    m_document.modelChanged(&m_objects);
}

// Told again at the end: an object may have moved to another part of the model meanwhile.
ZDLDocument::ChangeScope::~ChangeScope()
{
    m_document.modelChanged(&m_objects);
    --m_document.m_changeScopes;
}

void ZDLDocument::viewsNotified(const ElementList* objects)
{
    if (m_changeScopes == 0)
        modelChanged(objects);
}

// --- View notifications ---

void ZDLDocument::updateViews()
{
    viewsNotified();
    NotificationCenter::defaultCenter().post(kUpdateDocumentViewsNotification, this);
}

void ZDLDocument::updateViewsRect(const QRectF& rect, bool afterChange)
{
    viewsNotified();
    NotificationCenter::defaultCenter().post(kUpdateDocumentViewsNotification, this,
        { { kDirtyRectKey, rect }, { kAfterChangeKey, afterChange } });
}

void ZDLDocument::updateViewsRect(const QRectF& rect, bool afterChange, const ElementList& changedObjects)
{
    viewsNotified(&changedObjects);
    NotificationCenter::defaultCenter().post(kUpdateDocumentViewsNotification, this,
        { { kDirtyRectKey, rect }, { kAfterChangeKey, afterChange },
            { kChangedObjectsKey, namedObjects(changedObjects) } });
}

void ZDLDocument::moveElementsLive(const ElementList& elements, const QPointF& offset)
{
    const ChangeScope scope(*this, elements);
    const QRectF dirty = unionRect(
        ArrayUtils::getElementsInvalidationBounds(elements), ArrayUtils::getElementsGeometryBounds(elements));
    updateViewsRect(dirty, false, elements);
    for (const ObjectPtr& element : elements) {
        if (auto* graphic = asProtocol<GraphicElement>(element))
            graphic->offsetBy(offset, true);
    }
    NotificationCenter::defaultCenter().post(kUpdateDocumentViewsNotification, this,
        { { kDirtyRectKey, dirty.translated(offset) }, { kAfterChangeKey, true },
            { kChangedObjectsKey, namedObjects(elements) }, { kMovedByKey, offset } });
}

void ZDLDocument::updateViewsRect(const QRectF& rect, float unscaledOutset, bool afterChange)
{
    viewsNotified();
    NotificationCenter::defaultCenter().post(kUpdateDocumentViewsNotification, this,
        { { kDirtyRectKey, rect }, { kUnscaledOutsetKey, unscaledOutset },
            { kAfterChangeKey, afterChange } });
}

void ZDLDocument::notifyModelPropertyChange(const QString& property, const Value& oldValue)
{
    NotificationCenter::defaultCenter().post(
        kModelPropertyChangeNotification, this, { { kPropertyKey, property }, { kOldValueKey, oldValue } });
}

void ZDLDocument::notifyPropertyChange(const QString& property)
{
    NotificationCenter::defaultCenter().post(
        kPropertyChangedNotification, this, { { kPropertyKey, property } });
}

void ZDLDocument::tellAllGraphics(GraphicNotice, GraphicManipulator*)
{
}

void ZDLDocument::undoableDeleteColor(
    const std::shared_ptr<ZDLColor>&, const ObjectPtr&, const std::shared_ptr<ZDLColor>&)
{
}

bool ZDLDocument::announceBounds(const ObjectPtr& object, bool afterChange)
{
    const InvalidationBoundsSource* source = boundsSource(object);
    if (!source)
        return false;
    updateViewsRect(source->getInvalidationBounds(), afterChange, { object });
    return true;
}

void ZDLDocument::schedulePropertyChanged(const QString& property)
{
    // However often a key is set in one pass of the event loop, its observers hear of it once, after
    // all the changes of that pass.
    const QString key = deferredKey(property);
    DeferredCalls::cancel(this, key);
    DeferredCalls::perform(this, key, 0, [this, property] { notifyPropertyChange(property); });
}

// --- Undoable operations ---

void ZDLDocument::setToleranceAdjuster(const std::shared_ptr<CurveToleranceAdjuster>& adjuster)
{
    m_toleranceAdjuster = adjuster;
    NotificationCenter::defaultCenter().post(kToleranceAdjusterChangedNotification, this);
}

void ZDLDocument::undoableSetPropertyFor(
    const ObjectPtr& object, const QString& property, const Value& value, const Value& oldValue)
{
    undoableSetPropertyFor(object, property, value, oldValue, &m_undoManager);
}

void ZDLDocument::undoableSetPropertyFor(const ObjectPtr& object, const QString& property, const Value& value,
    const Value& oldValue, UndoManager* undoManager)
{
    if (!object)
        return;
    const ChangeScope scope(*this, { object });
    // Read first: a key the object does not have raises before anything is recorded.
    const Value current = object->valueForKey(property);
    const Value previous = oldValue.isNull() ? current : oldValue;
    if (undoManager) {
        undoManager->registerUndo(this, [this, object, property, previous, undoManager] {
            undoableSetPropertyFor(object, property, previous, Value(), undoManager);
        });
    }
    // A value equal to the one held is set and announced like any other: observers of
    // "propertyChanged" hear of every key that was set.
    if (boundsSource(object)) {
        announceBounds(object, false);
        object->setValueForKey(value, property);
        announceBounds(object, true);
    } else {
        object->setValueForKey(value, property);
        updateViews();
    }
    schedulePropertyChanged(property);
}

void ZDLDocument::undoableSetChildren(const ElementList& children, const ObjectPtr& parent)
{
    auto* container = asProtocol<Parent>(parent);
    if (!container)
        return;
    const ElementList oldChildren = container->children();
    ElementList added;
    for (const ObjectPtr& child : children) {
        if (!oldChildren.contains(child))
            added.append(child);
    }
    // The children that come may come from elsewhere in the model, which changes too.
    const ChangeScope scope(*this, ElementList { parent } + added);
    m_undoManager.registerUndo(
        this, [this, oldChildren, parent] { undoableSetChildren(oldChildren, parent); });

    for (const ObjectPtr& child : oldChildren) {
        if (children.contains(child))
            continue;
        if (auto* graphic = asProtocol<GraphicElement>(child))
            graphic->notifyAllGraphicsOf(GraphicNotice::ParentChanged, nullptr);
        announceBounds(child, false);
    }
    for (const ObjectPtr& child : std::as_const(added))
        announceBounds(child, false);
    announceBounds(parent, false);
    container->setChildren(children);
    for (const ObjectPtr& child : std::as_const(added)) {
        if (auto* graphic = asProtocol<GraphicElement>(child))
            graphic->notifyAllGraphicsOf(GraphicNotice::ParentChanged, nullptr);
    }
    if (!announceBounds(parent, true))
        updateViews();
}

void ZDLDocument::registerGeometryUndo(const ElementList& objects)
{
    m_undoManager.registerUndo(this,
        [this, objects, geometry = recordGeometry(objects)] { undoableSetGeometry(objects, geometry); });
}

void ZDLDocument::changeGeometry(
    const ElementList& objects, const std::function<void(GraphicElement&)>& change)
{
    const ChangeScope scope(*this, objects);
    for (const ObjectPtr& object : objects) {
        auto* graphic = asProtocol<GraphicElement>(object);
        if (!graphic)
            continue;
        announceBounds(object, false);
        change(*graphic);
        announceBounds(object, true);
    }
}

void ZDLDocument::undoableSetGeometry(const ElementList& objects, const GeometryRecord& geometry)
{
    registerGeometryUndo(objects);
    GeometryReader reader(geometry);
    if (!reader.readCount(graphicsOf(objects).size()))
        return;
    changeGeometry(objects, [&reader](GraphicElement& graphic) { graphic.restoreGeometry(reader); });
}

void ZDLDocument::undoableOffsetObjects(const ElementList& objects, const QPointF& offset, bool alreadyDone)
{
    // Undo puts back the positions recorded now, never moves back by the offset, which rounds. A live
    // move has left nothing to record: its first undo moves back, and later ones put back exactly.
    const ChangeScope scope(*this, objects);
    if (alreadyDone)
        m_undoManager.registerUndo(
            this, [this, objects, offset] { undoableOffsetObjects(objects, -offset, false); });
    else
        registerGeometryUndo(objects);
    // Named after registering: a name needs the step it names. Undo and redo keep the step's name.
    if (!isUndoingOrRedoing(m_undoManager))
        m_undoManager.setActionName(moveObjectsActionName());
    if (alreadyDone)
        return;
    // Announced as a live move is, so that a view holding what it drew of them moves that.
    ElementList graphics;
    for (const ObjectPtr& object : objects) {
        if (asProtocol<GraphicElement>(object))
            graphics.append(object);
    }
    if (!graphics.isEmpty())
        moveElementsLive(graphics, offset);
}

void ZDLDocument::undoableOffsetObjects(const ElementList& objects, const GeometryRecord& before)
{
    const ChangeScope scope(*this, objects);
    m_undoManager.registerUndo(this, [this, objects, before] { undoableSetGeometry(objects, before); });
    if (!isUndoingOrRedoing(m_undoManager))
        m_undoManager.setActionName(moveObjectsActionName());
}

void ZDLDocument::undoableTransformObjects(
    const ElementList& objects, const QTransform& transform, const QString& actionName, bool alreadyDone)
{
    bool invertible = false;
    const QTransform inverse = transform.inverted(&invertible);
    // A singular transform is refused: it would flatten the elements, and after a live change its
    // inverse would only put infinities into the model.
    if (!invertible)
        return;
    const ChangeScope scope(*this, objects);
    if (alreadyDone)
        m_undoManager.registerUndo(this, [this, objects, inverse, actionName] {
            undoableTransformObjects(objects, inverse, actionName, false);
        });
    else
        registerGeometryUndo(objects);
    if (!isUndoingOrRedoing(m_undoManager))
        m_undoManager.setActionName(actionName);
    if (!alreadyDone)
        changeGeometry(objects, [&transform](GraphicElement& graphic) { graphic.transformBy(transform); });
}

void ZDLDocument::undoableManipulateGraphics(const ElementList& graphics,
    const std::shared_ptr<GraphicManipulator>& manipulator,
    const std::shared_ptr<GraphicManipulator>& undoManipulator, bool alreadyDone)
{
    const ChangeScope scope(*this, graphics);
    m_undoManager.registerUndo(this, [this, graphics, manipulator, undoManipulator] {
        undoableManipulateGraphics(graphics, undoManipulator, manipulator, false);
    });
    if (alreadyDone)
        return;
    // The manipulator's own changes redraw what they touch; the caller names the step.
    for (const ObjectPtr& object : graphics) {
        if (auto* graphic = asProtocol<GraphicElement>(object))
            graphic->notifyAllGraphicsOf(GraphicNotice::ApplyManipulator, manipulator.get());
    }
}

// --- Responder ---

const ActionTable<ZDLDocument>& ZDLDocument::actionTable()
{
    // Toolbar items follow the menu items' rules.
    static const ActionTable<ZDLDocument> table(
        {
            { .action = kUndoAction,
                .validate =
                    [](ZDLDocument& document, MenuItemValidation& item) {
                        item.enabled = document.m_undoManager.canUndo();
                        const QString name = document.m_undoManager.undoActionName();
                        item.title = name.isEmpty() ? localized("Undo") : localized("Undo %1").arg(name);
                    },
                .perform =
                    [](ZDLDocument& document, const ActionSender&) {
                        document.m_undoManager.undo();
                        return true;
                    } },
            { .action = kRedoAction,
                .validate =
                    [](ZDLDocument& document, MenuItemValidation& item) {
                        item.enabled = document.m_undoManager.canRedo();
                        const QString name = document.m_undoManager.redoActionName();
                        item.title = name.isEmpty() ? localized("Redo") : localized("Redo %1").arg(name);
                    },
                .perform =
                    [](ZDLDocument& document, const ActionSender&) {
                        document.m_undoManager.redo();
                        return true;
                    } },
        },
        ToolbarItems::LikeMenuItems);
    return table;
}

bool ZDLDocument::tryToPerform(const QString& action, const ActionSender& sender)
{
    return actionTable().perform(*this, action, sender).value_or(false);
}

bool ZDLDocument::validateMenuItem(MenuItemValidation& item)
{
    return actionTable().validate(*this, item);
}

} // namespace zandrel
