#pragma once

#include "graphics/ElementChildren.h"
#include "graphics/GraphicElementBase.h"

#include <QString>
#include <QStringList>

namespace zandrel {

class KeyedArchiver;
class KeyedUnarchiver;

// What the two containers of part elements share: the elements inside a part (PartElement, and so
// groups and paths) and the part itself (Part). Each holds an ordered list of children (part
// elements and image elements, first drawn first), a visibility flag and a link to its container;
// most requests are passed on to the children, and bounds are unions of theirs. Anything that is
// not a graphic element, and the container itself or one of its ancestors, is never taken in.
class PartContainer : public GraphicElementBase, public BoundsByKind, public virtual PartElementParent {
public:
    // --- Tree ---
    ElementList children() const override { return m_children.items(); }
    // Visible children, groups opened, nested ones too.
    ElementList flattenedChildren() const override;
    std::size_t numChildren() const override { return m_children.size(); }
    ObjectPtr getChildAtIndex(std::size_t index) const override { return m_children.at(index); }
    bool hasChild(const Object* element) const override { return m_children.contains(element); }
    // Appends and adopts the element, without flushing.
    void addPartElement(const ObjectPtr& element) override;
    bool canEditContents() const override { return true; }
    bool canSelectContents() const override { return true; }

    // --- Passed on to every child ---
    // Children are always moved with directly false: only what the user moved gets true.
    void offsetBy(const QPointF& delta, bool directly) override;
    void transformBy(const QTransform& transform) override;
    void perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad) override;
    void recordGeometry(GeometryRecord& record) const override;
    void restoreGeometry(GeometryReader& reader) override;
    // Any child that contains the point, visible or not.
    bool containsPt(const QPointF& point, float viewScale) const override;
    void flushCachesUsingColor() override;

    // Every kind of bounds is the empty rectangle while hidden or childless, else the union of the
    // children's; getBoundsIgnoringVisibility never looks at the container's own flag.
    QRectF getBounds() const override { return BoundsByKind::getBounds(); }
    QRectF getGeometryBounds() const override { return BoundsByKind::getGeometryBounds(); }
    QRectF getBoundsIgnoringVisibility() const override;

protected:
    PartContainer() = default;
    // Copies of the children, each made by its own class and adopted by the copy.
    PartContainer(const PartContainer& other);
    ~PartContainer() override = default;

    // Replaces every child and adopts the new ones. Elements that leave the list keep their parent
    // link, so that an undo can put them back as they were.
    void adoptChildren(const ElementList& children);
    void encodeChildren(KeyedArchiver& coder, const QString& key) const;
    void decodeChildren(KeyedUnarchiver& coder, const QString& key);

    GraphicElementChildren m_children { this };

    QRectF boundsOfKind(BoundsKind kind) const override;
};

// The class names an archived list of part elements may hold.
QStringList partElementMemberClasses();

} // namespace zandrel
