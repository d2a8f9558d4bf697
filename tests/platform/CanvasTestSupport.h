#pragma once

#include "platform/Canvas.h"
#include "platform/OffscreenImage.h"

#include <QImage>
#include <functional>

namespace zandrel::test {

// Draws into a fresh transparent bitmap through its canvas and returns the bitmap.
inline QImage renderCanvas(
    const QSize& size, const std::function<void(Canvas&)>& draw, double scale = 1.0, bool yUp = false)
{
    OffscreenImage offscreen(size, scale, yUp);
    if (offscreen.canvas())
        draw(*offscreen.canvas());
    return offscreen.takeImage();
}

inline int alphaAt(const QImage& image, int x, int y)
{
    return qAlpha(image.pixel(x, y));
}

// Premultiplied channels of a pixel, as stored.
inline QRgb rawAt(const QImage& image, int x, int y)
{
    return reinterpret_cast<const QRgb*>(image.constScanLine(y))[x];
}

inline double alphaSum(const QImage& image)
{
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += qAlpha(rawAt(image, x, y));
    return sum / 255.0;
}

// Lengths of the runs of pixels along a row whose alpha is at least the threshold (half by
// default), alternating painted/unpainted, starting with the first painted run.
inline std::vector<int> paintedRuns(const QImage& image, int y, int threshold = 128)
{
    std::vector<int> runs;
    bool painted = false;
    int length = 0;
    for (int x = 0; x < image.width(); ++x) {
        const bool here = alphaAt(image, x, y) >= threshold;
        if (runs.empty() && length == 0 && !here)
            continue;
        if (here != painted && length > 0) {
            runs.push_back(length);
            length = 0;
        }
        painted = here;
        ++length;
    }
    if (length > 0 && painted)
        runs.push_back(length);
    return runs;
}

} // namespace zandrel::test
