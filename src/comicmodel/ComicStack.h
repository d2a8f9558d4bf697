#pragma once

#include "comicmodel/ComicStructureElement.h"

namespace zandrel {

// Rows stacked top to bottom: the body of a page, and of a panel split into rows. Only the inner
// edges of its rows can be dragged; a corner change spreads the rows over the new quad in
// proportion to the heights they had.
class ComicStack : public ComicStructureElement {
public:
    ComicStack() = default;
    ComicStack(const ComicStack& other) = default;

    using ComicStructureElement::initWithRect;
    // The rect divided into rows of equal height, each divided into panels of equal width.
    void initWithRect(const QRectF& rect, ComicStructureElement* parent, int rows, int panels);
    ObjectPtr initByCopying() const override;

    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("ComicStack");
    QString className() const override;

    // The widest row's minimum width and the sum of the rows' minimum heights.
    QSizeF minimumSize() const override;
    // Lays the rows out inside the new quad, then records the stack's own corners.
    void setTopLeftTopRightBottomLeftBottomRight(const QPointF& topLeft, const QPointF& topRight,
        const QPointF& bottomLeft, const QPointF& bottomRight) override;
    // The top edge and corners of any row but the first, the bottom ones of any but the last.
    bool canEditChild(const ComicStructureElement* child, FramePart part) const override;
    ContentArrangement contentArrangement() const override;
};

} // namespace zandrel
