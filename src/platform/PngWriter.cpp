#include "platform/PngWriter.h"

#include "platform/ThreadWork.h"

#include <QRgb>
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>
#include <zlib.h>

namespace zandrel {

namespace {

// The colour types of the file: grey, grey and alpha, red green blue, and with alpha.
enum class Layout : uint8_t { Gray = 0, GrayAlpha = 4, Rgb = 2, Rgba = 6 };

int bytesPerPixel(Layout layout)
{
    switch (layout) {
    case Layout::Gray:
        return 1;
    case Layout::GrayAlpha:
        return 2;
    case Layout::Rgb:
        return 3;
    case Layout::Rgba:
        break;
    }
    return 4;
}

constexpr qsizetype kWindow = 32 * 1024; // what deflate looks back over

// Rows of straight (not premultiplied) 32-bit pixels.
struct Source {
    const QImage& image;

    const QRgb* line(int y) const { return reinterpret_cast<const QRgb*>(image.constScanLine(y)); }
    static QRgb pixel(const QRgb* line, int x) { return line[x]; }
};

// The fewest channels that keep every pixel of the rows. Premultiplied pixels tell the same: alpha
// is kept, and undoing the premultiplication scales the three colours alike, by more than one, so
// that equal ones stay equal and different ones different.
struct Needs {
    bool alpha = false;
    bool colour = false;
};

Needs needsOfRows(const Source& source, int first, int end)
{
    Needs needs;
    const int width = source.image.width();
    for (int y = first; y < end && !(needs.alpha && needs.colour); ++y) {
        const QRgb* line = source.line(y);
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = source.pixel(line, x);
            needs.alpha = needs.alpha || qAlpha(pixel) != 255;
            needs.colour = needs.colour || qRed(pixel) != qGreen(pixel) || qGreen(pixel) != qBlue(pixel);
        }
    }
    return needs;
}

// One row as the file's bytes for the layout.
void rowBytes(const Source& source, int y, Layout layout, uint8_t* out)
{
    const QRgb* line = source.line(y);
    const int width = source.image.width();
    switch (layout) {
    case Layout::Gray:
        for (int x = 0; x < width; ++x)
            out[x] = uint8_t(qRed(source.pixel(line, x)));
        break;
    case Layout::GrayAlpha:
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = source.pixel(line, x);
            out[2 * x] = uint8_t(qRed(pixel));
            out[2 * x + 1] = uint8_t(qAlpha(pixel));
        }
        break;
    case Layout::Rgb:
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = source.pixel(line, x);
            out[3 * x] = uint8_t(qRed(pixel));
            out[3 * x + 1] = uint8_t(qGreen(pixel));
            out[3 * x + 2] = uint8_t(qBlue(pixel));
        }
        break;
    case Layout::Rgba:
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = source.pixel(line, x);
            out[4 * x] = uint8_t(qRed(pixel));
            out[4 * x + 1] = uint8_t(qGreen(pixel));
            out[4 * x + 2] = uint8_t(qBlue(pixel));
            out[4 * x + 3] = uint8_t(qAlpha(pixel));
        }
        break;
    }
}

inline int paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = p > a ? p - a : a - p;
    const int pb = p > b ? p - b : b - p;
    const int pc = p > c ? p - c : c - p;
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

inline int magnitude(int difference)
{
    const int value = int8_t(uint8_t(difference));
    return value < 0 ? -value : value;
}

// Filters a row of n bytes (the filter's type, then its bytes, into out). row and above point
// past bpp zero bytes, so that the pixel left of the first reads as zero; above is zero on the
// first row. The loops are written to be vectorised.
void filterRow(const uint8_t* row, const uint8_t* above, int n, int bpp, uint8_t* out)
{
    int sums[5] = { 0, 0, 0, 0, 0 };
    for (int i = 0; i < n; ++i) {
        const int x = row[i];
        const int a = row[i - bpp];
        const int b = above[i];
        const int c = above[i - bpp];
        sums[0] += magnitude(x);
        sums[1] += magnitude(x - a);
        sums[2] += magnitude(x - b);
        sums[3] += magnitude(x - ((a + b) >> 1));
        sums[4] += magnitude(x - paeth(a, b, c));
    }
    const int filter = int(std::min_element(sums, sums + 5) - sums);
    out[0] = uint8_t(filter);
    uint8_t* bytes = out + 1;
    switch (filter) {
    case 0:
        std::memcpy(bytes, row, size_t(n));
        break;
    case 1:
        for (int i = 0; i < n; ++i)
            bytes[i] = uint8_t(row[i] - row[i - bpp]);
        break;
    case 2:
        for (int i = 0; i < n; ++i)
            bytes[i] = uint8_t(row[i] - above[i]);
        break;
    case 3:
        for (int i = 0; i < n; ++i)
            bytes[i] = uint8_t(row[i] - ((row[i - bpp] + above[i]) >> 1));
        break;
    default:
        for (int i = 0; i < n; ++i)
            bytes[i] = uint8_t(row[i] - paeth(row[i - bpp], above[i], above[i - bpp]));
        break;
    }
}

