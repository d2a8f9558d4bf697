#include "app/core/ComicDocument.h"
#include "comicmodel/ComicPage.h"
#include "comicmodel/StructureLayout.h"
#include "graphics/GraphicUtils.h"
#include "platform/Geometry.h"

#include <array>

namespace zandrel {

// How a page fits its rows inside its margins and follows a resize.

namespace {

// How far inside the page's edge a free panel is kept when the page is resized.
constexpr double kFreePanelKeepInside = 1.0;

// Any difference, a NaN on either side included, is a change.
bool differs(float stored, float wanted)
{
    return !(stored == wanted);
}

} // namespace

QPointF ComicPage::childrenTopLeft() const
{
    return QPointF(m_leftMargin, m_topMargin);
}

QPointF ComicPage::childrenTopRight() const
{
    return QPointF(topRight().x() - m_rightMargin, m_topMargin);
}

QPointF ComicPage::childrenBottomLeft() const
{
    return QPointF(m_leftMargin, bottomLeft().y() - m_bottomMargin);
}

QPointF ComicPage::childrenBottomRight() const
{
    return QPointF(bottomRight().x() - m_rightMargin, bottomRight().y() - m_bottomMargin);
}

void ComicPage::layoutChildren()
{
    distributeChildren(contents(), ContentArrangement::StackedTopToBottom, childrenTopLeft(),
        childrenTopRight(), childrenBottomLeft(), childrenBottomRight());
}

void ComicPage::setMarginsTop(float top, float left, float right, float bottom)
{
    ZDLDocument* document = owner()->document();
    const auto target = self();
    if (document && target) {
        const std::array<std::tuple<const QString&, float, float>, 4> margins = { {
            { kTopMarginKey, m_topMargin, top },
            { kLeftMarginKey, m_leftMargin, left },
            { kRightMarginKey, m_rightMargin, right },
            { kBottomMarginKey, m_bottomMargin, bottom },
        } };
        for (const auto& [key, stored, wanted] : margins) {
            if (differs(stored, wanted))
                document->undoableSetPropertyFor(target, key, Value(wanted));
        }
    }
    layoutChildren();
}

void ComicPage::setTopLeftTopRightBottomLeftBottomRight(
    const QPointF& topLeft, const QPointF& topRight, const QPointF& bottomLeft, const QPointF& bottomRight)
{
    const QRectF oldBounds = bounds();
    undoableSetTopLeft(topLeft, topRight, bottomLeft, bottomRight);
    const QRectF newBounds = bounds();
    const QRectF keepIn = insetRect(newBounds, kFreePanelKeepInside, kFreePanelKeepInside);
    layoutChildren();

    ComicDocument* document = comicDocument();
    if (!document)
        return;
    for (const auto& panel : freePanels()) {
        const QRectF b = panel->bounds();
        const QPointF c = rectCenter(b);
        const QPointF moved = mapPointFromRectToRect(c, oldBounds, newBounds);
        const QRectF r = keepRectInsideRect(offsetRect(b, moved.x() - c.x(), moved.y() - c.y()), keepIn);
        // A resize moves panels where they are; it does not change which panel the user works on.
        document->undoableOffsetPanel(panel, r.topLeft() - b.topLeft(), false, PanelSelection::Keep);
    }
    for (const ObjectPtr& element : floatingElements()) {
        const auto* graphic = asProtocol<GraphicElement>(element);
        if (!graphic)
            continue;
        const QPointF c = rectCenter(graphic->getBounds());
        document->undoableOffsetObjects(
            { element }, mapPointFromRectToRect(c, oldBounds, newBounds) - c, false);
    }
}

} // namespace zandrel
