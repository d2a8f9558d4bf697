#pragma once

#include "tools/ZDLHandle.h"
#include "tools/ZDLTool.h"
#include "tools/ZDLTracker.h"

#include <QPointF>

namespace zandrel {

class CharacterDocument;
class CharacterModel;

// The handle types of the thumbnail frame's grips.
inline const QString kCornerHandleType = QStringLiteral("corner");
inline const QString kHorizEdgeHandleType = QStringLiteral("horizEdge");
inline const QString kVertEdgeHandleType = QStringLiteral("vertEdge");

// The tool of the parts view's thumbnail editor. The character's thumbnail shows a framing
// rectangle of its parts (thumbnailRect: 280 by 200 pixels at thumbnailScale from thumbnailOrigin);
// this tool veils everything outside it, frames it in green, moves it when dragged from inside and
// scales it, keeping its 7 : 5 proportions, from the grips on its edges and corners. Each gesture
// changes the model live and is recorded once, on release.
class ThumbnailEditingTool : public ZDLTool {
public:
    ThumbnailEditingTool() = default;

    // The character document and model of the tool's view; null without them.
    static CharacterDocument* characterDoc(const ZDLView* view);
    static CharacterModel* characterModel(const ZDLView* view);

    // The selection is emptied: the editor shows no selection.
    void enterTool() override;
    void mouseDownAt(const QPointF& point, const ZDLEvent& event) override;
    bool setCursorAt(const QPointF& point, const ZDLEvent& event) override;
    void draw() override;
    bool drawsNothing() const override { return false; }
};

// One of the eight grips of the thumbnail frame, numbered clockwise from the top-left corner: even
// numbers are corners (a square of at most 8 screen points, smaller on a short frame), odd ones are
// strips 6 screen points thick along an edge.
class ThumbnailScaleHandle : public ZDLHandle {
public:
    ThumbnailScaleHandle(int position, const ZDLView& view, const QRectF& frame);
};

// Moves the frame with the pointer, never to negative coordinates; "Move Thumbnail Bounds".
class ThumbnailDragTracker : public ZDLTracker {
public:
    using ZDLTracker::ZDLTracker;
    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;

private:
    bool m_started = false;
    QPointF m_initialOrigin;
};

// Scales the frame about its centre at the press: its half width follows the horizontal distance of
// the pointer from that centre (at least 28 units), its half height the vertical one (at least 20),
// a corner taking whichever gives the smaller frame; "Scale Thumbnail Bounds".
class ThumbnailScaleTracker : public ZDLTracker {
public:
    ThumbnailScaleTracker(
        const QPointF& point, const ZDLEvent& event, const QPointF& center, const QString& type);
    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;

private:
    QPointF m_centerPt;
    bool m_started = false;
    bool m_useVert = false;
    bool m_useHoriz = false;
    float m_savedThumbnailScale = 0.0f;
    QPointF m_initialOrigin;
};

} // namespace zandrel
