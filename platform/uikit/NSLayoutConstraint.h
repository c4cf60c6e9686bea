// Auto Layout, small: constraints between the edges, centres and sizes of
// views, kept by the view they are added to, and a resolver that places the
// views whose `translatesAutoresizingMaskIntoConstraints` is NO when their
// holder lays out.
//
// The resolver is not a general constraint solver. For each constraint in
// turn it moves the constrained view so that the constrained edge or centre
// lies where the constraint puts it, relative to a sibling or the superview;
// an inequality places the edge at its bound (button.right <= flip.left puts
// the button's right edge on the flip button's left edge). Width and height
// constraints are applied first; otherwise the view keeps its size, as its
// bounds and transform give it. Priorities are not weighed: every
// constraint counts as required.
#pragma once

#include "uikit/UIView.h"

using NSLayoutAttribute = NSInteger;
inline constexpr NSLayoutAttribute NSLayoutAttributeNotAnAttribute = 0;
inline constexpr NSLayoutAttribute NSLayoutAttributeLeft = 1;
inline constexpr NSLayoutAttribute NSLayoutAttributeRight = 2;
inline constexpr NSLayoutAttribute NSLayoutAttributeTop = 3;
inline constexpr NSLayoutAttribute NSLayoutAttributeBottom = 4;
inline constexpr NSLayoutAttribute NSLayoutAttributeLeading = 5;
inline constexpr NSLayoutAttribute NSLayoutAttributeTrailing = 6;
inline constexpr NSLayoutAttribute NSLayoutAttributeWidth = 7;
inline constexpr NSLayoutAttribute NSLayoutAttributeHeight = 8;
inline constexpr NSLayoutAttribute NSLayoutAttributeCenterX = 9;
inline constexpr NSLayoutAttribute NSLayoutAttributeCenterY = 10;

using NSLayoutRelation = NSInteger;
inline constexpr NSLayoutRelation NSLayoutRelationLessThanOrEqual = -1;
inline constexpr NSLayoutRelation NSLayoutRelationEqual = 0;
inline constexpr NSLayoutRelation NSLayoutRelationGreaterThanOrEqual = 1;

using UILayoutPriority = float;
inline constexpr UILayoutPriority UILayoutPriorityRequired = 1000;

class PLATFORM_EXPORT NSLayoutConstraint : public NSObject {
    OBJC_CLASS(NSLayoutConstraint)
public:
    // firstItem.attribute relation multiplier * secondItem.attribute +
    // constant. Raises NSInvalidArgumentException for an unknown attribute
    // or relation, a missing first item, or a position attribute without a
    // second item.
    static Ref<NSLayoutConstraint> constraintWithItem(NSObject* firstItem, NSLayoutAttribute firstAttribute, NSLayoutRelation relation,
        NSObject* secondItem, NSLayoutAttribute secondAttribute, CGFloat multiplier, CGFloat constant);

    // The items are not retained: a constraint lives in a view that holds
    // them in its subtree, and leaves it when one of them leaves the tree.
    // A constraint whose view is destroyed forgets its items (nil).
    NSObject* firstItem() const noexcept { return m_firstItem; }
    NSLayoutAttribute firstAttribute() const noexcept { return m_firstAttribute; }
    NSLayoutRelation relation() const noexcept { return m_relation; }
    NSObject* secondItem() const noexcept { return m_secondItem; }
    NSLayoutAttribute secondAttribute() const noexcept { return m_secondAttribute; }
    CGFloat multiplier() const noexcept { return m_multiplier; }
    CGFloat constant() const noexcept { return m_constant; }
    void setConstant(CGFloat constant);
    UILayoutPriority priority() const noexcept { return m_priority; }
    void setPriority(UILayoutPriority priority) noexcept { m_priority = priority; }
    // The view the constraint was added to.
    UIView* holder() const noexcept { return m_holder; }

    ~NSLayoutConstraint() override;

private:
    friend class UIView;
    NSLayoutConstraint() = default;

    NSObject* m_firstItem = nullptr;
    NSObject* m_secondItem = nullptr;
    NSLayoutAttribute m_firstAttribute = NSLayoutAttributeNotAnAttribute;
    NSLayoutAttribute m_secondAttribute = NSLayoutAttributeNotAnAttribute;
    NSLayoutRelation m_relation = NSLayoutRelationEqual;
    CGFloat m_multiplier = 1;
    CGFloat m_constant = 0;
    UILayoutPriority m_priority = UILayoutPriorityRequired;
    UIView* m_holder = nullptr;
};
