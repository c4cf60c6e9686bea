#include "uikit/UIViewInternal.h"

namespace uikit_detail {

bool recordingAnimation = false;

void recordAnimatedChange(UIView*, AnimatedProperty) { }
bool holdsConstraints(const UIView*) { return false; }
void resolveConstraints(UIView*) { }
void requestDisplayCycle() { }
void viewWillBeDestroyed(UIView*) { }
void viewWasRemoved(UIView*, UIView*) { }

} // namespace uikit_detail

#include "uikit/UITouchDelivery.h"

namespace uikit_detail {
void deliverTouchEvent(UIWindow*, UIEvent*) { }
}
