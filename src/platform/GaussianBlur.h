#pragma once

#include <QImage>
#include <QPoint>

namespace zandrel {

// The blurred bitmap and where it lies: offset is the position of its top-left pixel relative to
// the source's top-left (minus the padding on both axes).
struct BlurredImage {
    QImage image;
    QPoint offset;
};

// Largest sigma the blur honours; larger values are clamped to it.
inline constexpr double kMaxBlurSigma = 250.0;

// Padding added on each side for a sigma (ceil(3 sigma) after clamping; 0 for sigma <= 0 or NaN).
int gaussianBlurPadding(double sigma);

// Gaussian blur of a bitmap with sigma in pixels, approximated by three box passes per axis.
// The result is premultiplied ARGB32, padded by gaussianBlurPadding(sigma) on every side so that
// nothing is cut off. sigma <= 0 (or NaN) returns a copy; a null source, or a padded size beyond
// the offscreen limit, returns a null image. threads > 1 splits rows and columns across threads.
BlurredImage gaussianBlur(const QImage& source, double sigma, int threads = 1);

// The threads worth spending on a blur of this many pixels from the calling thread: the machine's
// cores for a large bitmap, one for a small one (starting threads would cost more) and one on a
// thread that draws a band of a large image (the bands keep the cores busy already).
int gaussianBlurThreadsFor(qint64 pixels);

// While it lives, gaussianBlurThreadsFor answers one on this thread.
class SingleThreadedBlurScope {
public:
    SingleThreadedBlurScope();
    ~SingleThreadedBlurScope();
    SingleThreadedBlurScope(const SingleThreadedBlurScope&) = delete;
    SingleThreadedBlurScope& operator=(const SingleThreadedBlurScope&) = delete;

private:
    bool m_previous;
};

} // namespace zandrel
