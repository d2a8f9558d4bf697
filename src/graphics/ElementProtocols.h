#pragma once

#include "platform/Value.h"

#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <array>
#include <cstddef>
#include <memory>

namespace zandrel {

class GeometryReader;
class GeometryRecord;
class GraphicElement;
class GraphicManipulator;
class Parent;
class ZDLContext;

// The members of a container, owned by it. The protocols below are interfaces beside Object, so a
// member is held as an Object and asked for a protocol with asProtocol.
using ElementList = QList<ObjectPtr>;

// The one message passed down every element tree (notifyAllGraphicsOf). The codes are fixed: views,
// tools and the models send them by number.
enum class GraphicNotice : int {
    ZoomChanged = 0,
    ParentChanged = 1,
    FlushCachedImages = 2,
    // Carries a GraphicManipulator, applied to a container before its children.
    ApplyManipulator = 3,
};

// "An object that answers X": the protocol of an element, or nullptr when it does not adopt it.
template <class Protocol> Protocol* asProtocol(const ObjectPtr& object)
{
    return dynamicCast<Protocol>(object.get());
}

// An element of a model tree: it knows the container that holds it. The link does not own: the
// container owns its members, and retiring a model clears every link.
class ModelElement {
public:
    virtual ~ModelElement() = default;

    virtual Parent* parent() const = 0;
    virtual void setParent(Parent* parent) = 0;
};

// Something that can say which area the views must redraw when it changes. Every graphic element
// can, and so can pieces of the comic structure that are not graphic elements (panels, their layers,
// balloon tails); the document announces the area of whatever answers it around a change.
class InvalidationBoundsSource {
public:
    virtual ~InvalidationBoundsSource() = default;

    virtual QRectF getInvalidationBounds() const = 0;
};

// Something the user sees and edits: copied, moved, transformed, drawn, hit-tested, measured and
// validated through this interface alone, whatever class it is.
class GraphicElement : public virtual ModelElement, public virtual InvalidationBoundsSource {
public:
    // A new element of the same class made by deep copying this one: children are copied and
    // re-parented to the copy, whose own parent is left for the caller to set.
    virtual ObjectPtr initByCopying() const = 0;

    // directly is true only for the elements the user moves; containers pass moves on with false.
    virtual void offsetBy(const QPointF& delta, bool directly) = 0;
    virtual void transformBy(const QTransform& transform) = 0;
    // Maps the geometry from the rectangle onto the quadrilateral of the four corners.
    virtual void perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad) = 0;
    // Appends everything the three above change (graphics/GeometryRecord.h), and puts it back
    // exactly, reading in the same order: an undo restores positions rather than moving back.
    virtual void recordGeometry(GeometryRecord& record) const = 0;
    virtual void restoreGeometry(GeometryReader& reader) = 0;
    virtual void drawIn(ZDLContext& context) = 0;
    virtual bool containsPt(const QPointF& point, float viewScale) const = 0;
    // Drops every cached rendering that depends on colours.
    virtual void flushCachesUsingColor() = 0;

    // Without a reaction of its own an element applies a manipulator to itself and passes the notice
    // to its children (when it is a Parent). Classes that react call this first, then react.
    virtual void notifyAllGraphicsOf(GraphicNotice notice, GraphicManipulator* object);

    // Drops the element's cached rendering. By default the element has none and tells its parent,
    // so a change deep inside a part drops the part's bitmap; the part at the top stops the chain.
    virtual void flushCachedImage();

    // The bounds family. Hidden elements and elements without geometry answer the empty rectangle,
    // except getBoundsIgnoringVisibility, which never looks at visibility. The defaults relate the
    // members as an element without line, blur or handles has them, so such an element gives
    // only the bounds of its geometry: getBounds is that while visible, the visual, geometry,
    // invalidation and filtered bounds are getBounds, and the one path rectangle is the visual
    // bounds. Elements that draw more replace what differs.
    virtual QRectF getBounds() const;
    virtual QRectF getBoundsIgnoringVisibility() const = 0;
    virtual QRectF getVisualBounds() const;
    QRectF getInvalidationBounds() const override;
    virtual QRectF getGeometryBounds() const;
    virtual QRectF getFilteredBounds() const;
    // One rectangle for each path-like piece, for fine overlap tests.
    virtual QList<QRectF> getBoundsOfPaths() const;

