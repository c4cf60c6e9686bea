// Simulator hooks into UIKit: what the device's hardware and display loop
// would do. Nothing here exists on the device.
//
// Touches: one finger at a time, at points in a window's coordinates. A touch
// going down hit-tests the window (laid out first, as the device lays out
// before it delivers events); the gesture recognizers of the hit view and of
// its ancestors see every phase before the view does, and the view gets the
// touch unless a recognizer with `cancelsTouchesInView` recognised it (then
// the view's touches are cancelled). Controls turn the touches they get into
// their control events.
#pragma once

#include "uikit/UIApplication.h"
#include "uikit/UIWindow.h"

class UISlider;

namespace UIKitSimulator {

// Lays out every window whose views need it. The main queue does this on
// its own each time it turns (before running its due tasks).
PLATFORM_EXPORT void layoutWindows();

// The finger goes down at point in window (nil: the key window); returns
// the view it hit, nil when it hit nothing (the touch then goes nowhere).
// A finger already down is lifted first.
PLATFORM_EXPORT UIView* touchDown(UIWindow* window, CGPoint point);
// The finger moves to point (window coordinates).
PLATFORM_EXPORT void touchMove(CGPoint point);
// The finger lifts, at point or where it is.
PLATFORM_EXPORT void touchUp(CGPoint point);
PLATFORM_EXPORT void touchUp();
// The system takes the touch away (an incoming call, say).
PLATFORM_EXPORT void touchCancel();
PLATFORM_EXPORT bool isTouching();

// Down and up at one point; returns the view hit.
PLATFORM_EXPORT UIView* tap(UIWindow* window, CGPoint point);
// A tap at the middle of what view shows on screen, in its window.
PLATFORM_EXPORT UIView* tapView(UIView* view);

// Drags a slider's thumb to the place of value: down on the thumb, along the
// track, up at the end. Returns whether the slider took the touch.
PLATFORM_EXPORT bool dragSlider(UISlider* slider, float value);

// The main screen (points, portrait) and its scale.
PLATFORM_EXPORT void setScreen(CGSize size, CGFloat scale);

// Taps count as repeats (tapCount 2, 3 ...) when they follow one another
// within this many seconds of device time and 20 points.
inline constexpr double kMultipleTapInterval = 0.35;

} // namespace UIKitSimulator
