#include "uikit/UIControl.h"

#include "uikit/UIApplication.h"
#include "uikit/UIGestureRecognizer.h"
#include "uikit/UIKitSimulator.h"

#include <algorithm>
#include <cmath>

namespace {

// How far beyond its bounds a tracking control still counts a touch as
// inside (approximately the device's margin).
constexpr CGFloat kTrackingMargin = 70;

} // namespace

// MARK: UIControl

Class UIControl::staticClass()
{
    static Class cls = ClassBuilder<UIControl>("UIControl", UIView::staticClass())
                           .method<&UIControl::addTarget>("addTarget:action:forControlEvents:")
                           .method<&UIControl::removeTarget>("removeTarget:action:forControlEvents:")
                           .method<&UIControl::allTargets>("allTargets")
                           .method<&UIControl::allControlEvents>("allControlEvents")
                           .method<&UIControl::actionsForTarget>("actionsForTarget:forControlEvent:")
                           .method<&UIControl::sendActionsForControlEvents>("sendActionsForControlEvents:")
                           .method<&UIControl::sendAction>("sendAction:to:forEvent:")
                           .method<&UIControl::isEnabled>("isEnabled")
                           .method<&UIControl::setEnabled>("setEnabled:")
                           .method<&UIControl::isHighlighted>("isHighlighted")
                           .method<&UIControl::setHighlighted>("setHighlighted:")
                           .method<&UIControl::isSelected>("isSelected")
                           .method<&UIControl::setSelected>("setSelected:")
                           .method<&UIControl::state>("state")
                           .method<&UIControl::isTracking>("isTracking")
                           .method<&UIControl::isTouchInside>("isTouchInside")
                           .method<&UIControl::beginTracking>("beginTrackingWithTouch:withEvent:")
                           .method<&UIControl::continueTracking>("continueTrackingWithTouch:withEvent:")
                           .method<&UIControl::endTracking>("endTrackingWithTouch:withEvent:")
                           .method<&UIControl::cancelTracking>("cancelTrackingWithEvent:")
                           .build();
    return cls;
}

UIControl::~UIControl() = default;

Ref<UIControl> UIControl::create(CGRect frame)
{
    auto control = adoptObject(new UIControl);
    control->initWithFrame(frame);
    return control;
}

void UIControl::addTarget(NSObject* target, SEL action, UIControlEvents events)
{
    if (!action || !events)
        return;
    for (auto& entry : m_actions) {
        if (entry.target == target && entry.action == action) {
            entry.events |= events;
            return;
        }
    }
    m_actions.push_back({ target, action, events });
}

void UIControl::removeTarget(NSObject* target, SEL action, UIControlEvents events)
{
    for (auto& entry : m_actions) {
        if (entry.target == target && (!action || entry.action == action))
            entry.events &= ~events;
    }
    std::erase_if(m_actions, [](const Action& entry) { return !entry.events; });
}

Ref<NSArray> UIControl::allTargets() const
{
    std::vector<RefPtr<Object>> targets;
    for (const auto& entry : m_actions) {
        if (entry.target && std::find(targets.begin(), targets.end(), entry.target) == targets.end())
            targets.push_back(entry.target);
    }
    return NSArray::create(std::move(targets));
}

UIControlEvents UIControl::allControlEvents() const noexcept
{
    UIControlEvents events = 0;
    for (const auto& entry : m_actions)
        events |= entry.events;
    return events;
}

RefPtr<NSArray> UIControl::actionsForTarget(NSObject* target, UIControlEvents events) const
{
    std::vector<RefPtr<Object>> names;
    for (const auto& entry : m_actions) {
        if (entry.target == target && (entry.events & events))
            names.push_back(NSString::create(sel_getName(entry.action)));
    }
    if (names.empty())
        return nullptr;
    return NSArray::create(std::move(names));
}

void UIControl::sendActionsForControlEvents(UIControlEvents events)
{
    sendEvents(events, m_currentEvent);
}

void UIControl::sendEvents(UIControlEvents events, UIEvent* event)
{
    if (!events)
        return;
    Ref<UIControl> protectedThis(*this);
    auto actions = m_actions;
    for (const auto& entry : actions) {
        if (entry.events & events)
            objc_msgSend<void>(this, "sendAction:to:forEvent:"_sel, entry.action, entry.target, event);
    }
}

