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

} // namespace zandrel
