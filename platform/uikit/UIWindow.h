// Windows: the roots of the view trees the application shows. A window is
// hidden until it is made visible, and it knows its root view controller,
// whose `view` it hosts.
#pragma once

#include "uikit/UIView.h"

using UIWindowLevel = CGFloat;
inline constexpr UIWindowLevel UIWindowLevelNormal = 0;
inline constexpr UIWindowLevel UIWindowLevelAlert = 2000;
inline constexpr UIWindowLevel UIWindowLevelStatusBar = 1000;

class PLATFORM_EXPORT UIWindow : public UIView {
    OBJC_CLASS(UIWindow)
public:
    static Ref<UIWindow> create(CGRect frame);
    // A window the size of the main screen.
    static Ref<UIWindow> create();
    UIView* initWithFrame(CGRect frame) override;
    // -init makes a window the size of the main screen (as iOS 9 does; older
    // systems gave a zero frame).
    UIWindow* init();

    void makeKeyAndVisible();
    void makeKeyWindow();
    BOOL isKeyWindow() const noexcept;
    UIWindowLevel windowLevel() const noexcept { return m_windowLevel; }
    void setWindowLevel(UIWindowLevel level) noexcept { m_windowLevel = level; }

    // The root view controller (an object of any class that answers `view`);
    // owned. Setting it puts the controller's view into the window, filling
    // it and resizing with it, in place of the previous root view.
    NSObject* rootViewController() const noexcept { return m_rootViewController.get(); }
    void setRootViewController(NSObject* controller);
    // The root view controller's view, asked of it with `view`.
    UIView* rootView() const;

    // Delivers a touch event to the window: to the gesture recognizers of
    // the touch's view and its ancestors, and to the view (see
    // UIKitSimulator.h for the simulator's way in).
    void sendEvent(UIEvent* event);

    UIResponder* nextResponder() const override;

    ~UIWindow() override;

protected:
    UIWindow();

private:
    RefPtr<NSObject> m_rootViewController;
    UIWindowLevel m_windowLevel = UIWindowLevelNormal;
};
