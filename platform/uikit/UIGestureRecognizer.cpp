#include "uikit/UIGestureRecognizer.h"

#include "uikit/UITouchDelivery.h"
#include "uikit/UIWindow.h"

#include <algorithm>
#include <cmath>

Class UIGestureRecognizer::staticClass()
{
    static Class cls = ClassBuilder<UIGestureRecognizer>("UIGestureRecognizer", &OBJC_CLASS_NSObject)
                           .method<&UIGestureRecognizer::initWithTarget>("initWithTarget:action:")
                           .method<&UIGestureRecognizer::addTarget>("addTarget:action:")
                           .method<&UIGestureRecognizer::removeTarget>("removeTarget:action:")
                           .method<&UIGestureRecognizer::view>("view")
                           .method<&UIGestureRecognizer::state>("state")
                           .method<&UIGestureRecognizer::setState>("setState:")
                           .method<&UIGestureRecognizer::isEnabled>("isEnabled")
                           .method<&UIGestureRecognizer::setEnabled>("setEnabled:")
                           .method<&UIGestureRecognizer::cancelsTouchesInView>("cancelsTouchesInView")
                           .method<&UIGestureRecognizer::setCancelsTouchesInView>("setCancelsTouchesInView:")
                           .method<&UIGestureRecognizer::delaysTouchesBegan>("delaysTouchesBegan")
                           .method<&UIGestureRecognizer::setDelaysTouchesBegan>("setDelaysTouchesBegan:")
                           .method<&UIGestureRecognizer::delaysTouchesEnded>("delaysTouchesEnded")
                           .method<&UIGestureRecognizer::setDelaysTouchesEnded>("setDelaysTouchesEnded:")
                           .method<&UIGestureRecognizer::delegate>("delegate")
                           .method<&UIGestureRecognizer::setDelegate>("setDelegate:")
                           .method<&UIGestureRecognizer::locationInView>("locationInView:")
                           .method<&UIGestureRecognizer::numberOfTouches>("numberOfTouches")
                           .method<&UIGestureRecognizer::touchesBegan>("touchesBegan:withEvent:")
                           .method<&UIGestureRecognizer::touchesMoved>("touchesMoved:withEvent:")
                           .method<&UIGestureRecognizer::touchesEnded>("touchesEnded:withEvent:")
                           .method<&UIGestureRecognizer::touchesCancelled>("touchesCancelled:withEvent:")
                           .method<&UIGestureRecognizer::reset>("reset")
                           .build();
    return cls;
}

UIGestureRecognizer::~UIGestureRecognizer() = default;

Ref<UIGestureRecognizer> UIGestureRecognizer::create(NSObject* target, SEL action)
{
    auto recognizer = adoptObject(new UIGestureRecognizer);
    recognizer->initWithTarget(target, action);
    return recognizer;
}

UIGestureRecognizer* UIGestureRecognizer::initWithTarget(NSObject* target, SEL action)
{
    addTarget(target, action);
    return this;
}

void UIGestureRecognizer::addTarget(NSObject* target, SEL action)
{
    if (!target || !action)
        return;
    for (const auto& existing : m_targets) {
        if (existing.target == target && existing.action == action)
            return;
    }
    m_targets.push_back({ target, action });
}

void UIGestureRecognizer::removeTarget(NSObject* target, SEL action)
{
    std::erase_if(m_targets, [&](const Target& entry) {
        return (!target || entry.target == target) && (!action || entry.action == action);
    });
}

void UIGestureRecognizer::setEnabled(BOOL enabled)
{
    m_enabled = enabled;
    if (!enabled && m_state != UIGestureRecognizerStatePossible) {
        if (m_state == UIGestureRecognizerStateBegan || m_state == UIGestureRecognizerStateChanged)
            setState(UIGestureRecognizerStateCancelled);
    }
}