void UIControl::sendAction(SEL action, NSObject* target, UIEvent* event)
{
    UIApplication::sharedApplication()->sendAction(action, target, this, event);
}

void UIControl::setEnabled(BOOL enabled)
{
    m_enabled = enabled;
    if (!enabled)
        m_highlighted = NO;
    setNeedsDisplay();
}

void UIControl::setHighlighted(BOOL highlighted)
{
    m_highlighted = highlighted;
    setNeedsDisplay();
}

void UIControl::setSelected(BOOL selected)
{
    m_selected = selected;
    setNeedsDisplay();
}

UIControlState UIControl::state() const noexcept
{
    UIControlState state = UIControlStateNormal;
    if (m_highlighted)
        state |= UIControlStateHighlighted;
    if (!m_enabled)
        state |= UIControlStateDisabled;
    if (m_selected)
        state |= UIControlStateSelected;
    return state;
}

bool UIControl::isInsideForTracking(UITouch* touch)
{
    CGPoint point = touch->locationInView(this);
    return CGRectContainsPoint(CGRectInset(bounds(), -kTrackingMargin, -kTrackingMargin), point);
}

bool UIControl::overridesSingleTaps(UIGestureRecognizer* recognizer) const
{
    auto* tap = dynamic_cast<UITapGestureRecognizer*>(recognizer);
    return m_enabled && tap && tap->view() != this && tap->numberOfTapsRequired() == 1 && tap->numberOfTouchesRequired() == 1;
}

namespace {

UITouch* firstTouch(NSArray* touches)
{
    return touches ? dynamic_cast<UITouch*>(touches->firstObject()) : nullptr;
}

struct CurrentEvent {
    CurrentEvent(UIEvent*& slot, UIEvent* event)
        : slot(slot)
        , saved(slot)
    {
        slot = event;
    }
    ~CurrentEvent() { slot = saved; }
    UIEvent*& slot;
    UIEvent* saved;
};

} // namespace

void UIControl::touchesBegan(NSArray* touches, UIEvent* event)
{
    UITouch* touch = firstTouch(touches);
    if (!m_enabled || !touch) {
        m_followingTouch = false;
        UIView::touchesBegan(touches, event);
        return;
    }
    Ref<UIControl> protectedThis(*this);
    CurrentEvent current(m_currentEvent, event);
    m_followingTouch = true;
    m_touchInside = YES;
    objc_msgSend<void>(this, "setHighlighted:"_sel, YES);
    m_tracking = objc_msgSend<BOOL>(this, "beginTrackingWithTouch:withEvent:"_sel, touch, event);
    UIControlEvents events = UIControlEventTouchDown;
    if (touch->tapCount() > 1)
        events |= UIControlEventTouchDownRepeat;
    sendEvents(events, event);
}

void UIControl::touchesMoved(NSArray* touches, UIEvent* event)
{
    UITouch* touch = firstTouch(touches);
    if (!m_followingTouch || !touch) {
        UIView::touchesMoved(touches, event);
        return;
    }
    Ref<UIControl> protectedThis(*this);
    CurrentEvent current(m_currentEvent, event);
    BOOL wasInside = m_touchInside;
    m_touchInside = isInsideForTracking(touch);
    if (m_touchInside != m_highlighted)
        objc_msgSend<void>(this, "setHighlighted:"_sel, m_touchInside);
    if (m_tracking)
        m_tracking = objc_msgSend<BOOL>(this, "continueTrackingWithTouch:withEvent:"_sel, touch, event);
    UIControlEvents events = m_touchInside ? UIControlEventTouchDragInside : UIControlEventTouchDragOutside;
    if (m_touchInside != wasInside)
        events |= m_touchInside ? UIControlEventTouchDragEnter : UIControlEventTouchDragExit;
    // Enter and exit first, then the drag itself.
    sendEvents(events & (UIControlEventTouchDragEnter | UIControlEventTouchDragExit), event);
    sendEvents(events & (UIControlEventTouchDragInside | UIControlEventTouchDragOutside), event);
}

