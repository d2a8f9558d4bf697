#pragma once

#include "tools/ZDLHandle.h"
#include "tools/ZDLTool.h"
#include "tools/ZDLTracker.h"

#include <QRectF>

namespace zandrel {

class ImageElement;

// The handle type of the crop rectangle's grips.
inline const QString kCroppingHandleType = QStringLiteral("cropping");

// What the crop tool tells the editor that owns it: whether a rectangle is there to crop to, so
// that the editor shows or hides its crop and cancel-crop buttons.
class CroppingController {
public:
    virtual ~CroppingController() = default;
    virtual void setCroppingButtonsVisibility(bool visible) = 0;
};

// The crop tool of the image editor. The user drags a rectangle over the edited image and adjusts it
// by its edges and corners; the tool keeps it in image pixels (the document coordinates of the
// image's editing view, whose root is the image element), clipped to the image and rounded to whole
// pixels, veils what lies outside it and tells its controller when there is one to crop to. It
// changes nothing in the document: the editor's crop command reads the rectangle.
class CroppingTool : public ZDLTool {
public:
    CroppingTool() = default;
    explicit CroppingTool(QAbstractButton* button);

    CroppingController* controller() const { return m_controller; }
    void setController(CroppingController* controller) { m_controller = controller; }

    QRectF croppingRect() const { return m_croppingRect; }
    bool croppingRectSet() const { return m_croppingRectSet; }
    // The rectangle clipped to the image and rounded to whole pixels; one that misses the image, or
    // that rounds to nothing, leaves no rectangle to crop to (its value stays but is not drawn).
    void setCroppingRect(const QRectF& rect);
    // Forgets a rectangle: the controller hides its buttons and the grips go.
    void cancelCroppingRect();

    // The image element the view edits, or null.
    ImageElement* editedImage() const;

    void exitTool() override;
    void mouseDownAt(const QPointF& point, const ZDLEvent& event) override;
    bool setCursorAt(const QPointF& point, const ZDLEvent& event) override;
    void draw() override;
    bool drawsNothing() const override { return false; }
    QString toolTip() const override;

private:
    QRectF m_croppingRect;
    bool m_croppingRectSet = false;
    CroppingController* m_controller = nullptr;
};

// One of the eight grips of the crop rectangle: 0 to 3 the top, right, bottom and left edges (strips
// 8 screen points thick along the whole side), 4 to 7 the corners clockwise from the top-left
// (squares of 16 screen points). A drag moves the moveable point and keeps the fixed one.
class CroppingFrameHandle : public ZDLHandle {
public:
    CroppingFrameHandle(const QRectF& frame, int number, const ZDLView& view);

    bool adjustX() const { return m_adjustX; }
    void setAdjustX(bool adjust) { m_adjustX = adjust; }
    bool adjustY() const { return m_adjustY; }
    void setAdjustY(bool adjust) { m_adjustY = adjust; }
    QPointF fixedPoint() const { return m_fixedPoint; }
    void setFixedPoint(const QPointF& point) { m_fixedPoint = point; }
    QPointF moveablePoint() const { return m_moveablePoint; }
    void setMoveablePoint(const QPointF& point) { m_moveablePoint = point; }

private:
    bool m_adjustX = false;
    bool m_adjustY = false;
    QPointF m_fixedPoint;
    QPointF m_moveablePoint;
};

// Draws a new rectangle from the press point to the pointer; a click without a drag makes none.
class CroppingCreationTracker : public ZDLTracker {
public:
    CroppingCreationTracker(const QPointF& point, const ZDLEvent& event, CroppingTool* tool);
    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    // The rectangle is already where the last drag left it.
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override { }

private:
    CroppingTool* m_croppingTool;
};

// Moves an edge or a corner of the rectangle with the pointer; past the opposite side it turns over.
class CroppingFrameResizeTracker : public ZDLTracker {
public:
    CroppingFrameResizeTracker(const QPointF& point, const ZDLEvent& event, CroppingTool* tool,
        std::shared_ptr<CroppingFrameHandle> handle);
    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override { }

private:
    CroppingTool* m_croppingTool;
    std::shared_ptr<CroppingFrameHandle> m_handle;
};

} // namespace zandrel
