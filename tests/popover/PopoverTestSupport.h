// Helpers for the popover component's tests.
#pragma once

#include "graphics/CGContext.h"
#include "graphics/CGGeometry.h"
#include "uikit/UIColor.h"
#include "uikit/UIViewController.h"
#include "uikit/UIWindow.h"

#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <string>
#include <vector>

inline std::ostream& operator<<(std::ostream& out, const CGRect& rect)
{
    return out << "(" << rect.origin.x << ", " << rect.origin.y << ", " << rect.size.width << ", " << rect.size.height << ")";
}

inline std::ostream& operator<<(std::ostream& out, const CGSize& size)
{
    return out << "(" << size.width << " x " << size.height << ")";
}

inline std::ostream& operator<<(std::ostream& out, const CGPoint& point)
{
    return out << "(" << point.x << ", " << point.y << ")";
}

namespace popover_testing {

// Red, green, blue and alpha of a colour (zeros for none).
inline std::array<CGFloat, 4> rgba(const UIColor* color)
{
    std::array<CGFloat, 4> components {};
    if (color)
        color->getRed(&components[0], &components[1], &components[2], &components[3]);
    return components;
}

inline std::array<CGFloat, 4> rgba(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha)
{
    return { red, green, blue, alpha };
}

// Where the tests write the pictures they draw, for a person to look at.
std::string picturePath(const std::string& name);

// Paints a view and everything in it as the screen would show it: the
// background colours, layers whose delegate draws them, and drawRect:.
void renderView(CGContextRef context, UIView* view);

// A popover delegate that keeps the calls it gets, and may decline a
// dismissal.
class DelegateLog : public NSObject {
    OBJC_CLASS(DelegateLog)
public:
    static Ref<DelegateLog> create();
    void didPresent(NSObject* controller) { calls.push_back("didPresent"); }
    BOOL shouldDismiss(NSObject* controller)
    {
        calls.push_back("shouldDismiss");
        return allowsDismissal;
    }
    void didDismiss(NSObject* controller) { calls.push_back("didDismiss"); }

    std::vector<std::string> calls;
    BOOL allowsDismissal = YES;
};

// A view that counts how often its frame is set (a popover's layout pass
// sets its content view's frame twice).
class FrameCountingView : public UIView {
    OBJC_CLASS(FrameCountingView)
public:
    static Ref<FrameCountingView> create(CGRect frame);
    void setFrame(CGRect frame) override
    {
        ++frameSets;
        UIView::setFrame(frame);
    }
    int frameSets = 0;
};

// A content view controller of a given preferred size, with a counting
// view.
Ref<UIViewController> contentController(CGSize preferredSize);
FrameCountingView* countingView(UIViewController* controller);

// Tests with a key window of 320 x 480 points in portrait, a 20-point
// status bar, and the new platform (iOS 9). The main queue is drained and
// the animation record cleared around each test.
class PopoverWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // iOS 7: windows do not turn with the interface.
    void useOldPlatform();

    RefPtr<UIWindow> window;
    RefPtr<UIViewController> rootController;
    UIView* rootView() const { return rootController->view(); }
};

} // namespace popover_testing
