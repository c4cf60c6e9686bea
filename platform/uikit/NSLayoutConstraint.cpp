#include "uikit/NSLayoutConstraint.h"

#include "foundation/NSException.h"
#include "uikit/UIViewInternal.h"

#include <algorithm>

Class NSLayoutConstraint::staticClass()
{
    static Class cls = ClassBuilder<NSLayoutConstraint>("NSLayoutConstraint", &OBJC_CLASS_NSObject)
                           .classMethod<&NSLayoutConstraint::constraintWithItem>("constraintWithItem:attribute:relatedBy:toItem:attribute:multiplier:constant:")
                           .method<&NSLayoutConstraint::firstItem>("firstItem")
                           .method<&NSLayoutConstraint::firstAttribute>("firstAttribute")
                           .method<&NSLayoutConstraint::relation>("relation")
                           .method<&NSLayoutConstraint::secondItem>("secondItem")
                           .method<&NSLayoutConstraint::secondAttribute>("secondAttribute")
                           .method<&NSLayoutConstraint::multiplier>("multiplier")
                           .method<&NSLayoutConstraint::constant>("constant")
                           .method<&NSLayoutConstraint::setConstant>("setConstant:")
                           .method<&NSLayoutConstraint::priority>("priority")
                           .method<&NSLayoutConstraint::setPriority>("setPriority:")
                           .build();
    return cls;
}

NSLayoutConstraint::~NSLayoutConstraint() = default;

namespace {

bool isSizeAttribute(NSLayoutAttribute attribute)
{
    return attribute == NSLayoutAttributeWidth || attribute == NSLayoutAttributeHeight;
}

} // namespace

Ref<NSLayoutConstraint> NSLayoutConstraint::constraintWithItem(NSObject* firstItem, NSLayoutAttribute firstAttribute, NSLayoutRelation relation,
    NSObject* secondItem, NSLayoutAttribute secondAttribute, CGFloat multiplier, CGFloat constant)
{
    auto known = [](NSLayoutAttribute attribute) { return attribute >= NSLayoutAttributeLeft && attribute <= NSLayoutAttributeCenterY; };
    if (!firstItem || !known(firstAttribute))
        NSException::raise(NSInvalidArgumentException, "*** +[NSLayoutConstraint constraintWithItem:attribute:relatedBy:toItem:attribute:multiplier:constant:]: Constraint items must each be a view or layout guide, and the first attribute must be valid.");
    if (relation < NSLayoutRelationLessThanOrEqual || relation > NSLayoutRelationGreaterThanOrEqual)
        NSException::raise(NSInvalidArgumentException, "*** +[NSLayoutConstraint constraintWithItem:attribute:relatedBy:toItem:attribute:multiplier:constant:]: Invalid relation %ld", relation);
    if (secondItem && !known(secondAttribute))
        NSException::raise(NSInvalidArgumentException, "*** +[NSLayoutConstraint constraintWithItem:attribute:relatedBy:toItem:attribute:multiplier:constant:]: Invalid second attribute for a constraint with a second item");
    if (!secondItem && !isSizeAttribute(firstAttribute))
        NSException::raise(NSInvalidArgumentException, "*** +[NSLayoutConstraint constraintWithItem:attribute:relatedBy:toItem:attribute:multiplier:constant:]: A constraint cannot be made between a leading/trailing/left/right/top/bottom/center attribute and a constant. You must pass a second item");
    auto constraint = adoptObject(new NSLayoutConstraint);
    constraint->m_firstItem = firstItem;
    constraint->m_firstAttribute = firstAttribute;
    constraint->m_relation = relation;
    constraint->m_secondItem = secondItem;
    constraint->m_secondAttribute = secondItem ? secondAttribute : NSLayoutAttributeNotAnAttribute;
    constraint->m_multiplier = multiplier;
    constraint->m_constant = constant;
    return constraint;
}

void NSLayoutConstraint::setConstant(CGFloat constant)
{
    m_constant = constant;
    if (m_holder)
        m_holder->setNeedsLayout();
}

// MARK: Views holding constraints

namespace {

UIView* asView(NSObject* item)
{
    return dynamic_cast<UIView*>(item);
}

bool inSubtree(NSObject* item, const UIView* holder)
{
    if (!item)
        return true;
    UIView* view = asView(item);
    return view && view->isDescendantOfView(holder);
}

} // namespace

void UIView::addConstraint(NSLayoutConstraint* constraint)
{
    if (!constraint)
        return;
    if (!inSubtree(constraint->m_firstItem, this) || !inSubtree(constraint->m_secondItem, this))
        NSException::raise(NSGenericException, "Unable to install constraint on view.  Does the constraint reference something from outside the subtree of the view?  That's illegal.");
    if (constraint->m_holder == this)
        return;
    if (constraint->m_holder)
        constraint->m_holder->removeConstraint(constraint);
    constraint->m_holder = this;
    m_constraints.push_back(Ref<NSLayoutConstraint>(*constraint));
    setNeedsLayout();
}

void UIView::addConstraints(NSArray* constraints)
{
    if (!constraints)
        return;
    Ref<NSArray> protectedConstraints(*constraints);
    for (const auto& object : *constraints)
        addConstraint(dynamic_cast<NSLayoutConstraint*>(object.get()));
}

