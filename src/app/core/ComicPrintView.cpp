#include "app/core/ComicPrintView.h"

#include "app/core/ComicDocument.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPage.h"
#include "comicmodel/ComicPanel.h"
#include "graphics/ZDLContext.h"
#include "platform/Geometry.h"

namespace zandrel {

ComicPrintView::ComicPrintView(const ComicDocument& document)
    : m_document(document)
{
    if (const auto& model = document.model()) {
        m_docBounds = model->bounds();
        m_pageIndex = int(model->currentPageIndex());
    }
}

ComicPrintView::ComicPrintView(
    const std::shared_ptr<ComicPanel>& panel, const ElementList& floaters, const ComicDocument& document)
    : m_document(document)
    , m_panel(panel)
    , m_floaters(floaters)
{
    if (!panel)
        return;
    const QRectF content = ComicModel::panelImageRect(*panel, floaters);
    m_contentOffset = content.topLeft();
    m_docBounds = QRectF(QPointF(0, 0), content.size());
}

int ComicPrintView::knowsPageRange(const QRectF& imageablePageBounds, float scalingFactor)
{
    m_pageRect = QRectF(QPointF(0, 0), imageablePageBounds.size());
    m_scalingFactor = scalingFactor;
    if (m_panel)
        return isEmptyRect(m_docBounds) || !(scalingFactor > 0) ? 0 : 1;
    const auto& model = m_document.model();
    if (!model)
        return 0;
    const QRectF bounds = model->bounds();
    m_docBounds = QRectF(bounds.topLeft(), bounds.size() * scalingFactor);
    int across = 1;
    int down = 1;
    if (!tile(QSizeF(m_docBounds.x() + m_docBounds.width(), m_docBounds.y() + m_docBounds.height()), across,
            down))
        return 0;
    m_tilesPerRow = across;
    m_rowsPerPage = down;
    const qint64 pages = qint64(model->numPages()) * m_tilesPerRow * m_rowsPerPage;
    return pages > kMaxPrinterPages ? 0 : int(pages);
}

QRectF ComicPrintView::rectForPage(int pageNumber)
{
    if (m_panel)
        return pageNumber == 1 ? QRectF(QPointF(0, 0), m_docBounds.size() * m_scalingFactor) : QRectF();
    const int k = pageNumber - 1;
    const int tiles = m_tilesPerRow * m_rowsPerPage;
    if (k < 0 || tiles <= 0)
        return QRectF();
    m_pageIndex = k / tiles;
    moveToTile(k % tiles, m_tilesPerRow);
    return m_pageRect;
}

void ComicPrintView::drawRect(Canvas& canvas, const QRectF& dirtyRect) const
{
    if (m_panel) {
        drawScaled(canvas, dirtyRect, [&](ZDLContext& context, const QRectF& dirty) {
            m_panel->drawIn(context, dirty);
            for (const ObjectPtr& element : m_floaters) {
                if (auto* graphic = asProtocol<GraphicElement>(element))
                    graphic->drawIn(context);
            }
        });
        return;
    }
    const auto& model = m_document.model();
    const auto page = model ? model->pageAtIndex(m_pageIndex) : nullptr;
    if (!page)
        return;
    drawScaled(
        canvas, dirtyRect, [&](ZDLContext& context, const QRectF& dirty) { page->drawIn(context, dirty); });
}

} // namespace zandrel
