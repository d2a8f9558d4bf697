#include "app/core/LibraryParent.h"

#include "charmodel/CharacterModel.h"
#include "charmodel/PartAlias.h"
#include "platform/Geometry.h"

#include <algorithm>

namespace zandrel {

namespace {

// Aliases stand this far apart, and rows too.
constexpr float kGap = 1.0f;

int partTypeOf(const ObjectPtr& element)
{
    const auto* alias = dynamic_cast<const PartAlias*>(element.get());
    return alias ? alias->partType() : 0;
}

// What an alias draws, its outline's joins and blur included: laid out by its geometry alone, a
// thick outline would reach into its neighbours and past the sheet's top. An alias of a hidden part
// draws nothing and keeps its place by its geometry.
QRectF drawnBounds(const GraphicElement& alias)
{
    const QRectF drawn = alias.getFilteredBounds();
    return isEmptyRect(drawn) ? alias.getBounds() : drawn;
}

} // namespace

LibraryParentPtr LibraryParent::sheetOfType(const std::shared_ptr<CharacterModel>& character, int partType)
{
    auto sheet = std::make_shared<LibraryParent>();
    sheet->m_character = character;
    if (character)
        sheet->setChildren(character->getPartAliasesOfType(partType));
    return sheet;
}

void LibraryParent::setChildren(const ElementList& children)
{
    m_elements = children;
    m_savedLayoutWidth = 0.0f;
}

ObjectPtr LibraryParent::getChildAt(const QPointF& point, float viewScale) const
{
    for (auto it = m_elements.crbegin(); it != m_elements.crend(); ++it) {
        const auto* graphic = asProtocol<GraphicElement>(*it);
        if (graphic && graphic->containsPt(point, viewScale))
            return *it;
    }
    return nullptr;
}

QRectF LibraryParent::getBounds() const
{
    QRectF bounds;
    for (const ObjectPtr& element : m_elements) {
        if (const auto* graphic = asProtocol<GraphicElement>(element))
            bounds = unionRect(bounds, graphic->getBounds());
    }
    return bounds;
}

QRectF LibraryParent::getGeometryBounds() const
{
    QRectF bounds;
    for (const ObjectPtr& element : m_elements) {
        if (const auto* graphic = asProtocol<GraphicElement>(element))
            bounds = unionRect(bounds, graphic->getGeometryBounds());
    }
    return bounds;
}

void LibraryParent::arrangePartAliasesToFit(float width)
{
    if (width == m_savedLayoutWidth || m_elements.isEmpty())
        return;
    float x = kGap;
    float rowTop = kGap;
    float rowBottom = kGap;
    int previousType = partTypeOf(m_elements.first());
    qsizetype rowStart = 0;

    // Centres the row's aliases [rowStart, end) in the width, and each in the row's height.
    const auto closeRow = [&](qsizetype end) {
        const float shiftX = (width - x) / 2.0f;
        for (qsizetype i = rowStart; i < end; ++i) {
            auto* graphic = asProtocol<GraphicElement>(m_elements[i]);
            if (!graphic)
                continue;
            const float height = float(drawnBounds(*graphic).height());
            graphic->offsetBy(QPointF(shiftX, ((rowBottom - rowTop) - height) / 2.0f), true);
        }
    };

    for (qsizetype i = 0; i < m_elements.size(); ++i) {
        auto* graphic = asProtocol<GraphicElement>(m_elements[i]);
        if (!graphic)
            continue;
        const QRectF bounds = drawnBounds(*graphic);
        const float boundsWidth = float(bounds.width());
        const float boundsHeight = float(bounds.height());
        const int type = partTypeOf(m_elements[i]);
        if (x + boundsWidth > width || type != previousType) {
            if (i > rowStart)
                closeRow(i);
            rowTop = rowBottom + kGap;
            x = kGap;
            rowStart = i;
        }
        graphic->offsetBy(QPointF(x - float(bounds.x()), rowTop - float(bounds.y())), true);
        x = x + boundsWidth + kGap;
        rowBottom = std::max(rowBottom, rowTop + boundsHeight);
        previousType = type;
    }
    closeRow(m_elements.size());
    m_savedLayoutWidth = width;
}

} // namespace zandrel
