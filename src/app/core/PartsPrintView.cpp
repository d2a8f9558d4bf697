#include "app/core/PartsPrintView.h"

#include "app/core/CharacterDocument.h"
#include "charmodel/CharacterModel.h"
#include "graphics/ArrayUtils.h"
#include "graphics/ZDLContext.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/PainterCanvas.h"

#include <QBuffer>
#include <QPdfWriter>
#include <cmath>

namespace zandrel {

namespace {

void drawElements(const ElementList& elements, ZDLContext& context)
{
    for (const ObjectPtr& element : elements) {
        if (auto* graphic = asProtocol<GraphicElement>(element))
            graphic->drawIn(context);
    }
}

} // namespace

PartsPrintView::PartsPrintView(const CharacterDocument& document)
    : m_document(&document)
{
    setContent(rootChildren());
}

PartsPrintView::PartsPrintView(const ElementList& elements)
{
    showOnlyElements(elements);
}

void PartsPrintView::showOnlyElements(const ElementList& elements)
{
    m_elementsToShow = elements;
    m_limited = true;
    setContent(elements);
}

ElementList PartsPrintView::rootChildren() const
{
    const auto* model = m_document ? m_document->model().get() : nullptr;
    return model ? model->children() : ElementList();
}

void PartsPrintView::setContent(const ElementList& elements)
{
    const QRectF content = ArrayUtils::getElementsFilteredBounds(elements);
    m_contentOffset = content.topLeft();
    m_docBounds = QRectF(QPointF(0, 0), content.size());
}

int PartsPrintView::knowsPageRange(const QRectF& imageablePageBounds, float scalingFactor)
{
    m_pageRect = QRectF(QPointF(0, 0), imageablePageBounds.size());
    m_scalingFactor = scalingFactor;
    if (m_limited)
        return isEmptyRect(m_docBounds) || !(scalingFactor > 0) ? 0 : 1;
    setContent(rootChildren());
    m_docBounds.setSize(m_docBounds.size() * scalingFactor);
    int across = 1;
    int down = 1;
    if (isEmptyRect(m_docBounds) || !tile(m_docBounds.size(), across, down))
        return 0;
    m_pagesPerRow = across;
    return across * down;
}

QRectF PartsPrintView::rectForPage(int pageNumber)
{
    if (m_limited)
        return pageNumber == 1 ? QRectF(QPointF(0, 0), m_docBounds.size() * m_scalingFactor) : QRectF();
    if (pageNumber < 1 || m_pagesPerRow <= 0)
        return QRectF();
    m_currentPage = pageNumber - 1;
    moveToTile(m_currentPage, m_pagesPerRow);
    return m_pageRect;
}

void PartsPrintView::drawRect(Canvas& canvas, const QRectF& dirtyRect) const
{
    drawScaled(canvas, dirtyRect, [&](ZDLContext& context, const QRectF& dirty) {
        const auto* model = m_document ? m_document->model().get() : nullptr;
        if (m_limited || !model)
            drawElements(m_elementsToShow, context);
        else
            model->drawIn(context, dirty);
    });
}

PDFCopyView::PDFCopyView(const ElementList& elements)
    : m_elementsToShow(elements)
{
    const QRectF bounds = ArrayUtils::getElementsFilteredBounds(elements);
    if (isEmptyRect(bounds))
        return;
    m_contentOffset = bounds.topLeft();
    m_frame = QRectF(QPointF(0, 0), bounds.size());
}

void PDFCopyView::drawRect(Canvas& canvas) const
{
    CanvasScope current(&canvas);
    ZDLContext context(1.0f);
    context.setBlurThreshold(0);
    context.setExporting(true);
    context.saveState();
    canvas.translate(-m_contentOffset.x(), -m_contentOffset.y());
    drawElements(m_elementsToShow, context);
    context.restoreState();
}

QPageSize PDFCopyView::pageSizeHolding(const QSizeF& size)
{
    // A size a rounding error above a whole number stays that number.
    const QSizeF whole(std::ceil(size.width() - 1e-6), std::ceil(size.height() - 1e-6));
    return QPageSize(whole, QPageSize::Point, QString(), QPageSize::ExactMatch);
}

QByteArray PDFCopyView::pdfData() const
{
    if (isEmptyRect(m_frame) || m_frame.width() > kMaxPdfSide || m_frame.height() > kMaxPdfSide)
        return QByteArray();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        // One unit of the page is one point, as one unit of the model is.
        writer.setResolution(72);
        writer.setPageMargins(QMarginsF());
        writer.setPageSize(pageSizeHolding(m_frame.size()));
        PainterCanvas canvas(&writer, CanvasTarget::Pdf);
        if (!canvas.isActive())
            return QByteArray();
        drawRect(canvas);
        canvas.finish();
    }
    return buffer.data();
}

} // namespace zandrel