struct Segment {
    int firstRow = 0;
    int endRow = 0;
    QByteArray deflated;
    uLong adler = 0;
    qsizetype length = 0; // filtered bytes
};

// Filters the segment's rows, and enough rows before them for deflate's window, and compresses
// them: primed with the window before, ended byte-aligned so that the next segment follows on, or,
// for the last, with the stream's end.
bool compress(const Source& source, Layout layout, Segment& segment, bool last)
{
    const int bpp = bytesPerPixel(layout);
    const int n = source.image.width() * bpp;
    const qsizetype stride = qsizetype(n) + 1;
    const int windowRows = int(std::min<qsizetype>(segment.firstRow, (kWindow + stride - 1) / stride));
    const int first = segment.firstRow - windowRows;
    std::vector<uint8_t> filtered(size_t(stride) * size_t(segment.endRow - first));
    std::vector<uint8_t> rowBuffer(size_t(n + bpp), 0);
    std::vector<uint8_t> aboveBuffer(size_t(n + bpp), 0);
    uint8_t* row = rowBuffer.data() + bpp;
    uint8_t* above = aboveBuffer.data() + bpp;
    if (first > 0)
        rowBytes(source, first - 1, layout, above);
    for (int y = first; y < segment.endRow; ++y) {
        rowBytes(source, y, layout, row);
        filterRow(row, above, n, bpp, filtered.data() + size_t(stride) * size_t(y - first));
        std::swap(row, above);
    }

    const uint8_t* input = filtered.data() + size_t(stride) * size_t(windowRows);
    segment.length = stride * (segment.endRow - segment.firstRow);
    segment.adler = adler32_z(adler32_z(0, nullptr, 0), input, size_t(segment.length));
    z_stream stream {};
    if (deflateInit2(&stream, PngWriter::kCompressionLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY)
        != Z_OK)
        return false;
    // Ended also when growing the output runs out of memory.
    const std::unique_ptr<z_stream, int (*)(z_stream*)> ending(&stream, deflateEnd);
    const qsizetype window = std::min(kWindow, stride * windowRows);
    bool ok = window == 0 || deflateSetDictionary(&stream, input - window, uInt(window)) == Z_OK;
    segment.deflated.resize(qsizetype(deflateBound(&stream, uLong(segment.length))) + 64);
    stream.next_in = const_cast<Bytef*>(input);
    stream.avail_in = uInt(segment.length);
    stream.next_out = reinterpret_cast<Bytef*>(segment.deflated.data());
    stream.avail_out = uInt(segment.deflated.size());
    const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    while (ok) {
        const int result = deflate(&stream, flush);
        if (result == Z_STREAM_ERROR) {
            ok = false;
        } else if (stream.avail_out == 0) {
            // The bound holds, but grow rather than trust it.
            const qsizetype used = segment.deflated.size();
            segment.deflated.resize(used * 2);
            stream.next_out = reinterpret_cast<Bytef*>(segment.deflated.data() + used);
            stream.avail_out = uInt(segment.deflated.size() - used);
        } else if (stream.avail_in == 0 && (!last || result == Z_STREAM_END)) {
            break;
        }
    }
    segment.deflated.resize(segment.deflated.size() - qsizetype(stream.avail_out));
    return ok;
}

void appendBigEndian(QByteArray& bytes, quint32 value)
{
    const char word[4] = { char(value >> 24), char(value >> 16), char(value >> 8), char(value) };
    bytes.append(word, 4);
}

void appendChunk(QByteArray& file, const char* type, const QByteArray& data)
{
    appendBigEndian(file, quint32(data.size()));
    const qsizetype start = file.size();
    file.append(type, 4);
    file.append(data);
    appendBigEndian(file,
        quint32(crc32_z(
            0, reinterpret_cast<const Bytef*>(file.constData() + start), size_t(file.size() - start))));
}

// Undoes the premultiplication as Qt's own conversion does (its rounding differs from
// qUnpremultiply's in places), in blocks of rows on several threads.
QImage unpremultiplied(const QImage& image, int blockRows, int threads)
{
    QImage straight(image.size(), QImage::Format_ARGB32);
    if (straight.isNull())
        throw std::bad_alloc();
    straight.setDotsPerMeterX(image.dotsPerMeterX());
    straight.setDotsPerMeterY(image.dotsPerMeterY());
    const int height = image.height();
    const qsizetype rowBytes = qsizetype(image.width()) * 4;
    uchar* const bits = straight.bits();
    const qsizetype bytesPerLine = straight.bytesPerLine();
    runOnThreads((height + blockRows - 1) / blockRows, threads, [&](int block) {
        const int first = block * blockRows;
        const int rows = std::min(height - first, blockRows);
        const QImage converted = QImage(image.constScanLine(first), image.width(), rows, image.bytesPerLine(),
            QImage::Format_ARGB32_Premultiplied)
                                     .convertToFormat(QImage::Format_ARGB32);
        if (converted.isNull())
            throw std::bad_alloc();
        for (int y = 0; y < rows; ++y)
            std::memcpy(bits + (first + y) * bytesPerLine, converted.constScanLine(y), size_t(rowBytes));
    });
    return straight;
}

