// Controls: views that turn touches into control events and send action
// messages for them (target-action), with the button, the slider and the
// switch built on them.
//
// A control follows a touch that reaches it (it is the hit view, or the
// touch is passed up to it by a subview): touch down (and touch down repeat
// for the later taps of a multiple tap), drag inside / outside while it
// moves (drag enter / exit when it crosses the edge), touch up inside or
// outside when it lifts, touch cancel when the system takes it away. As on
// the device, "inside" reaches 70 points (approximately) beyond the bounds
// while the control tracks a touch. A disabled control is still hit-tested
// (it does not let touches through to views behind it) but tracks nothing
// and sends no actions; its touches go up the responder chain.
//
// Targets are not retained. An action is sent through the runtime with the
// sender and the event as far as its method takes them ("v@:", "v@:@",
// "v@:@@"); a nil target sends it up the responder chain.
#pragma once

#include "uikit/UIView.h"

class UIGestureRecognizer;

using UIControlEvents = NSUInteger;
inline constexpr UIControlEvents UIControlEventTouchDown = 1 << 0;
inline constexpr UIControlEvents UIControlEventTouchDownRepeat = 1 << 1;
inline constexpr UIControlEvents UIControlEventTouchDragInside = 1 << 2;
inline constexpr UIControlEvents UIControlEventTouchDragOutside = 1 << 3;
inline constexpr UIControlEvents UIControlEventTouchDragEnter = 1 << 4;
inline constexpr UIControlEvents UIControlEventTouchDragExit = 1 << 5;
inline constexpr UIControlEvents UIControlEventTouchUpInside = 1 << 6;
inline constexpr UIControlEvents UIControlEventTouchUpOutside = 1 << 7;
inline constexpr UIControlEvents UIControlEventTouchCancel = 1 << 8;
inline constexpr UIControlEvents UIControlEventValueChanged = 1 << 12;
inline constexpr UIControlEvents UIControlEventAllTouchEvents = 0x0FFF;
inline constexpr UIControlEvents UIControlEventAllEvents = 0xFFFFFFFF;

using UIControlState = NSUInteger;
inline constexpr UIControlState UIControlStateNormal = 0;
inline constexpr UIControlState UIControlStateHighlighted = 1 << 0;
inline constexpr UIControlState UIControlStateDisabled = 1 << 1;
inline constexpr UIControlState UIControlStateSelected = 1 << 2;

class PLATFORM_EXPORT UIControl : public UIView {
    OBJC_CLASS(UIControl)
public:
    static Ref<UIControl> create(CGRect frame = CGRectZero);

    // MARK: Target-action
    // Adding the same target and action again adds the events to it.
    void addTarget(NSObject* target, SEL action, UIControlEvents events);
    // A nil action removes every action of the target for the events.
    void removeTarget(NSObject* target, SEL action, UIControlEvents events);
    // The distinct non-nil targets, in the order they were added (an array;
    // the device answers a set).
    Ref<NSArray> allTargets() const;
    UIControlEvents allControlEvents() const noexcept;
    // The selector names of target's actions for the events, or nil.
    RefPtr<NSArray> actionsForTarget(NSObject* target, UIControlEvents events) const;
    // Sends the actions registered for any of the events, in the order they
    // were added.
    void sendActionsForControlEvents(UIControlEvents events);
    // Hands one action to the application to send (hookable).
    virtual void sendAction(SEL action, NSObject* target, UIEvent* event);

    // MARK: State
    BOOL isEnabled() const noexcept { return m_enabled; }
    virtual void setEnabled(BOOL enabled);
    BOOL isHighlighted() const noexcept { return m_highlighted; }
    virtual void setHighlighted(BOOL highlighted);
    BOOL isSelected() const noexcept { return m_selected; }
    virtual void setSelected(BOOL selected);
    UIControlState state() const noexcept;
    BOOL isTracking() const noexcept { return m_tracking; }
    BOOL isTouchInside() const noexcept { return m_touchInside; }

