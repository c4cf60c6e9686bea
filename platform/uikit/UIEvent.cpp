#include "uikit/UIEvent.h"

#include "uikit/UIWindow.h"

Class UITouch::staticClass()
{
    static Class cls = ClassBuilder<UITouch>("UITouch", &OBJC_CLASS_NSObject)
                           .method<&UITouch::phase>("phase")
                           .method<&UITouch::tapCount>("tapCount")
                           .method<&UITouch::timestamp>("timestamp")
                           .method<&UITouch::view>("view")
                           .method<&UITouch::window>("window")
                           .method<&UITouch::locationInView>("locationInView:")
                           .method<&UITouch::previousLocationInView>("previousLocationInView:")
                           .build();
    return cls;
}

UITouch::~UITouch() = default;

Ref<UITouch> UITouch::create(UIWindow* window, CGPoint locationInWindow, double timestamp, NSUInteger tapCount)
{
    auto touch = adoptObject(new UITouch);
    touch->m_window = window;
    touch->m_location = locationInWindow;
    touch->m_previousLocation = locationInWindow;
    touch->m_timestamp = timestamp;
    touch->m_tapCount = tapCount;
    return touch;
}

void UITouch::setView(UIView* view)
{
    m_view = view;
}

void UITouch::moveTo(CGPoint locationInWindow, double timestamp)
{
    m_previousLocation = m_location;
    m_location = locationInWindow;
    m_timestamp = timestamp;
}

CGPoint UITouch::locationInView(UIView* view) const
{
    if (!view || !m_window)
        return m_location;
    return view->convertPointFromView(m_location, m_window.get());
}

CGPoint UITouch::previousLocationInView(UIView* view) const
{
    if (!view || !m_window)
        return m_previousLocation;
    return view->convertPointFromView(m_previousLocation, m_window.get());
}

Class UIEvent::staticClass()
{
    static Class cls = ClassBuilder<UIEvent>("UIEvent", &OBJC_CLASS_NSObject)
                           .method<&UIEvent::type>("type")
                           .method<&UIEvent::timestamp>("timestamp")
                           .method<&UIEvent::allTouches>("allTouches")
                           .build();
    return cls;
}

UIEvent::UIEvent()
    : m_touches(NSArray::create())
{
}

UIEvent::~UIEvent() = default;

Ref<UIEvent> UIEvent::create(UITouch* touch, double timestamp)
{
    auto event = adoptObject(new UIEvent);
    if (touch)
        event->m_touches = NSArray::arrayWithObjects({ touch });
    event->m_timestamp = timestamp;
    return event;
}

UITouch* UIEvent::touch() const noexcept
{
    return static_cast<UITouch*>(m_touches->firstObject());
}
