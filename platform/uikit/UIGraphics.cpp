#include "uikit/UIGraphics.h"

#include <vector>

namespace {

// Drawing happens on the main thread only; the stack outlives static
// destruction so that a context still pushed at exit is not released late.
std::vector<RefPtr<CGContext>>& contextStack()
{
    static auto* stack = new std::vector<RefPtr<CGContext>>;
    return *stack;
}

} // namespace

void UIGraphicsPushContext(CGContextRef context)
{
    if (context)
        contextStack().emplace_back(context);
}

void UIGraphicsPopContext()
{
    auto& stack = contextStack();
    if (!stack.empty())
        stack.pop_back();
}

CGContextRef UIGraphicsGetCurrentContext()
{
    auto& stack = contextStack();
    return stack.empty() ? nullptr : stack.back().get();
}
