#include "views/EditorBackgrounds.h"

#include "app/core/CharacterDocument.h"
#include "app/core/ComicDocument.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/DocumentSettings.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPage.h"
#include "graphics/PathBuilders.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/Geometry.h"
#include "views/ZDLEditingView.h"

namespace zandrel::EditorBackgrounds {

namespace {

constexpr float kCheckerboardCell = 8.0f;
constexpr double kOutsideMargin = 2.0;

const QColor& checkerLight()
{
    static const QColor colour = QColor::fromRgbF(0.88f, 0.88f, 0.88f);
    return colour;
}

const QColor& checkerDark()
{
    static const QColor colour = QColor::fromRgbF(0.77f, 0.77f, 0.77f);
    return colour;
}

const QColor& hatchA()
{
    static const QColor colour = QColor::fromRgbF(0.75f, 0.75f, 0.75f, 0.6f);
    return colour;
}

const QColor& hatchB()
{
    static const QColor colour = QColor::fromRgbF(0.6f, 0.6f, 0.6f, 0.6f);
    return colour;
}

const QColor& outsideGrey()
{
    static const QColor colour = QColor::fromRgbF(0.5f, 0.5f, 0.5f, 0.3f);
    return colour;
}

} // namespace

int backgroundStyle(const ZDLEditingView& view)
{
    const auto settings = view.document() ? view.document()->documentSettings() : nullptr;
    return settings ? settings->backgroundStyle() : 0;
}

void drawBehind(const ZDLEditingView& view, ZDLContext& context, const QRectF& dirtyRect, int style,
    GraphicElement* edited)
{
    if (style == kContext)
        drawContextBehind(view, context, dirtyRect, edited);
    else if (style == kCheckerboard)
        fillCheckerboard(context.canvas(), view.viewBounds());
}

void fillCheckerboard(Canvas* canvas, const QRectF& viewBounds)
{
    fillRectWithCheckerboard(canvas, checkerLight(), checkerDark(), viewBounds, kCheckerboardCell);
}

void drawContextBehind(
    const ZDLEditingView& view, ZDLContext& context, const QRectF& dirtyRect, GraphicElement* edited)
{
    if (edited)
        edited->setVisible(false);
    if (const auto comic = view.comicDoc() ? view.comicDoc()->model() : nullptr) {
        if (comic->currentPage())
            comic->currentPage()->drawIn(context, dirtyRect);
    } else if (const auto character = view.characterDoc() ? view.characterDoc()->model() : nullptr) {
        character->drawIn(context, dirtyRect);
    }
    if (edited)
        edited->setVisible(true);
    fillRectWithHatchPattern(context.canvas(), hatchA(), hatchB(), view.viewBounds());
}

void greyOutside(Canvas* canvas, CanvasPath frames, const QRectF& viewBounds)
{
    if (!canvas)
        return;
    frames.addRect(insetRect(viewBounds, -kOutsideMargin, -kOutsideMargin));
    frames.setWindingRule(WindingRule::EvenOdd);
    canvas->fillPath(frames, CanvasPaint(outsideGrey()));
}

} // namespace zandrel::EditorBackgrounds