void UIControl::touchesEnded(NSArray* touches, UIEvent* event)
{
    UITouch* touch = firstTouch(touches);
    if (!m_followingTouch || !touch) {
        UIView::touchesEnded(touches, event);
        return;
    }
    Ref<UIControl> protectedThis(*this);
    CurrentEvent current(m_currentEvent, event);
    m_followingTouch = false;
    m_touchInside = isInsideForTracking(touch);
    objc_msgSend<void>(this, "setHighlighted:"_sel, NO);
    if (m_tracking)
        objc_msgSend<void>(this, "endTrackingWithTouch:withEvent:"_sel, touch, event);
    m_tracking = NO;
    sendEvents(m_touchInside ? UIControlEventTouchUpInside : UIControlEventTouchUpOutside, event);
    m_touchInside = NO;
}

void UIControl::touchesCancelled(NSArray* touches, UIEvent* event)
{
    if (!m_followingTouch) {
        UIView::touchesCancelled(touches, event);
        return;
    }
    Ref<UIControl> protectedThis(*this);
    CurrentEvent current(m_currentEvent, event);
    m_followingTouch = false;
    objc_msgSend<void>(this, "setHighlighted:"_sel, NO);
    if (m_tracking)
        objc_msgSend<void>(this, "cancelTrackingWithEvent:"_sel, event);
    m_tracking = NO;
    m_touchInside = NO;
    sendEvents(UIControlEventTouchCancel, event);
}

// MARK: UIButton

Class UIButton::staticClass()
{
    static Class cls = ClassBuilder<UIButton>("UIButton", UIControl::staticClass())
                           .classMethod("buttonWithType:", &UIButton::buttonWithTypeForClass)
                           .method<&UIButton::buttonType>("buttonType")
                           .method<&UIButton::setTitle>("setTitle:forState:")
                           .method<&UIButton::titleForState>("titleForState:")
                           .method<&UIButton::currentTitle>("currentTitle")
                           .method<&UIButton::setTitleColor>("setTitleColor:forState:")
                           .method<&UIButton::titleColorForState>("titleColorForState:")
                           .build();
    return cls;
}

UIButton::~UIButton() = default;

Ref<UIButton> UIButton::create(CGRect frame)
{
    auto button = adoptObject(new UIButton);
    button->initWithFrame(frame);
    return button;
}

Ref<UIButton> UIButton::buttonWithType(UIButtonType type)
{
    auto button = create();
    button->m_buttonType = type;
    return button;
}

// +buttonWithType: makes an instance of the class it is sent to, so that
// subclasses get buttons of their own class.
id UIButton::buttonWithTypeForClass(id cls, SEL, NSInteger type)
{
    id object = class_createInstance(static_cast<Class>(cls));
    auto* button = dynamic_cast<UIButton*>(object);
    if (!button) {
        if (object)
            object->release();
        return nullptr;
    }
    objc_msgSend<id>(button, "initWithFrame:"_sel, CGRectZero);
    button->m_buttonType = type;
    return button->autorelease();
}

NSObject* UIButton::lookUp(const std::vector<StateValue>& values, UIControlState state)
{
    for (const auto& entry : values) {
        if (entry.state == state)
            return entry.value.get();
    }
    if (state != UIControlStateNormal)
        return lookUp(values, UIControlStateNormal);
    return nullptr;
}

void UIButton::store(std::vector<StateValue>& values, NSObject* value, UIControlState state)
{
    for (auto& entry : values) {
        if (entry.state == state) {
            entry.value = value;
            return;
        }
    }
    values.push_back({ state, value });
}

void UIButton::setTitle(NSString* title, UIControlState state)
{
    store(m_titles, title, state);
    setNeedsDisplay();
}

NSString* UIButton::titleForState(UIControlState state) const
{
    return static_cast<NSString*>(lookUp(m_titles, state));
}

void UIButton::setTitleColor(UIColor* color, UIControlState state)
{
    store(m_titleColors, color, state);
    setNeedsDisplay();
}

UIColor* UIButton::titleColorForState(UIControlState state) const
{
    return static_cast<UIColor*>(lookUp(m_titleColors, state));
}

// MARK: UISlider

namespace {
constexpr CGFloat kThumbWidth = 31;
constexpr CGFloat kSliderHeight = 31;
constexpr CGFloat kThumbTouchMargin = 10;
} // namespace

