#pragma once

#include <QPainterPath>
#include <QPen>
#include <QTransform>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace zandrel {

// A filled area in device pixels: curves flattened, a stroke turned into the area it paints.
//
// Drawing a large image in bands, Qt would flatten each path, and stroke it, whole in every band
// it crosses, whatever the clip. An outline is made once and each band fills only its own rows of
// it. Curves are flattened exactly as Qt's raster engine flattens them and strokes are the
// outlines it fills itself, so that filling an outline paints the very pixels Qt's own drawing
// would; dashes alone are laid differently (see strokesAsOutline).
struct DeviceOutline {
    std::vector<QPointF> points;
    std::vector<int> contourEnds; // one past the last point of each contour
    std::vector<std::pair<double, double>> contourRows; // lowest and highest y of each contour
    Qt::FillRule rule = Qt::WindingFill;
    // The rows each run of kChunk points (from index 0 on) spans, lowest and highest y: a band
    // passes over the runs that lie wholly outside it without looking at their points.
    static constexpr int kChunk = 16;
    std::vector<std::pair<double, double>> chunkRows;

    // The path (user space) filled, or with a pen stroked, under the transform to device pixels.
    // A path that no longer fits a device (a non-finite point) gives an empty outline.
    static DeviceOutline of(
        const QPainterPath& path, const QTransform& userToDevice, const QPen* pen = nullptr);
    // Whether a pen is drawn as an outline: non-cosmetic and wider than a device pixel under the
    // transform, solid or, under a transform that keeps angles, dashed. Qt draws thinner pens by a
    // route of its own, which a pass and its bands share. (Qt's dashes would not do: it lays only
    // those that reach the clip, and a band's differ from the pass's at its edges.)
    static bool strokesAsOutline(const QPen& pen, const QTransform& userToDevice);

    // The contours for a painter without transform, less what lies wholly above the top row or
    // below the last one (bottom is exclusive). A rasteriser works row by row: those segments paint
    // nothing in between, and each segment that remains is the one the whole outline has.
    QPainterPath pathForRows(double top, double bottom) const;
    QPainterPath path() const;
};

// Where the bands drawing one recorded fill or stroke find its outline: made by the first band
// that needs it, the others wait for it and share it. Thread-safe.
class OutlineSlot {
public:
    // The outline of the path (filled, or stroked with the pen) under the transform. The slot
    // keeps the first one it makes; asked for another transform or pen (a band's own layer), it
    // makes one for that caller only.
    std::shared_ptr<const DeviceOutline> outline(
        const QPainterPath& path, const QTransform& userToDevice, const QPen* pen);

    // Whether the slot's outline has been made.
    bool ready() const { return m_ready.load(std::memory_order_acquire); }

private:
    std::once_flag m_made;
    std::atomic<bool> m_ready { false };
    QTransform m_transform;
    std::optional<QPen> m_pen;
    std::shared_ptr<const DeviceOutline> m_outline;
};

} // namespace zandrel
