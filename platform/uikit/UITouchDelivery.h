// Touch delivery inside UIKit: from the window to gesture recognizers and
// views. Not for use outside UIKit; the simulator uses UIKitSimulator.h.
#pragma once

#include "runtime/Object.h"

class UIEvent;
class UIGestureRecognizer;
class UIView;
class UIWindow;

namespace uikit_detail {

void deliverTouchEvent(UIWindow* window, UIEvent* event);

// A view left its window: when the finger on the screen began in it (or in
// a view inside it), that touch's gesture recognizers are cancelled and let
// go, as on the device. The view itself goes on getting the touch.
void viewLeftWindow(UIView* view);

// Whether a recognizer may leave the possible state: its view and its
// delegate agree, and no other recognizer of the same touch has already
// recognised (unless a delegate lets both recognise together).
bool gestureRecognizerMayBegin(UIGestureRecognizer* recognizer);

// Sends an action with as many of the two arguments as the target's method
// takes ("v@:", "v@:@", "v@:@@"). Raises the runtime's unrecognized-selector
// exception when the target does not answer.
void sendActionMessage(NSObject* target, SEL action, NSObject* first, NSObject* second);

} // namespace uikit_detail
