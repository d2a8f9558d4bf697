#pragma once

#include <QImage>
#include <QRectF>
#include <QRgb>

namespace zandrel {

struct DeviceOutline;

// Fills an outline (device pixels) with one colour straight into a premultiplied ARGB32 image,
// each pixel taking the exact area of it the outline covers under its fill rule, source-over.
//
// It stands in for Qt's antialiased fill where that is all a fill needs: Qt's rasteriser walks
// an outline again for every few rows it has room for, which makes the large shapes of a page
// printed at 300 dpi cost far more per pixel of edge than filling them does. Rows are filled
// independently of each other, so that any band of rows gets the pixels the whole image has.
//
// The clip is in the image's pixels and may be fractional: pixels it covers in part take that
// part of the colour. Returns false (and draws nothing) for images of another format.
bool fillOutline(QImage& image, const QRectF& clip, const DeviceOutline& outline, QRgb premultiplied);

} // namespace zandrel
