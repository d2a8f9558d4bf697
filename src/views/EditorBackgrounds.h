#pragma once

#include <QColor>
#include <QRectF>

namespace zandrel {

class Canvas;
class CanvasPath;
class GraphicElement;
class ZDLContext;
class ZDLEditingView;

// What the editors of groups and balloon groups draw behind and around the members they edit.
namespace EditorBackgrounds {

// The background styles of the document settings: plain white, a checkerboard, or the context
// (the page or the character) drawn dimmed.
constexpr int kCheckerboard = 1;
constexpr int kContext = 2;

// The background style of the view's document; plain without settings.
int backgroundStyle(const ZDLEditingView& view);
// What the style puts behind the edited element: the context dimmed, a checkerboard, or nothing.
void drawBehind(const ZDLEditingView& view, ZDLContext& context, const QRectF& dirtyRect, int style,
    GraphicElement* edited);
// The view's bounds under 8-unit cells of two light greys.
void fillCheckerboard(Canvas* canvas, const QRectF& viewBounds);
// The comic's current page, or the character, drawn without the edited element (which the view
// draws on top at full strength), then dimmed with a hatch over the view's bounds.
void drawContextBehind(
    const ZDLEditingView& view, ZDLContext& context, const QRectF& dirtyRect, GraphicElement* edited);
// Greys everything outside the frames, even-odd against the view's bounds (grown a little so that
// no edge shows).
void greyOutside(Canvas* canvas, CanvasPath frames, const QRectF& viewBounds);

} // namespace EditorBackgrounds

} // namespace zandrel