    // MARK: Tracking (what subclasses implement)
    virtual BOOL beginTracking(UITouch* touch, UIEvent* event) { return YES; }
    virtual BOOL continueTracking(UITouch* touch, UIEvent* event) { return YES; }
    virtual void endTracking(UITouch* touch, UIEvent* event) { }
    virtual void cancelTracking(UIEvent* event) { }

    void touchesBegan(NSArray* touches, UIEvent* event) override;
    void touchesMoved(NSArray* touches, UIEvent* event) override;
    void touchesEnded(NSArray* touches, UIEvent* event) override;
    void touchesCancelled(NSArray* touches, UIEvent* event) override;

    ~UIControl() override;

protected:
    UIControl() = default;
    // The event being handled, for actions sent from tracking callbacks.
    UIEvent* currentEvent() const noexcept { return m_currentEvent; }
    // Single-tap recognizers of ancestors (for controls whose action is a
    // tap: buttons and switches).
    bool overridesSingleTaps(UIGestureRecognizer* recognizer) const;

private:
    bool isInsideForTracking(UITouch* touch);
    void sendEvents(UIControlEvents events, UIEvent* event);

    struct Action {
        NSObject* target;
        SEL action;
        UIControlEvents events;
    };
    std::vector<Action> m_actions;
    UIEvent* m_currentEvent = nullptr;
    BOOL m_enabled = YES;
    BOOL m_highlighted = NO;
    BOOL m_selected = NO;
    BOOL m_tracking = NO;
    BOOL m_touchInside = NO;
    bool m_followingTouch = false;
};

using UIButtonType = NSInteger;
inline constexpr UIButtonType UIButtonTypeCustom = 0;
inline constexpr UIButtonType UIButtonTypeSystem = 1;

// A button: a control with a title per state. Its size is what it is given
// (titles are not measured here).
class PLATFORM_EXPORT UIButton : public UIControl {
    OBJC_CLASS(UIButton)
public:
    static Ref<UIButton> create(CGRect frame = CGRectZero);
    static Ref<UIButton> buttonWithType(UIButtonType type);

    UIButtonType buttonType() const noexcept { return m_buttonType; }
    void setTitle(NSString* title, UIControlState state);
    // The title for the state, else the normal one.
    NSString* titleForState(UIControlState state) const;
    NSString* currentTitle() const { return titleForState(this->state()); }
    void setTitleColor(UIColor* color, UIControlState state);
    UIColor* titleColorForState(UIControlState state) const;

    bool overridesGestureRecognizer(UIGestureRecognizer* recognizer) override { return overridesSingleTaps(recognizer); }

    ~UIButton() override;

protected:
    UIButton() = default;

private:
    static id buttonWithTypeForClass(id cls, SEL, NSInteger type);
    struct StateValue {
        UIControlState state;
        RefPtr<NSObject> value;
    };
    static NSObject* lookUp(const std::vector<StateValue>& values, UIControlState state);
    static void store(std::vector<StateValue>& values, NSObject* value, UIControlState state);
    UIButtonType m_buttonType = UIButtonTypeCustom;
    std::vector<StateValue> m_titles;
    std::vector<StateValue> m_titleColors;
};

// A slider: a value between a minimum (0) and a maximum (1) chosen by
// dragging a thumb along a track that fills the slider's width. The thumb
// is 31 points wide (approximately the iOS 7-era thumb with its shadow), so
// its centre travels from 15.5 points in from the left end to 15.5 points in
// from the right end. A touch must start on the thumb (or within 10 points
// of it, which also counts as inside the slider for hit testing); the thumb
// then follows the finger's movement. A continuous slider sends value
// changed as the value changes, another one once, when the finger lifts. A
// slider made with no height gets the default height of 31 points.
class PLATFORM_EXPORT UISlider : public UIControl {
    OBJC_CLASS(UISlider)
public:
    static Ref<UISlider> create(CGRect frame = CGRectZero);
    UIView* initWithFrame(CGRect frame) override;

