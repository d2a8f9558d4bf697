#pragma once

#include "app/core/ZDLDocument.h"
#include "comicmodel/ComicRow.h"
#include "comicmodel/ComicStack.h"
#include "comicmodel/ComicStructureElement.h"

#include <QCoreApplication>
#include <array>
#include <memory>
#include <vector>

namespace zandrel::test {

// Stands in for the comic model at the root: the document, gutter and focus mode it answers.
class TestComic : public ComicStructureElement {
public:
    ZDLDocument* document() const override { return m_document; }
    float panelGutter() const override { return m_gutter; }
    bool focusOnPanel() const override { return m_focus; }
    ComicStack* page() const override { return nullptr; }

    ZDLDocument* m_document = nullptr;
    float m_gutter = 0.0f;
    bool m_focus = false;
};

// Stands in for a page: a stack that answers itself as its page.
class TestPage : public ComicStack {
public:
    bool isComicPage() const override { return true; }
    ComicStack* page() const override { return const_cast<TestPage*>(this); }
};

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

// A comic root holding the given children, linked to a document of its own.
struct DocumentedComic {
    ZDLDocument document;
    std::shared_ptr<TestComic> comic = std::make_shared<TestComic>();

    explicit DocumentedComic(const ComicStructureList& children = {})
    {
        comic->m_document = &document;
        comic->setContents(children);
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

} // namespace zandrel::test
