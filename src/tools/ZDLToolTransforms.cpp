// The live transforms of the tool base: a gesture changes the selection as the pointer moves and is
// recorded as one undoable step when it ends.
#include "app/core/ZDLDocument.h"
#include "graphics/ArrayUtils.h"
#include "platform/Localization.h"
#include "tools/ZDLTool.h"
#include "views/ZDLEditingView.h"

namespace zandrel {

namespace {

Parent* containerOf(const ZDLView* view)
{
    return view ? asProtocol<Parent>(view->rootObject()) : nullptr;
}

void transformAll(const ElementList& elements, const QTransform& transform)
{
    for (const ObjectPtr& element : elements) {
        if (auto* graphic = asProtocol<GraphicElement>(element))
            graphic->transformBy(transform);
    }
}

// The children with each selected one replaced by a deep copy; the copies in child order.
ElementList childrenWithCopies(const ElementList& children, const ElementList& selection, ElementList& copies)
{
    ElementList replaced = children;
    for (qsizetype index = 0; index < replaced.size(); ++index) {
        if (!selection.contains(replaced.at(index)))
            continue;
        const auto* graphic = asProtocol<GraphicElement>(replaced.at(index));
        if (!graphic)
            continue;
        replaced[index] = graphic->initByCopying();
        copies.append(replaced.at(index));
    }
    return replaced;
}

} // namespace

void ZDLTool::applyInteractiveTransform(const QTransform& transform, bool undoingWithCopy)
{
    Parent* root = containerOf(m_view);
    ZDLDocument* document = m_editingView ? m_editingView->document() : nullptr;
    if (!root || !document)
        return;
    document->updateViewsRect(ArrayUtils::getElementsInvalidationBounds(m_view->selection()), false);
    QTransform step = transform;
    ElementList targets = m_view->selection();
    if (m_appliedTransform) {
        bool invertible = false;
        const QTransform undoPrevious = m_appliedTransform->inverted(&invertible);
        if (!invertible)
            return;
        step = undoPrevious * transform;
    } else if (undoingWithCopy) {
        // The originals stay aside untouched; their transformed copies stand in their places.
        const bool overridden = m_view->transformOriginOverridden();
        const QPointF origin = m_view->transformOrigin();
        m_savedOriginals = true;
        m_savedChildren = root->children();
        m_savedSelection = m_view->selection();
        ElementList copies;
        root->setChildren(childrenWithCopies(m_savedChildren, m_savedSelection, copies));
        m_view->setSelection(copies);
        if (overridden)
            m_view->setTransformOrigin(origin);
        targets = copies;
    }
    transformAll(targets, step);
    m_appliedTransform = transform;
    document->updateViewsRect(ArrayUtils::getElementsInvalidationBounds(targets), true);
}

void ZDLTool::commitInteractiveTransform(const QString& actionTemplate)
{
    Parent* root = containerOf(m_view);
    ZDLDocument* document = m_editingView ? m_editingView->document() : nullptr;
    // A click without a drag commits nothing.
    if (!m_appliedTransform || !root || !document)
        return;
    const QString name = actionTemplate.arg(localized("Objects"));
    const bool overridden = m_view->transformOriginOverridden();
    const QPointF origin = m_view->transformOrigin();
    if (m_savedOriginals) {
        // One swap of the children list: undo brings back the untransformed originals.
        const ElementList current = root->children();
        const ElementList copies = m_view->selection();
        root->setChildren(m_savedChildren);
        m_view->setSelection(m_savedSelection);
        document->undoableSetChildren(current, m_view->rootObject());
        m_editingView->undoableSetSelection(copies, false);
        document->undoManager()->setActionName(name);
    } else {
        const ElementList selection = m_view->selection();
        document->undoableTransformObjects(selection, *m_appliedTransform, name, true);
        m_editingView->undoableSetSelection(selection, true);
    }
    if (overridden)
        m_view->setTransformOrigin(origin);
    m_appliedTransform.reset();
    m_savedOriginals = false;
    m_savedChildren.clear();
    m_savedSelection.clear();
}

void ZDLTool::applyPerspectiveTransform(const QRectF& from, const std::array<QPointF, 4>& to)
{
    Parent* root = containerOf(m_view);
    ZDLDocument* document = m_editingView ? m_editingView->document() : nullptr;
    if (!root || !document)
        return;
    if (!m_savedOriginals) {
        m_savedOriginals = true;
        m_savedChildren = root->children();
        m_savedSelection = m_view->selection();
    }
    // Every step starts again from the originals, so that rounding never accumulates.
    ElementList copies;
    const ElementList replaced = childrenWithCopies(m_savedChildren, m_savedSelection, copies);
    for (const ObjectPtr& copy : std::as_const(copies)) {
        if (auto* graphic = asProtocol<GraphicElement>(copy))
            graphic->perspectiveTransformFrom(from, to);
    }
    root->setChildren(replaced);
    m_view->setSelection(copies);
    document->updateViewsRect(ArrayUtils::getElementsInvalidationBounds(copies), true);
}

void ZDLTool::commitPerspectiveTransform()
{
    Parent* root = containerOf(m_view);
    ZDLDocument* document = m_editingView ? m_editingView->document() : nullptr;
    if (!m_savedOriginals || !root || !document)
        return;
    const ElementList current = root->children();
    const ElementList copies = m_view->selection();
    root->setChildren(m_savedChildren);
    m_view->setSelection(m_savedSelection);
    document->undoableSetChildren(current, m_view->rootObject());
    m_editingView->undoableSetSelection(copies, false);
    document->undoManager()->setActionName(localized("Perspective Change"));
    m_savedOriginals = false;
    m_savedChildren.clear();
    m_savedSelection.clear();
}

} // namespace zandrel
