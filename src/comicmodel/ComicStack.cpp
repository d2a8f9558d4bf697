#include "comicmodel/ComicStack.h"

#include "comicmodel/ComicRow.h"
#include "comicmodel/StructureLayout.h"

#include <algorithm>

namespace zandrel {

void ComicStack::initWithRect(const QRectF& rect, ComicStructureElement* parent, int rows, int panels)
{
    initWithRect(rect, parent);
    const double y0 = float(rect.y());
    const double h = rect.height();
    for (int i = 0; i < rows; ++i) {
        auto row = std::make_shared<ComicRow>();
        row->initWithRect(QRectF(rect.x(), y0 + i * h / rows, rect.width(), h / rows), this, panels);
        appendChild(row);
    }
}

ObjectPtr ComicStack::initByCopying() const
{
    return std::make_shared<ComicStack>(*this);
}

QString ComicStack::className() const
{
    return kClassName;
}

QSizeF ComicStack::minimumSize() const
{
    float width = 0.0f;
    double height = 0.0;
    for (const auto& row : contents()) {
        const QSizeF size = row->minimumSize();
        width = std::max(width, float(size.width()));
        height += size.height();
    }
    return QSizeF(width, height);
}

void ComicStack::setTopLeftTopRightBottomLeftBottomRight(
    const QPointF& topLeft, const QPointF& topRight, const QPointF& bottomLeft, const QPointF& bottomRight)
{
    distributeChildren(contents(), contentArrangement(), topLeft, topRight, bottomLeft, bottomRight);
    undoableSetTopLeft(topLeft, topRight, bottomLeft, bottomRight);
}

bool ComicStack::canEditChild(const ComicStructureElement* child, FramePart part) const
{
    const int count = int(numContents());
    const int index = indexOfChild(child);
    if (count < 2 || index < 0)
        return false;
    switch (part) {
    case FramePart::TopEdge:
    case FramePart::TopLeft:
    case FramePart::TopRight:
        return index > 0;
    case FramePart::BottomEdge:
    case FramePart::BottomLeft:
    case FramePart::BottomRight:
        return index < count - 1;
    default:
        return false;
    }
}

ContentArrangement ComicStack::contentArrangement() const
{
    return ContentArrangement::StackedTopToBottom;
}

} // namespace zandrel
