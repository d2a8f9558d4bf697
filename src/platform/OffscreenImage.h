#pragma once

#include <QImage>
#include <QSize>
#include <QSizeF>
#include <memory>

namespace zandrel {

class Canvas;
class PainterCanvas;

// A bitmap to draw into through a Canvas: premultiplied ARGB, starting transparent. Its base
// space is the logical size (pixels divided by the scale), y down unless made y-up. Sizes that
// are empty, non-finite or too large are refused: the canvas is then null and the image is null,
// never a giant allocation.
class OffscreenImage {
public:
    static constexpr int kMaxSide = 32767;
    static constexpr qint64 kMaxPixels = 128LL * 1024 * 1024;

    explicit OffscreenImage(const QSize& pixelSize, double scale = 1.0, bool yUp = false);
    ~OffscreenImage();
    OffscreenImage(const OffscreenImage&) = delete;
    OffscreenImage& operator=(const OffscreenImage&) = delete;

    // The pixel size that holds a logical size at a scale (rounded up), or an empty size when
    // the result would be refused.
    static QSize pixelSizeFor(const QSizeF& logicalSize, double scale);
    static bool isAcceptable(const QSize& pixelSize, double scale = 1.0);

    bool isValid() const { return m_canvas != nullptr; }
    // Null when the size was refused or after takeImage().
    Canvas* canvas() const;
    // Ends drawing and hands over the bitmap (with a device pixel ratio of 1).
    QImage takeImage();

private:
    QImage m_image;
    std::unique_ptr<PainterCanvas> m_canvas;
};

} // namespace zandrel
