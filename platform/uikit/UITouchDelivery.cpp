#include "uikit/UITouchDelivery.h"

#include "dispatch/RunLoop.h"
#include "uikit/UIGestureRecognizer.h"
#include "uikit/UIKitSimulator.h"
#include "uikit/UIViewInternal.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

namespace {

// The one finger on the screen.
struct ActiveTouch {
    Ref<UIWindow> window;
    Ref<UITouch> touch;
    RefPtr<UIView> view;
    std::vector<Ref<UIGestureRecognizer>> recognizers;
    bool viewCancelled = false;
};

// Shared with the delivery under way, which a handler may end by starting
// another touch. Never destroyed, so that nothing is released at exit.
std::shared_ptr<ActiveTouch>& g_touch = *new std::shared_ptr<ActiveTouch>;

struct LastTap {
    double time = -1;
    CGPoint location;
    NSUInteger count = 0;
} g_lastTap;

bool g_displayCyclePending = false;
bool g_displaySourceAdded = false;

bool isLive(const UIGestureRecognizer* recognizer)
{
    UIGestureRecognizerState state = recognizer->state();
    return recognizer->isEnabled() && state != UIGestureRecognizerStateFailed && state != UIGestureRecognizerStateCancelled
        && state != UIGestureRecognizerStateEnded;
}

bool recognised(const UIGestureRecognizer* recognizer)
{
    UIGestureRecognizerState state = recognizer->state();
    return state == UIGestureRecognizerStateBegan || state == UIGestureRecognizerStateChanged || state == UIGestureRecognizerStateEnded;
}

// The recognizers that see a touch on hit: those of hit and of its
// ancestors, innermost first, unless a view between the hit view and the
// recognizer's view overrides the recognizer, or the delegate declines the
// touch.
std::vector<Ref<UIGestureRecognizer>> recognizersFor(UIView* hit, UITouch* touch)
{
    std::vector<Ref<UIGestureRecognizer>> found;
    for (UIView* view = hit; view; view = view->superview()) {
        for (auto& recognizer : view->gestureRecognizers()) {
            if (!recognizer->isEnabled())
                continue;
            bool overridden = false;
            for (UIView* below = hit; below && below != view; below = below->superview()) {
                if (below->overridesGestureRecognizer(recognizer.ptr())) {
                    overridden = true;
                    break;
                }
            }
            if (overridden)
                continue;
            NSObject* delegate = recognizer->delegate();
            if (delegate && objc_respondsToSelector(delegate, "gestureRecognizer:shouldReceiveTouch:"_sel)
                && !objc_msgSend<BOOL>(delegate, "gestureRecognizer:shouldReceiveTouch:"_sel, recognizer.ptr(), touch))
                continue;
            found.push_back(recognizer);
        }
    }
    return found;
}

bool anyCancellingRecognised(const ActiveTouch& active)
{
    return std::any_of(active.recognizers.begin(), active.recognizers.end(), [](const Ref<UIGestureRecognizer>& recognizer) {
        return recognised(recognizer.ptr()) && recognizer->cancelsTouchesInView();
    });
}

bool follows(const ActiveTouch& active, const UIGestureRecognizer* recognizer)
{
    return std::any_of(active.recognizers.begin(), active.recognizers.end(),
        [recognizer](const Ref<UIGestureRecognizer>& entry) { return entry.ptr() == recognizer; });
}

void sendToRecognizers(ActiveTouch& active, SEL selector, NSArray* touches, UIEvent* event)
{
    auto recognizers = active.recognizers;
    for (auto& recognizer : recognizers) {
        // An action before it may have let it go (its view left the window).
        if (!isLive(recognizer.ptr()) || !follows(active, recognizer.ptr()))
            continue;
        recognizer->setTouch(active.touch.ptr());
        objc_msgSend<void>(recognizer.ptr(), selector, touches, event);
    }
}

void cancelViewTouches(ActiveTouch& active, NSArray* touches, UIEvent* event)
{
    if (active.viewCancelled || !active.view)
        return;
    active.viewCancelled = true;
    objc_msgSend<void>(active.view.get(), "touchesCancelled:withEvent:"_sel, touches, event);
}

// Back to the possible state, with no touch, for the next touch.
void release(UIGestureRecognizer* recognizer)
{
    if (recognizer->state() != UIGestureRecognizerStatePossible)
        objc_msgSend<void>(recognizer, "reset"_sel);
    recognizer->setTouch(nullptr);
}

void finish(std::shared_ptr<ActiveTouch> active)
{
    if (g_touch == active)
        g_touch = nullptr;
    for (auto& recognizer : active->recognizers)
        release(recognizer.ptr());
}

} // namespace