Class UISlider::staticClass()
{
    static Class cls = ClassBuilder<UISlider>("UISlider", UIControl::staticClass())
                           .method<&UISlider::value>("value")
                           .method<&UISlider::setValue>("setValue:")
                           .method<&UISlider::setValueAnimated>("setValue:animated:")
                           .method<&UISlider::minimumValue>("minimumValue")
                           .method<&UISlider::setMinimumValue>("setMinimumValue:")
                           .method<&UISlider::maximumValue>("maximumValue")
                           .method<&UISlider::setMaximumValue>("setMaximumValue:")
                           .method<&UISlider::isContinuous>("isContinuous")
                           .method<&UISlider::setContinuous>("setContinuous:")
                           .method<&UISlider::minimumTrackTintColor>("minimumTrackTintColor")
                           .method<&UISlider::setMinimumTrackTintColor>("setMinimumTrackTintColor:")
                           .method<&UISlider::maximumTrackTintColor>("maximumTrackTintColor")
                           .method<&UISlider::setMaximumTrackTintColor>("setMaximumTrackTintColor:")
                           .method<&UISlider::thumbTintColor>("thumbTintColor")
                           .method<&UISlider::setThumbTintColor>("setThumbTintColor:")
                           .build();
    return cls;
}

UISlider::~UISlider() = default;

Ref<UISlider> UISlider::create(CGRect frame)
{
    auto slider = adoptObject(new UISlider);
    slider->initWithFrame(frame);
    return slider;
}

UIView* UISlider::initWithFrame(CGRect frame)
{
    frame = CGRectStandardize(frame);
    if (frame.size.height == 0)
        frame.size.height = kSliderHeight;
    return UIControl::initWithFrame(frame);
}

BOOL UISlider::pointInside(CGPoint point, UIEvent* event)
{
    return UIControl::pointInside(point, event) || CGRectContainsPoint(CGRectInset(thumbRect(), -kThumbTouchMargin, -kThumbTouchMargin), point);
}

float UISlider::clamped(float value) const noexcept
{
    if (std::isnan(value))
        return m_minimum;
    return std::clamp(value, m_minimum, m_maximum);
}

void UISlider::setValue(float value)
{
    float newValue = clamped(value);
    if (newValue == m_value)
        return;
    m_value = newValue;
    setNeedsDisplay();
}

void UISlider::setMinimumValue(float minimum)
{
    m_minimum = minimum;
    if (m_maximum < minimum)
        m_maximum = minimum;
    setValue(m_value);
}

void UISlider::setMaximumValue(float maximum)
{
    m_maximum = maximum;
    if (m_minimum > maximum)
        m_minimum = maximum;
    setValue(m_value);
}

void UISlider::setMinimumTrackTintColor(UIColor* color)
{
    m_minimumTrackTintColor = color;
    setNeedsDisplay();
}

void UISlider::setMaximumTrackTintColor(UIColor* color)
{
    m_maximumTrackTintColor = color;
    setNeedsDisplay();
}

void UISlider::setThumbTintColor(UIColor* color)
{
    m_thumbTintColor = color;
    setNeedsDisplay();
}

CGFloat UISlider::thumbCenterForValue(float value) const noexcept
{
    CGRect b = bounds();
    CGFloat travel = std::max<CGFloat>(b.size.width - kThumbWidth, 0);
    CGFloat fraction = m_maximum > m_minimum ? (clamped(value) - m_minimum) / (m_maximum - m_minimum) : 0;
    return b.origin.x + kThumbWidth / 2 + fraction * travel;
}

float UISlider::valueForThumbCenter(CGFloat x) const noexcept
{
    CGRect b = bounds();
    CGFloat travel = b.size.width - kThumbWidth;
    if (travel <= 0)
        return m_minimum;
    CGFloat fraction = std::clamp<CGFloat>((x - b.origin.x - kThumbWidth / 2) / travel, 0, 1);
    return clamped(static_cast<float>(m_minimum + fraction * (m_maximum - m_minimum)));
}

CGRect UISlider::thumbRect() const noexcept
{
    CGFloat y = CGRectGetMidY(bounds()) - kThumbWidth / 2;
    return CGRectMake(thumbCenterForValue(m_value) - kThumbWidth / 2, y, kThumbWidth, kThumbWidth);
}