    // True when the element is usable; unusable children are removed first.
    virtual bool validateData() = 0;

    virtual bool visible() const = 0;
    virtual void setVisible(bool visible) = 0;
};

// An element whose every kind of bounds follows from one rule: a container's are the union of its
// children's, an alias's those of the element it shows, moved to where it shows it. The rule is
// given the kind asked for.
class BoundsByKind : public virtual GraphicElement {
public:
    using BoundsKind = QRectF (GraphicElement::*)() const;

    QRectF getBounds() const override { return boundsOfKind(&GraphicElement::getBounds); }
    QRectF getVisualBounds() const override { return boundsOfKind(&GraphicElement::getVisualBounds); }
    QRectF getInvalidationBounds() const override
    {
        return boundsOfKind(&GraphicElement::getInvalidationBounds);
    }
    QRectF getGeometryBounds() const override { return boundsOfKind(&GraphicElement::getGeometryBounds); }
    QRectF getFilteredBounds() const override { return boundsOfKind(&GraphicElement::getFilteredBounds); }

protected:
    virtual QRectF boundsOfKind(BoundsKind kind) const = 0;
};

// An element of a character or comic model: it knows its model and what kind of part it is.
class ComicElement : public virtual GraphicElement {
public:
    // The owning model (a CharacterModel for parts, a ComicModel for balloons), not owned.
    virtual Object* model() const = 0;
    virtual int partType() const = 0;
    virtual void setPartType(int partType) = 0;
};

// A comic element with a pivot, about which rotate and scale gestures turn it.
class ComicGraphicElement : public virtual ComicElement {
public:
    virtual QPointF origin() const = 0;
    virtual void setOrigin(const QPointF& origin) = 0;
    virtual QPointF appliedOrigin() const = 0;
    virtual bool hasOrigin() const = 0;
    virtual void setHasOrigin(bool hasOrigin) = 0;
};

// A container of an ordered list of children, first drawn first.
class Parent {
public:
    virtual ~Parent() = default;

    // A new list: changing the container afterwards does not change it.
    virtual ElementList children() const = 0;
    virtual std::size_t numChildren() const;
    // nullptr for an index past the end.
    virtual ObjectPtr getChildAtIndex(std::size_t index) const;
    // Replaces the children and makes this container their parent.
    virtual void setChildren(const ElementList& children) = 0;
    virtual bool hasChild(const Object* element) const;
    // The topmost visible child that contains the point, or nullptr.
    virtual ObjectPtr getChildAt(const QPointF& point, float viewScale) const;

    virtual QRectF getBounds() const = 0;
    virtual QRectF getGeometryBounds() const = 0;

    // The text and icon of this level in the editing-level bar; a null image when there is none.
    virtual QString displayName() const = 0;
    virtual QImage pathIcon() const;
    virtual bool canEditContents() const = 0;
    virtual bool canSelectContents() const = 0;
};

// A container that takes part elements.
class PartElementParent : public virtual Parent {
public:
    // Appends the element and makes this container its parent.
    virtual void addPartElement(const ObjectPtr& element) = 0;
    // The visible children with every group replaced by its children, recursively.
    virtual ElementList flattenedChildren() const = 0;
};

// Sends a notice to every child of the container that is a graphic element, in order. Models that
// are containers but not graphic elements send notices to their trees this way.
void notifyChildrenOf(const Parent& container, GraphicNotice notice, GraphicManipulator* object);

// Sends flushCachedImage to the element's parent when the parent is itself a graphic element.
void flushParentCachedImage(const ModelElement& element);

// A typed deep copy, for callers that know the class of what they copy.
template <class T> std::shared_ptr<T> copyElement(const T& element)
{
    return std::dynamic_pointer_cast<T>(element.initByCopying());
}

} // namespace zandrel
