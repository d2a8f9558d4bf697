#pragma once

#include <QPointF>
#include <QRectF>

namespace zandrel {

class Canvas;
class ComicDocument;

// The pages of a comic as a printer takes them: every comic page, each tiled over as many printer
// pages as its scaled size needs, drawn through the model's own page drawing as an export draws
// (every blur, no screen caches) at whatever resolution the canvas has.
//
// A print asks knowsPageRange once with the imageable page and the scaling, then, for each printer
// page, rectForPage and drawRect with that rect, the canvas's origin moved to the rect's origin.
class ComicPrintView {
public:
    explicit ComicPrintView(const ComicDocument& document);

    // The last printer page (the first is 1) for pages of the imageable size (points) at the
    // scaling; 0 when nothing can be printed (an empty comic, a page or scaling of no size).
    int knowsPageRange(const QRectF& imageablePageBounds, float scalingFactor);
    // The tile of the one-based printer page, in the scaled comic page's coordinates; it makes the
    // page's comic page the one drawRect draws.
    QRectF rectForPage(int pageNumber);
    // Draws the part of the current comic page under the rect (scaled comic page coordinates).
    void drawRect(Canvas& canvas, const QRectF& dirtyRect) const;

    int tilesPerRow() const { return m_tilesPerRow; }
    int rowsPerPage() const { return m_rowsPerPage; }
    int pageIndex() const { return m_pageIndex; }
    QRectF docBounds() const { return m_docBounds; }
    QRectF pageRect() const { return m_pageRect; }
    float scalingFactor() const { return m_scalingFactor; }

    // More printer pages than this are refused as absurd (a tiny paper or scaling).
    static constexpr qint64 kMaxPrinterPages = 10000;

private:
    const ComicDocument& m_document;
    int m_tilesPerRow = 1;
    int m_rowsPerPage = 1;
    int m_pageIndex = 0;
    QRectF m_docBounds;
    QPointF m_contentOffset;
    QRectF m_pageRect;
    float m_scalingFactor = 1.0f;
};

} // namespace zandrel
