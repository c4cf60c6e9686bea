// Touch delivery inside UIKit: from the window to gesture recognizers and
// views. Not for use outside UIKit; the simulator uses UIKitSimulator.h.
#pragma once

class UIEvent;
class UIWindow;

namespace uikit_detail {

void deliverTouchEvent(UIWindow* window, UIEvent* event);

} // namespace uikit_detail
