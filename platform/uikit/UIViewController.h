// UIViewController: manages one view, which it creates on first use.
//
// -view loads the view when there is none: it sends -loadView (which a
// subclass may override; the default makes a plain view) and then
// -viewDidLoad, both through the runtime. -setView: installs a view without
// loading. The content sizes a popover asks for, preferredContentSize and
// contentSizeForViewInPopover, are observable by key-value observation.
#pragma once

#include "uikit/UIView.h"

class UINavigationController;

// UIRectEdge: top 1, left 2, bottom 4, right 8, all 15.
enum UIRectEdge : NSUInteger {
    UIRectEdgeNone = 0,
    UIRectEdgeTop = 1 << 0,
    UIRectEdgeLeft = 1 << 1,
    UIRectEdgeBottom = 1 << 2,
    UIRectEdgeRight = 1 << 3,
    UIRectEdgeAll = 15,
};

class PLATFORM_EXPORT UIViewController : public UIResponder {
    OBJC_CLASS(UIViewController)
public:
    static Ref<UIViewController> create();

    // Loads the view first if needed.
    UIView* view();
    void setView(UIView* view);
    BOOL isViewLoaded() const noexcept { return m_view != nullptr; }
    // The default -loadView: a plain, flexibly sized view of the screen's size.
    void loadView();
    void viewDidLoad() { }

    NSString* title() const noexcept { return m_title.get(); }
    void setTitle(NSString* title);

    CGSize preferredContentSize() const noexcept { return m_preferredContentSize; }
    void setPreferredContentSize(CGSize size);
    CGSize contentSizeForViewInPopover() const noexcept { return m_contentSizeForViewInPopover; }
    void setContentSizeForViewInPopover(CGSize size);
    BOOL isModalInPopover() const noexcept { return m_modalInPopover; }
    void setModalInPopover(BOOL modal) { m_modalInPopover = modal; }
    NSUInteger edgesForExtendedLayout() const noexcept { return m_edgesForExtendedLayout; }
    void setEdgesForExtendedLayout(NSUInteger edges) { m_edgesForExtendedLayout = edges; }

    // The container this controller is a child of, if any, and the nearest
    // navigation controller among its containers.
    UIViewController* parentViewController() const noexcept { return m_parent; }
    UINavigationController* navigationController() const noexcept;

    ~UIViewController() override;

protected:
    UIViewController() = default;
    friend class UINavigationController;
    // Containers set the parent of their children (not owned).
    void setParent(UIViewController* parent) { m_parent = parent; }

private:
    RefPtr<UIView> m_view;
    RefPtr<NSString> m_title;
    UIViewController* m_parent = nullptr;
    CGSize m_preferredContentSize;
    CGSize m_contentSizeForViewInPopover;
    NSUInteger m_edgesForExtendedLayout = UIRectEdgeAll;
    BOOL m_modalInPopover = NO;
    BOOL m_loadingView = NO;
};
