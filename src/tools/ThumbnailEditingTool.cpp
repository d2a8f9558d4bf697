#include "tools/ThumbnailEditingTool.h"

#include "app/core/CharacterDocument.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/CharacterModel.h"
#include "graphics/PathBuilders.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "platform/UndoManager.h"
#include "views/ZDLEditingView.h"

#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

// The frame's grips, clockwise on screen from the top-left corner: type and cursor image.
struct GripKind {
    const QString& type;
    const char* cursorImage;
};
const GripKind kGrips[8] = {
    { kCornerHandleType, "Cur_nwse-resize_Sm.tiff" },
    { kHorizEdgeHandleType, "Cur_ns-resize_Sm.tiff" },
    { kCornerHandleType, "Cur_nesw-resize_Sm.tiff" },
    { kVertEdgeHandleType, "Cur_ew-resize_Sm.tiff" },
    { kCornerHandleType, "Cur_nwse-resize_Sm.tiff" },
    { kHorizEdgeHandleType, "Cur_ns-resize_Sm.tiff" },
    { kCornerHandleType, "Cur_nesw-resize_Sm.tiff" },
    { kVertEdgeHandleType, "Cur_ew-resize_Sm.tiff" },
};
// Half the frame's size at scale 1, in units: 280 by 200 pixels.
constexpr float kHalfWidth = 140.0f;
constexpr float kHalfHeight = 100.0f;

QPointF clampedOrigin(float x, float y)
{
    return QPointF(std::max(x, 0.0f), std::max(y, 0.0f));
}

} // namespace

CharacterDocument* ThumbnailEditingTool::characterDoc(const ZDLView* view)
{
    const auto* editing = dynamic_cast<const ZDLEditingView*>(view);
    return editing ? editing->characterDoc() : nullptr;
}

CharacterModel* ThumbnailEditingTool::characterModel(const ZDLView* view)
{
    CharacterDocument* document = characterDoc(view);
    return document ? document->model().get() : nullptr;
}

void ThumbnailEditingTool::enterTool()
{
    if (view())
        view()->deselectAll();
}

void ThumbnailEditingTool::draw()
{
    const CharacterModel* model = characterModel(view());
    Canvas* canvas = currentCanvas();
    if (!model || !canvas)
        return;
    const QRectF frame = model->thumbnailRect();
    const double scale = view()->viewScale();
    CanvasPath outside;
    outside.addRect(frame);
    outside.addRect(insetRect(view()->viewBounds(), -2, -2));
    // A light veil over everything the thumbnail leaves out.
    washOutAndOutline(*canvas, outside, 1.0 / scale);
    // Not drawn: the cursors show them. Corners last, so that they win where they meet a strip.
    HandleList& handles = currentHandles();
    for (int position : { 1, 3, 5, 7, 0, 2, 4, 6 })
        handles.append(std::make_shared<ThumbnailScaleHandle>(position, *view(), frame));
}

bool ThumbnailEditingTool::setCursorAt(const QPointF& point, const ZDLEvent& event)
{
    if (setHandleCursorAt(point, event))
        return true;
    const CharacterModel* model = characterModel(view());
    if (!model || !pointInRect(point, model->thumbnailRect()))
        return false;
    view()->setCursor(Qt::PointingHandCursor);
    return true;
}

void ThumbnailEditingTool::mouseDownAt(const QPointF& point, const ZDLEvent& event)
{
    const CharacterModel* model = characterModel(view());
    if (!model)
        return;
    const QRectF frame = model->thumbnailRect();
    if (const ZDLHandlePtr handle = getHandleAt(point)) {
        view()->setCurrentTracker(
            std::make_unique<ThumbnailScaleTracker>(point, event, frame.center(), handle->type()));
    } else if (pointInRect(point, frame)) {
        view()->setCurrentTracker(std::make_unique<ThumbnailDragTracker>(point, event));
    }
}