namespace uikit_detail {

void deliverTouchEvent(UIWindow* window, UIEvent* event)
{
    UITouch* touch = event ? event->touch() : nullptr;
    if (!touch)
        return;
    NSArray* touches = event->allTouches();
    Ref<UIEvent> protectedEvent(*event);

    if (touch->phase() == UITouchPhaseBegan) {
        if (g_touch)
            finish(g_touch);
        CGPoint point = touch->locationInView(nullptr);
        UIView* hit = objc_msgSend<UIView*>(window, "hitTest:withEvent:"_sel, point, event);
        touch->setView(hit);
        auto active = std::make_shared<ActiveTouch>(ActiveTouch { Ref<UIWindow>(*window), Ref<UITouch>(*touch), hit, {}, false });
        g_touch = active;
        if (!hit)
            return;
        active->recognizers = recognizersFor(hit, touch);
        sendToRecognizers(*active, "touchesBegan:withEvent:"_sel, touches, event);
        if (g_touch != active)
            return;
        if (anyCancellingRecognised(*active))
            active->viewCancelled = true; // the view never saw the touch
        else
            objc_msgSend<void>(hit, "touchesBegan:withEvent:"_sel, touches, event);
        return;
    }

    std::shared_ptr<ActiveTouch> active = g_touch;
    if (!active || active->touch.ptr() != touch)
        return;
    SEL recognizerSelector = nullptr;
    SEL viewSelector = nullptr;
    switch (touch->phase()) {
    case UITouchPhaseMoved:
    case UITouchPhaseStationary:
        recognizerSelector = viewSelector = "touchesMoved:withEvent:"_sel;
        break;
    case UITouchPhaseEnded:
        recognizerSelector = viewSelector = "touchesEnded:withEvent:"_sel;
        break;
    default:
        recognizerSelector = viewSelector = "touchesCancelled:withEvent:"_sel;
        break;
    }

    sendToRecognizers(*active, recognizerSelector, touches, event);
    if (g_touch != active)
        return;
    if (anyCancellingRecognised(*active))
        cancelViewTouches(*active, touches, event);
    else if (!active->viewCancelled && active->view)
        objc_msgSend<void>(active->view.get(), viewSelector, touches, event);

    if (touch->phase() == UITouchPhaseEnded || touch->phase() == UITouchPhaseCancelled) {
        if (g_touch == active)
            finish(active);
    }
}

void viewLeftWindow(UIView* view)
{
    std::shared_ptr<ActiveTouch> active = g_touch;
    if (!active || !active->view || !active->view->isDescendantOfView(view) || active->recognizers.empty())
        return;
    // Let go at once of those whose view left with it: none acts again for
    // this touch, and one that nothing else keeps goes now, not when the
    // finger lifts. Those of ancestors still in the window go on.
    auto& following = active->recognizers;
    auto leaving = std::stable_partition(following.begin(), following.end(), [view](const Ref<UIGestureRecognizer>& recognizer) {
        UIView* own = recognizer->view();
        return own && !own->isDescendantOfView(view);
    });
    std::vector<Ref<UIGestureRecognizer>> recognizers(std::make_move_iterator(leaving), std::make_move_iterator(following.end()));
    following.erase(leaving, following.end());
    Ref<UITouch> touch = active->touch;
    auto event = UIEvent::create(touch.ptr(), touch->timestamp());
    for (auto& recognizer : recognizers) {
        if (isLive(recognizer.ptr())) {
            recognizer->setTouch(touch.ptr());
            objc_msgSend<void>(recognizer.ptr(), "touchesCancelled:withEvent:"_sel, event->allTouches(), event.ptr());
        }
        release(recognizer.ptr());
    }
}

bool gestureRecognizerMayBegin(UIGestureRecognizer* recognizer)
{
    if (UIView* view = recognizer->view(); view && !objc_msgSend<BOOL>(view, "gestureRecognizerShouldBegin:"_sel, recognizer))
        return false;
    NSObject* delegate = recognizer->delegate();
    if (delegate && objc_respondsToSelector(delegate, "gestureRecognizerShouldBegin:"_sel)
        && !objc_msgSend<BOOL>(delegate, "gestureRecognizerShouldBegin:"_sel, recognizer))
        return false;
    if (!g_touch)
        return true;
    for (auto& other : g_touch->recognizers) {
        if (other.ptr() == recognizer || !recognised(other.ptr()))
            continue;
        auto allows = [](UIGestureRecognizer* a, UIGestureRecognizer* b) {
            NSObject* delegate = a->delegate();
            return delegate && objc_respondsToSelector(delegate, "gestureRecognizer:shouldRecognizeSimultaneouslyWithGestureRecognizer:"_sel)
                && objc_msgSend<BOOL>(delegate, "gestureRecognizer:shouldRecognizeSimultaneouslyWithGestureRecognizer:"_sel, a, b);
        };
        if (!allows(recognizer, other.ptr()) && !allows(other.ptr(), recognizer))
            return false;
    }
    return true;
}

void requestDisplayCycle()
{
    g_displayCyclePending = true;
    if (g_displaySourceAdded)
        return;
    g_displaySourceAdded = true;
    // The device lays out (and draws) at the end of each turn of the main
    // run loop; here the main queue's source does it before due tasks run.
    RunLoop::main().addSource([] {
        if (g_displayCyclePending)
            UIKitSimulator::layoutWindows();
    });
}

} // namespace uikit_detail

