// Scaling objects of a comic around a point: parts, images and balloons, each as it can take it.
#include "app/core/ComicDocument.h"
#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "charmodel/PartPath.h"
#include "comicmodel/Balloon.h"
#include "graphics/ArrayUtils.h"
#include "graphics/GeometryRecord.h"

#include <cmath>
#include <vector>

namespace zandrel {

namespace {

// As deep as the scaling of a part's marks walks.
constexpr int kDeepestMarks = 64;

bool usableFactor(float factor)
{
    return std::isfinite(factor) && factor != 0.0f;
}

// The objects scaling changes: parts, images and balloons; the rest stay where they are.
ElementList scalableOf(const ElementList& objects)
{
    ElementList scalable;
    for (const ObjectPtr& object : objects) {
        if (dynamic_cast<Part*>(object.get()) || dynamic_cast<ImageElement*>(object.get())
            || dynamic_cast<Balloon*>(object.get()))
            scalable.append(object);
    }
    return scalable;
}

// What scaling changes besides positions: the line weight and blur of each path of the parts, and
// the width of each balloon, as they were.
struct ScaledValues {
    struct Marks {
        std::shared_ptr<PartPath> path;
        float lineWeight;
        float blur;
    };
    std::vector<Marks> marks;
    std::vector<std::pair<std::shared_ptr<Balloon>, float>> widths;
};

void collectMarks(const ObjectPtr& element, std::vector<ScaledValues::Marks>& marks, int depth)
{
    if (!element || depth > kDeepestMarks)
        return;
    if (const auto* container = asProtocol<Parent>(element)) {
        for (const ObjectPtr& child : container->children())
            collectMarks(child, marks, depth + 1);
    }
    if (auto path = std::dynamic_pointer_cast<PartPath>(element))
        marks.push_back({ path, path->lineWeight(), path->blur() });
}

ScaledValues recordScaledValues(const ElementList& objects)
{
    ScaledValues values;
    for (const ObjectPtr& object : objects) {
        if (dynamic_cast<Part*>(object.get()))
            collectMarks(object, values.marks, 0);
        else if (auto balloon = std::dynamic_pointer_cast<Balloon>(object))
            values.widths.emplace_back(balloon, balloon->width());
    }
    return values;
}

void scaleBalloon(Balloon& balloon, const QPointF& centre, float sx, float sy)
{
    const QPointF before = balloon.getCenter();
    const QPointF after(
        centre.x() + (before.x() - centre.x()) * sx, centre.y() + (before.y() - centre.y()) * sy);
    const float width = balloon.width();
    balloon.setWidth(width * sx);
    // The width may settle elsewhere than asked: the top middle still goes where the transform
    // carries it.
    const float settled = balloon.width();
    balloon.offsetBy(QPointF((width - settled) / 2.0 + after.x() - before.x(), after.y() - before.y()), true);
}

} // namespace

void ComicDocument::undoableScale(
    const ElementList& objects, float sx, float sy, const QPointF& centre, float markFactor)
{
    if (!usableFactor(sx) || !usableFactor(sy) || !usableFactor(markFactor) || !std::isfinite(centre.x())
        || !std::isfinite(centre.y()))
        return;
    const ElementList scalable = scalableOf(objects);
    registerScaleUndo(scalable, sx, sy, centre, markFactor);
    const QTransform transform
        = QTransform::fromTranslate(centre.x(), centre.y()).scale(sx, sy).translate(-centre.x(), -centre.y());
    // Both announcements name the area before the views look again: the views redraw both.
    updateViewsRect(ArrayUtils::getElementsInvalidationBounds(scalable), false);
    for (const ObjectPtr& object : scalable) {
        if (auto* part = dynamic_cast<Part*>(object.get())) {
            part->transformBy(transform);
            Part::scaleMarksIn(object, markFactor);
        } else if (auto* balloon = dynamic_cast<Balloon*>(object.get())) {
            scaleBalloon(*balloon, centre, sx, sy);
        } else if (auto* image = dynamic_cast<ImageElement*>(object.get())) {
            image->transformBy(transform);
        }
    }
    updateViewsRect(ArrayUtils::getElementsInvalidationBounds(scalable), false);
}

void ComicDocument::registerScaleUndo(
    const ElementList& objects, float sx, float sy, const QPointF& centre, float markFactor)
{
    // Undo puts back what the objects were: scaling back by the inverse factors would leave rounding
    // behind, and a balloon whose width settled elsewhere would not find its width again. Redo
    // scales the restored objects once more, which gives what the scaling gave.
    undoManager()->registerUndo(this,
        [this, objects, sx, sy, centre, markFactor, geometry = recordGeometry(objects),
            values = recordScaledValues(objects)] {
            undoManager()->registerUndo(this, [this, objects, sx, sy, centre, markFactor] {
                undoableScale(objects, sx, sy, centre, markFactor);
            });
            updateViewsRect(ArrayUtils::getElementsInvalidationBounds(objects), false);
            for (const auto& [balloon, width] : values.widths)
                balloon->setWidth(width);
            GeometryReader reader(geometry);
            if (reader.readCount(graphicsOf(objects).size())) {
                for (GraphicElement* graphic : graphicsOf(objects))
                    graphic->restoreGeometry(reader);
            }
            for (const ScaledValues::Marks& marks : values.marks) {
                marks.path->setLineWeight(marks.lineWeight);
                marks.path->setBlur(marks.blur);
            }
            updateViewsRect(ArrayUtils::getElementsInvalidationBounds(objects), true);
        });
}

} // namespace zandrel
