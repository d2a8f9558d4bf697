#pragma once

#include "app/core/ComicDocument.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPage.h"
#include "comicmodel/ComicRow.h"
#include "comicmodel/ComicStack.h"
#include "comicmodel/ComicStructureElement.h"

#include <QCoreApplication>
#include <array>
#include <memory>
#include <vector>

namespace zandrel::test {

// Stands in for a panel: a leaf that answers itself as first and last panel, with a minimum size
// and a validity of the test's choosing, and that counts its draws.
class TestPanel : public ComicStructureElement {
public:
    static std::shared_ptr<TestPanel> make(const QRectF& rect, QSizeF minimum = {})
    {
        auto panel = std::make_shared<TestPanel>();
        panel->initWithRect(rect, nullptr);
        panel->m_minimum = minimum;
        return panel;
    }
    ObjectPtr initByCopying() const override { return std::make_shared<TestPanel>(*this); }
    std::shared_ptr<ComicStructureElement> firstPanel() const override { return self(); }
    std::shared_ptr<ComicStructureElement> lastPanel() const override { return self(); }
    void getPanelsInArray(ComicStructureList& panels) const override { panels.push_back(self()); }
    QSizeF minimumSize() const override { return m_minimum; }
    bool validateData() override { return m_valid; }
    void drawIn(ZDLContext&, const QRectF&) override { ++m_draws; }

    QSizeF m_minimum;
    int m_draws = 0;
    bool m_valid = true;
};

// A comic document whose comic holds the given elements: pages as its pages, anything else on
// one page of its own, which becomes the current page.
struct DocumentedComic {
    ComicDocument document;
    std::shared_ptr<ComicModel> comic = document.model();
    std::shared_ptr<ComicPage> page;

    explicit DocumentedComic(const ComicStructureList& children = {})
    {
        ComicStructureList pages;
        ComicStructureList others;
        for (const auto& child : children)
            (std::dynamic_pointer_cast<ComicPage>(child) ? pages : others).push_back(child);
        if (!others.empty() || pages.empty()) {
            page = std::make_shared<ComicPage>();
            page->setContents(others);
            pages.insert(pages.begin(), page);
        } else {
            page = std::static_pointer_cast<ComicPage>(pages.front());
        }
        comic->setContents(pages);
        comic->setCurrentPage(page);
    }
    ~DocumentedComic()
    {
        // Let the document's deferred "propertyChanged" posts run while it still exists.
        QCoreApplication::processEvents();
    }
};

inline std::array<QPointF, 4> cornersOf(const ComicStructureElement& element)
{
    return { element.topLeft(), element.topRight(), element.bottomLeft(), element.bottomRight() };
}

// The eight coordinates, for comparisons that must be exact (QPointF's own is fuzzy).
inline std::vector<double> coordinatesOf(const ComicStructureElement& element)
{
    std::vector<double> values;
    for (const QPointF& corner : cornersOf(element)) {
        values.push_back(corner.x());
        values.push_back(corner.y());
    }
    return values;
}

// Every coordinate of a structure subtree, children depth first, then for a page its free panels
// and the bounds of its free objects: what an undo must give back exactly. The bounds are taken in
// full: an undo puts positions back as they were, and the file keeps image transforms as doubles.
inline void collectGeometry(const ComicStructureElement& element, std::vector<double>& values)
{
    const std::vector<double> own = coordinatesOf(element);
    values.insert(values.end(), own.begin(), own.end());
    for (const auto& child : element.contents())
        collectGeometry(*child, values);
    if (const auto* page = dynamic_cast<const ComicPage*>(&element)) {
        values.push_back(page->topMargin());
        for (const auto& panel : page->freePanels())
            collectGeometry(*panel, values);
        for (const ObjectPtr& object : page->floatingElements()) {
            const QRectF r = asProtocol<GraphicElement>(object)->getBounds();
            values.insert(values.end(), { r.x(), r.y(), r.width(), r.height() });
        }
    }
}

inline std::vector<double> geometryOf(const ComicStructureElement& element)
{
    std::vector<double> values;
    collectGeometry(element, values);
    return values;
}

} // namespace zandrel::test
