#include "uikit/UIApplication.h"

#include "uikit/UITouchDelivery.h"
#include "uikit/UIWindow.h"

#include <algorithm>
#include <string>

// MARK: UIScreen

Class UIScreen::staticClass()
{
    static Class cls = ClassBuilder<UIScreen>("UIScreen", &OBJC_CLASS_NSObject)
                           .classMethod<&UIScreen::mainScreen>("mainScreen")
                           .method<&UIScreen::bounds>("bounds")
                           .method<&UIScreen::scale>("scale")
                           .method<&UIScreen::nativeScale>("nativeScale")
                           .build();
    return cls;
}

UIScreen::~UIScreen() = default;

UIScreen* UIScreen::mainScreen()
{
    static UIScreen* screen = adoptObject(new UIScreen).leakRef();
    return screen;
}

// MARK: UIApplication

Class UIApplication::staticClass()
{
    static Class cls = ClassBuilder<UIApplication>("UIApplication", UIResponder::staticClass())
                           .classMethod<&UIApplication::sharedApplication>("sharedApplication")
                           .method<&UIApplication::keyWindow>("keyWindow")
                           .method<&UIApplication::windowsArray>("windows")
                           .method<&UIApplication::statusBarOrientation>("statusBarOrientation")
                           .method<&UIApplication::setStatusBarOrientation>("setStatusBarOrientation:")
                           .method<&UIApplication::setStatusBarOrientationAnimated>("setStatusBarOrientation:animated:")
                           .method<&UIApplication::statusBarFrame>("statusBarFrame")
                           .method<&UIApplication::isStatusBarHidden>("isStatusBarHidden")
                           .method<&UIApplication::setStatusBarHidden>("setStatusBarHidden:")
                           .method<&UIApplication::sendAction>("sendAction:to:from:forEvent:")
                           .method<&UIApplication::sendEvent>("sendEvent:")
                           .method<&UIApplication::delegate>("delegate")
                           .method<&UIApplication::setDelegate>("setDelegate:")
                           .build();
    return cls;
}

UIApplication::~UIApplication() = default;

UIApplication* UIApplication::sharedApplication()
{
    static UIApplication* application = adoptObject(new UIApplication).leakRef();
    return application;
}

std::vector<UIWindow*> UIApplication::windows() const
{
    std::vector<UIWindow*> windows = m_windows;
    std::stable_sort(windows.begin(), windows.end(), [](UIWindow* a, UIWindow* b) { return a->windowLevel() < b->windowLevel(); });
    return windows;
}

Ref<NSArray> UIApplication::windowsArray() const
{
    auto list = windows();
    return NSArray::create(std::vector<RefPtr<Object>>(list.begin(), list.end()));
}

CGRect UIApplication::statusBarFrame() const noexcept
{
    if (m_statusBarHidden)
        return CGRectZero;
    if (m_statusBarFrame)
        return *m_statusBarFrame;
    return CGRectMake(0, 0, UIScreen::mainScreen()->bounds().size.width, 20);
}

void UIApplication::sendEvent(UIEvent* event)
{
    UITouch* touch = event ? event->touch() : nullptr;
    if (UIWindow* window = touch ? touch->window() : nullptr)
        objc_msgSend<void>(window, "sendEvent:"_sel, event);
}

void UIApplication::addWindow(UIWindow* window)
{
    m_windows.push_back(window);
}

void UIApplication::removeWindow(UIWindow* window)
{
    std::erase(m_windows, window);
    if (m_keyWindow == window)
        m_keyWindow = nullptr;
}

namespace {

// The number of arguments after the receiver and selector in a method type
// encoding ("v@:@" has one).
int argumentCount(const char* types)
{
    std::string_view encoding(types);
    size_t position = encoding.find(':');
    if (position == std::string_view::npos)
        return 0;
    int count = 0;
    int depth = 0;
    for (char c : encoding.substr(position + 1)) {
        if (c == '{' || c == '(' || c == '[')
            ++depth;
        else if (c == '}' || c == ')' || c == ']')
            --depth;
        else if (depth == 0 && c != '?' && c != '^' && c != 'r' && c != 'n' && c != 'o' && c != 'V' && !(c >= '0' && c <= '9'))
            ++count;
    }
    return count;
}

} // namespace

namespace uikit_detail {

void sendActionMessage(NSObject* target, SEL action, NSObject* first, NSObject* second)
{
    if (!target || !action)
        return;
    Ref<NSObject> protectedTarget(*target);
    const char* types = class_getMethodTypeEncoding(target->isa(), action);
    int arguments = types ? argumentCount(types) : 0;
    if (types && types[0] != 'v' && types[0] != '{') {
        // An action with a result (rare): call it and drop the result.
        IMP imp = class_getMethodImplementation(target->isa(), action);
        if (arguments >= 2)
            callIMP<void>(imp, target, action, static_cast<id>(first), static_cast<id>(second));
        else if (arguments == 1)
            callIMP<void>(imp, target, action, static_cast<id>(first));
        else
            callIMP<void>(imp, target, action);
        return;
    }
    if (arguments >= 2)
        objc_msgSend<void>(target, action, first, second);
    else if (arguments == 1)
        objc_msgSend<void>(target, action, first);
    else
        objc_msgSend<void>(target, action);
}

} // namespace uikit_detail

BOOL UIApplication::sendAction(SEL action, NSObject* target, NSObject* sender, UIEvent* event)
{
    if (!action)
        return NO;
    if (!target) {
        // Up the responder chain from the sender.
        auto* responder = dynamic_cast<UIResponder*>(sender);
        while (responder && !objc_respondsToSelector(responder, action))
            responder = responder->nextResponder();
        if (!responder)
            return NO;
        target = responder;
    }
    uikit_detail::sendActionMessage(target, action, sender, event);
    return YES;
}
