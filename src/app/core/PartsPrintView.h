#pragma once

#include "app/core/PrintView.h"
#include "graphics/ElementProtocols.h"

#include <QByteArray>
#include <QPageSize>

namespace zandrel {

class CharacterDocument;

// A character's parts as a printer takes them, tiled over printer pages row by row at the scaling;
// or some given elements, on one page whose rectangle is their bounds.
class PartsPrintView : public PrintView {
public:
    explicit PartsPrintView(const CharacterDocument& document);
    // The elements alone, without a document.
    explicit PartsPrintView(const ElementList& elements);

    // Limits the print to the elements, on one page.
    void showOnlyElements(const ElementList& elements);

    int knowsPageRange(const QRectF& imageablePageBounds, float scalingFactor) override;
    QRectF rectForPage(int pageNumber) override;
    void drawRect(Canvas& canvas, const QRectF& dirtyRect) const override;

    int pagesPerRow() const { return m_pagesPerRow; }
    int currentPage() const { return m_currentPage; }
    const ElementList& elementsToShow() const { return m_elementsToShow; }

private:
    ElementList rootChildren() const;
    void setContent(const ElementList& elements);

    const CharacterDocument* m_document = nullptr;
    ElementList m_elementsToShow;
    bool m_limited = false;
    int m_pagesPerRow = 1;
    int m_currentPage = 0;
};

// Some graphic elements drawn at scale 1 on one page of their bounds, as the PDF that goes with
// copied elements on the clipboard.
class PDFCopyView {
public:
    explicit PDFCopyView(const ElementList& elements);

    // The elements' bounds at origin zero; empty when they have none.
    QRectF frame() const { return m_frame; }
    QPointF contentOffset() const { return m_contentOffset; }
    void drawRect(Canvas& canvas) const;
    // A one-page PDF of the frame's size; empty for elements without bounds or too large a page.
    QByteArray pdfData() const;

    // Pages wider or taller than this (points) are refused.
    static constexpr double kMaxPdfSide = 200.0 * 72.0;
    // A PDF page of whole points that holds the size: the writer rounds a page to whole points,
    // and one rounded down would cut the content at its right or bottom edge.
    static QPageSize pageSizeHolding(const QSizeF& size);

private:
    ElementList m_elementsToShow;
    QRectF m_frame;
    QPointF m_contentOffset;
};

} // namespace zandrel
