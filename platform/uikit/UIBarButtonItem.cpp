#include "uikit/UIBarButtonItem.h"

Class UIBarButtonItem::staticClass()
{
    static Class cls = ClassBuilder<UIBarButtonItem>("UIBarButtonItem", &OBJC_CLASS_NSObject)
                           .method<&UIBarButtonItem::initWithCustomView>("initWithCustomView:")
                           .method<&UIBarButtonItem::customView>("customView")
                           .method<&UIBarButtonItem::setCustomView>("setCustomView:")
                           .method<&UIBarButtonItem::view>("view")
                           .method<&UIBarButtonItem::title>("title")
                           .method<&UIBarButtonItem::setTitle>("setTitle:")
                           .method<&UIBarButtonItem::isEnabled>("isEnabled")
                           .method<&UIBarButtonItem::setEnabled>("setEnabled:")
                           .build();
    return cls;
}

UIBarButtonItem::~UIBarButtonItem() = default;

Ref<UIBarButtonItem> UIBarButtonItem::create(UIView* customView)
{
    auto item = adoptObject(new UIBarButtonItem);
    item->initWithCustomView(customView);
    return item;
}

UIBarButtonItem* UIBarButtonItem::initWithCustomView(UIView* customView)
{
    m_customView = customView;
    return this;
}

void UIBarButtonItem::setTitle(NSString* title)
{
    m_title = title ? NSString::create(title->view()).ptr() : nullptr;
}
