// The image editor's derived images (downsampled and cropped copies) and the legacy bitmap decoder.
#include "graphics/BigEndianReader.h"
#include "graphics/ZDLImage.h"
#include "platform/Exception.h"
#include "platform/Geometry.h"
#include "platform/OffscreenImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <vector>

namespace zandrel {

namespace {

// The destination a derived image is drawn into: RGBA for sources of two or more samples per
// pixel, grey without alpha otherwise.
QImage inDerivedFormat(const QImage& pixels, int samplesPerPixel)
{
    return samplesPerPixel >= 2 ? pixels.convertToFormat(QImage::Format_ARGB32)
                                : pixels.convertToFormat(QImage::Format_Grayscale8);
}

} // namespace

ZDLImagePtr ZDLImage::initByDownsampling(const ZDLImage* image, float factor)
{
    const ZDLBitmapImageRep* bitmap = image ? image->bitmapRep() : nullptr;
    if (!bitmap || !std::isfinite(factor) || factor <= 0)
        return nullptr;
    const float w = roundf(float(bitmap->pixelsWide()) * factor);
    const float h = roundf(float(bitmap->pixelsHigh()) * factor);
    if (!(w >= 1 && h >= 1 && w <= OffscreenImage::kMaxSide && h <= OffscreenImage::kMaxSide))
        return nullptr;
    const QSize size { int(w), int(h) };
    if (!OffscreenImage::isAcceptable(size))
        return nullptr;
    const QImage scaled = bitmap->image().scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return fromDerivedBitmap(inDerivedFormat(scaled, bitmap->samplesPerPixel()), bitmap->hasAlpha());
}

ZDLImagePtr ZDLImage::initByCropping(const ZDLImage* image, const QRectF& rect)
{
    const ZDLBitmapImageRep* bitmap = image ? image->bitmapRep() : nullptr;
    if (!bitmap)
        return nullptr;
    const QRectF bounds(0, 0, bitmap->pixelsWide(), bitmap->pixelsHigh());
    if (!intersectsRect(rect, bounds))
        return nullptr;
    const QRectF inside = intersectionRect(rect, bounds);
    // Snap the edges to whole pixels, y still measured from the top: the rows picked are the
    // ones the rect covers counting from the top edge.
    const float x = roundf(float(inside.x()));
    const float y = roundf(float(inside.y()));
    const float right = roundf(float(inside.x() + inside.width()));
    const float bottom = roundf(float(inside.y() + inside.height()));
    const int width = int(right - x);
    const int height = int(bottom - y);
    if (width < kMinCropSide || height < kMinCropSide)
        return nullptr;
    const QImage part = bitmap->image().copy(int(x), int(y), width, height);
    return fromDerivedBitmap(inDerivedFormat(part, bitmap->samplesPerPixel()), bitmap->hasAlpha());
}

// --- Legacy bitmap ---

namespace {

[[noreturn]] void refuseRecord()
{
    Exception::raise(kBigEndianReaderException, QStringLiteral("Failure scanning data from the bytes."));
}

// Sets columns [from, to) of one 1-bit row, clipped to the width.
void setColumns(uchar* row, int from, int to, int width)
{
    from = std::max(from, 0);
    to = std::min(to, width);
    for (int c = from; c < to;) {
        if (c % 8 == 0 && c + 8 <= to) {
            row[c / 8] = 0xFF;
            c += 8;
        } else {
            row[c / 8] |= uchar(0x80 >> (c % 8));
            ++c;
        }
    }
}

// Region coordinates: bytes ending at 255 for small bitmaps, 16-bit values ending at 0x7FFF else.
struct RegionCoordinates {
    bool bytes;
    int read(BigEndianReader& reader) const
    {
        return bytes ? reader.readUnsignedByte() : reader.readUnsignedShort();
    }
    int endMarker() const { return bytes ? 255 : 0x7FFF; }
};

// The mask of a region in the inversion-point form: each x listed on row y flips inside and
// outside from that row downward. Fills are charged against a budget: a well-formed region moves
// down the rows once, so only a hostile one (rows going back and forth) can exhaust it.
void fillComplexRegion(BigEndianReader& reader, const RegionCoordinates& coords, std::vector<uchar>& mask,
    int rowBytes, int width, int height)
{
    reader.moveBy(coords.bytes ? 4 : 8); // bounding box
    qint64 budget = 8 * qint64(mask.size()) + (16 << 20);
    std::set<int> active;
    std::vector<uchar> pattern(rowBytes);
    bool patternStale = true;
    int currentRow = 0;
    while (reader.bytesRemaining() > 0) {
        const int y = coords.read(reader);
        if (y == coords.endMarker())
            break;
        if (!active.empty() && currentRow < y) {
            if (patternStale) {
                budget -= qint64(active.size()) + rowBytes;
                std::fill(pattern.begin(), pattern.end(), 0);
                // Spans pair the sorted positions; an odd last one opens nothing.
                for (auto it = active.begin(); it != active.end() && std::next(it) != active.end();
                     std::advance(it, 2))
                    setColumns(pattern.data(), *it, *std::next(it), width);
                patternStale = false;
            }
            const int lastRow = std::min(y, height);
            for (int r = currentRow; r < lastRow; ++r) {
                uchar* row = mask.data() + size_t(r) * rowBytes;
                for (int i = 0; i < rowBytes; ++i)
                    row[i] |= pattern[i];
            }
            budget -= qint64(std::max(0, lastRow - currentRow)) * rowBytes;
        }
        for (int x = coords.read(reader); x != coords.endMarker(); x = coords.read(reader)) {
            if (!active.erase(x))
                active.insert(x);
            patternStale = true;
            --budget;
        }
        currentRow = y;
        if (budget < 0)
            refuseRecord();
    }
}

} // namespace

ZDLImagePtr ZDLImage::initWithZDL86Data(
    const QByteArray& pixelData, const QByteArray& regionData, const QSizeF& size, qint16 rowBytes)
{
    // Sizes are taken as integers by truncation; a record without pixels has no image.
    const double truncatedWidth = std::trunc(size.width());
    const double truncatedHeight = std::trunc(size.height());
    if (!(truncatedWidth >= 1 && truncatedHeight >= 1))
        return nullptr;
    // A record the format cannot hold, or one that would need giant buffers, is refused like a
    // short one, before anything is allocated.
    if (rowBytes <= 0 || truncatedWidth > ZDLBitmapImageRep::kMaxSide
        || truncatedHeight > ZDLBitmapImageRep::kMaxSide || double(rowBytes) * 8 < truncatedWidth
        || double(rowBytes) * truncatedHeight > double(kMaxLegacyBufferBytes)
        || truncatedWidth * truncatedHeight > double(kMaxLegacyPixels))
        refuseRecord();
    const int width = int(truncatedWidth);
    const int height = int(truncatedHeight);
    const size_t bufferSize = size_t(rowBytes) * size_t(height);

    // 1. Pixel rows, PackBits with every byte inverted so that a stored 1 comes out black. The
    // data is decoded to its end (a damaged run still raises) but only what the rows hold is kept.
    std::vector<uchar> pixels;
    pixels.reserve(bufferSize);
    BigEndianReader pixelReader(pixelData);
    auto append = [&](uchar byte, int count) {
        const size_t room = bufferSize - pixels.size();
        pixels.insert(pixels.end(), std::min(size_t(count), room), uchar(~byte));
    };
    while (pixelReader.bytesRemaining() > 0) {
        const int n = pixelReader.readByte();
        if (n >= 0) {
            for (int i = 0; i <= n; ++i)
                append(pixelReader.readUnsignedByte(), 1);
        } else if (n != -128) {
            append(pixelReader.readUnsignedByte(), 1 - n);
        }
    }
    const size_t decoded = pixels.size();
    pixels.resize(bufferSize, 0xFF); // short data: white

    // 2-4. The mask from the region.
    const RegionCoordinates coords { width <= 254 && height <= 254 };
    std::vector<uchar> mask(bufferSize, 0);
    BigEndianReader regionReader(regionData);
    const int regionSize = regionReader.readUnsignedShort();
    if (regionSize == 10) {
        const int top = std::max(coords.read(regionReader), 0);
        const int left = coords.read(regionReader);
        const int bottom = std::min(coords.read(regionReader), height);
        const int right = coords.read(regionReader);
        for (int r = top; r < bottom; ++r)
            setColumns(mask.data() + size_t(r) * rowBytes, left, right, width);
    } else {
        fillComplexRegion(regionReader, coords, mask, rowBytes, width, height);
    }
    // Rows the pixel data did not reach are transparent as well as white.
    std::fill(mask.begin() + qsizetype(decoded), mask.end(), 0);

    // 5-6. Grey and alpha planes into one bitmap: white or black, opaque where the mask is set.
    QImage image(width, height, QImage::Format_ARGB32);
    if (image.isNull())
        refuseRecord();
    for (int r = 0; r < height; ++r) {
        const uchar* pixelRow = pixels.data() + size_t(r) * rowBytes;
        const uchar* maskRow = mask.data() + size_t(r) * rowBytes;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(r));
        for (int c = 0; c < width; ++c) {
            const uchar bit = uchar(0x80 >> (c % 8));
            if (!(maskRow[c / 8] & bit))
                out[c] = 0;
            else
                out[c] = (pixelRow[c / 8] & bit) ? 0xFFFFFFFFu : 0xFF000000u;
        }
    }
    // 7. Held and saved as PNG from now on.
    return initWithData(encodedBitmapData(image, true, kDerivedJpegQuality));
}

} // namespace zandrel