void UIGestureRecognizer::setState(UIGestureRecognizerState state)
{
    Ref<UIGestureRecognizer> protectedThis(*this);
    bool leavingPossible = m_state == UIGestureRecognizerStatePossible
        && (state == UIGestureRecognizerStateBegan || state == UIGestureRecognizerStateEnded);
    if (leavingPossible && !uikit_detail::gestureRecognizerMayBegin(this))
        state = UIGestureRecognizerStateFailed;
    m_state = state;
    if (state == UIGestureRecognizerStateBegan || state == UIGestureRecognizerStateChanged
        || state == UIGestureRecognizerStateEnded || state == UIGestureRecognizerStateCancelled)
        sendActions();
}

void UIGestureRecognizer::sendActions()
{
    auto targets = m_targets;
    for (const auto& entry : targets)
        uikit_detail::sendActionMessage(entry.target, entry.action, this, nullptr);
}

CGPoint UIGestureRecognizer::locationInView(UIView* view) const
{
    if (!m_touch)
        return CGPointZero;
    return m_touch->locationInView(view);
}

void UIGestureRecognizer::touchesBegan(NSArray*, UIEvent*) { }
void UIGestureRecognizer::touchesMoved(NSArray*, UIEvent*) { }
void UIGestureRecognizer::touchesEnded(NSArray*, UIEvent*) { }
void UIGestureRecognizer::touchesCancelled(NSArray*, UIEvent*)
{
    if (m_state == UIGestureRecognizerStateBegan || m_state == UIGestureRecognizerStateChanged)
        setState(UIGestureRecognizerStateCancelled);
    else if (m_state == UIGestureRecognizerStatePossible)
        m_state = UIGestureRecognizerStateFailed;
}

void UIGestureRecognizer::reset()
{
    m_state = UIGestureRecognizerStatePossible;
}

// MARK: UITapGestureRecognizer

namespace {
// How far a finger may wander and still tap (approximately the device's).
constexpr CGFloat kTapAllowableMovement = 10;
}

Class UITapGestureRecognizer::staticClass()
{
    static Class cls = ClassBuilder<UITapGestureRecognizer>("UITapGestureRecognizer", UIGestureRecognizer::staticClass())
                           .method<&UITapGestureRecognizer::numberOfTapsRequired>("numberOfTapsRequired")
                           .method<&UITapGestureRecognizer::setNumberOfTapsRequired>("setNumberOfTapsRequired:")
                           .method<&UITapGestureRecognizer::numberOfTouchesRequired>("numberOfTouchesRequired")
                           .method<&UITapGestureRecognizer::setNumberOfTouchesRequired>("setNumberOfTouchesRequired:")
                           .build();
    return cls;
}

UITapGestureRecognizer::~UITapGestureRecognizer() = default;

Ref<UITapGestureRecognizer> UITapGestureRecognizer::create(NSObject* target, SEL action)
{
    auto recognizer = adoptObject(new UITapGestureRecognizer);
    recognizer->initWithTarget(target, action);
    return recognizer;
}

void UITapGestureRecognizer::touchesBegan(NSArray*, UIEvent*)
{
    if (state() != UIGestureRecognizerStatePossible)
        return;
    if (m_touchesRequired > 1) {
        // One finger at a time here: a multi-finger tap never happens.
        setState(UIGestureRecognizerStateFailed);
        return;
    }
    m_start = locationInView(nullptr);
}

void UITapGestureRecognizer::touchesMoved(NSArray*, UIEvent*)
{
    if (state() != UIGestureRecognizerStatePossible)
        return;
    CGPoint now = locationInView(nullptr);
    if (std::hypot(now.x - m_start.x, now.y - m_start.y) > kTapAllowableMovement)
        setState(UIGestureRecognizerStateFailed);
}

void UITapGestureRecognizer::touchesEnded(NSArray* touches, UIEvent* event)
{
    touchesMoved(touches, event);
    if (state() != UIGestureRecognizerStatePossible)
        return;
    // Earlier taps of a multi-tap gesture leave the recognizer possible.
    if (touch() && touch()->tapCount() >= m_tapsRequired)
        setState(UIGestureRecognizerStateRecognized);
}

void UITapGestureRecognizer::touchesCancelled(NSArray* touches, UIEvent* event)
{
    UIGestureRecognizer::touchesCancelled(touches, event);
}
