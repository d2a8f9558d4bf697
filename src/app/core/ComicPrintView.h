#pragma once

#include "app/core/PrintView.h"
#include "graphics/ElementProtocols.h"

#include <memory>

namespace zandrel {

class ComicDocument;
class ComicPanel;

// The pages of a comic as a printer takes them: every comic page, each tiled over as many printer
// pages as its scaled size needs; or one panel with the floating elements given, on one page whose
// rectangle is the panel's drawn bounds (its border included) and the floaters'. Drawn through the
// model's own page and panel drawing as an export draws, at whatever resolution the canvas has.
class ComicPrintView : public PrintView {
public:
    explicit ComicPrintView(const ComicDocument& document);
    ComicPrintView(
        const std::shared_ptr<ComicPanel>& panel, const ElementList& floaters, const ComicDocument& document);

    int knowsPageRange(const QRectF& imageablePageBounds, float scalingFactor) override;
    QRectF rectForPage(int pageNumber) override;
    void drawRect(Canvas& canvas, const QRectF& dirtyRect) const override;

    int tilesPerRow() const { return m_tilesPerRow; }
    int rowsPerPage() const { return m_rowsPerPage; }
    int pageIndex() const { return m_pageIndex; }
    const std::shared_ptr<ComicPanel>& panel() const { return m_panel; }

private:
    const ComicDocument& m_document;
    std::shared_ptr<ComicPanel> m_panel;
    ElementList m_floaters;
    int m_tilesPerRow = 1;
    int m_rowsPerPage = 1;
    int m_pageIndex = 0;
};

} // namespace zandrel
