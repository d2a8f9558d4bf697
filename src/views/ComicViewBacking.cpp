#include "views/ComicViewBacking.h"

#include "app/core/ZDLDocument.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/PanelLayer.h"
#include "graphics/ArrayUtils.h"
#include "graphics/DrawingSplit.h"
#include "graphics/ZDLImage.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/GatedCanvas.h"
#include "platform/Geometry.h"
#include "platform/OffscreenImage.h"
#include "tools/ZDLTool.h"
#include "views/ComicView.h"

#include <QPainter>
#include <cmath>
#include <span>

namespace zandrel {

namespace {

// The view grows a dirty rect by this many screen points for antialiasing; one more for rounding.
constexpr double kDefaultUnscaledOutset = 4.0;
constexpr int kRoundingPixels = 1;

// The mask of the clips reaches this many device pixels beyond the selection it was made for.
constexpr int kClipMargin = 96;
// Clips that leave more rectangles of the selection than this are drawn through.
constexpr int kMaxClipRects = 16;
// A selection with more rows of partly open clip pixels than this is drawn through.
constexpr std::size_t kMaxPartlyOpenRuns = 512;

quint64 g_renderingsMade = 0;
quint64 g_heldBlits = 0;
quint64 g_paintsWithoutPainter = 0;

bool isWholeNumber(double value)
{
    return std::abs(value - std::round(value)) < 1e-6;
}

// Logical pixels to the device pixels they cover.
QRect deviceRect(const QRect& logical, qreal ratio)
{
    return QRectF(QPointF(logical.topLeft()) * ratio, QSizeF(logical.size()) * ratio).toAlignedRect();
}

// The bounds of the pixels that are not transparent.
QRect inkBounds(const QImage& image)
{
    int top = image.height();
    int bottom = -1;
    int left = image.width();
    int right = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
        int x = 0;
        while (x < image.width() && !line[x])
            ++x;
        if (x == image.width())
            continue;
        int last = image.width() - 1;
        while (!line[last])
            --last;
        top = std::min(top, y);
        bottom = y;
        left = std::min(left, x);
        right = std::max(right, last);
    }
    return bottom < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

QPainter& LazyPainter::operator()()
{
    if (!m_painter)
        m_painter = &m_own.emplace(m_widget);
    return *m_painter;
}

ComicViewBacking::ComicViewBacking(ComicView& view)
    : m_view(view)
{
}

quint64 ComicViewBacking::renderingsMade()
{
    return g_renderingsMade;
}

quint64 ComicViewBacking::heldBlits()
{
    return g_heldBlits;
}

quint64 ComicViewBacking::paintsWithoutPainter()
{
    return g_paintsWithoutPainter;
}

std::optional<ComicViewBacking::Key> ComicViewBacking::currentKey() const
{
    const ComicModel* model = m_view.comicModel();
    auto* layer = dynamic_cast<PanelLayer*>(m_view.rootObject().get());
    if (!model || !layer || !layer->parent() || m_view.numSelected() == 0 || !m_view.isVisible()
        || m_view.textEditing() || m_view.scalingViewInteractively())
        return std::nullopt;
    Key key;
    key.root = layer;
    key.children = layer->children();
    key.selection = m_view.selection();
    key.held = m_view.getSelectionSorted();
    key.page = model->currentPage().get();
    key.panel = model->currentPanel().get();
    key.editBackground = model->editBackground();
    key.focusOnPanel = model->focusOnPanel();
    key.showCurrentRow = m_view.showCurrentRow();
    key.scale = m_view.viewScale();
    key.devicePixelRatio = m_view.devicePixelRatioF();
    key.window = m_view.palette().window().color();
    key.size = m_view.size();
    const QSizeF device = QSizeF(key.size) * key.devicePixelRatio;
    if (2.0 * 4.0 * device.width() * device.height() > double(kBudgetBytes))
        return std::nullopt;
    return key;
}

bool ComicViewBacking::Key::operator==(const Key& other) const
{
    // The order in which the objects were selected draws nothing.
    return root == other.root && children == other.children && held == other.held && page == other.page
        && panel == other.panel && editBackground == other.editBackground
        && focusOnPanel == other.focusOnPanel && showCurrentRow == other.showCurrentRow
        && scale == other.scale && devicePixelRatio == other.devicePixelRatio && window == other.window
        && size == other.size;
}

bool ComicViewBacking::matchesKey() const
{
    // The cheap questions first; each answers as currentKey() would build it.
    if (!m_key.root || m_view.size() != m_key.size || m_view.viewScale() != m_key.scale
        || m_view.showCurrentRow() != m_key.showCurrentRow || !m_view.isVisible() || m_view.textEditing()
        || m_view.scalingViewInteractively())
        return false;
    const ComicModel* model = m_view.comicModel();
    if (!model || model->currentPage().get() != m_key.page || model->editBackground() != m_key.editBackground
        || model->focusOnPanel() != m_key.focusOnPanel)
        return false;
    const ObjectPtr root = m_view.rootObject();
    const auto* layer = dynamic_cast<const PanelLayer*>(root.get());
    if (!layer || layer != m_key.root || !layer->parent() || model->currentPanel().get() != m_key.panel)
        return false;
    return layer->children() == m_key.children && m_view.selection() == m_key.selection
        && m_view.devicePixelRatioF() == m_key.devicePixelRatio
        && m_view.palette().window().color() == m_key.window;
}

void ComicViewBacking::invalidate()
{
    m_valid = QRegion();
    dropHeld();
}

void ComicViewBacking::dropHeld()
{
    m_heldMoving = false;
    m_held = SpanBitmap();
    m_heldMoved = QPointF();
    m_clipArea = QRect();
    m_clipCuts.clear();
    m_clipPartial.clear();
    m_clipRegion = QRegion();
}

void ComicViewBacking::release()
{
    invalidate();
    m_below = QImage();
    m_above = SpanBitmap();
    m_key = Key();
}

bool ComicViewBacking::anchor(const QTransform& transform)
{
    const qreal ratio = m_key.devicePixelRatio;
    const QSize device = deviceRect(QRect(QPoint(), m_key.size), ratio).size();
    if (device.isEmpty() || !OffscreenImage::isAcceptable(device))
        return false;
    // Opaque, so that its blit is a copy: a bitmap with an alpha channel takes Qt's slow path.
    m_below = QImage(device, QImage::Format_RGB32);
    m_above = SpanBitmap(QImage(device, QImage::Format_ARGB32_Premultiplied));
    m_below.setDevicePixelRatio(ratio);
    m_above.image().setDevicePixelRatio(ratio);
    m_toImage = transform;
    m_shift = QPoint();
    // The selection's bitmap and mask lie on the old grid; a move goes on.
    const bool moving = m_heldMoving;
    invalidate();
    m_heldMoving = moving;
    return true;
}

void ComicViewBacking::documentChanged(const ValueMap& info)
{
    if (m_below.isNull())
        return;
    // A view out of sight hears of nothing, and a whole-view update names no area.
    if (info.isEmpty() || !m_view.isVisible()) {
        invalidate();
        return;
    }
    const ValueList named = info.value(kChangedObjectsKey).toList();
    const bool onlyHeld = !named.isEmpty()
        && std::all_of(named.begin(), named.end(),
            [this](const Value& value) { return m_key.held.contains(value.toObject()); });
    if (onlyHeld) {
        // The area before a change changes nothing yet. After it, only a move of the whole
        // selection leaves its drawing as it was.
        if (!info.value(kAfterChangeKey).toBool())
            return;
        if (info.contains(kMovedByKey) && named.size() == m_key.held.size()) {
            m_heldMoving = true;
            m_heldMoved += info.value(kMovedByKey).toPoint();
        } else {
            dropHeld();
        }
        return;
    }
    dropHeld();
    const double outset = (info.contains(kUnscaledOutsetKey) ? info.value(kUnscaledOutsetKey).toDouble()
                                                             : kDefaultUnscaledOutset)
        / double(m_key.scale > 0 ? m_key.scale : 1.0f);
    const QRectF dirty = insetRect(info.value(kDirtyRectKey).toRect(), -outset, -outset);
    if (isEmptyRect(dirty))
        return;
    m_valid -= m_toImage.mapRect(dirty).toAlignedRect().adjusted(
        -kRoundingPixels, -kRoundingPixels, kRoundingPixels, kRoundingPixels);
}

bool ComicViewBacking::paint(LazyPainter& painter, const SpanBitmap::Target* window, const QRegion& region)
{
    const bool painted = paintHeld(painter, window, region);
    g_paintsWithoutPainter += painted && window && !painter.begun();
    return painted;
}

bool ComicViewBacking::paintHeld(
    LazyPainter& painter, const SpanBitmap::Target* window, const QRegion& region)
{
    if (!m_enabled)
        return false;
    if (!matchesKey()) {
        std::optional<Key> key = currentKey();
        if (!key) {
            release();
            return false;
        }
        if (!(*key == m_key))
            release();
        // Equal, it still takes the lists as they are now, which the next paint compares.
        m_key = std::move(*key);
    }
    // The bitmaps stay while the view moves by whole device pixels and they cover what it paints.
    const QTransform transform = m_view.viewTransform();
    const double dx = transform.dx() - m_toImage.dx();
    const double dy = transform.dy() - m_toImage.dy();
    const qreal ratio = m_key.devicePixelRatio;
    const bool onGrid = !m_below.isNull() && transform.m11() == m_toImage.m11()
        && transform.m22() == m_toImage.m22() && transform.type() <= QTransform::TxScale && isWholeNumber(dx)
        && isWholeNumber(dy) && isWholeNumber(dx * ratio) && isWholeNumber(dy * ratio);
    m_shift = onGrid ? QPoint(int(std::round(dx)), int(std::round(dy))) : QPoint();
    const QRect covered(QPoint(), m_key.size);
    if (!onGrid || !covered.contains(region.boundingRect().translated(-m_shift))) {
        if (!anchor(transform)) {
            release();
            return false;
        }
    }
    const QRegion inImage = region.translated(-m_shift);
    // Mostly the bitmaps are valid over the whole view: one rectangle holding all of the region.
    if (!(m_valid.rectCount() == 1 && m_valid.boundingRect().contains(inImage.boundingRect()))) {
        const QRegion stale = inImage - m_valid;
        if (!stale.isEmpty())
            render(stale);
    }

    // The page below the selection, then the selection: from its bitmap while it moves, else drawn
    // through its slice of the page; then what lies above it. Where the painter paints into a
    // bitmap (the window's backing store), the bitmaps are laid straight into its pixels.
    const std::optional<HeldPlacement> held = placeHeld();
    QRegion pixels = ratio == 1.0 ? inImage : QRegion();
    if (ratio != 1.0) {
        for (const QRect& rect : inImage)
            pixels += deviceRect(rect, ratio);
    }
    // The window's pixels given are on the device pixel grid of the bitmaps.
    const SpanBitmap::Target* given = window && window->image->devicePixelRatio() == ratio ? window : nullptr;
    SpanBitmap::Target found;
    const bool direct = given || SpanBitmap::directTarget(painter(), ratio, found);
    const SpanBitmap::Target& target = given ? *given : found;
    // Bitmap pixels to the painter's: both on the device pixel grid.
    const QPoint toTarget = target.offset + m_shift * ratio;
    uchar* const bits = direct ? target.image->bits() : nullptr;
    const qsizetype bytesPerLine = direct ? target.image->bytesPerLine() : 0;
    const std::vector<QRect>& written = writableRects(pixels, direct ? &target.writable : nullptr, toTarget);
    const auto at = [&](const QPoint& pixel) {
        const QPoint out = pixel + toTarget;
        return bits + qsizetype(out.y()) * bytesPerLine + qsizetype(out.x()) * 4;
    };
    // In the common case one pass a row lays all three: the page above is laid over each row of the
    // selection while it is still at hand, unless some of the selection is drawn in between.
    const std::span<const QRect> shownRects = held ? held->shown() : std::span<const QRect>();
    const bool onePass = direct && held && shownRects.size() == 1 && held->drawn.isEmpty()
        && m_above.rect() == m_below.rect();
    for (const QRect& area : written) {
        if (direct && held && shownRects.size() == 1) {
            m_held.drawOverCopyOf(m_below, area, m_heldAt, shownRects.front(), at(area.topLeft()),
                bytesPerLine, onePass ? &m_above : nullptr);
            continue;
        }
        if (direct)
            SpanBitmap::copyPixels(m_below, area, at(area.topLeft()), bytesPerLine);
        else
            blit(painter(), m_below, area, QPoint());
        for (const QRect& shown : shownRects) {
            const QRect part = area & shown;
            if (part.isEmpty())
                continue;
            if (direct)
                m_held.drawOver(at(part.topLeft()), bytesPerLine, part.translated(-m_heldAt));
            else
                blit(painter(), m_held.image(), part, m_heldAt);
        }
    }
    const auto drawHeld = [&](const QRegion& within) {
        m_view.drawThroughCanvas(painter(), within, std::nullopt, [&](Canvas& canvas, const QRectF& dirty) {
            GatedCanvas gate(canvas, false);
            CanvasScope current(&gate);
            DrawingSplit split(DrawingSplit::Slice::Held, gate, m_key.root, m_key.panel, m_key.held);
            m_view.drawContent(dirty, &split);
        });
    };
    if (held) {
        ++g_heldBlits;
        // Where a clip's antialiased edge crosses it, the selection is drawn under the clip there
        // only: its bitmap, drawn free of the clip, cannot stand in for the blend.
        const QRegion cut = held->drawn.translated(m_shift) & region;
        if (!cut.isEmpty()) {
            painter().save();
            painter().setClipRegion(cut, Qt::IntersectClip);
            drawHeld(cut);
            painter().restore();
        }
    } else {
        drawHeld(region);
    }
    for (const QRect& area : onePass ? std::span<const QRect>() : std::span<const QRect>(written)) {
        if (direct)
            m_above.drawOver(at(area.topLeft()), bytesPerLine, area);
        else
            blit(painter(), m_above.image(), area, QPoint());
    }
    // The pass over the page costs as much as a small blit: it is made only when it draws.
    if (!m_view.decorationsDrawNothing()) {
        m_view.drawThroughCanvas(painter(), region, std::nullopt,
            [&](Canvas&, const QRectF& dirty) { m_view.drawDecorations(dirty); });
    } else if (ZDLTool* tool = m_view.currentTool()) {
        tool->currentHandles().clear();
    }
    return true;
}

const std::vector<QRect>& ComicViewBacking::writableRects(
    const QRegion& pixels, const QRegion* writable, const QPoint& toTarget)
{
    // The rectangles of either region do not overlap, so neither do their pairwise intersections:
    // together they are the intersection of the two, found without building a region each paint.
    m_written.clear();
    if (!writable) {
        m_written.assign(pixels.begin(), pixels.end());
        return m_written;
    }
    for (const QRect& rect : pixels) {
        const QRect inTarget = rect.translated(toTarget);
        for (const QRect& open : *writable) {
            const QRect part = inTarget & open;
            if (!part.isEmpty())
                m_written.push_back(part.translated(-toTarget));
        }
    }
    return m_written;
}

void ComicViewBacking::blit(
    QPainter& painter, const QImage& image, const QRect& pixels, const QPoint& origin) const
{
    if (pixels.isEmpty())
        return;
    const qreal ratio = m_key.devicePixelRatio;
    const QRectF target(QPointF(pixels.topLeft()) / ratio + QPointF(m_shift), QSizeF(pixels.size()) / ratio);
    painter.drawImage(target, image, QRectF(pixels.translated(-origin)));
}

std::optional<ComicViewBacking::HeldPlacement> ComicViewBacking::placeHeld()
{
    if (!m_heldMoving || (m_held.isNull() && !renderHeld()))
        return std::nullopt;
    const qreal ratio = m_key.devicePixelRatio;
    const double dx = m_heldMoved.x() * m_toImage.m11() * ratio;
    const double dy = m_heldMoved.y() * m_toImage.m22() * ratio;
    if (!isWholeNumber(dx) || !isWholeNumber(dy)) {
        // Off the pixel grid the bitmap is of no use: it is drawn again at the next move.
        m_held = SpanBitmap();
        return std::nullopt;
    }
    m_heldAt = m_heldPixels.topLeft() + QPoint(int(std::round(dx)), int(std::round(dy)));
    const QRect pixels(m_heldAt, m_heldPixels.size());
    if (!m_clipArea.contains(pixels))
        probeClips(pixels);
    std::optional<QRegion> drawn = partlyOpenPixels(pixels);
    if (!drawn)
        return std::nullopt;
    HeldPlacement placement;
    placement.drawn = std::move(*drawn);
    // The region holds wholly open pixels only; on a finer device grid, the rest of a logical pixel
    // drawn through goes with it.
    const bool trimmed = ratio != 1.0 && !placement.drawn.isEmpty();
    if (m_clipRegion.rectCount() == 1 && !trimmed) {
        placement.one = pixels & m_clipRegion.boundingRect();
        return placement;
    }
    QRegion shown = m_clipRegion.rectCount() == 1 ? QRegion(pixels & m_clipRegion.boundingRect())
                                                  : m_clipRegion & pixels;
    if (trimmed) {
        for (const QRect& rect : placement.drawn)
            shown -= deviceRect(rect, ratio);
    }
    if (shown.rectCount() > kMaxClipRects)
        return std::nullopt;
    placement.isOne = false;
    placement.many = std::move(shown);
    return placement;
}

bool ComicViewBacking::renderHeld()
{
    // The held span of the layer must be the held objects alone: others between them stay put.
    const auto first = std::find_if(m_key.children.begin(), m_key.children.end(),
        [this](const ObjectPtr& child) { return m_key.held.contains(child); });
    const qsizetype start = first - m_key.children.begin();
    if (first == m_key.children.end() || start + m_key.held.size() > m_key.children.size()
        || m_key.children.mid(start, m_key.held.size()) != m_key.held)
        return false;
    const qreal ratio = m_key.devicePixelRatio;
    // The area a move of the selection repaints.
    const QRectF bounds = unionRect(ArrayUtils::getElementsInvalidationBounds(m_key.held),
        ArrayUtils::getElementsGeometryBounds(m_key.held));
    if (isEmptyRect(bounds))
        return false;
    const QRect logical
        = insetRect(m_toImage.mapRect(bounds), -kDefaultUnscaledOutset, -kDefaultUnscaledOutset)
              .toAlignedRect()
              .adjusted(-kRoundingPixels, -kRoundingPixels, kRoundingPixels, kRoundingPixels);
    const QRect pixels = deviceRect(logical, ratio);
    // A selection larger than the view is drawn each time.
    if (pixels.isEmpty()
        || qint64(pixels.width()) * pixels.height() > qint64(m_below.width()) * m_below.height())
        return false;
    QImage image(pixels.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(ratio);
    const quint64 pendingBefore = ZDLImage::pendingRenderingsDrawn();
    {
        QPainter painter(&image);
        painter.translate(-QPointF(pixels.topLeft()) / ratio - QPointF(m_shift));
        m_view.drawThroughCanvas(painter, QRegion(logical.translated(m_shift)), CanvasTarget::Screen,
            [&](Canvas& canvas, const QRectF& dirty) {
                GatedCanvas gate(canvas, false);
                gate.setClipsWhileShut(false);
                CanvasScope current(&gate);
                DrawingSplit split(DrawingSplit::Slice::Held, gate, m_key.root, m_key.panel, m_key.held);
                m_view.drawContent(dirty, &split);
            });
    }
    // A placeholder of a picture still being rendered is not kept.
    if (ZDLImage::pendingRenderingsDrawn() != pendingBefore)
        return false;
    // Only what it paints is kept: its blit, and the clips' test, cover no more.
    // (A selection that paints nothing keeps one transparent pixel.)
    const QRect ink = inkBounds(image).isEmpty() ? QRect(0, 0, 1, 1) : inkBounds(image);
    m_held = SpanBitmap(image.copy(ink));
    m_heldPixels = ink.translated(pixels.topLeft());
    m_heldMoved = QPointF();
    return true;
}

void ComicViewBacking::probeClips(const QRect& around)
{
    m_clipArea = around.adjusted(-kClipMargin, -kClipMargin, kClipMargin, kClipMargin) & m_below.rect();
    m_clipCuts.clear();
    if (m_clipArea.isEmpty())
        return;
    const qreal ratio = m_key.devicePixelRatio;
    QImage mask(m_clipArea.size(), QImage::Format_Alpha8);
    mask.fill(0);
    mask.setDevicePixelRatio(ratio);
    {
        QPainter painter(&mask);
        painter.translate(-QPointF(m_clipArea.topLeft()) / ratio - QPointF(m_shift));
        const QRect logical = QRectF(QPointF(m_clipArea.topLeft()) / ratio, QSizeF(m_clipArea.size()) / ratio)
                                  .toAlignedRect();
        m_view.drawThroughCanvas(painter, QRegion(logical.translated(m_shift)), CanvasTarget::Screen,
            [&](Canvas& canvas, const QRectF& dirty) {
                GatedCanvas gate(canvas, false);
                CanvasScope current(&gate);
                DrawingSplit split(DrawingSplit::Slice::Held, gate, m_key.root, m_key.panel, m_key.held);
                split.setHeldSpanProbe([&] {
                    // All of the mask, in the coordinates the selection is drawn in.
                    const QRectF all = QRectF(QPointF(-1, -1), QSizeF(mask.size()) + QSizeF(2, 2));
                    gate.fillRect(gate.deviceTransform().inverted().mapRect(all), CanvasPaint(Qt::black));
                });
                m_view.drawContent(dirty, &split);
            });
    }
    // Where the clips are partly open, a blit cannot stand in for them; where they are wholly
    // open, one blit a band of the region does.
    const int width = m_clipArea.width() + 1;
    const int columns = mask.width();
    m_clipCuts.assign(std::size_t(width) * std::size_t(m_clipArea.height() + 1), 0);
    m_clipPartial.clear();
    std::vector<QRect> bands;
    std::vector<QRect> band;
    std::vector<QRect> runs;
    for (int y = 0; y < mask.height(); ++y) {
        const uchar* line = mask.constScanLine(y);
        qint32* sums = m_clipCuts.data() + std::size_t(y + 1) * std::size_t(width);
        const qint32* above = sums - width;
        qint32 row = 0;
        runs.clear();
        int x = 0;
        while (x < columns) {
            const uchar value = line[x];
            int end = x + 1;
            while (end < columns && line[end] == value)
                ++end;
            const bool partial = value != 0 && value != 0xff;
            for (int i = x; i < end; ++i) {
                row += partial;
                sums[i + 1] = above[i + 1] + row;
                if (partial)
                    m_clipPartial.push_back(m_clipArea.topLeft() + QPoint(i, y));
            }
            if (value == 0xff)
                runs.push_back(QRect(x, y, end - x, 1));
            x = end;
        }
        const bool same = runs.size() == band.size()
            && std::equal(runs.begin(), runs.end(), band.begin(), [](const QRect& a, const QRect& b) {
                   return a.left() == b.left() && a.right() == b.right();
               });
        if (same) {
            for (QRect& rect : band)
                rect.setBottom(y);
        } else {
            bands.insert(bands.end(), band.begin(), band.end());
            band = runs;
        }
    }
    bands.insert(bands.end(), band.begin(), band.end());
    m_clipRegion = QRegion();
    m_clipRegion.setRects(bands.data(), int(bands.size()));
    m_clipRegion.translate(m_clipArea.topLeft());
}

std::optional<QRegion> ComicViewBacking::partlyOpenPixels(const QRect& pixels) const
{
    if (m_clipCuts.empty() || !m_clipArea.contains(pixels))
        return std::nullopt;
    const QRect r = pixels.translated(-m_clipArea.topLeft());
    const std::size_t width = std::size_t(m_clipArea.width()) + 1;
    const auto at = [&](int x, int y) { return m_clipCuts[std::size_t(y) * width + std::size_t(x)]; };
    if (at(r.right() + 1, r.bottom() + 1) - at(r.left(), r.bottom() + 1) - at(r.right() + 1, r.top())
            + at(r.left(), r.top())
        == 0)
        return QRegion();
    // A clip drawn through must cover whole device pixels: on a grid of whole device pixels a
    // logical pixel, elsewhere none.
    const qreal ratio = m_key.devicePixelRatio;
    const int step = int(std::lround(ratio));
    if (step < 1 || ratio != qreal(step))
        return std::nullopt;
    // An antialiased clip's edge is partly open: where the selection paints there, the logical
    // pixels holding those pixels, in rows.
    std::vector<QPoint> cut;
    auto point = std::lower_bound(m_clipPartial.begin(), m_clipPartial.end(), pixels.top(),
        [](const QPoint& p, int top) { return p.y() < top; });
    const QImage& held = m_held.image();
    for (; point != m_clipPartial.end() && point->y() <= pixels.bottom(); ++point) {
        if (point->x() < pixels.left() || point->x() > pixels.right())
            continue;
        const QPoint inHeld = *point - pixels.topLeft();
        if (reinterpret_cast<const quint32*>(held.constScanLine(inHeld.y()))[inHeld.x()] == 0)
            continue;
        // Floor division: the mask may reach left of and above the view.
        const auto logical = [step](int v) { return v >= 0 ? v / step : -((-v + step - 1) / step); };
        cut.push_back(QPoint(logical(point->x()), logical(point->y())));
    }
    if (cut.empty())
        return QRegion();
    std::sort(cut.begin(), cut.end(),
        [](const QPoint& a, const QPoint& b) { return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x(); });
    // Runs along each row, each row a band of its own: the region takes them as they are.
    std::vector<QRect> runs;
    for (const QPoint& p : cut) {
        if (!runs.empty() && runs.back().top() == p.y() && runs.back().right() + 1 >= p.x()) {
            runs.back().setRight(std::max(runs.back().right(), p.x()));
            continue;
        }
        if (runs.size() == kMaxPartlyOpenRuns)
            return std::nullopt;
        runs.push_back(QRect(p, QSize(1, 1)));
    }
    QRegion region;
    region.setRects(runs.data(), int(runs.size()));
    return region;
}

void ComicViewBacking::render(const QRegion& stale)
{
    const quint64 pendingBefore = ZDLImage::pendingRenderingsDrawn();
    const QRegion inWidget = stale.translated(m_shift);
    for (const DrawingSplit::Slice slice : { DrawingSplit::Slice::Below, DrawingSplit::Slice::Above }) {
        const bool below = slice == DrawingSplit::Slice::Below;
        QImage& image = below ? m_below : m_above.image();
        QPainter painter(&image);
        painter.setClipRegion(stale);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(stale.boundingRect(), below ? m_key.window : QColor(Qt::transparent));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.translate(-QPointF(m_shift));
        // The bitmaps are the screen's pixels: the screen's caches serve them.
        m_view.drawThroughCanvas(
            painter, inWidget, CanvasTarget::Screen, [&](Canvas& canvas, const QRectF& dirty) {
                GatedCanvas gate(canvas);
                CanvasScope current(&gate);
                DrawingSplit split(slice, gate, m_key.root, m_key.panel, m_key.held);
                m_view.drawContent(dirty, &split);
            });
    }
    ++g_renderingsMade;
    const QRect rows = deviceRect(stale.boundingRect(), m_key.devicePixelRatio);
    m_above.refreshRows(rows.top(), rows.bottom());
    // A placeholder of a picture still being rendered is drawn again next time.
    if (ZDLImage::pendingRenderingsDrawn() == pendingBefore)
        m_valid += stale;
}

} // namespace zandrel
