// The full-window view under a shown popover. It catches the touches outside
// the popover (a tap recognizer that the controller attaches dismisses it),
// except those on passthrough views: views that stay usable while the
// popover is up. A touch on a passthrough view goes to that view, and the
// delegate may be told, after the touch handling, that the outside was
// touched.
#pragma once

#include "uikit/UIView.h"

// Delegate methods (optional): -dismissOnPassthroughViewTap (BOOL), whether
// a touch on a passthrough view also counts as a touch outside, and
// -popoverOverlayViewDidTouch: (the overlay), the outside was touched.
class QLZPopoverOverlayView : public UIView {
    OBJC_CLASS(QLZPopoverOverlayView)
public:
    static Ref<QLZPopoverOverlayView> create(CGRect frame);

    // Unowned.
    NSObject* delegate() const noexcept { return m_delegate; }
    void setDelegate(NSObject* delegate) noexcept { m_delegate = delegate; }
    NSArray* passthroughViews() const noexcept { return m_passthroughViews.get(); }
    void setPassthroughViews(NSArray* views) { m_passthroughViews = views; }

    UIView* hitTest(CGPoint point, UIEvent* event) override;
    // Whether the view or one of its ancestors is a passthrough view.
    BOOL isPassthroughView(UIView* view) const;
    void drawRect(CGRect rect) override;
    void accessibilityElementDidBecomeFocused();

    ~QLZPopoverOverlayView() override;

private:
    QLZPopoverOverlayView() = default;

    bool m_testHits = false;
    NSObject* m_delegate = nullptr;
    // Kept by the overlay too: the controller may replace its own copy
    // while the overlay still hit-tests with this one.
    RefPtr<NSArray> m_passthroughViews;
};
