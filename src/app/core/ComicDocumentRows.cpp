// The comic document's operations on rows and the panels in them, and on the comic's size: the
// structure sheets and the comic view's panel commands end in them. Each is one undo step; every
// corner a layout moves is recorded too.
#include "app/core/ComicDocument.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPage.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/ComicRow.h"
#include "graphics/GraphicUtils.h"
#include "platform/Localization.h"

#include <algorithm>

namespace zandrel {

namespace {

// The height a new row is made with before its page lays it out.
constexpr double kNewRowHeight = 100.0;
// The height of a panel made for a row before the row lays it out.
constexpr double kNewPanelHeight = 100.0;

std::shared_ptr<ComicPanel> firstPanelOf(const std::shared_ptr<ComicStructureElement>& element)
{
    return element ? std::dynamic_pointer_cast<ComicPanel>(element->firstPanel()) : nullptr;
}

std::shared_ptr<ComicPanel> lastPanelOf(const std::shared_ptr<ComicStructureElement>& element)
{
    return element ? std::dynamic_pointer_cast<ComicPanel>(element->lastPanel()) : nullptr;
}

template <class T> std::shared_ptr<T> sharedOf(T* object)
{
    return object ? std::dynamic_pointer_cast<T>(object->shared_from_this()) : nullptr;
}

// The current panel when it is not free: the panel of a row or stack.
std::shared_ptr<ComicPanel> fixedCurrentPanel(const ComicModel* comic)
{
    auto panel = comic ? comic->currentPanel() : nullptr;
    return panel && !panel->isFree() ? panel : nullptr;
}

} // namespace

bool ComicDocument::canInsertRow() const
{
    return fixedCurrentPanel(m_model.get()) != nullptr;
}

bool ComicDocument::canDeleteRow() const
{
    const auto page = m_model ? m_model->currentPage() : nullptr;
    return fixedCurrentPanel(m_model.get()) && page && page->numContents() >= 2;
}

bool ComicDocument::canInsertPanel() const
{
    const auto panel = fixedCurrentPanel(m_model.get());
    return panel && dynamic_cast<const ComicRow*>(panel->parent());
}

bool ComicDocument::canDeletePanel() const
{
    const auto panel = m_model ? m_model->currentPanel() : nullptr;
    if (!panel)
        return false;
    const ComicStructureElement* parent = panel->parent();
    return panel->isFree()
        || (parent && (parent->getElementBefore(panel.get()) || parent->getElementAfter(panel.get())));
}

bool ComicDocument::canSplitPanel() const
{
    return fixedCurrentPanel(m_model.get()) != nullptr;
}

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

void ComicDocument::undoableDeleteRowInPage(
    const std::shared_ptr<ComicPage>& page, qsizetype index, float height)
{
    const std::shared_ptr<ComicModel> comic = model();
    if (!comic || !page || index < 0 || std::size_t(index) >= page->numContents() || page->numContents() < 2)
        return;
    ComicStructureList rows = page->contents();
    rows.erase(rows.begin() + index);
    undoableSetContents(rows, page);
    page->layoutChildren();
    const QSizeF size = comic->size();
    // The height is taken off only where what is left still fits.
    if (height > 0 && size.height() - height >= comic->minimumSize().height())
        undoableSetComicSize(QSizeF(size.width(), size.height() - height));
    // The user goes on beside the gap: at the end of the row above it, or at the start of the new
    // first row, whichever panel was current before.
    const auto current
        = index > 0 ? lastPanelOf(rows.at(std::size_t(index - 1))) : firstPanelOf(rows.front());
    undoableSetPropertyFor(comic, ComicModel::kCurrentPanelKey, Value(ObjectPtr(current)));
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

void ComicDocument::undoableInsertPanelInRow(const std::shared_ptr<ComicRow>& row, qsizetype index)
{
    const std::shared_ptr<ComicModel> comic = model();
    if (!row || !comic)
        return;
    const double top = distanceBetweenPoints(row->topLeft(), row->topRight());
    const double bottom = distanceBetweenPoints(row->bottomLeft(), row->bottomRight());
    // An empty row makes its one panel as wide as itself.
    const double count = double(std::max<std::size_t>(row->numContents(), 1));
    auto panel = std::make_shared<ComicPanel>();
    panel->initWithRect(QRectF(0, 0, top / count, kNewPanelHeight), row.get());
    if (top != bottom)
        panel->setBottomRight(QPointF(bottom / count, kNewPanelHeight));
    if (const auto current = comic->currentPanel())
        panel->copyPropertiesFrom(*current);

    ComicStructureList contents = row->contents();
    const auto at = std::clamp<qsizetype>(index, 0, qsizetype(contents.size()));
    contents.insert(contents.begin() + at, panel);
    undoableSetContents(contents, row);
    row->setTopLeftTopRightBottomLeftBottomRight(
        row->topLeft(), row->topRight(), row->bottomLeft(), row->bottomRight());
    undoableSetPropertyFor(comic, ComicModel::kCurrentPanelKey, Value(ObjectPtr(panel)));
    undoManager()->setActionName(localized("Insert Panel"));
}

void ComicDocument::undoableInsertPanelBeside(const std::shared_ptr<ComicPanel>& panel, bool after)
{
    const auto row = panel ? sharedOf(dynamic_cast<ComicRow*>(panel->parent())) : nullptr;
    if (!row || panel->isFree())
        return;
    undoableInsertPanelInRow(row, row->indexOfChild(panel.get()) + (after ? 1 : 0));
}

void ComicDocument::undoableDeletePanel(const std::shared_ptr<ComicPanel>& panel, const QString& actionName)
{
    const std::shared_ptr<ComicModel> comic = model();
    if (!panel || !comic)
        return;
    if (panel->isFree()) {
        const auto page = sharedOf(dynamic_cast<ComicPage*>(panel->getPage()));
        if (!page)
            return;
        const bool floating = panel->isFloating();
        ComicPanelList rest = floating ? page->floatingPanels() : page->insetPanels();
        rest.erase(std::remove(rest.begin(), rest.end(), panel), rest.end());
        const auto first = firstPanelOf(page);
        if (floating)
            undoableSetFloatingPanels(rest, page, first);
        else
            undoableSetInsetPanels(rest, page, first);
        undoManager()->setActionName(actionName);
        return;
    }
    const auto parent = sharedOf(panel->parent());
    if (!parent)
        return;
    const auto before = parent->getElementBefore(panel.get());
    const auto after = parent->getElementAfter(panel.get());
    if (!before && !after)
        return;
    const auto next = after ? after->firstPanel() : before->lastPanel();
    undoableSetPropertyFor(comic, ComicModel::kCurrentPanelKey, Value(ObjectPtr(next)));
    ComicStructureList rest = parent->contents();
    rest.erase(std::remove(rest.begin(), rest.end(), panel), rest.end());
    undoableSetContents(rest, parent);
    // The others spread over the space the panel held.
    parent->setTopLeftTopRightBottomLeftBottomRight(
        parent->topLeft(), parent->topRight(), parent->bottomLeft(), parent->bottomRight());
    undoManager()->setActionName(actionName);
}

void ComicDocument::undoableSplitPanel(const std::shared_ptr<ComicPanel>& panel, int rows, int panels)
{
    const std::shared_ptr<ComicModel> comic = model();
    auto parent = panel ? sharedOf(panel->parent()) : nullptr;
    if (!parent || !comic || rows < 1 || panels < 1)
        return;
    ComicStructureList contents = parent->contents();
    auto index = std::size_t(std::find(contents.begin(), contents.end(), panel) - contents.begin());
    if (index >= contents.size())
        return;
    const QPointF topLeft = panel->topLeft();
    const QPointF topRight = panel->topRight();
    const QPointF bottomLeft = panel->bottomLeft();
    const QPointF bottomRight = panel->bottomRight();
    if (rows == 1) {
        const float share = 1.0f / float(panels);
        panel->setTopLeftTopRightBottomLeftBottomRight(topLeft, interpolatePoints(topLeft, topRight, share),
            bottomLeft, interpolatePoints(bottomLeft, bottomRight, share));
        for (int k = 1; k < panels; ++k) {
            const auto& left = contents.at(index);
            auto part = std::make_shared<ComicPanel>();
            const float t = float(k + 1) / float(panels);
            part->setTopLeft(left->topRight());
            part->setBottomLeft(left->bottomRight());
            part->setTopRight(interpolatePoints(topLeft, topRight, t));
            part->setBottomRight(interpolatePoints(bottomLeft, bottomRight, t));
            part->copyPropertiesFrom(*panel);
            contents.insert(contents.begin() + std::ptrdiff_t(++index), part);
        }
    } else {
        auto stack = std::make_shared<ComicStack>();
        stack->initWithRect(QRectF(0, 0, 1000, 1000), parent.get(), rows, panels);
        contents[index] = stack;
        stack->copyCornersOf(*panel);
        const auto firstRow = stack->contents().front();
        panel->copyCornersOf(*firstRow->contents().front());
        ComicStructureList cells = firstRow->contents();
        cells.front() = panel;
        firstRow->setContents(cells);
        ComicStructureList all;
        stack->getPanelsInArray(all);
        for (const auto& cell : all) {
            if (cell != panel)
                std::dynamic_pointer_cast<ComicPanel>(cell)->copyPropertiesFrom(*panel);
        }
        // A row left holding only the grid gives way to the grid's rows.
        auto outer = sharedOf(parent->parent());
        if (dynamic_cast<ComicRow*>(parent.get()) && contents.size() == 1 && outer) {
            ComicStructureList outerContents = outer->contents();
            const auto at = std::find(outerContents.begin(), outerContents.end(), parent);
            if (at != outerContents.end()) {
                const ComicStructureList gridRows = stack->contents();
                outerContents.insert(outerContents.erase(at), gridRows.begin(), gridRows.end());
                parent = outer;
                contents = outerContents;
            }
        }
    }
    undoableSetPropertyFor(comic, ComicModel::kCurrentPanelKey, Value(ObjectPtr(panel)));
    undoableSetContents(contents, parent);
    undoManager()->setActionName(localized("Split panel"));
}

} // namespace zandrel
