// The application object and the screen: the key window and the list of
// windows, the status bar's orientation and frame, action dispatch for
// controls, and the main screen's size and scale. The simulator sets what
// the device would decide (orientation, status bar frame, screen) through
// the setters marked as simulator hooks.
#pragma once

#include "uikit/UIView.h"

#include <optional>

class UIWindow;

using UIInterfaceOrientation = NSInteger;
inline constexpr UIInterfaceOrientation UIInterfaceOrientationUnknown = 0;
inline constexpr UIInterfaceOrientation UIInterfaceOrientationPortrait = 1;
inline constexpr UIInterfaceOrientation UIInterfaceOrientationPortraitUpsideDown = 2;
inline constexpr UIInterfaceOrientation UIInterfaceOrientationLandscapeRight = 3;
inline constexpr UIInterfaceOrientation UIInterfaceOrientationLandscapeLeft = 4;

class PLATFORM_EXPORT UIScreen : public NSObject {
    OBJC_CLASS(UIScreen)
public:
    static UIScreen* mainScreen();

    // Points, portrait; an iPhone 6 (375 x 667 at 2x) unless the simulator
    // says otherwise.
    CGRect bounds() const noexcept { return m_bounds; }
    CGFloat scale() const noexcept { return m_scale; }
    CGFloat nativeScale() const noexcept { return m_scale; }

    // Simulator hooks.
    void setBounds(CGRect bounds) noexcept { m_bounds = bounds; }
    void setScale(CGFloat scale) noexcept { m_scale = scale; }

    ~UIScreen() override;

private:
    UIScreen() = default;
    CGRect m_bounds = CGRectMake(0, 0, 375, 667);
    CGFloat m_scale = 2;
};

class PLATFORM_EXPORT UIApplication : public UIResponder {
    OBJC_CLASS(UIApplication)
public:
    static UIApplication* sharedApplication();

    UIWindow* keyWindow() const noexcept { return m_keyWindow; }
    // Every window, back-most level first (creation order within a level).
    std::vector<UIWindow*> windows() const;
    Ref<NSArray> windowsArray() const;

    UIInterfaceOrientation statusBarOrientation() const noexcept { return m_orientation; }
    void setStatusBarOrientation(UIInterfaceOrientation orientation) { m_orientation = orientation; }
    void setStatusBarOrientationAnimated(UIInterfaceOrientation orientation, BOOL animated) { m_orientation = orientation; }
    // 20 points high across the main screen unless the simulator set another
    // frame; zero while the status bar is hidden.
    CGRect statusBarFrame() const noexcept;
    BOOL isStatusBarHidden() const noexcept { return m_statusBarHidden; }
    void setStatusBarHidden(BOOL hidden) noexcept { m_statusBarHidden = hidden; }

    // Sends an action message to the target, or with no target to the first
    // object up the sender's responder chain that answers it. The message
    // gets the sender and the event as far as the action's method takes
    // them ("v@:", "v@:@", "v@:@@"). NO when nobody answers the action.
    BOOL sendAction(SEL action, NSObject* target, NSObject* sender, UIEvent* event);

    // Hands a touch event to the window of its touch (hookable, as on the
    // device, where every event passes here).
    void sendEvent(UIEvent* event);

    // Unowned.
    NSObject* delegate() const noexcept { return m_delegate; }
    void setDelegate(NSObject* delegate) noexcept { m_delegate = delegate; }

    // Simulator hooks: a status bar frame of the simulator's choosing (in
    // the coordinates the running system uses), or the default again.
    void setStatusBarFrame(std::optional<CGRect> frame) noexcept { m_statusBarFrame = frame; }

    // For windows.
    void addWindow(UIWindow* window);
    void removeWindow(UIWindow* window);
    void setKeyWindow(UIWindow* window) noexcept { m_keyWindow = window; }

    ~UIApplication() override;

private:
    UIApplication() = default;
    std::vector<UIWindow*> m_windows;
    UIWindow* m_keyWindow = nullptr;
    NSObject* m_delegate = nullptr;
    UIInterfaceOrientation m_orientation = UIInterfaceOrientationPortrait;
    std::optional<CGRect> m_statusBarFrame;
    BOOL m_statusBarHidden = NO;
};
