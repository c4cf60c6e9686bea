// Views: a rectangle on screen in a tree of views.
#pragma once

#include "foundation/NSCollections.h"
#include "uikit/UIColor.h"
#include "uikit/UIGeometry.h"

#include <vector>

class UIWindow;

class PLATFORM_EXPORT UIResponder : public NSObject {
    OBJC_CLASS(UIResponder)
public:
    ~UIResponder() override;

protected:
    UIResponder() = default;
};

class PLATFORM_EXPORT UIView : public UIResponder {
    OBJC_CLASS(UIView)
public:
    static Ref<UIView> create(CGRect frame = CGRectZero);
    // -initWithFrame: for objects made with +alloc.
    UIView* initWithFrame(CGRect frame);

    CGRect frame() const noexcept;
    void setFrame(CGRect frame);
    CGRect bounds() const noexcept { return m_bounds; }
    void setBounds(CGRect bounds);
    CGPoint center() const noexcept { return m_center; }
    void setCenter(CGPoint center);

    UIView* superview() const noexcept { return m_superview; }
    const std::vector<Ref<UIView>>& subviews() const noexcept { return m_subviews; }
    void addSubview(UIView* view);
    void removeFromSuperview();

    BOOL isHidden() const noexcept { return m_hidden; }
    void setHidden(BOOL hidden) { m_hidden = hidden; }
    CGFloat alpha() const noexcept { return m_alpha; }
    void setAlpha(CGFloat alpha) { m_alpha = alpha; }
    BOOL isUserInteractionEnabled() const noexcept { return m_userInteractionEnabled; }
    void setUserInteractionEnabled(BOOL enabled) { m_userInteractionEnabled = enabled; }
    UIColor* backgroundColor() const noexcept { return m_backgroundColor.get(); }
    void setBackgroundColor(UIColor* color) { m_backgroundColor = color; }

    ~UIView() override;

protected:
    UIView() = default;

private:
    UIView* m_superview = nullptr;
    std::vector<Ref<UIView>> m_subviews;
    CGRect m_bounds;
    CGPoint m_center;
    BOOL m_hidden = NO;
    BOOL m_userInteractionEnabled = YES;
    CGFloat m_alpha = 1;
    RefPtr<UIColor> m_backgroundColor;
};
