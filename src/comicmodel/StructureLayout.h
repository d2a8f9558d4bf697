#pragma once

#include "comicmodel/ComicStructureElement.h"

#include <QPointF>

namespace zandrel {

// Lays children out along two opposite sides of a container's new quad, side by side (a row: the
// top and bottom edges) or stacked (a stack: the left and right edges). Each child keeps its share
// of the length it has now, measured separately along each side, so a skewed or tapered container
// keeps its proportions on both; neighbours stay edge to edge. Each child gets its new corners
// through its own layout setter.
void distributeChildren(const ComicStructureList& children, ContentArrangement arrangement,
    const QPointF& topLeft, const QPointF& topRight, const QPointF& bottomLeft, const QPointF& bottomRight);

} // namespace zandrel
