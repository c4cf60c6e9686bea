// Connections between the view core and the parts of UIKit built around it
// (animations, constraints, the display cycle). Not for use outside UIKit.
#pragma once

#include "uikit/UIViewAnimation.h"

namespace uikit_detail {

// Set while an animation block runs; the setters then report their changes.
PLATFORM_EXPORT extern bool recordingAnimation;
PLATFORM_EXPORT void recordAnimatedChange(UIView* view, UIViewAnimatedProperty property);
inline void willChangeGeometry(UIView* view, UIViewAnimatedProperty property)
{
    if (recordingAnimation) [[unlikely]]
        recordAnimatedChange(view, property);
}

// Whether the view holds layout constraints, and the resolver that places
// the views they constrain.
bool holdsConstraints(const UIView* view);
void resolveConstraints(UIView* view);

// Asks for a layout pass of every window before the main queue runs next.
void requestDisplayCycle();

void viewWasRemoved(UIView* view, UIView* oldSuperview);

} // namespace uikit_detail
