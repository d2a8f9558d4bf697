#include "comicmodel/ComicRow.h"

#include "comicmodel/ComicModelClasses.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/StructureLayout.h"
#include "platform/ClassRegistry.h"

#include <algorithm>

namespace zandrel {

void ComicRow::initWithRect(const QRectF& rect, ComicStructureElement* parent, int panels)
{
    initWithRect(rect, parent);
    const double x0 = float(rect.x());
    const double w = rect.width();
    for (int i = 0; i < panels; ++i) {
        auto panel = makePanel();
        panel->initWithRect(QRectF(x0 + i * w / panels, rect.y(), w / panels, rect.height()), this);
        appendChild(panel);
    }
}

ObjectPtr ComicRow::initByCopying() const
{
    return std::make_shared<ComicRow>(*this);
}

QString ComicRow::className() const
{
    return kClassName;
}

QSizeF ComicRow::minimumSize() const
{
    double width = 0.0;
    float height = 0.0f;
    for (const auto& child : contents()) {
        const QSizeF size = child->minimumSize();
        width += size.width();
        height = std::max(height, float(size.height()));
    }
    return QSizeF(width, height);
}

void ComicRow::setTopLeftTopRightBottomLeftBottomRight(
    const QPointF& topLeft, const QPointF& topRight, const QPointF& bottomLeft, const QPointF& bottomRight)
{
    distributeChildren(contents(), contentArrangement(), topLeft, topRight, bottomLeft, bottomRight);
    undoableSetTopLeft(topLeft, topRight, bottomLeft, bottomRight);
}

bool ComicRow::canEditChild(const ComicStructureElement* child, FramePart part) const
{
    const int count = int(numContents());
    const int index = indexOfChild(child);
    if (count < 2 || index < 0)
        return false;
    switch (part) {
    case FramePart::LeftEdge:
    case FramePart::TopLeft:
    case FramePart::BottomLeft:
        return index > 0;
    case FramePart::RightEdge:
    case FramePart::TopRight:
    case FramePart::BottomRight:
        return index < count - 1;
    default:
        return false;
    }
}

ContentArrangement ComicRow::contentArrangement() const
{
    return ContentArrangement::SideBySide;
}

std::shared_ptr<ComicStructureElement> ComicRow::makePanel()
{
    // The panel class lives further up the model; the registry keeps this file from depending on it.
    ClassRegistry& registry = ClassRegistry::shared();
    registry.registerOnce(&registerComicModelClasses);
    if (auto panel = std::dynamic_pointer_cast<ComicStructureElement>(registry.make(ComicPanel::kClassName)))
        return panel;
    return std::make_shared<ComicStructureElement>();
}

} // namespace zandrel
