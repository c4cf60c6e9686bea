// Gesture recognizers. A recognizer attached to a view sees the touches that
// begin in that view or its descendants before the view itself gets them;
// when it recognises its gesture it sends its action messages, and (with
// `cancelsTouchesInView`, the default) the view gets its touches cancelled
// instead of ended.
//
// Targets are not retained. An action is sent through the runtime, with the
// recognizer as its argument when the action's method takes one ("v@:@"),
// else with none ("v@:").
#pragma once

#include "uikit/UIView.h"

using UIGestureRecognizerState = NSInteger;
inline constexpr UIGestureRecognizerState UIGestureRecognizerStatePossible = 0;
inline constexpr UIGestureRecognizerState UIGestureRecognizerStateBegan = 1;
inline constexpr UIGestureRecognizerState UIGestureRecognizerStateChanged = 2;
inline constexpr UIGestureRecognizerState UIGestureRecognizerStateEnded = 3;
inline constexpr UIGestureRecognizerState UIGestureRecognizerStateCancelled = 4;
inline constexpr UIGestureRecognizerState UIGestureRecognizerStateFailed = 5;
inline constexpr UIGestureRecognizerState UIGestureRecognizerStateRecognized = UIGestureRecognizerStateEnded;

class PLATFORM_EXPORT UIGestureRecognizer : public NSObject {
    OBJC_CLASS(UIGestureRecognizer)
public:
    static Ref<UIGestureRecognizer> create(NSObject* target, SEL action);
    // -initWithTarget:action: for objects made with +alloc.
    UIGestureRecognizer* initWithTarget(NSObject* target, SEL action);

    void addTarget(NSObject* target, SEL action);
    // A nil target or action matches every target or action.
    void removeTarget(NSObject* target, SEL action);

    UIView* view() const noexcept { return m_view; }
    UIGestureRecognizerState state() const noexcept { return m_state; }
    // Leaving the possible state asks the view's and the delegate's
    // gestureRecognizerShouldBegin: (NO fails the recognizer); began,
    // changed and ended send the actions.
    void setState(UIGestureRecognizerState state);
    BOOL isEnabled() const noexcept { return m_enabled; }
    void setEnabled(BOOL enabled);
    BOOL cancelsTouchesInView() const noexcept { return m_cancelsTouchesInView; }
    void setCancelsTouchesInView(BOOL cancels) noexcept { m_cancelsTouchesInView = cancels; }
    BOOL delaysTouchesBegan() const noexcept { return m_delaysTouchesBegan; }
    void setDelaysTouchesBegan(BOOL delays) noexcept { m_delaysTouchesBegan = delays; }
    BOOL delaysTouchesEnded() const noexcept { return m_delaysTouchesEnded; }
    void setDelaysTouchesEnded(BOOL delays) noexcept { m_delaysTouchesEnded = delays; }
    // Unowned. Optional methods: gestureRecognizerShouldBegin:,
    // gestureRecognizer:shouldReceiveTouch:,
    // gestureRecognizer:shouldRecognizeSimultaneouslyWithGestureRecognizer:.
    NSObject* delegate() const noexcept { return m_delegate; }
    void setDelegate(NSObject* delegate) noexcept { m_delegate = delegate; }

    // Where the current (or last) touch is, in view's coordinates (nil: the
    // window's).
    CGPoint locationInView(UIView* view) const;
    NSUInteger numberOfTouches() const noexcept { return m_touch ? 1 : 0; }

    // What subclasses implement; the touch delivery sends them through the
    // runtime.
    virtual void touchesBegan(NSArray* touches, UIEvent* event);
    virtual void touchesMoved(NSArray* touches, UIEvent* event);
    virtual void touchesEnded(NSArray* touches, UIEvent* event);
    virtual void touchesCancelled(NSArray* touches, UIEvent* event);
    // Back to the possible state, after a gesture ended or failed.
    virtual void reset();

    // For views: the recognizer's view (unowned; the view owns it).
    void setView(UIView* view) noexcept { m_view = view; }
    // For the touch delivery: the touch being followed.
    void setTouch(UITouch* touch) { m_touch = touch; }
    UITouch* touch() const noexcept { return m_touch.get(); }

    ~UIGestureRecognizer() override;

protected:
    UIGestureRecognizer() = default;

private:
    void sendActions();

    struct Target {
        NSObject* target;
        SEL action;
    };
    std::vector<Target> m_targets;
    UIView* m_view = nullptr;
    NSObject* m_delegate = nullptr;
    RefPtr<UITouch> m_touch;
    UIGestureRecognizerState m_state = UIGestureRecognizerStatePossible;
    BOOL m_enabled = YES;
    BOOL m_cancelsTouchesInView = YES;
    BOOL m_delaysTouchesBegan = NO;
    BOOL m_delaysTouchesEnded = YES;
};

// Recognises taps: the finger goes down and comes up again within a small
// distance (10 points, approximately the device's allowance), as often as
// required.
class PLATFORM_EXPORT UITapGestureRecognizer : public UIGestureRecognizer {
    OBJC_CLASS(UITapGestureRecognizer)
public:
    static Ref<UITapGestureRecognizer> create(NSObject* target, SEL action);

    NSUInteger numberOfTapsRequired() const noexcept { return m_tapsRequired; }
    void setNumberOfTapsRequired(NSUInteger taps) noexcept { m_tapsRequired = taps ? taps : 1; }
    NSUInteger numberOfTouchesRequired() const noexcept { return m_touchesRequired; }
    void setNumberOfTouchesRequired(NSUInteger touches) noexcept { m_touchesRequired = touches ? touches : 1; }

    void touchesBegan(NSArray* touches, UIEvent* event) override;
    void touchesMoved(NSArray* touches, UIEvent* event) override;
    void touchesEnded(NSArray* touches, UIEvent* event) override;
    void touchesCancelled(NSArray* touches, UIEvent* event) override;

    ~UITapGestureRecognizer() override;

private:
    UITapGestureRecognizer() = default;
    NSUInteger m_tapsRequired = 1;
    NSUInteger m_touchesRequired = 1;
    CGPoint m_start;
};
