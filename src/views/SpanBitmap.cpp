#include "views/SpanBitmap.h"

#include <QPaintEngine>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace zandrel {

namespace {

// Each channel of a premultiplied pixel times a / 255, rounded as the raster engine rounds.
quint32 byteMultiply(quint32 pixel, quint32 a)
{
    quint32 t = (pixel & 0xff00ff) * a;
    t = (t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8;
    t &= 0xff00ff;
    pixel = ((pixel >> 8) & 0xff00ff) * a;
    pixel = pixel + ((pixel >> 8) & 0xff00ff) + 0x800080;
    pixel &= 0xff00ff00;
    return pixel | t;
}

bool isWhole(double value)
{
    return std::abs(value - std::round(value)) < 1e-6;
}

} // namespace

SpanBitmap::SpanBitmap(const QImage& image)
    : m_image(image.format() == QImage::Format_ARGB32_Premultiplied
              ? image
              : image.convertToFormat(QImage::Format_ARGB32_Premultiplied))
{
    refreshRows(0, m_image.height() - 1);
}

void SpanBitmap::refreshRows(int top, int bottom)
{
    m_rows.resize(std::size_t(m_image.height()));
    top = std::max(top, 0);
    bottom = std::min(bottom, m_image.height() - 1);
    const int width = m_image.width();
    for (int y = top; y <= bottom; ++y) {
        std::vector<Span>& spans = m_rows[std::size_t(y)];
        spans.clear();
        const auto* line = reinterpret_cast<const quint32*>(m_image.constScanLine(y));
        int x = 0;
        while (x < width) {
            const quint32 alpha = line[x] >> 24;
            int end = x + 1;
            if (alpha == 0) {
                while (end < width && !(line[end] >> 24))
                    ++end;
            } else if (alpha == 0xff) {
                while (end < width && (line[end] >> 24) == 0xff)
                    ++end;
                spans.push_back({ x, end, true });
            } else {
                while (end < width && (line[end] >> 24) != 0 && (line[end] >> 24) != 0xff)
                    ++end;
                spans.push_back({ x, end, false });
            }
            x = end;
        }
    }
}

qint64 SpanBitmap::sizeInBytes() const
{
    qint64 bytes = m_image.sizeInBytes();
    for (const std::vector<Span>& spans : m_rows)
        bytes += qint64(spans.capacity() * sizeof(Span));
    return bytes;
}

void SpanBitmap::drawOver(uchar* destination, qsizetype bytesPerLine, const QRect& source) const
{
    const QRect area = source & m_image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* out = reinterpret_cast<quint32*>(destination + qsizetype(y - source.top()) * bytesPerLine)
            - source.left();
        drawRowOver(out, y, area.left(), area.right() + 1);
    }
}

void SpanBitmap::drawRowOver(quint32* out, int y, int left, int right) const
{
    const std::vector<Span>& spans = m_rows[std::size_t(y)];
    if (spans.empty())
        return;
    const auto* in = reinterpret_cast<const quint32*>(m_image.constScanLine(y));
    for (const Span& span : spans) {
        if (span.left >= right)
            break;
        const int from = std::max(span.left, left);
        const int to = std::min(span.right, right);
        if (from >= to)
            continue;
        if (span.opaque) {
            std::memcpy(out + from, in + from, std::size_t(to - from) * sizeof(quint32));
            continue;
        }
        for (int x = from; x < to; ++x)
            out[x] = in[x] + byteMultiply(out[x], 255 - (in[x] >> 24));
    }
}

void SpanBitmap::copyPixels(const QImage& from, const QRect& source, uchar* destination, qsizetype bytesPerLine)
{
    const QRect area = source & from.rect();
    if (area.isEmpty() || from.depth() != 32)
        return;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        std::memcpy(destination + qsizetype(y - source.top()) * bytesPerLine
                + qsizetype(area.left() - source.left()) * 4,
            from.constScanLine(y) + qsizetype(area.left()) * 4, std::size_t(area.width()) * 4);
    }
}

void SpanBitmap::drawOverCopyOf(const QImage& under, const QRect& source, const QPoint& origin, const QRect& clip,
    uchar* destination, qsizetype bytesPerLine, const SpanBitmap* above) const
{
    const QRect area = source & under.rect();
    if (area.isEmpty() || under.depth() != 32)
        return;
    // Where this bitmap may show, in the other's pixels.
    const QRect shown = clip & m_image.rect().translated(origin) & area;
    const auto copy = [](quint32* out, const quint32* in, int from, int to) {
        if (from < to)
            std::memcpy(out + from, in + from, std::size_t(to - from) * sizeof(quint32));
    };
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* out = reinterpret_cast<quint32*>(destination + qsizetype(y - source.top()) * bytesPerLine)
            - source.left();
        const auto* below = reinterpret_cast<const quint32*>(under.constScanLine(y));
        const int end = area.right() + 1;
        if (y < shown.top() || y > shown.bottom()) {
            copy(out, below, area.left(), end);
            if (above)
                above->drawRowOver(out, y, area.left(), end);
            continue;
        }
        // This bitmap's row, indexed by the other's x.
        const auto* over = reinterpret_cast<const quint32*>(m_image.constScanLine(y - origin.y())) - origin.x();
        int x = area.left();
        for (const Span& span : m_rows[std::size_t(y - origin.y())]) {
            const int from = std::max(span.left + origin.x(), shown.left());
            const int to = std::min(span.right + origin.x(), shown.right() + 1);
            if (from >= to) {
                if (span.left + origin.x() > shown.right())
                    break;
                continue;
            }
            copy(out, below, x, from);
            if (span.opaque) {
                copy(out, over, from, to);
            } else {
                for (int i = from; i < to; ++i)
                    out[i] = over[i] + byteMultiply(below[i], 255 - (over[i] >> 24));
            }
            x = to;
        }
        copy(out, below, x, end);
        if (above)
            above->drawRowOver(out, y, area.left(), end);
    }
}

bool SpanBitmap::directTarget(QPainter& painter, qreal devicePixelRatio, Target& target)
{
    QPaintEngine* engine = painter.paintEngine();
    QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image || engine->type() != QPaintEngine::Raster)
        return false;
    auto* image = static_cast<QImage*>(device);
    // A shared bitmap would be copied by the first write, away from the painter's.
    if ((image->format() != QImage::Format_RGB32 && image->format() != QImage::Format_ARGB32_Premultiplied)
        || !image->isDetached())
        return false;
    if (painter.hasClipping() || painter.compositionMode() != QPainter::CompositionMode_SourceOver
        || painter.opacity() != 1.0 || !painter.worldTransform().isIdentity())
        return false;
    const QTransform toDevice = painter.deviceTransform();
    if (toDevice.type() > QTransform::TxScale || toDevice.m11() != devicePixelRatio
        || toDevice.m22() != devicePixelRatio || !isWhole(toDevice.dx()) || !isWhole(toDevice.dy()))
        return false;
    target.image = image;
    target.offset = QPoint(int(std::round(toDevice.dx())), int(std::round(toDevice.dy())));
    const QRegion system = engine->systemClip();
    target.writable = system.isEmpty() ? QRegion(image->rect()) : system & image->rect();
    return true;
}

} // namespace zandrel
