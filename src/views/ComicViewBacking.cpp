#include "views/ComicViewBacking.h"

#include "app/core/ZDLDocument.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/PanelLayer.h"
#include "graphics/DrawingSplit.h"
#include "graphics/ZDLImage.h"
#include "platform/CurrentCanvas.h"
#include "platform/GatedCanvas.h"
#include "platform/Geometry.h"
#include "platform/OffscreenImage.h"
#include "views/ComicView.h"

#include <QPainter>
#include <cmath>

namespace zandrel {

namespace {

// The above slice is blitted only in tiles of this many device pixels where it has anything.
constexpr int kInkTile = 32;
// The view grows a dirty rect by this many screen points for antialiasing; one more for rounding.
constexpr double kDefaultUnscaledOutset = 4.0;
constexpr int kRoundingPixels = 1;

quint64 g_renderingsMade = 0;

bool isWholeNumber(double value)
{
    return std::abs(value - std::round(value)) < 1e-6;
}

// Logical pixels to the device pixels they cover.
QRect deviceRect(const QRect& logical, qreal ratio)
{
    return QRectF(QPointF(logical.topLeft()) * ratio, QSizeF(logical.size()) * ratio).toAlignedRect();
}

} // namespace

ComicViewBacking::ComicViewBacking(ComicView& view)
    : m_view(view)
{
}

quint64 ComicViewBacking::renderingsMade()
{
    return g_renderingsMade;
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

void ComicViewBacking::invalidate()
{
    m_valid = QRegion();
    m_aboveInk = QRegion();
}

void ComicViewBacking::release()
{
    invalidate();
    m_below = QImage();
    m_above = QImage();
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
    m_above = QImage(device, QImage::Format_ARGB32_Premultiplied);
    m_below.setDevicePixelRatio(ratio);
    m_above.setDevicePixelRatio(ratio);
    m_toImage = transform;
    m_shift = QPoint();
    invalidate();
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
    if (onlyHeld)
        return;
    const double outset = (info.contains(kUnscaledOutsetKey) ? info.value(kUnscaledOutsetKey).toDouble()
                                                             : kDefaultUnscaledOutset)
        / double(m_key.scale > 0 ? m_key.scale : 1.0f);
    const QRectF dirty = insetRect(info.value(kDirtyRectKey).toRect(), -outset, -outset);
    if (isEmptyRect(dirty))
        return;
    m_valid -= m_toImage.mapRect(dirty).toAlignedRect().adjusted(
        -kRoundingPixels, -kRoundingPixels, kRoundingPixels, kRoundingPixels);
}

bool ComicViewBacking::paint(QPainter& painter, const QRegion& region)
{
    if (!m_enabled)
        return false;
    const std::optional<Key> key = currentKey();
    if (!key) {
        release();
        return false;
    }
    if (!(*key == m_key)) {
        release();
        m_key = *key;
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
    const QRegion stale = inImage - m_valid;
    if (!stale.isEmpty())
        render(stale);

    // The page below the selection, then the selection drawn through its slice of the page.
    for (const QRect& rect : inImage)
        painter.drawImage(QRectF(rect.translated(m_shift)), m_below, QRectF(deviceRect(rect, ratio)));
    m_view.drawThroughCanvas(painter, region, std::nullopt, [&](Canvas& canvas, const QRectF& dirty) {
        GatedCanvas gate(canvas, false);
        CanvasScope current(&gate);
        DrawingSplit split(DrawingSplit::Slice::Held, gate, m_key.root, m_key.panel, m_key.held);
        m_view.drawContent(dirty, &split);
    });
    // What lies above the selection, only where there is any.
    for (const QRect& rect : inImage& m_aboveInk)
        painter.drawImage(QRectF(rect.translated(m_shift)), m_above, QRectF(deviceRect(rect, ratio)));
    m_view.drawThroughCanvas(
        painter, region, std::nullopt, [&](Canvas&, const QRectF& dirty) { m_view.drawDecorations(dirty); });
    return true;
}

void ComicViewBacking::render(const QRegion& stale)
{
    const quint64 pendingBefore = ZDLImage::pendingRenderingsDrawn();
    const QRegion inWidget = stale.translated(m_shift);
    for (const DrawingSplit::Slice slice : { DrawingSplit::Slice::Below, DrawingSplit::Slice::Above }) {
        const bool below = slice == DrawingSplit::Slice::Below;
        QImage& image = below ? m_below : m_above;
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
    m_aboveInk -= stale;
    for (const QRect& rect : stale)
        recordInk(rect);
    // A placeholder of a picture still being rendered is drawn again next time.
    if (ZDLImage::pendingRenderingsDrawn() == pendingBefore)
        m_valid += stale;
}

void ComicViewBacking::recordInk(const QRect& area)
{
    const qreal ratio = m_key.devicePixelRatio;
    const QRect pixels = deviceRect(area, ratio) & m_above.rect();
    for (int top = pixels.top(); top <= pixels.bottom(); top += kInkTile) {
        for (int left = pixels.left(); left <= pixels.right(); left += kInkTile) {
            const QRect tile = QRect(left, top, kInkTile, kInkTile) & pixels;
            quint32 any = 0;
            for (int y = tile.top(); y <= tile.bottom() && !any; ++y) {
                const auto* line = reinterpret_cast<const quint32*>(m_above.constScanLine(y));
                for (int x = tile.left(); x <= tile.right(); ++x)
                    any |= line[x];
            }
            if (any) {
                const QRect logical
                    = QRectF(QPointF(tile.topLeft()) / ratio, QSizeF(tile.size()) / ratio).toAlignedRect();
                m_aboveInk += logical & area;
            }
        }
    }
}

} // namespace zandrel
