#pragma once

#include "platform/CanvasPath.h"
#include "platform/Object.h"
#include "views/ZDLEvent.h"

#include <QCursor>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <memory>

namespace zandrel {

class Canvas;
class ZDLView;

// The type strings by which tools pick the tracker a handle starts.
inline const QString kScaleHandleType = QStringLiteral("scale");
inline const QString kRotateHandleType = QStringLiteral("rotate");
inline const QString kSkewHorizHandleType = QStringLiteral("skewHoriz");
inline const QString kSkewVertHandleType = QStringLiteral("skewVert");
inline const QString kOriginHandleType = QStringLiteral("origin");
inline const QString kPartOriginHandleType = QStringLiteral("partOrigin");

// A small grip a tool draws on the selection and keeps until the next redraw. On mouse-down the
// tool asks its handles, the last drawn first, whether they contain the point and picks a tracker by
// the handle's type. Sizes are screen points divided by the view scale the handle was made at, so
// handles look the same at every zoom.
class ZDLHandle {
public:
    ZDLHandle() = default;
    virtual ~ZDLHandle() = default;

    // The platform's half-open rule: the minimum edges are inside, the maximum edges outside.
    virtual bool contains(const QPointF& point) const;
    virtual void drawOn(Canvas& canvas) const { }
    virtual QCursor getCursorFor(const ZDLEvent& event) const { return m_cursor; }

    QRectF box() const { return m_box; }
    void setBox(const QRectF& box) { m_box = box; }
    float scale() const { return m_scale; }
    void setScale(float scale) { m_scale = scale; }
    // Which side of the frame a scale handle moves: x -1 left, 1 right; y -1 top, 1 bottom; 0 neither.
    float xFactor() const { return m_xFactor; }
    void setXFactor(float factor) { m_xFactor = factor; }
    float yFactor() const { return m_yFactor; }
    void setYFactor(float factor) { m_yFactor = factor; }
    const QString& type() const { return m_type; }
    void setType(const QString& type) { m_type = type; }
    QCursor cursor() const { return m_cursor; }
    void setCursor(const QCursor& cursor) { m_cursor = cursor; }

protected:
    // The square of the side (screen points) centred on the point, in document units, aligned to
    // device pixels.
    static QRectF squareAt(const QPointF& point, double side, const ZDLView& view);

private:
    float m_scale = 0.0f;
    float m_xFactor = 0.0f;
    float m_yFactor = 0.0f;
    QString m_type;
    QCursor m_cursor;
    QRectF m_box;
};

using ZDLHandlePtr = std::shared_ptr<ZDLHandle>;
using HandleList = QList<ZDLHandlePtr>;

// One of the eight grips on the selection frame.
class ScaleHandle : public ZDLHandle {
public:
    ScaleHandle(const QPointF& point, unsigned size, const ZDLView& view, float xFactor, float yFactor);
    void drawOn(Canvas& canvas) const override;
};

// The rotate and skew grips at the ends of the selection frame's three stalks: type 0 rotates,
// 1 skews vertically, 2 skews horizontally.
class TransformHandle : public ZDLHandle {
public:
    TransformHandle(const QPointF& point, const ZDLView& view, int transformType);
    void drawOn(Canvas& canvas) const override;

    int transformType() const { return m_transformType; }
    void setTransformType(int type) { m_transformType = type; }

    // The shapes in screen points around the handle's centre, made once and shared.
    static const CanvasPath& rotateHandlePath();
    static const CanvasPath& verticalSkewHandlePath();
    static const CanvasPath& horizontalSkewHandlePath();

private:
    int m_transformType = -1;
    const CanvasPath* m_handlePath = nullptr;
};

// The pivot of the selection's transforms, or, bound to an element, that element's own pivot point.
class OriginHandle : public ZDLHandle {
public:
    OriginHandle(const QPointF& point, unsigned size, const ZDLView& view);
    void drawOn(Canvas& canvas) const override;
    // The delete cursor while Command is held over an element's own pivot: a click resets it.
    QCursor getCursorFor(const ZDLEvent& event) const override;

    const ObjectPtr& element() const { return m_element; }
    // The type becomes "partOrigin" with an element and "origin" without.
    void setElement(const ObjectPtr& element);

private:
    bool elementHasOwnPivot() const;

    ObjectPtr m_element;
    QCursor m_deleteCursor;
};

} // namespace zandrel