    float value() const noexcept { return m_value; }
    // Clamped to the minimum and maximum.
    void setValue(float value);
    void setValueAnimated(float value, BOOL animated) { setValue(value); }
    float minimumValue() const noexcept { return m_minimum; }
    // Moves the maximum up to a minimum above it, and clamps the value.
    void setMinimumValue(float minimum);
    float maximumValue() const noexcept { return m_maximum; }
    // Moves the minimum down to a maximum below it, and clamps the value.
    void setMaximumValue(float maximum);
    BOOL isContinuous() const noexcept { return m_continuous; }
    void setContinuous(BOOL continuous) noexcept { m_continuous = continuous; }
    UIColor* minimumTrackTintColor() const noexcept { return m_minimumTrackTintColor.get(); }
    void setMinimumTrackTintColor(UIColor* color);
    UIColor* maximumTrackTintColor() const noexcept { return m_maximumTrackTintColor.get(); }
    void setMaximumTrackTintColor(UIColor* color);
    UIColor* thumbTintColor() const noexcept { return m_thumbTintColor.get(); }
    void setThumbTintColor(UIColor* color);

    // The thumb's rectangle in the slider's bounds coordinates, for the
    // value; and the value for a thumb centre at x.
    CGRect thumbRect() const noexcept;
    CGFloat thumbCenterForValue(float value) const noexcept;
    float valueForThumbCenter(CGFloat x) const noexcept;

    // 31 points high (approximately the device's, iOS 7 and later); the
    // width asked for.
    CGSize sizeThatFits(CGSize size) override;
    CGSize intrinsicContentSize() override;
    BOOL pointInside(CGPoint point, UIEvent* event) override;

    BOOL beginTracking(UITouch* touch, UIEvent* event) override;
    BOOL continueTracking(UITouch* touch, UIEvent* event) override;
    void endTracking(UITouch* touch, UIEvent* event) override;

    ~UISlider() override;

protected:
    UISlider() = default;

private:
    float clamped(float value) const noexcept;

    float m_value = 0;
    float m_minimum = 0;
    float m_maximum = 1;
    BOOL m_continuous = YES;
    RefPtr<UIColor> m_minimumTrackTintColor;
    RefPtr<UIColor> m_maximumTrackTintColor;
    RefPtr<UIColor> m_thumbTintColor;
    // While tracking: where the finger and the thumb started.
    CGFloat m_touchStartX = 0;
    CGFloat m_thumbStartX = 0;
    float m_valueAtStart = 0;
};

// A switch: on or off, toggled by a tap (touch up inside), which sends value
// changed. Always 51 x 31 points (iOS 7 and later), whatever frame it is
// given.
class PLATFORM_EXPORT UISwitch : public UIControl {
    OBJC_CLASS(UISwitch)
public:
    static Ref<UISwitch> create(CGRect frame = CGRectZero);
    static constexpr CGSize kSize = { 51, 31 };

    UIView* initWithFrame(CGRect frame) override;
    void setFrame(CGRect frame) override;

    BOOL isOn() const noexcept { return m_on; }
    void setOn(BOOL on) { m_on = on; }
    void setOnAnimated(BOOL on, BOOL animated) { m_on = on; }
    UIColor* onTintColor() const noexcept { return m_onTintColor.get(); }
    void setOnTintColor(UIColor* color);
    UIColor* thumbTintColor() const noexcept { return m_thumbTintColor.get(); }
    void setThumbTintColor(UIColor* color);

    CGSize sizeThatFits(CGSize size) override { return kSize; }
    CGSize intrinsicContentSize() override { return kSize; }
    void endTracking(UITouch* touch, UIEvent* event) override;
    bool overridesGestureRecognizer(UIGestureRecognizer* recognizer) override { return overridesSingleTaps(recognizer); }

    ~UISwitch() override;

protected:
    UISwitch() = default;

private:
    BOOL m_on = NO;
    RefPtr<UIColor> m_onTintColor;
    RefPtr<UIColor> m_thumbTintColor;
};