void UIView::removeConstraint(NSLayoutConstraint* constraint)
{
    if (!constraint || constraint->m_holder != this)
        return;
    Ref<NSLayoutConstraint> protectedConstraint(*constraint);
    constraint->m_holder = nullptr;
    std::erase_if(m_constraints, [&](const Ref<NSLayoutConstraint>& entry) { return entry.ptr() == constraint; });
    setNeedsLayout();
}

void UIView::removeConstraints(NSArray* constraints)
{
    if (!constraints)
        return;
    Ref<NSArray> protectedConstraints(*constraints);
    for (const auto& object : *constraints)
        removeConstraint(dynamic_cast<NSLayoutConstraint*>(object.get()));
}

Ref<NSArray> UIView::constraintsArray() const
{
    return NSArray::create(std::vector<RefPtr<Object>>(m_constraints.begin(), m_constraints.end()));
}

// MARK: The resolver

namespace {

CGFloat attributeValue(CGRect rect, NSLayoutAttribute attribute)
{
    switch (attribute) {
    case NSLayoutAttributeLeft:
    case NSLayoutAttributeLeading:
        return CGRectGetMinX(rect);
    case NSLayoutAttributeRight:
    case NSLayoutAttributeTrailing:
        return CGRectGetMaxX(rect);
    case NSLayoutAttributeTop:
        return CGRectGetMinY(rect);
    case NSLayoutAttributeBottom:
        return CGRectGetMaxY(rect);
    case NSLayoutAttributeWidth:
        return CGRectGetWidth(rect);
    case NSLayoutAttributeHeight:
        return CGRectGetHeight(rect);
    case NSLayoutAttributeCenterX:
        return CGRectGetMidX(rect);
    case NSLayoutAttributeCenterY:
        return CGRectGetMidY(rect);
    default:
        return 0;
    }
}

bool isHorizontal(NSLayoutAttribute attribute)
{
    return attribute == NSLayoutAttributeLeft || attribute == NSLayoutAttributeRight || attribute == NSLayoutAttributeLeading
        || attribute == NSLayoutAttributeTrailing || attribute == NSLayoutAttributeCenterX || attribute == NSLayoutAttributeWidth;
}

// The rectangle an item occupies in the coordinates of space: a view's
// frame for a sibling, its bounds for space itself.
CGRect rectIn(UIView* item, UIView* space)
{
    return item->convertRectToView(item->bounds(), space);
}

// Gives target's attribute the value (in its superview's coordinates).
void place(UIView* target, NSLayoutAttribute attribute, CGFloat value)
{
    CGRect frame = target->frame();
    if (isSizeAttribute(attribute)) {
        CGFloat current = attributeValue(frame, attribute);
        value = std::max<CGFloat>(value, 0);
        if (current == value)
            return;
        CGRect bounds = target->bounds();
        bool horizontal = attribute == NSLayoutAttributeWidth;
        CGFloat& length = horizontal ? bounds.size.width : bounds.size.height;
        if (current > 0)
            length *= value / current;
        else
            length = value;
        target->setBounds(bounds);
        return;
    }
    CGFloat delta = value - attributeValue(frame, attribute);
    if (delta == 0)
        return;
    CGPoint center = target->center();
    if (isHorizontal(attribute))
        center.x += delta;
    else
        center.y += delta;
    target->setCenter(center);
}

// Applies one constraint, or nothing when neither item is a view placed by
// constraints.
void apply(NSLayoutConstraint* constraint, UIView* holder, bool sizes)
{
    UIView* first = asView(constraint->firstItem());
    UIView* second = asView(constraint->secondItem());
    auto placeable = [&](UIView* view) { return view && view != holder && view->superview() && !view->translatesAutoresizingMaskIntoConstraints(); };

    if (placeable(first)) {
        NSLayoutAttribute attribute = constraint->firstAttribute();
        if (isSizeAttribute(attribute) != sizes)
            return;
        CGFloat reference = second ? attributeValue(rectIn(second, first->superview()), constraint->secondAttribute()) : 0;
        place(first, attribute, constraint->multiplier() * reference + constraint->constant());
        return;
    }
    if (placeable(second) && first && constraint->multiplier() != 0) {
        // The second item is the one placed: solve for it.
        NSLayoutAttribute attribute = constraint->secondAttribute();
        if (isSizeAttribute(attribute) != sizes)
            return;
        CGFloat reference = attributeValue(rectIn(first, second->superview()), constraint->firstAttribute());
        place(second, attribute, (reference - constraint->constant()) / constraint->multiplier());
    }
}

} // namespace

namespace uikit_detail {

bool holdsConstraints(const UIView* view)
{
    return !view->constraints().empty();
}

void resolveConstraints(UIView* holder)
{
    if (holder->constraints().empty())
        return;
    auto constraints = holder->constraints();
    for (bool sizes : { true, false }) {
        for (auto& constraint : constraints)
            apply(constraint.ptr(), holder, sizes);
    }
}

void viewWasRemoved(UIView* view, UIView* oldSuperview)
{
    // Constraints that name the view (or anything inside it) leave the views
    // above it, as on the device.
    auto names = [view](NSObject* item) {
        UIView* itemView = asView(item);
        return itemView && itemView->isDescendantOfView(view);
    };
    for (UIView* ancestor = oldSuperview; ancestor; ancestor = ancestor->superview()) {
        auto constraints = ancestor->constraints();
        for (auto& constraint : constraints) {
            if (names(constraint->firstItem()) || names(constraint->secondItem()))
                ancestor->removeConstraint(constraint.ptr());
        }
    }
}

} // namespace uikit_detail
