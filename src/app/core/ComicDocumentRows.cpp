// The comic document's operations on pages and rows as wholes, and on the comic's size: the
// structure sheets end in them. Each is one undo step; every corner a layout moves is recorded too.
#include "app/core/ComicDocument.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPage.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/ComicRow.h"
#include "platform/Localization.h"

#include <algorithm>

namespace zandrel {

namespace {

// The height a new row is made with before its page lays it out.
constexpr double kNewRowHeight = 100.0;

std::shared_ptr<ComicPanel> firstPanelOf(const std::shared_ptr<ComicStructureElement>& element)
{
    return element ? std::dynamic_pointer_cast<ComicPanel>(element->firstPanel()) : nullptr;
}

bool holdsPanel(const ComicStructureElement& element, const ComicPanel* panel)
{
    for (const ComicStructureElement* up = panel; up; up = up->parent()) {
        if (up == &element)
            return true;
    }
    return false;
}

} // namespace

void ComicDocument::undoableSetComicSize(const QSizeF& size)
{
    const std::shared_ptr<ComicModel> comic = model();
    if (!comic)
        return;
    comic->setTopLeftTopRightBottomLeftBottomRight(QPointF(0, 0), QPointF(size.width(), 0),
        QPointF(0, size.height()), QPointF(size.width(), size.height()));
    undoableSetPropertyFor(comic, ComicModel::kSizeKey, Value(size));
    updateViews();
}

void ComicDocument::undoableAddPageAt(
    qsizetype index, int rows, int panels, int shape, qint64 lineStyle, float weight, float roundness)
{
    const std::shared_ptr<ComicModel> comic = model();
    if (!comic || rows < 1 || panels < 1)
        return;
    auto page = std::make_shared<ComicPage>();
    page->initWithRect(QRectF(QPointF(0, 0), comic->size()), comic.get(), rows, panels);
    ComicPanel::setFrameOfPanelsIn(*page, shape, weight, lineStyle, roundness);
    ComicStructureList pages = comic->contents();
    pages.insert(pages.begin() + std::clamp<qsizetype>(index, 0, qsizetype(pages.size())), page);
    undoableSetContents(pages, comic);
    undoableSetPropertyFor(comic, ComicModel::kCurrentPageKey, Value(ObjectPtr(page)));
    undoableSetPropertyFor(comic, ComicModel::kCurrentPanelKey, Value(ObjectPtr(firstPanelOf(page))));
    undoManager()->setActionName(localized("Insert Page"));
}

void ComicDocument::undoableDeleteRowInPage(
    const std::shared_ptr<ComicPage>& page, qsizetype index, float height)
{
    const std::shared_ptr<ComicModel> comic = model();
    if (!comic || !page || index < 0 || std::size_t(index) >= page->numContents() || page->numContents() < 2)
        return;
    ComicStructureList rows = page->contents();
    const auto removed = rows.at(std::size_t(index));
    rows.erase(rows.begin() + index);
    if (holdsPanel(*removed, comic->currentPanel().get())) {
        const auto next = rows.at(std::min(std::size_t(index), rows.size() - 1));
        undoableSetPropertyFor(comic, ComicModel::kCurrentPanelKey, Value(ObjectPtr(firstPanelOf(next))));
    }
    undoableSetContents(rows, page);
    page->layoutChildren();
    const QSizeF size = comic->size();
    // The height is taken off only where what is left still fits.
    if (height > 0 && size.height() - height >= comic->minimumSize().height())
        undoableSetComicSize(QSizeF(size.width(), size.height() - height));
    updateViews();
    undoManager()->setActionName(localized("Remove Row"));
}

void ComicDocument::undoableInsertRowInPage(
    const std::shared_ptr<ComicPage>& page, qsizetype index, float height, int panels)
{
    const std::shared_ptr<ComicModel> comic = model();
    if (!comic || !page || panels < 1)
        return;
    const QRectF inner(page->childrenTopLeft(), page->childrenBottomRight());
    // A row of its own height keeps it when the page grows by as much; otherwise it takes an equal
    // share of the page from the rows there.
    const double rowHeight = height > 0 ? double(height)
        : page->numContents() > 0       ? inner.height() / double(page->numContents())
                                        : kNewRowHeight;
    auto row = std::make_shared<ComicRow>();
    row->initWithRect(QRectF(inner.left(), 0, inner.width(), rowHeight), page.get(), panels);
    if (const auto current = comic->currentPanel()) {
        for (const auto& cell : row->contents()) {
            if (auto* panel = dynamic_cast<ComicPanel*>(cell.get()))
                panel->copyPropertiesFrom(*current);
        }
    }
    ComicStructureList rows = page->contents();
    rows.insert(rows.begin() + std::clamp<qsizetype>(index, 0, qsizetype(rows.size())), row);
    undoableSetContents(rows, page);
    if (height > 0) {
        const QSizeF size = comic->size();
        undoableSetComicSize(QSizeF(size.width(), size.height() + height));
    } else {
        page->layoutChildren();
    }
    undoableSetPropertyFor(comic, ComicModel::kCurrentPanelKey, Value(ObjectPtr(firstPanelOf(row))));
    updateViews();
    undoManager()->setActionName(localized("Insert Row"));
}

} // namespace zandrel
