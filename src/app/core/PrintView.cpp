#include "app/core/PrintView.h"

#include "graphics/GraphicUtils.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/PainterCanvas.h"

#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace zandrel {

QRectF PrintView::imageableArea(const QPagedPaintDevice& device)
{
    return device.pageLayout().paintRect(QPageLayout::Point);
}

float PrintView::scalingToFit(const QRectF& imageablePageBounds)
{
    // However small, a page of the content takes a printer page at least.
    const int onePerPage = knowsPageRange(imageablePageBounds, kSmallestFittingScale);
    if (onePerPage <= 0 || knowsPageRange(imageablePageBounds, 1.0f) <= 0)
        return 0.0f;
    const QSizeF extent(m_docBounds.right(), m_docBounds.bottom());
    if (!(extent.width() > 0 && extent.height() > 0))
        return 0.0f;
    float scaling = float(std::min(
        imageablePageBounds.width() / extent.width(), imageablePageBounds.height() / extent.height()));
    // The page count is worked out in single precision: a scaling that rounds up a hair past the
    // paper would spill onto a second sheet.
    for (int tries = 0; tries < 8 && scaling > kSmallestFittingScale; ++tries) {
        if (knowsPageRange(imageablePageBounds, scaling) == onePerPage)
            return scaling;
        scaling = std::nextafter(scaling, 0.0f) * (1.0f - 1e-6f);
    }
    return std::max(scaling, kSmallestFittingScale);
}

bool PrintView::printPages(PrintView& view, QPagedPaintDevice& device, int from, int to, float scalingFactor,
    const QRectF& imageable)
{
    const int last
        = view.knowsPageRange(imageable.isNull() ? imageableArea(device) : imageable, scalingFactor);
    from = std::max(1, from);
    to = std::min(to, last);
    if (last <= 0 || from > to)
        return false;
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    for (int page = from; page <= to; ++page) {
        if (page > from && !device.newPage())
            return false;
        drawPage(view, painter, page);
    }
    return painter.end();
}

bool PrintView::printPage(PrintView& view, QPaintDevice& device, const QRectF& imageable)
{
    if (view.knowsPageRange(imageable, 1.0f) < 1)
        return false;
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    drawPage(view, painter, 1);
    return painter.end();
}

void PrintView::drawPage(PrintView& view, QPainter& painter, int page)
{
    // Device units in one point of paper, which is one unit of the content at scaling 1.
    const double unit = painter.device()->logicalDpiX() / 72.0;
    const QRectF tile = view.rectForPage(page);
    painter.save();
    painter.scale(unit, unit);
    painter.setClipRect(QRectF(QPointF(0, 0), tile.size()));
    {
        PainterCanvas canvas(&painter, CanvasTarget::Printer);
        canvas.translate(-tile.x(), -tile.y());
        view.drawRect(canvas, tile);
        canvas.finish();
    }
    painter.restore();
}

void PrintView::drawScaled(Canvas& canvas, const QRectF& dirtyRect,
    const std::function<void(ZDLContext& context, const QRectF& modelRect)>& draw) const
{
    const float s = m_scalingFactor;
    if (!(s > 0))
        return;
    CanvasScope current(&canvas);
    ZDLContext context(s);
    context.setBlurThreshold(0);
    context.setExporting(true);
    context.saveState();
    canvas.scale(s, s);
    canvas.translate(-m_contentOffset.x(), -m_contentOffset.y());
    draw(context, scaleRect(dirtyRect, 1.0f / s).translated(m_contentOffset));
    context.restoreState();
}

bool PrintView::tile(const QSizeF& scaledContent, int& across, int& down) const
{
    const float x = std::ceil(float(scaledContent.width()) / float(m_pageRect.width()));
    const float y = std::ceil(float(scaledContent.height()) / float(m_pageRect.height()));
    if (!(m_scalingFactor > 0) || !(x >= 1) || !(y >= 1) || double(x) * y > kMaxPrinterPages)
        return false;
    across = int(x);
    down = int(y);
    return true;
}

void PrintView::moveToTile(int tile, int across)
{
    const int row = tile / across;
    const int column = tile % across;
    m_pageRect.moveTopLeft(QPointF(column * m_pageRect.width(), row * m_pageRect.height()));
}

} // namespace zandrel
