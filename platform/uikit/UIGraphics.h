// UIKit's stack of current drawing contexts: the context that UIKit drawing
// (UIColor's set, UIBezierPath's fill, stroke and addClip) acts on.
#pragma once

#include "graphics/CGContext.h"

// Makes context current, keeping it alive until it is popped. Null is ignored.
PLATFORM_EXPORT void UIGraphicsPushContext(CGContextRef context);
// Restores the context that was current before the last push; nothing when
// none was pushed.
PLATFORM_EXPORT void UIGraphicsPopContext();
// Null when no context is current.
PLATFORM_EXPORT CGContextRef UIGraphicsGetCurrentContext();
