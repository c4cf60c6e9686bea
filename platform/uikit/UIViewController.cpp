#include "uikit/UIViewController.h"

#include "foundation/NSKeyValueObserving.h"
#include "uikit/UINavigationController.h"

Class UIViewController::staticClass()
{
    static Class cls = ClassBuilder<UIViewController>("UIViewController", UIResponder::staticClass())
                           .method<&UIViewController::view>("view")
                           .method<&UIViewController::setView>("setView:")
                           .method<&UIViewController::isViewLoaded>("isViewLoaded")
                           .method<&UIViewController::loadView>("loadView")
                           .method<&UIViewController::viewDidLoad>("viewDidLoad")
                           .method<&UIViewController::title>("title")
                           .method<&UIViewController::setTitle>("setTitle:")
                           .method<&UIViewController::preferredContentSize>("preferredContentSize")
                           .method<&UIViewController::setPreferredContentSize>("setPreferredContentSize:")
                           .method<&UIViewController::contentSizeForViewInPopover>("contentSizeForViewInPopover")
                           .method<&UIViewController::setContentSizeForViewInPopover>("setContentSizeForViewInPopover:")
                           .method<&UIViewController::isModalInPopover>("isModalInPopover")
                           .method<&UIViewController::setModalInPopover>("setModalInPopover:")
                           .method<&UIViewController::edgesForExtendedLayout>("edgesForExtendedLayout")
                           .method<&UIViewController::setEdgesForExtendedLayout>("setEdgesForExtendedLayout:")
                           .method<&UIViewController::parentViewController>("parentViewController")
                           .method<&UIViewController::navigationController>("navigationController")
                           .build();
    return cls;
}

UIViewController::~UIViewController() = default;

Ref<UIViewController> UIViewController::create()
{
    return adoptObject(new UIViewController);
}

UIView* UIViewController::view()
{
    if (m_view || m_loadingView)
        return m_view.get();
    Ref<UIViewController> protectedThis(*this);
    m_loadingView = YES;
    try {
        objc_msgSend<void>(this, "loadView"_sel);
    } catch (...) {
        m_loadingView = NO;
        throw;
    }
    m_loadingView = NO;
    if (m_view)
        objc_msgSend<void>(this, "viewDidLoad"_sel);
    return m_view.get();
}

void UIViewController::setView(UIView* view)
{
    m_view = view;
}

// The device sizes a new view to the screen; the emulation has no screen
// here and uses the portrait size of the smallest supported phone (320 x 480
// points). Containers and popovers resize the view before it is shown.
void UIViewController::loadView()
{
    setView(UIView::create(CGRectMake(0, 0, 320, 480)).ptr());
}

void UIViewController::setTitle(NSString* title)
{
    m_title = title ? NSString::create(title->view()).ptr() : nullptr;
}

void UIViewController::setPreferredContentSize(CGSize size)
{
    kvo::setObservedValue(this, "preferredContentSize"_ns, m_preferredContentSize, size);
}

void UIViewController::setContentSizeForViewInPopover(CGSize size)
{
    kvo::setObservedValue(this, "contentSizeForViewInPopover"_ns, m_contentSizeForViewInPopover, size);
}

UINavigationController* UIViewController::navigationController() const noexcept
{
    for (UIViewController* container = m_parent; container; container = container->m_parent) {
        if (class_isSubclassOf(object_getClass(container), UINavigationController::staticClass()))
            return static_cast<UINavigationController*>(container);
    }
    return nullptr;
}
