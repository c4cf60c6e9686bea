#include "uikit/UIWindow.h"

#include "uikit/UIApplication.h"
#include "uikit/UITouchDelivery.h"

Class UIWindow::staticClass()
{
    static Class cls = ClassBuilder<UIWindow>("UIWindow", UIView::staticClass())
                           .method<&UIWindow::init>("init")
                           .method<&UIWindow::makeKeyAndVisible>("makeKeyAndVisible")
                           .method<&UIWindow::makeKeyWindow>("makeKeyWindow")
                           .method<&UIWindow::isKeyWindow>("isKeyWindow")
                           .method<&UIWindow::windowLevel>("windowLevel")
                           .method<&UIWindow::setWindowLevel>("setWindowLevel:")
                           .method<&UIWindow::rootViewController>("rootViewController")
                           .method<&UIWindow::setRootViewController>("setRootViewController:")
                           .method<&UIWindow::sendEvent>("sendEvent:")
                           .build();
    return cls;
}

UIWindow::UIWindow()
{
    // Windows start hidden, as on the device.
    m_hidden = YES;
    UIApplication::sharedApplication()->addWindow(this);
}

UIWindow::~UIWindow()
{
    UIApplication::sharedApplication()->removeWindow(this);
}

Ref<UIWindow> UIWindow::create(CGRect frame)
{
    auto window = adoptObject(new UIWindow);
    window->initWithFrame(frame);
    return window;
}

Ref<UIWindow> UIWindow::create()
{
    return create(UIScreen::mainScreen()->bounds());
}

UIView* UIWindow::initWithFrame(CGRect frame)
{
    return UIView::initWithFrame(frame);
}

UIWindow* UIWindow::init()
{
    return objc_msgSend<UIWindow*>(this, "initWithFrame:"_sel, UIScreen::mainScreen()->bounds());
}

void UIWindow::makeKeyAndVisible()
{
    setHidden(NO);
    makeKeyWindow();
}

void UIWindow::makeKeyWindow()
{
    UIApplication::sharedApplication()->setKeyWindow(this);
}

BOOL UIWindow::isKeyWindow() const noexcept
{
    return UIApplication::sharedApplication()->keyWindow() == this;
}

void UIWindow::setRootViewController(NSObject* controller)
{
    if (controller == m_rootViewController.get())
        return;
    Ref<UIWindow> protectedThis(*this);
    if (UIView* oldView = rootView(); oldView && oldView->superview() == this)
        oldView->removeFromSuperview();
    m_rootViewController = controller;
    UIView* view = rootView();
    if (!view)
        return;
    view->setFrame(bounds());
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    addSubview(view);
}

UIView* UIWindow::rootView() const
{
    NSObject* controller = m_rootViewController.get();
    if (!controller || !objc_respondsToSelector(controller, "view"_sel))
        return nullptr;
    return dynamic_cast<UIView*>(objc_msgSend<id>(controller, "view"_sel));
}

void UIWindow::sendEvent(UIEvent* event)
{
    uikit_detail::deliverTouchEvent(this, event);
}

UIResponder* UIWindow::nextResponder() const
{
    return UIApplication::sharedApplication();
}
