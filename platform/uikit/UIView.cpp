#include "uikit/UIView.h"

#include <algorithm>

Class UIResponder::staticClass()
{
    static Class cls = ClassBuilder<UIResponder>("UIResponder", &OBJC_CLASS_NSObject).build();
    return cls;
}

UIResponder::~UIResponder() = default;

Class UIView::staticClass()
{
    static Class cls = ClassBuilder<UIView>("UIView", UIResponder::staticClass())
                           .method<&UIView::initWithFrame>("initWithFrame:")
                           .method<&UIView::frame>("frame")
                           .method<&UIView::setFrame>("setFrame:")
                           .method<&UIView::bounds>("bounds")
                           .method<&UIView::setBounds>("setBounds:")
                           .method<&UIView::center>("center")
                           .method<&UIView::setCenter>("setCenter:")
                           .method<&UIView::superview>("superview")
                           .method<&UIView::addSubview>("addSubview:")
                           .method<&UIView::removeFromSuperview>("removeFromSuperview")
                           .method<&UIView::isHidden>("isHidden")
                           .method<&UIView::setHidden>("setHidden:")
                           .method<&UIView::alpha>("alpha")
                           .method<&UIView::setAlpha>("setAlpha:")
                           .method<&UIView::isUserInteractionEnabled>("isUserInteractionEnabled")
                           .method<&UIView::setUserInteractionEnabled>("setUserInteractionEnabled:")
                           .method<&UIView::backgroundColor>("backgroundColor")
                           .method<&UIView::setBackgroundColor>("setBackgroundColor:")
                           .build();
    return cls;
}

Ref<UIView> UIView::create(CGRect frame)
{
    auto view = adoptObject(new UIView);
    view->setFrame(frame);
    return view;
}

UIView* UIView::initWithFrame(CGRect frame)
{
    setFrame(frame);
    return this;
}

UIView::~UIView()
{
    for (auto& subview : m_subviews)
        subview->m_superview = nullptr;
}

CGRect UIView::frame() const noexcept
{
    return CGRectMake(m_center.x - m_bounds.size.width / 2, m_center.y - m_bounds.size.height / 2, m_bounds.size.width, m_bounds.size.height);
}

void UIView::setFrame(CGRect frame)
{
    frame = CGRectStandardize(frame);
    m_bounds.size = frame.size;
    m_center = CGPointMake(CGRectGetMidX(frame), CGRectGetMidY(frame));
}

void UIView::setBounds(CGRect bounds)
{
    m_bounds = bounds;
}

void UIView::setCenter(CGPoint center)
{
    m_center = center;
}

void UIView::addSubview(UIView* view)
{
    if (!view || view == this)
        return;
    Ref<UIView> protectedView(*view);
    view->removeFromSuperview();
    view->m_superview = this;
    m_subviews.push_back(protectedView);
}

void UIView::removeFromSuperview()
{
    UIView* parent = m_superview;
    if (!parent)
        return;
    m_superview = nullptr;
    auto& siblings = parent->m_subviews;
    auto it = std::find_if(siblings.begin(), siblings.end(), [this](const Ref<UIView>& view) { return view.ptr() == this; });
    if (it != siblings.end())
        siblings.erase(it);
}
