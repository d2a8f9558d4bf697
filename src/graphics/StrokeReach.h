#pragma once

#include "graphics/DrawCommand.h"

#include <QPointF>
#include <QRectF>
#include <vector>

namespace zandrel {

// How far a stroke paints beyond the outline it follows. Half the width on every side of the
// outline's exact bounds covers smooth stretches, butt caps and bevels; a mitred corner reaches
// further, up to the miter limit times half the width at its tip (the canvas bevels a corner whose
// miter would pass the limit).

// A corner whose miter tip lies more than half the width away from it in x or in y. The tip of a
// stroke of half width h lies at corner + reach * h.
struct MiterTip {
    QPointF corner;
    QPointF reach;
};

struct StrokeOutline {
    // The outline's exact bounds: the extremes of its curves, not of a flattening or of the
    // control points.
    QRectF bounds;
    // The corners (joins between segments, and where a closed subpath, or one that ends where it
    // started, meets its start) whose miters at the limit reach past half the width in x or y.
    std::vector<MiterTip> tips;
};

// Segments of no length have no direction and are passed over.
StrokeOutline strokeOutlineOf(const DrawCommandList& commands, double miterLimit);

// The outline's bounds grown by half the width, united with the miter tips at that width; the
// outline's bounds as they are for a width of 0 or less.
QRectF strokeBounds(const StrokeOutline& outline, double lineWidth);

} // namespace zandrel
