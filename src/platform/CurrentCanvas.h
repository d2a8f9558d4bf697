#pragma once

namespace zandrel {

class Canvas;

// The canvas that drawing "in the current context" goes to: the top of this thread's stack of
// canvases pushed by CanvasScope, or nullptr when nothing is drawing.
Canvas* currentCanvas();

// Makes a canvas current for the time it lives: views, offscreen images, caches and exports
// push theirs while they draw. Scopes nest, and the previous canvas comes back when the scope
// ends, also when an exception leaves it. Pushing nullptr makes "no canvas" current.
class CanvasScope {
public:
    explicit CanvasScope(Canvas* canvas);
    ~CanvasScope();
    CanvasScope(const CanvasScope&) = delete;
    CanvasScope& operator=(const CanvasScope&) = delete;

private:
    Canvas* m_canvas;
};

} // namespace zandrel
