// The editor stack: which editor edits an object, the level bar, leaving levels and repairing the
// stack after undo, redo and deletions.
#include "app/core/DocumentHost.h"
#include "app/core/ZDLDocument.h"
#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "charmodel/PartElement.h"
#include "charmodel/PartGroup.h"
#include "comicmodel/ComicElementClassNames.h"
#include "comicmodel/Group.h"
#include "comicmodel/PanelLayer.h"
#include "platform/DeferredCalls.h"
#include "platform/NotificationCenter.h"

namespace zandrel {

namespace {

// The comic page, known by name until its class exists.
const QString& kComicPageClass = ComicElementClass::kComicPage;

bool isClass(const ObjectPtr& object, const QString& name)
{
    return object && object->className() == name;
}

ObjectPtr objectOf(Parent* parent)
{
    auto* object = dynamic_cast<Object*>(parent);
    return object ? object->shared_from_this() : nullptr;
}

ObjectPtr parentOf(const ObjectPtr& object)
{
    const auto* element = asProtocol<ModelElement>(object);
    return element ? objectOf(element->parent()) : nullptr;
}

// A container that dissolves when the user leaves it with fewer than two children.
bool isDissolvingGroup(const ObjectPtr& object)
{
    // Comic groups, merged balloons included.
    return dynamic_cast<const PartGroup*>(object.get()) || dynamic_cast<const Group*>(object.get());
}

} // namespace

void EditingLevels::insertLevel(
    qsizetype index, const QString& title, const QImage& image, const ObjectPtr& represented)
{
    m_levels.insert(
        std::clamp<qsizetype>(index, 0, m_levels.size()), EditingLevel { title, image, represented });
}

ObjectPtr EditingLevels::representedObjectAtLevel(qsizetype index) const
{
    return index >= 0 && index < m_levels.size() ? m_levels.at(index).represented : nullptr;
}

void ZDLDocument::setEditors(
    EditorContainer* partEditor, EditorContainer* imageEditor, EditorContainer* balloonGroupEditor)
{
    m_partEditor = partEditor;
    m_imageEditor = imageEditor;
    m_balloonGroupEditor = balloonGroupEditor;
}

EditorContainer* ZDLDocument::editorForObject(const ObjectPtr& object) const
{
    if (!object)
        return nullptr;
    if (dynamic_cast<const Part*>(object.get()) || dynamic_cast<const PartElement*>(object.get()))
        return m_partEditor;
    if (dynamic_cast<const BalloonGroup*>(object.get()))
        return m_balloonGroupEditor;
    if (dynamic_cast<const ImageElement*>(object.get()))
        return m_imageEditor;
    return nullptr;
}

void ZDLDocument::edit(const ObjectPtr& object)
{
    if (object == m_currentEditObject)
        return;
    EditorContainer* editor = editorForObject(object);
    if (editor != m_currentEditor) {
        if (m_currentEditor)
            m_currentEditor->close();
        transitionToNewEditor(editor);
    }
    NotificationCenter::defaultCenter().post(kEditViewChangedNotification, this);
    m_currentEditObject = object;
    if (!editor || !object) {
        if (m_host)
            m_host->focusDefaultEditingView();
        return;
    }
    setEditingLevelControlLevelsIn(editor->levelControl(), object);
    editor->edit(object);
}

void ZDLDocument::transitionToNewEditor(EditorContainer* editor)
{
    if (m_host)
        m_host->transitionToNewEditor(m_currentEditor, editor);
    if (!editor && m_host)
        m_host->validateDefaultViewSelection();
    m_currentEditor = editor;
}

ObjectPtr ZDLDocument::currentEditObject() const
{
    return m_currentEditor ? m_currentEditor->rootObject() : nullptr;
}

ObjectPtr ZDLDocument::nextLevelObject(const ObjectPtr& object) const
{
    return parentOf(object);
}

void ZDLDocument::setEditingLevelControlLevelsIn(EditingLevels& levels, const ObjectPtr& object) const
{
    levels.removeAllLevels();
    ObjectPtr current = object;
    // A file can describe a cycle of parents; the chain ends where it would repeat.
    QSet<const Object*> seen;
    while (current && !seen.contains(current.get())) {
        seen.insert(current.get());
        const bool represented = asProtocol<ModelElement>(current) || isClass(current, kComicPageClass);
        const auto* container = asProtocol<Parent>(current);
        levels.insertLevel(0, container ? container->displayName() : QString(),
            container ? container->pathIcon() : QImage(), represented ? current : nullptr);
        if (!represented)
            break;
        current = nextLevelObject(current);
    }
}

void ZDLDocument::refreshPathControl()
{
    if (!m_currentEditor)
        return;
    setEditingLevelControlLevelsIn(m_currentEditor->levelControl(), m_currentEditor->rootObject());
    m_currentEditor->levelsChanged();
}

void ZDLDocument::popEditor()
{
    const ObjectPtr edited = currentEditObject();
    const ObjectPtr parent = parentOf(edited);
    if (parent && !dynamic_cast<const PanelLayer*>(parent.get()))
        edit(parent);
    else
        edit(nullptr);
}

void ZDLDocument::levelControlClicked(const ObjectPtr& represented)
{
    // The bar finishes its own mouse handling before it is rebuilt.
    DeferredCalls::perform(
        this, QStringLiteral("levelControlClicked"), 0, [this, represented] { edit(represented); });
}

void ZDLDocument::validateEditingObjectsExistence()
{
    const ObjectPtr edited = currentEditObject();
    if (!m_currentEditor)
        return;
    ObjectPtr target;
    bool detachedFound = false;
    QSet<const Object*> seen;
    for (ObjectPtr element = edited; asProtocol<ModelElement>(element) && !seen.contains(element.get());) {
        seen.insert(element.get());
        const ObjectPtr parent = parentOf(element);
        if (!parent)
            break;
        const auto* container = asProtocol<Parent>(parent);
        const auto* part = dynamic_cast<const Part*>(element.get());
        // A part the part editor is creating lives there before it is added to its parent.
        const bool pending = part && part->numChildren() == 0;
        if (container && !container->hasChild(element.get()) && !pending) {
            target = parent;
            detachedFound = true;
        }
        element = parent;
    }
    if (detachedFound) {
        if (dynamic_cast<const PanelLayer*>(target.get()))
            target = nullptr;
        edit(target);
        return;
    }
    // Nothing detached: the bar is rebuilt when it no longer shows the chain.
    EditingLevels fresh;
    setEditingLevelControlLevelsIn(fresh, edited);
    const EditingLevels& shown = m_currentEditor->levelControl();
    bool same = fresh.numLevels() == shown.numLevels();
    for (qsizetype level = 0; same && level < fresh.numLevels(); ++level)
        same = fresh.representedObjectAtLevel(level) == shown.representedObjectAtLevel(level);
    if (!same) {
        m_currentEditor->levelControl() = fresh;
        m_currentEditor->levelsChanged();
    }
}

void ZDLDocument::didUndoOrRedo()
{
    validateEditingObjectsExistence();
    if (m_host)
        m_host->validateDefaultViewSelection();
    if (m_currentEditor)
        m_currentEditor->validateSelection();
}

void ZDLDocument::objectsDeletedByUserInParent(const ObjectPtr& parent)
{
    if (EditorContainer* groupEditor = groupEditingView())
        groupEditor->checkNeedToExit();
    if (m_balloonGroupEditor)
        m_balloonGroupEditor->checkNeedToExit();
    if (m_partEditor)
        m_partEditor->checkToAddOrDeleteCurrentPart();
    dissolveIfUnderpopulated(parent);
    validateEditingObjectsExistence();
}

void ZDLDocument::dissolveIfUnderpopulated(const ObjectPtr& parent)
{
    ObjectPtr group = parent;
    QSet<const Object*> seen;
    while (group && isDissolvingGroup(group) && !seen.contains(group.get())) {
        seen.insert(group.get());
        const auto* container = asProtocol<Parent>(group);
        if (!container || container->numChildren() >= 2)
            return;
        const ObjectPtr grandparent = parentOf(group);
        const auto* outer = asProtocol<Parent>(grandparent);
        if (!outer)
            return;
        ElementList siblings = outer->children();
        const qsizetype index = siblings.indexOf(group);
        if (index < 0)
            return;
        siblings.removeAt(index);
        // An only child takes the group's place in the stacking order.
        if (container->numChildren() == 1)
            siblings.insert(index, container->getChildAtIndex(0));
        undoableSetChildren(siblings, grandparent);
        group = grandparent;
    }
}

} // namespace zandrel
