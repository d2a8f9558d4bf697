#include "app/core/ComicPrintView.h"

#include "app/core/ComicDocument.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPage.h"
#include "graphics/GraphicUtils.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"

#include <cmath>

namespace zandrel {

ComicPrintView::ComicPrintView(const ComicDocument& document)
    : m_document(document)
{
    if (const auto& model = document.model()) {
        m_docBounds = model->bounds();
        m_pageIndex = int(model->currentPageIndex());
    }
}

int ComicPrintView::knowsPageRange(const QRectF& imageablePageBounds, float scalingFactor)
{
    const auto& model = m_document.model();
    m_pageRect = QRectF(QPointF(0, 0), imageablePageBounds.size());
    m_scalingFactor = scalingFactor;
    if (!model)
        return 0;
    const QRectF bounds = model->bounds();
    m_docBounds = QRectF(bounds.topLeft(), bounds.size() * scalingFactor);
    // Quotients in single precision, as the page count has always been worked out.
    const float across = std::ceil(float(m_docBounds.x() + m_docBounds.width()) / float(m_pageRect.width()));
    const float down = std::ceil(float(m_docBounds.y() + m_docBounds.height()) / float(m_pageRect.height()));
    // A page or scaling of no size, a NaN, or so many tiles that printing them is absurd.
    if (!(scalingFactor > 0) || !(across >= 1) || !(down >= 1) || double(across) * down > kMaxPrinterPages)
        return 0;
    m_tilesPerRow = int(across);
    m_rowsPerPage = int(down);
    const qint64 pages = qint64(model->numPages()) * m_tilesPerRow * m_rowsPerPage;
    return pages > kMaxPrinterPages ? 0 : int(pages);
}

QRectF ComicPrintView::rectForPage(int pageNumber)
{
    const int k = pageNumber - 1;
    const int tiles = m_tilesPerRow * m_rowsPerPage;
    if (k < 0 || tiles <= 0)
        return QRectF();
    m_pageIndex = k / tiles;
    const int tile = k % tiles;
    const int row = tile / m_tilesPerRow;
    const int column = tile % m_tilesPerRow;
    m_pageRect.moveTopLeft(QPointF(column * m_pageRect.width(), row * m_pageRect.height()));
    return m_pageRect;
}

void ComicPrintView::drawRect(Canvas& canvas, const QRectF& dirtyRect) const
{
    const auto& model = m_document.model();
    const auto page = model ? model->pageAtIndex(m_pageIndex) : nullptr;
    if (!page)
        return;
    const float s = m_scalingFactor;
    CanvasScope current(&canvas);
    ZDLContext context(s);
    context.setBlurThreshold(0);
    context.setExporting(true);
    context.saveState();
    canvas.scale(s, s);
    canvas.translate(-m_contentOffset.x(), -m_contentOffset.y());
    const QRectF dirty = scaleRect(dirtyRect, 1.0f / s).translated(m_contentOffset);
    page->drawIn(context, dirty);
    context.restoreState();
}

} // namespace zandrel
