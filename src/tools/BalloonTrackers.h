#pragma once

#include "comicmodel/BalloonPointer.h"
#include "tools/ZDLTracker.h"

#include <QRectF>
#include <memory>
#include <optional>

namespace zandrel {

class Balloon;
class BalloonPointerHandle;
class BalloonWidthHandle;

// Drags a width grip: the text area grows or shrinks from that side, never below 30 units, and the
// other side stays; one step "Resize Balloon" when the width changed.
class BalloonWidthTracker : public ZDLTracker {
public:
    BalloonWidthTracker(const QPointF& point, const ZDLEvent& event, const BalloonWidthHandle& handle);

    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;

private:
    std::shared_ptr<Balloon> m_balloon;
    bool m_atOrigin;
    QPointF m_initialOrigin;
    float m_initialWidth;
};

// Slides a tail's base over the balloon's visible text rectangle; the other points travel with it.
// One step "Move Balloon Pointer".
class BalloonPointerBaseTracker : public ZDLTracker {
public:
    BalloonPointerBaseTracker(
        const QPointF& point, const ZDLEvent& event, const BalloonPointerHandle& handle);

    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;

private:
    std::shared_ptr<Balloon> m_balloon;
    BalloonPointerPtr m_pointer;
    float m_initialXPos;
    float m_initialYPos;
    QRectF m_balloonBox;
};

// Drags one further point of a tail by the whole pointer offset. Given the points from before an
// insertion, the gesture counts as a drag at once, so that the inserted point is one step
// "Reshape Balloon Pointer" even when it is not moved.
class BalloonPointerPointTracker : public ZDLTracker {
public:
    BalloonPointerPointTracker(const QPointF& point, const ZDLEvent& event, const BalloonPointerPtr& pointer,
        qsizetype pointIndex, const std::optional<BalloonPointList>& originalPoints);

    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;

    // Every point copied, so that edits leave the list given alone.
    static BalloonPointList deepCopy(const BalloonPointList& points);

private:
    BalloonPointerPtr m_pointer;
    qsizetype m_pointIndex;
    BalloonPointList m_initialPoints;
    BalloonPointList m_editPoints;
};

} // namespace zandrel
