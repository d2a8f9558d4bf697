#pragma once

#include "tools/ZDLHandle.h"

namespace zandrel {

class ComicPanel;

inline const QString kPanelCornerHandleType = QStringLiteral("panelCorner");
inline const QString kPanelSideHandleType = QStringLiteral("panelSide");

// A grip on a corner of the current free panel. It moves nothing itself: it names the corner a drag
// moves, the two corners beside it that slide along the edges meeting at the opposite corner, and
// that opposite corner, which a resize keeps. With Command held it shows the distort cursor.
class FloatingPanelCornerHandle : public ZDLHandle {
public:
    FloatingPanelCornerHandle(const QPointF& point, const ZDLView& view, const QString& direct,
        const QString& indirect1, const QString& indirect2, const QString& anchor);

    void drawOn(Canvas& canvas) const override;
    QCursor getCursorFor(const ZDLEvent& event) const override;

    const QString& directCornerProp() const { return m_direct; }
    const QString& indirectCorner1Prop() const { return m_indirect1; }
    const QString& indirectCorner2Prop() const { return m_indirect2; }
    const QString& anchorCornerProp() const { return m_anchor; }

private:
    QCursor m_distortCursor;
    QString m_direct;
    QString m_indirect1;
    QString m_indirect2;
    QString m_anchor;
};

// A grip on a side of the current free panel: the side's two corners move, the opposite side's stay.
// Each anchor is the far end of the edge that leaves the direct corner of the same number.
class FloatingPanelSideHandle : public ZDLHandle {
public:
    FloatingPanelSideHandle(const QPointF& point, const ZDLView& view, const QString& direct1,
        const QString& direct2, const QString& anchor1, const QString& anchor2);

    void drawOn(Canvas& canvas) const override;
    QCursor getCursorFor(const ZDLEvent& event) const override;

    const QString& directCorner1Prop() const { return m_direct1; }
    const QString& directCorner2Prop() const { return m_direct2; }
    const QString& anchorCorner1Prop() const { return m_anchor1; }
    const QString& anchorCorner2Prop() const { return m_anchor2; }

private:
    QCursor m_distortCursor;
    QString m_direct1;
    QString m_direct2;
    QString m_anchor1;
    QString m_anchor2;
};

// The eight grips of a free panel, 2 screen points outside its corners and at the middles of its
// sides: the corners clockwise from the top left, then the top, left, bottom and right sides. A
// search from the end therefore finds side grips before corner grips where they overlap.
HandleList floatingPanelHandles(const ComicPanel& panel, const ZDLView& view);

} // namespace zandrel
