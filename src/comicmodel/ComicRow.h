#pragma once

#include "comicmodel/ComicStructureElement.h"

namespace zandrel {

// Panels side by side, left to right (or a nested stack where a panel was split into rows). Only
// the inner edges of its children can be dragged; a corner change spreads the children over the new
// quad in proportion to the widths they had.
class ComicRow : public ComicStructureElement {
public:
    ComicRow() = default;
    ComicRow(const ComicRow& other) = default;

    using ComicStructureElement::initWithRect;
    // The rect divided into panels of equal width.
    void initWithRect(const QRectF& rect, ComicStructureElement* parent, int panels);
    ObjectPtr initByCopying() const override;

    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("ComicRow");
    QString className() const override;

    // The sum of the children's minimum widths and the largest minimum height.
    QSizeF minimumSize() const override;
    // Lays the children out inside the new quad, then records the row's own corners.
    void setTopLeftTopRightBottomLeftBottomRight(const QPointF& topLeft, const QPointF& topRight,
        const QPointF& bottomLeft, const QPointF& bottomRight) override;
    // The left edge and corners of any child but the first, the right ones of any but the last.
    bool canEditChild(const ComicStructureElement* child, FramePart part) const override;
    ContentArrangement contentArrangement() const override;

    // A new blank panel: the class registered as "ComicPanel", or a bare structure element while
    // no panel class is registered.
    static std::shared_ptr<ComicStructureElement> makePanel();
};

} // namespace zandrel
