#include "platform/CurrentCanvas.h"

#include <vector>

namespace zandrel {

namespace {

// Per thread, so that pages rendered in bands on worker threads do not see each other's canvas.
std::vector<Canvas*>& canvasStack()
{
    thread_local std::vector<Canvas*> stack;
    return stack;
}

} // namespace

Canvas* currentCanvas()
{
    const auto& stack = canvasStack();
    return stack.empty() ? nullptr : stack.back();
}

CanvasScope::CanvasScope(Canvas* canvas)
    : m_canvas(canvas)
{
    canvasStack().push_back(canvas);
}

CanvasScope::~CanvasScope()
{
    // Scopes end in reverse order of creation, so the top is ours.
    auto& stack = canvasStack();
    if (!stack.empty())
        stack.pop_back();
}

} // namespace zandrel