namespace UIKitSimulator {

void layoutWindows()
{
    g_displayCyclePending = false;
    AutoreleasePool pool;
    for (UIWindow* window : UIApplication::sharedApplication()->windows()) {
        Ref<UIWindow> protectedWindow(*window);
        window->layoutIfNeeded();
    }
}

namespace {

double now()
{
    return RunLoop::main().seconds();
}

void send(UITouch* touch, UITouchPhase phase)
{
    touch->setPhase(phase);
    auto event = UIEvent::create(touch, touch->timestamp());
    objc_msgSend<void>(UIApplication::sharedApplication(), "sendEvent:"_sel, event.ptr());
}

} // namespace

UIView* touchDown(UIWindow* window, CGPoint point)
{
    if (g_touch)
        touchUp();
    if (!window)
        window = UIApplication::sharedApplication()->keyWindow();
    if (!window)
        return nullptr;
    layoutWindows();
    AutoreleasePool pool;
    double time = now();
    bool repeat = g_lastTap.count > 0 && time - g_lastTap.time <= kMultipleTapInterval
        && std::hypot(point.x - g_lastTap.location.x, point.y - g_lastTap.location.y) <= 20;
    NSUInteger tapCount = repeat ? g_lastTap.count + 1 : 1;
    auto touch = UITouch::create(window, point, time, tapCount);
    send(touch.ptr(), UITouchPhaseBegan);
    return touch->view();
}

void touchMove(CGPoint point)
{
    if (!g_touch)
        return;
    AutoreleasePool pool;
    Ref<UITouch> touch = g_touch->touch;
    touch->moveTo(point, now());
    send(touch.ptr(), UITouchPhaseMoved);
}

void touchUp(CGPoint point)
{
    if (!g_touch)
        return;
    AutoreleasePool pool;
    Ref<UITouch> touch = g_touch->touch;
    if (!CGPointEqualToPoint(point, touch->locationInWindow()))
        touchMove(point);
    if (!g_touch || g_touch->touch.ptr() != touch.ptr())
        return;
    touch->moveTo(point, now());
    g_lastTap = { now(), point, touch->tapCount() };
    send(touch.ptr(), UITouchPhaseEnded);
}

void touchUp()
{
    if (g_touch)
        touchUp(g_touch->touch->locationInWindow());
}

void touchCancel()
{
    if (!g_touch)
        return;
    AutoreleasePool pool;
    Ref<UITouch> touch = g_touch->touch;
    g_lastTap = {};
    send(touch.ptr(), UITouchPhaseCancelled);
}

bool isTouching()
{
    return g_touch != nullptr;
}

UIView* tap(UIWindow* window, CGPoint point)
{
    UIView* hit = touchDown(window, point);
    RefPtr<UIView> protectedHit(hit);
    touchUp(point);
    return hit;
}

UIView* tapView(UIView* view)
{
    if (!view || !view->window())
        return nullptr;
    layoutWindows();
    CGRect bounds = view->bounds();
    CGPoint middle = view->convertPointToView(CGPointMake(CGRectGetMidX(bounds), CGRectGetMidY(bounds)), nullptr);
    return tap(view->window(), middle);
}

void setScreen(CGSize size, CGFloat scale)
{
    UIScreen::mainScreen()->setBounds(CGRectMake(0, 0, size.width, size.height));
    UIScreen::mainScreen()->setScale(scale);
}

} // namespace UIKitSimulator
