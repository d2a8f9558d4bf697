#pragma once

#include <QRectF>

namespace zandrel {

// What a drawing context asks of the view it draws for. The editing views implement it, so model
// code never needs to know the view classes.
class ZDLViewInterface {
public:
    virtual ~ZDLViewInterface() = default;

    // The zoom; 1 is 100 per cent.
    virtual float viewScale() const = 0;
    // True while the user is zooming continuously; bitmap caches keep their old bitmap meanwhile.
    virtual bool scalingViewInteractively() const = 0;
    // Whether the rectangle, in the view's coordinates, is part of the area being redrawn.
    virtual bool needsToDrawRect(const QRectF& rect) const = 0;
    // Whether the view's window is the application's main (active) window.
    virtual bool isInMainWindow() const = 0;
};

} // namespace zandrel