QByteArray encodeOrThrow(const QImage& image, const PngWriter::Options& options)
{
    QImage converted;
    const QImage::Format format = image.format();
    if (format != QImage::Format_ARGB32_Premultiplied && format != QImage::Format_ARGB32
        && format != QImage::Format_RGB32) {
        converted = image.convertToFormat(QImage::Format_ARGB32);
        if (converted.isNull())
            return QByteArray();
    }
    const QImage& pixels = converted.isNull() ? image : converted;
    const int width = pixels.width();
    const int height = pixels.height();
    const int threads
        = options.threads > 0 ? options.threads : int(std::max(1u, std::thread::hardware_concurrency()));

    // Rows in blocks of about a segment's bytes, for the look at the pixels and for converting.
    const qsizetype pixelBytes = qsizetype(width) * 4;
    const int blockRows = int(std::clamp<qsizetype>(PngWriter::kSegmentBytes / pixelBytes, 1, height));
    const int blocks = (height + blockRows - 1) / blockRows;
    std::vector<Needs> needs(static_cast<size_t>(blocks));
    runOnThreads(blocks, threads, [&](int block) {
        needs[size_t(block)]
            = needsOfRows(Source { pixels }, block * blockRows, std::min(height, (block + 1) * blockRows));
    });
    Needs all;
    for (const Needs& block : needs) {
        all.alpha = all.alpha || block.alpha;
        all.colour = all.colour || block.colour;
    }
    // Opaque premultiplied pixels are their straight selves.
    if (format == QImage::Format_ARGB32_Premultiplied && all.alpha)
        converted = unpremultiplied(image, blockRows, threads);
    const Source source { converted.isNull() ? image : converted };
    const Layout layout = all.colour ? (all.alpha ? Layout::Rgba : Layout::Rgb)
                                     : (all.alpha ? Layout::GrayAlpha : Layout::Gray);

    const qsizetype stride = qsizetype(width) * bytesPerPixel(layout) + 1;
    const int segmentRows
        = int(std::clamp<qsizetype>((PngWriter::kSegmentBytes + stride - 1) / stride, 1, height));
    std::vector<Segment> segments(size_t((height + segmentRows - 1) / segmentRows));
    for (size_t i = 0; i < segments.size(); ++i) {
        segments[i].firstRow = int(i) * segmentRows;
        segments[i].endRow = std::min(height, segments[i].firstRow + segmentRows);
    }
    std::atomic<bool> failed { false };
    runOnThreads(int(segments.size()), threads, [&](int i) {
        if (!compress(source, layout, segments[size_t(i)], size_t(i) + 1 == segments.size()))
            failed = true;
    });
    if (failed)
        return QByteArray();

    QByteArray file("\x89PNG\r\n\x1a\n", 8);
    QByteArray header;
    appendBigEndian(header, quint32(width));
    appendBigEndian(header, quint32(height));
    header.append(char(8)); // bits a channel
    header.append(char(layout));
    header.append(3, char(0)); // deflate, the adaptive filters, no interlacing
    appendChunk(file, "IHDR", header);
    if (options.dotsPerMeter && options.dotsPerMeter->width() > 0 && options.dotsPerMeter->height() > 0) {
        QByteArray physical;
        appendBigEndian(physical, quint32(options.dotsPerMeter->width()));
        appendBigEndian(physical, quint32(options.dotsPerMeter->height()));
        physical.append(char(1)); // per metre
        appendChunk(file, "pHYs", physical);
    }
    // The zlib stream: its header (32 KiB window, a fast level), the segments one after the other,
    // and the checksum of all the filtered bytes.
    uLong adler = segments.front().adler;
    for (size_t i = 1; i < segments.size(); ++i)
        adler = adler32_combine(adler, segments[i].adler, z_off_t(segments[i].length));
    static_assert(PngWriter::kCompressionLevel >= 2 && PngWriter::kCompressionLevel <= 5,
        "the stream's header names one of zlib's fast levels");
    for (size_t i = 0; i < segments.size(); ++i) {
        QByteArray data;
        if (i == 0)
            data.append("\x78\x5e", 2);
        data.append(segments[i].deflated);
        if (i + 1 == segments.size())
            appendBigEndian(data, quint32(adler));
        appendChunk(file, "IDAT", data);
    }
    appendChunk(file, "IEND", QByteArray());
    return file;
}

} // namespace

QByteArray PngWriter::encode(const QImage& image, const Options& options)
{
    if (image.isNull())
        return QByteArray();
    try {
        return encodeOrThrow(image, options);
    } catch (const std::bad_alloc&) {
        return QByteArray();
    }
}

} // namespace zandrel
