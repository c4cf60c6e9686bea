#include "uikit/UINavigationController.h"

#include <algorithm>

Class UINavigationBar::staticClass()
{
    static Class cls = ClassBuilder<UINavigationBar>("UINavigationBar", UIView::staticClass())
                           .method<&UINavigationBar::isTranslucent>("isTranslucent")
                           .method<&UINavigationBar::setTranslucent>("setTranslucent:")
                           .build();
    return cls;
}

UINavigationBar::~UINavigationBar() = default;

Ref<UINavigationBar> UINavigationBar::create(CGRect frame)
{
    auto bar = adoptObject(new UINavigationBar);
    bar->setFrame(frame);
    return bar;
}

Class UINavigationController::staticClass()
{
    static Class cls = ClassBuilder<UINavigationController>("UINavigationController", UIViewController::staticClass())
                           .method<&UINavigationController::initWithRootViewController>("initWithRootViewController:")
                           .method<&UINavigationController::viewControllers>("viewControllers")
                           .method<&UINavigationController::setViewControllers>("setViewControllers:")
                           .method<&UINavigationController::topViewController>("topViewController")
                           .method<&UINavigationController::visibleViewController>("visibleViewController")
                           .method<&UINavigationController::pushViewController>("pushViewController:animated:")
                           .method<&UINavigationController::popViewController>("popViewControllerAnimated:")
                           .method<&UINavigationController::navigationBar>("navigationBar")
                           .method<&UINavigationController::isNavigationBarHidden>("isNavigationBarHidden")
                           .method<&UINavigationController::setNavigationBarHidden>("setNavigationBarHidden:")
                           .method<&UINavigationController::setNavigationBarHiddenAnimated>("setNavigationBarHidden:animated:")
                           .method<&UINavigationController::loadView>("loadView")
                           .build();
    return cls;
}

UINavigationController::~UINavigationController()
{
    for (auto& child : m_stack) {
        if (child->parentViewController() == this)
            child->setParent(nullptr);
    }
}

Ref<UINavigationController> UINavigationController::create(UIViewController* rootViewController)
{
    auto controller = adoptObject(new UINavigationController);
    controller->initWithRootViewController(rootViewController);
    return controller;
}

UINavigationController* UINavigationController::initWithRootViewController(UIViewController* rootViewController)
{
    if (rootViewController)
        pushViewController(rootViewController, NO);
    return this;
}

Ref<NSArray> UINavigationController::viewControllers() const
{
    std::vector<RefPtr<Object>> objects(m_stack.begin(), m_stack.end());
    return NSArray::create(std::move(objects));
}

void UINavigationController::setViewControllers(NSArray* viewControllers)
{
    Ref<UINavigationController> protectedThis(*this);
    auto old = std::move(m_stack);
    m_stack.clear();
    for (auto& child : old)
        disown(child.ptr());
    if (viewControllers) {
        for (const auto& object : *viewControllers) {
            if (object && class_isSubclassOf(object_getClass(object.get()), UIViewController::staticClass()))
                adopt(static_cast<UIViewController*>(object.get()));
        }
    }
    showTopView();
}

UIViewController* UINavigationController::topViewController() const noexcept
{
    return m_stack.empty() ? nullptr : m_stack.back().ptr();
}

void UINavigationController::pushViewController(UIViewController* viewController, BOOL animated)
{
    if (!viewController || viewController == this)
        return;
    adopt(viewController);
    showTopView();
}

RefPtr<UIViewController> UINavigationController::popViewController(BOOL animated)
{
    if (m_stack.size() < 2)
        return nullptr;
    Ref<UIViewController> popped = m_stack.back();
    m_stack.pop_back();
    disown(popped.ptr());
    showTopView();
    return popped;
}

void UINavigationController::adopt(UIViewController* child)
{
    m_stack.emplace_back(*child);
    child->setParent(this);
}

void UINavigationController::disown(UIViewController* child)
{
    if (child->parentViewController() == this)
        child->setParent(nullptr);
}

UINavigationBar* UINavigationController::navigationBar()
{
    if (!m_navigationBar)
        m_navigationBar = UINavigationBar::create();
    return m_navigationBar.get();
}

void UINavigationController::setNavigationBarHidden(BOOL hidden)
{
    m_navigationBarHidden = hidden;
    navigationBar()->setHidden(hidden);
    layoutContent();
}

void UINavigationController::loadView()
{
    setView(UIView::create(CGRectMake(0, 0, 320, 480)).ptr());
    view()->addSubview(navigationBar());
    showTopView();
}

void UINavigationController::showTopView()
{
    if (!isViewLoaded())
        return;
    UIView* topView = topViewController() ? topViewController()->view() : nullptr;
    if (m_shownView != topView) {
        if (m_shownView && m_shownView->superview() == view())
            m_shownView->removeFromSuperview();
        m_shownView = topView;
        if (topView) {
            // Below the bar, which stays in front.
            navigationBar()->removeFromSuperview();
            view()->addSubview(topView);
            view()->addSubview(navigationBar());
        }
    }
    layoutContent();
}

void UINavigationController::layoutContent()
{
    if (!isViewLoaded())
        return;
    CGRect bounds = view()->bounds();
    navigationBar()->setFrame(CGRectMake(bounds.origin.x, bounds.origin.y, bounds.size.width, UINavigationBar::kHeight));
    if (!m_shownView)
        return;
    CGFloat top = 0;
    UIViewController* topController = topViewController();
    bool underBar = topController && (topController->edgesForExtendedLayout() & UIRectEdgeTop) && navigationBar()->isTranslucent();
    if (!m_navigationBarHidden && !underBar)
        top = UINavigationBar::kHeight;
    m_shownView->setFrame(CGRectMake(bounds.origin.x, bounds.origin.y + top, bounds.size.width, std::max<CGFloat>(0, bounds.size.height - top)));
}