CGSize UISlider::sizeThatFits(CGSize size)
{
    return CGSizeMake(size.width, kSliderHeight);
}

CGSize UISlider::intrinsicContentSize()
{
    return CGSizeMake(UIViewNoIntrinsicMetric, kSliderHeight);
}

BOOL UISlider::beginTracking(UITouch* touch, UIEvent*)
{
    CGPoint point = touch->locationInView(this);
    if (!CGRectContainsPoint(CGRectInset(thumbRect(), -kThumbTouchMargin, -kThumbTouchMargin), point))
        return NO;
    m_touchStartX = point.x;
    m_thumbStartX = thumbCenterForValue(m_value);
    m_valueAtStart = m_value;
    return YES;
}

BOOL UISlider::continueTracking(UITouch* touch, UIEvent* event)
{
    CGPoint point = touch->locationInView(this);
    float before = m_value;
    setValue(valueForThumbCenter(m_thumbStartX + point.x - m_touchStartX));
    if (m_continuous && m_value != before)
        sendActionsForControlEvents(UIControlEventValueChanged);
    return YES;
}

void UISlider::endTracking(UITouch* touch, UIEvent* event)
{
    CGPoint point = touch->locationInView(this);
    float before = m_value;
    setValue(valueForThumbCenter(m_thumbStartX + point.x - m_touchStartX));
    if (m_continuous ? m_value != before : m_value != m_valueAtStart)
        sendActionsForControlEvents(UIControlEventValueChanged);
}

// MARK: UISwitch

Class UISwitch::staticClass()
{
    static Class cls = ClassBuilder<UISwitch>("UISwitch", UIControl::staticClass())
                           .method<&UISwitch::isOn>("isOn")
                           .method<&UISwitch::setOn>("setOn:")
                           .method<&UISwitch::setOnAnimated>("setOn:animated:")
                           .method<&UISwitch::onTintColor>("onTintColor")
                           .method<&UISwitch::setOnTintColor>("setOnTintColor:")
                           .method<&UISwitch::thumbTintColor>("thumbTintColor")
                           .method<&UISwitch::setThumbTintColor>("setThumbTintColor:")
                           .build();
    return cls;
}

UISwitch::~UISwitch() = default;

Ref<UISwitch> UISwitch::create(CGRect frame)
{
    auto control = adoptObject(new UISwitch);
    control->initWithFrame(frame);
    return control;
}

UIView* UISwitch::initWithFrame(CGRect frame)
{
    return UIControl::initWithFrame(frame);
}

void UISwitch::setFrame(CGRect frame)
{
    frame = CGRectStandardize(frame);
    frame.size = kSize;
    UIControl::setFrame(frame);
}

void UISwitch::setOnTintColor(UIColor* color)
{
    m_onTintColor = color;
    setNeedsDisplay();
}

void UISwitch::setThumbTintColor(UIColor* color)
{
    m_thumbTintColor = color;
    setNeedsDisplay();
}

void UISwitch::endTracking(UITouch* touch, UIEvent*)
{
    if (!CGRectContainsPoint(CGRectInset(bounds(), -kTrackingMargin, -kTrackingMargin), touch->locationInView(this)))
        return;
    objc_msgSend<void>(this, "setOn:animated:"_sel, BOOL(!m_on), YES);
    setNeedsDisplay();
    sendActionsForControlEvents(UIControlEventValueChanged);
}

// MARK: Simulator

bool UIKitSimulator::dragSlider(UISlider* slider, float value)
{
    if (!slider || !slider->window())
        return false;
    Ref<UISlider> protectedSlider(*slider);
    layoutWindows();
    UIWindow* window = slider->window();
    CGRect thumb = slider->thumbRect();
    CGFloat y = CGRectGetMidY(thumb);
    CGPoint start = slider->convertPointToView(CGPointMake(CGRectGetMidX(thumb), y), nullptr);
    CGPoint end = slider->convertPointToView(CGPointMake(slider->thumbCenterForValue(value), y), nullptr);
    UIView* hit = touchDown(window, start);
    bool took = hit && hit->isDescendantOfView(slider) && slider->isTracking();
    touchMove(end);
    touchUp(end);
    return took;
}
