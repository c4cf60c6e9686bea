// Touches and touch events. One finger is followed from touch-down to lift
// (or cancellation) by one UITouch; each delivery is wrapped in a UIEvent.
#pragma once

#include "foundation/NSCollections.h"
#include "graphics/CGGeometry.h"

class UIView;
class UIWindow;

using UITouchPhase = NSInteger;
inline constexpr UITouchPhase UITouchPhaseBegan = 0;
inline constexpr UITouchPhase UITouchPhaseMoved = 1;
inline constexpr UITouchPhase UITouchPhaseStationary = 2;
inline constexpr UITouchPhase UITouchPhaseEnded = 3;
inline constexpr UITouchPhase UITouchPhaseCancelled = 4;

using UIEventType = NSInteger;
inline constexpr UIEventType UIEventTypeTouches = 0;

class PLATFORM_EXPORT UITouch : public NSObject {
    OBJC_CLASS(UITouch)
public:
    static Ref<UITouch> create(UIWindow* window, CGPoint locationInWindow, double timestamp, NSUInteger tapCount);

    UITouchPhase phase() const noexcept { return m_phase; }
    NSUInteger tapCount() const noexcept { return m_tapCount; }
    double timestamp() const noexcept { return m_timestamp; }
    // The view the touch began in (the hit-test result), kept for the
    // touch's whole life.
    UIView* view() const noexcept { return m_view.get(); }
    UIWindow* window() const noexcept { return m_window.get(); }
    // The location in the coordinates of view; nil means the window.
    CGPoint locationInView(UIView* view) const;
    CGPoint previousLocationInView(UIView* view) const;

    // Set by the touch delivery.
    void setPhase(UITouchPhase phase) noexcept { m_phase = phase; }
    void setView(UIView* view);
    void moveTo(CGPoint locationInWindow, double timestamp);
    CGPoint locationInWindow() const noexcept { return m_location; }

    ~UITouch() override;

private:
    UITouch() = default;
    RefPtr<UIWindow> m_window;
    RefPtr<UIView> m_view;
    CGPoint m_location;
    CGPoint m_previousLocation;
    double m_timestamp = 0;
    NSUInteger m_tapCount = 1;
    UITouchPhase m_phase = UITouchPhaseBegan;
};

class PLATFORM_EXPORT UIEvent : public NSObject {
    OBJC_CLASS(UIEvent)
public:
    static Ref<UIEvent> create(UITouch* touch, double timestamp);

    UIEventType type() const noexcept { return UIEventTypeTouches; }
    double timestamp() const noexcept { return m_timestamp; }
    // The touches of the event (an array here; the device hands out a set).
    NSArray* allTouches() const noexcept { return m_touches.ptr(); }
    UITouch* touch() const noexcept;

    ~UIEvent() override;

private:
    UIEvent();
    Ref<NSArray> m_touches;
    double m_timestamp = 0;
};
