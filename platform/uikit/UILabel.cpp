#include "uikit/UILabel.h"

Class UILabel::staticClass()
{
    static Class cls = ClassBuilder<UILabel>("UILabel", UIView::staticClass())
                           .method<&UILabel::text>("text")
                           .method<&UILabel::setText>("setText:")
                           .method<&UILabel::textColor>("textColor")
                           .method<&UILabel::setTextColor>("setTextColor:")
                           .method<&UILabel::textAlignment>("textAlignment")
                           .method<&UILabel::setTextAlignment>("setTextAlignment:")
                           .method<&UILabel::numberOfLines>("numberOfLines")
                           .method<&UILabel::setNumberOfLines>("setNumberOfLines:")
                           .build();
    return cls;
}

UILabel::UILabel()
    : m_textColor(UIColor::blackColor())
{
    setUserInteractionEnabled(NO);
}

UILabel::~UILabel() = default;

Ref<UILabel> UILabel::create(CGRect frame)
{
    auto label = adoptObject(new UILabel);
    label->setFrame(frame);
    return label;
}

void UILabel::setText(NSString* text)
{
    // The property copies.
    m_text = text ? NSString::create(text->view()).ptr() : nullptr;
}

void UILabel::setTextColor(UIColor* color)
{
    m_textColor = color ? color : UIColor::blackColor();
}
