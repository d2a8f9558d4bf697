#pragma once

#include <QPointF>
#include <QRectF>
#include <functional>

class QPagedPaintDevice;
class QPaintDevice;
class QPainter;

namespace zandrel {

class Canvas;
class ZDLContext;

// What a printer, a PDF or an EPS takes from a document: the pages the content covers at a
// scaling, the rectangle of the content each page shows, and the drawing of that rectangle. A print
// asks knowsPageRange once, then, for each page, rectForPage and drawRect with that rect, the
// canvas's origin moved to the rect's origin.
//
// Every print view draws as an export draws: every blur (threshold 0), no screen caches.
class PrintView {
public:
    virtual ~PrintView() = default;

    // The last page (the first is 1) for pages of the imageable size (points) at the scaling; 0
    // when nothing can be printed (no content, a page or scaling of no size, absurdly many pages).
    virtual int knowsPageRange(const QRectF& imageablePageBounds, float scalingFactor) = 0;
    // The part of the content the one-based page shows, in scaled content coordinates (the
    // content's top-left at the origin); it makes the page's content the one drawRect draws.
    virtual QRectF rectForPage(int pageNumber) = 0;
    // Draws the content under the rect (scaled content coordinates).
    virtual void drawRect(Canvas& canvas, const QRectF& dirtyRect) const = 0;

    // The largest scaling at which each page of the content fits one page of the imageable size
    // (a comic page, a character's parts); 0 when there is nothing to print.
    float scalingToFit(const QRectF& imageablePageBounds);

    // The content's rectangle, at the scaling once knowsPageRange has run, origin zero.
    QRectF docBounds() const { return m_docBounds; }
    // The content's origin in model coordinates.
    QPointF contentOffset() const { return m_contentOffset; }
    QRectF pageRect() const { return m_pageRect; }
    float scalingFactor() const { return m_scalingFactor; }

    // Prints the pages from .. to on a paged device (a printer or a PDF writer) whose imageable
    // area (or the one given, in points) and resolution decide the pages; one unit of content is one
    // point of paper at scaling 1. False when nothing could be printed (no pages, a range outside
    // them, a device that would not start, a page it would not add).
    static bool printPages(PrintView& view, QPagedPaintDevice& device, int from, int to,
        float scalingFactor = 1.0f, const QRectF& imageable = QRectF());
    // Prints the first page of the content at scaling 1 on a device of one page whose units are
    // points (an EPS); false when there is nothing to print or the device would not start.
    static bool printPage(PrintView& view, QPaintDevice& device, const QRectF& imageable);
    // The imageable area of the device's page layout, in points.
    static QRectF imageableArea(const QPagedPaintDevice& device);

    // More pages than this are refused as absurd (a tiny paper or scaling).
    static constexpr qint64 kMaxPrinterPages = 10000;
    // Fitting never shrinks the content below this.
    static constexpr float kSmallestFittingScale = 0.001f;

protected:
    static void drawPage(PrintView& view, QPainter& painter, int page);
    // A drawing context for the print at scale s, the canvas scaled and moved so that the content
    // offset lands at its origin; draw gets the dirty rect in model coordinates.
    void drawScaled(Canvas& canvas, const QRectF& dirtyRect,
        const std::function<void(ZDLContext& context, const QRectF& modelRect)>& draw) const;
    // Tiles of the page size over content of the size (scaled), in single precision as the page
    // count has always been worked out; false for a page or scaling of no size or absurd tiling.
    bool tile(const QSizeF& scaledContent, int& across, int& down) const;
    // The tile'th tile, row by row, of width across.
    void moveToTile(int tile, int across);

    QRectF m_docBounds;
    QPointF m_contentOffset;
    QRectF m_pageRect;
    float m_scalingFactor = 1.0f;
};

} // namespace zandrel
