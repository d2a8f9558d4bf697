#pragma once

#include "tools/ZDLHandle.h"

namespace zandrel {

class Balloon;

inline const QString kBalloonWidthHandleType = QStringLiteral("balloonWidth");
inline const QString kBalloonPointerBaseHandleType = QStringLiteral("balloonPointerBase");
inline const QString kBalloonPointerHandleType = QStringLiteral("balloonPointer");

// A grip at the top-left (at the origin) or top-right corner of a balloon's text area; dragging it
// changes the width the text flows in, keeping the other side in place.
class BalloonWidthHandle : public ZDLHandle {
public:
    BalloonWidthHandle(const QPointF& point, unsigned size, const ZDLView& view,
        const std::shared_ptr<Balloon>& balloon, bool atOrigin);

    void drawOn(Canvas& canvas) const override;

    const std::shared_ptr<Balloon>& balloon() const { return m_balloon; }
    bool atOrigin() const { return m_atOrigin; }

private:
    bool m_atOrigin;
    std::shared_ptr<Balloon> m_balloon;
};

// The grip of one point of a balloon's tail: a white circle on the base, which slides over the
// balloon, and a filled square on each further point. With Command it shows the delete cursor.
class BalloonPointerHandle : public ZDLHandle {
public:
    BalloonPointerHandle(const ZDLView& view, const std::shared_ptr<Balloon>& balloon, qsizetype pointerIndex,
        qsizetype pointIndex);

    void drawOn(Canvas& canvas) const override;
    QCursor getCursorFor(const ZDLEvent& event) const override;

    const std::shared_ptr<Balloon>& balloon() const { return m_balloon; }
    qsizetype pointerIndex() const { return m_pointerIndex; }
    qsizetype pointIndex() const { return m_pointIndex; }
    // The point in document coordinates.
    QPointF position() const { return m_position; }

private:
    QCursor m_deleteCursor;
    std::shared_ptr<Balloon> m_balloon;
    qsizetype m_pointerIndex;
    qsizetype m_pointIndex;
    QPointF m_position;
};

} // namespace zandrel
