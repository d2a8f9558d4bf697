#pragma once

#include "graphics/DrawCommand.h"
#include "graphics/ElementProtocols.h"

#include <QList>
#include <QString>
#include <cstddef>
#include <memory>

namespace zandrel {

class CanvasPath;
class Curve;

// An outline made of curves (segments), as part paths and masks are. It shares the parent link of
// ModelElement, so a path that is also a graphic element has one link, not two.
class Path : public virtual ModelElement {
public:
    // The property name of the curves, which observers of a path's shape watch and undo records.
    static inline const QString kSegmentsKey = QStringLiteral("segments");

    // The draw commands of all curves, in order.
    virtual DrawCommandList getDrawCommands() const = 0;
    // A new path value built from the draw commands.
    virtual CanvasPath createCGPath() const = 0;
    virtual std::size_t numSegments() const = 0;
    // The curve itself, not a copy, so callers can edit it in place; nullptr past the end.
    virtual std::shared_ptr<Curve> getSegmentAtIndex(std::size_t index) const = 0;
    virtual void deleteCurvePoint(std::size_t pointIndex, std::size_t segmentIndex) = 0;
    // Drops the cached path value and the cached rendering.
    virtual void flushCache() = 0;
    // Copies of the curves: changing them does not change the path.
    virtual QList<std::shared_ptr<Curve>> segments() const = 0;
    // Keeps copies of the given curves and drops the caches.
    virtual void setSegments(const QList<std::shared_ptr<Curve>>& segments) = 0;
};

} // namespace zandrel
