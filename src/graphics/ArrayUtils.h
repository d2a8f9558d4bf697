#pragma once

#include "graphics/ElementProtocols.h"
#include "platform/Object.h"

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>

namespace zandrel {

class ZDLContext;

// Operations over lists of graphic elements taken as a whole: a selection, or the children of a
// container. Results keep the order of their input; arguments are never changed. Members that are
// null or do not adopt the protocol asked of them count as elements without bounds.
//
// "Of a class" is a dynamic_cast: the class or a subclass of it, and for a protocol whether the
// object adopts it, so the class filters take the class or protocol as a template parameter.
class ArrayUtils {
public:
    ArrayUtils() = delete;

    // Unions of the members' bounds of one kind, starting from the zero rectangle; empty
    // rectangles add nothing, so an empty list gives the zero rectangle.
    // The union of one kind of bounds over the elements (members that are not graphic elements
    // and empty bounds count for nothing).
    static QRectF unionOfBounds(const ElementList& elements, QRectF (GraphicElement::*bounds)() const);
    static QRectF getElementsBounds(const ElementList& elements);
    static QRectF getElementsVisualBounds(const ElementList& elements);
    static QRectF getElementsInvalidationBounds(const ElementList& elements);
    static QRectF getElementsFilteredBounds(const ElementList& elements);
    static QRectF getElementsGeometryBounds(const ElementList& elements);
    // The centre of getElementsBounds.
    static QPointF getElementsCenter(const ElementList& elements);

    // Comic groups replaced by their children, nested ones too.
    static ElementList flattenComicElementsArray(const ElementList& elements);
    // Hidden elements left out and part groups replaced by their children, nested ones too.
    static ElementList flattenPartElementsArray(const ElementList& elements);
    // Part groups replaced by their children; a path with children keeps its place and is
    // followed by them, each examined the same way.
    static ElementList flattenContainedPathsArray(const ElementList& elements);

    // Whether two elements overlap: their visual bounds first, then their path rectangles pairwise.
    static bool object(const ObjectPtr& a, const ObjectPtr& b);

    // The nearest ancestor of the element (through parent links) that is a T. The walk ends with
    // nullptr at an ancestor that is no model element, so has no parent link of its own.
    template <class T> static T* getAncestorOfClass(const Object* element)
    {
        const auto* link = dynamicCast<const ModelElement>(element);
        while (link) {
            Parent* ancestor = link->parent();
            if (!ancestor)
                return nullptr;
            if (auto* found = dynamicCast<T>(ancestor))
                return found;
            link = dynamicCast<const ModelElement>(ancestor);
        }
        return nullptr;
    }

    // The nearest ancestor whose archived class is the named one or a subclass of it, for classes
    // this code cannot name in C++. Parent links are set only by adoption, which refuses cycles;
    // a bound guards the walk anyway.
    static const Object* getAncestorOfClassNamed(const ModelElement* element, const QString& className);

    // False for an empty list.
    template <class T> static bool allIn(const ElementList& elements)
    {
        if (elements.isEmpty())
            return false;
        for (const ObjectPtr& member : elements) {
            if (!dynamicCast<T>(member.get()))
                return false;
        }
        return true;
    }
    template <class T> static bool anyIn(const ElementList& elements)
    {
        for (const ObjectPtr& member : elements) {
            if (dynamicCast<T>(member.get()))
                return true;
        }
        return false;
    }
    template <class T> static ElementList membersOfOfKindOfClass(const ElementList& elements)
    {
        return membersAdopting<T>(elements);
    }
    template <class Protocol> static ElementList membersOfConformingToProtocol(const ElementList& elements)
    {
        return membersAdopting<Protocol>(elements);
    }

    // Whether the object's archived class is the named one or a subclass of it by our class
    // registry, for classes this code cannot name in C++.
    static bool isKindOfClassNamed(const Object* object, const QString& className);

    // An exported or pasteboard image of the elements at the scale: premultiplied ARGB covering the
    // whole-number rectangle around their filtered bounds, every blur drawn. At scale 2 the image
    // is exactly twice the one at scale 1. A null image when there is nothing to cover.
    static QImage getImageForElements(const ElementList& elements, float scale);
    // The image of a drag: the filtered bounds at the scale, drawn as on screen (default blur
    // threshold, not exporting). A null image for an empty list or empty bounds.
    static QImage getNSImageForElements(const ElementList& elements, float scale);

    // Draws the contents of a part or part element: hidden members left out, groups opened, runs
    // of blurred paths grouped, then every member in order.
    static void drawPartElements(const ElementList& elements, ZDLContext& context);

private:
    template <class T> static ElementList membersAdopting(const ElementList& elements)
    {
        ElementList members;
        for (const ObjectPtr& member : elements) {
            if (dynamicCast<T>(member.get()))
                members.append(member);
        }
        return members;
    }

    // Groups runs of neighbouring blurred paths of the flat list before drawing, so that each run
    // is blurred as one image.
    static void collectBlurGroups(const ElementList& flatElements, ZDLContext& context);
};

} // namespace zandrel
