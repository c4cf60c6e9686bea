// UINavigationController: a stack of view controllers under a navigation bar.
//
// Its view holds the bar (44 points high, across the top) and the top view
// controller's view. The top view starts below the bar, unless the bar is
// hidden or the top view controller extends its layout under the top edge
// (edgesForExtendedLayout with UIRectEdgeTop, the default from iOS 7 on,
// when bars are translucent).
#pragma once

#include "foundation/NSCollections.h"
#include "uikit/UIViewController.h"

#include <vector>

class PLATFORM_EXPORT UINavigationBar : public UIView {
    OBJC_CLASS(UINavigationBar)
public:
    static constexpr CGFloat kHeight = 44;
    static Ref<UINavigationBar> create(CGRect frame = CGRectMake(0, 0, 320, kHeight));

    BOOL isTranslucent() const noexcept { return m_translucent; }
    void setTranslucent(BOOL translucent) { m_translucent = translucent; }

    ~UINavigationBar() override;

protected:
    UINavigationBar() = default;

private:
    BOOL m_translucent = YES;
};

class PLATFORM_EXPORT UINavigationController : public UIViewController {
    OBJC_CLASS(UINavigationController)
public:
    static Ref<UINavigationController> create(UIViewController* rootViewController);
    UINavigationController* initWithRootViewController(UIViewController* rootViewController);

    Ref<NSArray> viewControllers() const;
    void setViewControllers(NSArray* viewControllers);
    UIViewController* topViewController() const noexcept;
    UIViewController* visibleViewController() const noexcept { return topViewController(); }
    void pushViewController(UIViewController* viewController, BOOL animated);
    // The controller taken off the stack (autoreleased), or nil when only the
    // root is left.
    RefPtr<UIViewController> popViewController(BOOL animated);

    UINavigationBar* navigationBar();
    BOOL isNavigationBarHidden() const noexcept { return m_navigationBarHidden; }
    void setNavigationBarHidden(BOOL hidden);
    void setNavigationBarHiddenAnimated(BOOL hidden, BOOL animated) { setNavigationBarHidden(hidden); }

    void loadView();
    // Places the bar and the top view controller's view in the view.
    void layoutContent();

    ~UINavigationController() override;

protected:
    UINavigationController() = default;

private:
    void adopt(UIViewController* child);
    void disown(UIViewController* child);
    void showTopView();

    std::vector<Ref<UIViewController>> m_stack;
    RefPtr<UINavigationBar> m_navigationBar;
    UIView* m_shownView = nullptr; // the top view controller's view in our view
    BOOL m_navigationBarHidden = NO;
};