ThumbnailScaleHandle::ThumbnailScaleHandle(int position, const ZDLView& view, const QRectF& frame)
{
    const GripKind& kind = kGrips[position];
    const float scale = view.viewScale();
    setScale(scale);
    setType(kind.type);
    setCursor(appController()->getCursorResource(QString::fromLatin1(kind.cursorImage), QPointF(8, 8)));
    const double x = frame.x();
    const double y = frame.y();
    const double w = frame.width();
    const double h = frame.height();
    if (position % 2 == 0) {
        const float side = std::min(float(h / 3.0), 8.0f) / scale;
        const QPointF corners[4] = { { x, y }, { x + w, y }, { x + w, y + h }, { x, y + h } };
        const QPointF corner = corners[position / 2];
        setBox(QRectF(corner.x() - side / 2, corner.y() - side / 2, side, side));
        return;
    }
    const double t = 6.0 / scale;
    const QRectF strips[4] = { { x, y - t / 2, w, t }, { x + w - t / 2, y, t, h }, { x, y + h - t / 2, w, t },
        { x - t / 2, y, t, h } };
    setBox(strips[position / 2]);
}

// --- Moving ---

void ThumbnailDragTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent& event)
{
    CharacterModel* model = ThumbnailEditingTool::characterModel(view());
    if (!model || !movedOverMinimum(event))
        return;
    if (!m_started) {
        m_started = true;
        m_initialOrigin = model->thumbnailOrigin();
    }
    model->setThumbnailOrigin(clampedOrigin(float(m_initialOrigin.x() + point.x() - startPt().x()),
        float(m_initialOrigin.y() + point.y() - startPt().y())));
    view()->update();
}

void ThumbnailDragTracker::mouseUpAt(const QPointF&, const ZDLEvent&)
{
    CharacterDocument* document = ThumbnailEditingTool::characterDoc(view());
    if (!m_started || !document)
        return;
    document->undoableSetPropertyFor(document->model(), CharacterModel::kThumbnailOriginKey,
        Value(document->model()->thumbnailOrigin()), Value(m_initialOrigin));
    document->undoManager()->setActionName(localized("Move Thumbnail Bounds"));
}

// --- Scaling ---

ThumbnailScaleTracker::ThumbnailScaleTracker(
    const QPointF& point, const ZDLEvent& event, const QPointF& center, const QString& type)
    : ZDLTracker(point, event)
    , m_centerPt(center)
    , m_useVert(type == kCornerHandleType || type == kHorizEdgeHandleType)
    , m_useHoriz(type == kCornerHandleType || type == kVertEdgeHandleType)
{
    // Every drag counts: the frame follows from the first movement.
    setMovedMinimum();
}

void ThumbnailScaleTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent&)
{
    CharacterModel* model = ThumbnailEditingTool::characterModel(view());
    if (!model)
        return;
    if (!m_started) {
        m_started = true;
        m_savedThumbnailScale = model->thumbnailScale();
        m_initialOrigin = model->thumbnailOrigin();
    }
    const float sv = kHalfHeight / std::max(float(std::abs(point.y() - m_centerPt.y())), 20.0f);
    const float sh = kHalfWidth / std::max(float(std::abs(point.x() - m_centerPt.x())), 28.0f);
    const float scale = m_useHoriz && m_useVert ? std::max(sh, sv) : m_useHoriz ? sh : sv;
    const float old = model->thumbnailScale();
    model->setThumbnailScale(scale);
    // The frame keeps its centre, unless the clamp at 0 pushes it.
    const QPointF origin = model->thumbnailOrigin();
    model->setThumbnailOrigin(clampedOrigin(float(origin.x() + kHalfWidth / old - kHalfWidth / scale),
        float(origin.y() + kHalfHeight / old - kHalfHeight / scale)));
    view()->update();
}

void ThumbnailScaleTracker::mouseUpAt(const QPointF&, const ZDLEvent&)
{
    CharacterDocument* document = ThumbnailEditingTool::characterDoc(view());
    if (!m_started || !document)
        return;
    const auto& model = document->model();
    document->undoableSetPropertyFor(model, CharacterModel::kThumbnailScaleKey,
        Value(model->thumbnailScale()), Value(m_savedThumbnailScale));
    document->undoableSetPropertyFor(
        model, CharacterModel::kThumbnailOriginKey, Value(model->thumbnailOrigin()), Value(m_initialOrigin));
    document->undoManager()->setActionName(localized("Scale Thumbnail Bounds"));
}

} // namespace zandrel
