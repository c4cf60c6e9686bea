#include "popover/QLZPopoverOverlayView.h"

#include "dispatch/dispatch.h"
#include "foundation/NSBundle.h"

Class QLZPopoverOverlayView::staticClass()
{
    static Class cls = ClassBuilder<QLZPopoverOverlayView>("QLZPopoverOverlayView", UIView::staticClass())
                           .method<&QLZPopoverOverlayView::delegate>("delegate")
                           .method<&QLZPopoverOverlayView::setDelegate>("setDelegate:")
                           .method<&QLZPopoverOverlayView::passthroughViews>("passthroughViews")
                           .method<&QLZPopoverOverlayView::setPassthroughViews>("setPassthroughViews:")
                           .method<&QLZPopoverOverlayView::hitTest>("hitTest:withEvent:")
                           .method<&QLZPopoverOverlayView::isPassthroughView>("isPassthroughView:")
                           .method<&QLZPopoverOverlayView::drawRect>("drawRect:")
                           .method<&QLZPopoverOverlayView::accessibilityElementDidBecomeFocused>("accessibilityElementDidBecomeFocused")
                           .build();
    return cls;
}

QLZPopoverOverlayView::~QLZPopoverOverlayView() = default;

Ref<QLZPopoverOverlayView> QLZPopoverOverlayView::create(CGRect frame)
{
    auto view = adoptObject(new QLZPopoverOverlayView);
    view->initWithFrame(frame);
    return view;
}

UIView* QLZPopoverOverlayView::hitTest(CGPoint point, UIEvent* event)
{
    // Asked again by the superview's search below: step aside.
    if (m_testHits)
        return nullptr;
    UIView* hit = UIView::hitTest(point, event);
    if (hit != this)
        return hit;

    // What lies beneath the overlay at this point? The overlay covers its
    // superview from the origin, so the point needs no conversion.
    m_testHits = true;
    UIView* under = nullptr;
    try {
        under = objc_msgSend<UIView*>(superview(), "hitTest:withEvent:"_sel, point, event);
    } catch (...) {
        m_testHits = false;
        throw;
    }
    m_testHits = false;
    if (!isPassthroughView(under))
        return hit;

    // The question is optional too: a delegate that does not answer it does
    // not count the touch as outside (rather than failing the hit test).
    bool countsAsOutside = objc_respondsToSelector(m_delegate, "dismissOnPassthroughViewTap"_sel)
        && objc_msgSend<BOOL>(m_delegate, "dismissOnPassthroughViewTap"_sel);
    if (countsAsOutside) {
        // Told after the touch handling, to whoever is the delegate then.
        Ref<QLZPopoverOverlayView> protectedThis(*this);
        dispatch_async(dispatch_get_main_queue(), [protectedThis] {
            NSObject* delegate = protectedThis->delegate();
            if (objc_respondsToSelector(delegate, "popoverOverlayViewDidTouch:"_sel))
                objc_msgSend<void>(delegate, "popoverOverlayViewDidTouch:"_sel, protectedThis.ptr());
        });
    }
    return under;
}

BOOL QLZPopoverOverlayView::isPassthroughView(UIView* view) const
{
    for (; view; view = view->superview()) {
        if (m_passthroughViews && m_passthroughViews->containsObject(view))
            return YES;
    }
    return NO;
}

void QLZPopoverOverlayView::drawRect(CGRect)
{
}

void QLZPopoverOverlayView::accessibilityElementDidBecomeFocused()
{
    Ref<NSString> label = NSBundle::mainBundle()->localizedStringForKey("Double-tap to dismiss pop-up window."_ns, ""_ns, nullptr);
    setAccessibilityLabel(label.ptr());
}
