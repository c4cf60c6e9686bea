// Rendering view trees into drawing contexts, as the device's compositor
// shows them. (Emulation only: on the device Core Animation composites the
// views' layers; the simulator and tests use these functions for pictures
// of the screen.)
//
// A view tree is drawn back to front. A hidden view, or one with an alpha
// below 0.01, is left out with its subviews. Each view is drawn in its own
// bounds coordinates (its centre, transform and bounds origin applied); a
// view with an alpha below 1 is composited as one group at that alpha,
// subviews included. Then, for each view:
//
//   1. the clip to its bounds, when it clips to bounds (the layer's
//      masksToBounds), rounded by the layer's corner radius;
//   2. its background colour, filling its bounds rounded by the corner
//      radius;
//   3. its content, clipped to its bounds as a layer's backing store is:
//      drawLayer:inContext: of the layer's delegate when it answers it (sent
//      through the runtime, with no UIKit context pushed: the drawing code
//      pushes one if it wants one); otherwise the content of the platform's
//      own controls (a label's text, a slider's track and thumb, a switch's
//      track and thumb, a button's title, a table's separators) followed by
//      drawRect: with the bounds, sent through the runtime with the context
//      pushed as UIKit's current context;
//   4. its subviews;
//   5. its layer's border (borderWidth, borderColor), inset in its bounds
//      and following the corner radius, over its content and subviews as
//      Core Animation composites it.
//
// Views show their current (model) values, as after every running
// animation. Every render draws every view's content afresh, whatever
// setNeedsDisplay was or was not called; rendering changes no view's or
// layer's state (the needs-display flags included). Drawing code that
// leaves graphics states saved or transparency layers open does not disturb
// the views drawn after it.
//
// Text is set in the emulation's one face (graphics/Text.h): labels at 17
// points, button titles at 15, on one line, truncated with an ellipsis.
#pragma once

#include "graphics/RasterContext.h"
#include "uikit/UIView.h"

#include <string>

class UIWindow;

namespace UIRendering {

// Draws view and its subviews into context. The top-left corner of the
// view's bounds lands on the origin of the context's current user space;
// the view's own alpha and hidden flag count, its centre and transform do
// not.
PLATFORM_EXPORT void renderView(UIView* view, CGContextRef context);

// A transparent image of the view's bounds size at scale pixels per point
// (the main screen's scale when scale is 0), with the view rendered into it.
PLATFORM_EXPORT Ref<graphics::RasterContext> renderViewImage(UIView* view, CGFloat scale = 0);

// The window as the screen shows it: laid out first (every window that
// needs it, as the device lays out before it displays), rendered over the
// screen's black, at scale pixels per point (the main screen's when 0).
PLATFORM_EXPORT Ref<graphics::RasterContext> renderWindow(UIWindow* window, CGFloat scale = 0);

// Writes the key window, rendered by renderWindow at the main screen's
// scale, as a PNG file. Returns an error message, empty on success.
PLATFORM_EXPORT std::string writeKeyWindowPNG(const std::string& path);

} // namespace UIRendering
