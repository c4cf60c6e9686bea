#include "popover/QLZPopoverChrome.h"

#include "foundation/NSCollections.h"
#include "uikit/UIBezierPath.h"
#include "uikit/UIGraphics.h"

#include <algorithm>
#include <cmath>

namespace {

// A vertical two-colour gradient, top colour at 0 and bottom colour at 1.
// The list ends at the first missing colour; with none there is no
// gradient at all.
CGGradientRef createGradient(CGColorSpaceRef space, UIColor* top, UIColor* bottom)
{
    std::vector<RefPtr<Object>> colors;
    for (UIColor* color : { top, bottom }) {
        if (!color)
            break;
        colors.push_back(color->CGColor());
    }
    const CGFloat locations[] = { 0.0, 1.0 };
    return CGGradientCreateWithColors(space, NSArray::create(std::move(colors)).ptr(), locations);
}

CGColorRef cgColor(const RefPtr<UIColor>& color)
{
    return color ? color->CGColor() : nullptr;
}

// The corners of a rectangle in clockwise order on screen.
enum Corner { TopLeft,
    TopRight,
    BottomRight,
    BottomLeft };

CGPoint cornerPoint(CGRect rect, int corner)
{
    switch (corner % 4) {
    case TopLeft:
        return CGPointMake(CGRectGetMinX(rect), CGRectGetMinY(rect));
    case TopRight:
        return CGPointMake(CGRectGetMaxX(rect), CGRectGetMinY(rect));
    case BottomRight:
        return CGPointMake(CGRectGetMaxX(rect), CGRectGetMaxY(rect));
    default:
        return CGPointMake(CGRectGetMinX(rect), CGRectGetMaxY(rect));
    }
}

} // namespace

// MARK: Geometry

CGSize QLZPopoverChrome::sizeThatFits(CGSize content) const
{
    NSUInteger s = outerShadowBlurRadius;
    NSUInteger b = borderWidth;
    NSUInteger horizontal = 2 * (s + b);
    NSUInteger vertical = 2 * s + b;
    // The top border is left to a navigation bar when there is one.
    if (navigationBarHeight == 0)
        vertical += b;
    CGSize size = CGSizeMake(content.width + horizontal, content.height + vertical);
    if (QLZPopoverArrowDirectionIsVertical(arrowDirection))
        size.height += arrowHeight;
    else if (QLZPopoverArrowDirectionIsHorizontal(arrowDirection))
        size.width += arrowHeight;
    return size;
}

CGRect QLZPopoverChrome::outerRect(CGRect rect, QLZPopoverArrowDirection direction) const
{
    CGFloat height = arrowHeight;
    switch (direction) {
    case QLZPopoverArrowDirectionUp:
        rect.origin.y += height;
        rect.size.height -= height;
        break;
    case QLZPopoverArrowDirectionDown:
        rect.size.height -= height;
        break;
    case QLZPopoverArrowDirectionLeft:
        rect.origin.x += height;
        rect.size.width -= height;
        break;
    case QLZPopoverArrowDirectionRight:
        rect.size.width -= height;
        break;
    default:
        break;
    }
    CGFloat margin = outerShadowBlurRadius;
    rect = CGRectInset(rect, margin, margin);
    // The body moves against its shadow, so that body and shadow together
    // stay inside the view.
    rect.origin.x -= outerShadowOffset.width;
    rect.origin.y -= outerShadowOffset.height;
    return rect;
}

CGRect QLZPopoverChrome::innerRect(CGRect rect, QLZPopoverArrowDirection direction) const
{
    CGRect inner = outerRect(rect, direction);
    CGFloat border = borderWidth;
    inner.origin.x += border;
    inner.size.width -= 2 * border;
    inner.size.height -= border;
    if (navigationBarHeight == 0 || wantsDefaultContentAppearance) {
        inner.origin.y += border;
        inner.size.height -= border;
    }
    inner = UIEdgeInsetsInsetRect(inner, viewContentInsets);
    // The content reaches one point under the border, which the inner
    // view's frame covers.
    if (borderWidth != 0)
        inner = CGRectInset(inner, -1, -1);
    return inner;
}

CGRect QLZPopoverChrome::arrowRect(CGRect rect, QLZPopoverArrowDirection direction) const
{
    if (!arrowHeight)
        return CGRectZero;
    CGSize size = QLZPopoverArrowDirectionIsHorizontal(direction) ? CGSizeMake(arrowHeight, arrowBase) : CGSizeMake(arrowBase, arrowHeight);
    CGRect body = outerRect(rect, direction);
    CGFloat offset = arrowOffset;
    CGPoint origin = CGPointZero;
    switch (direction) {
    case QLZPopoverArrowDirectionUp:
        origin = CGPointMake(CGRectGetMidX(body) - size.width / 2 + offset, CGRectGetMinY(body) - size.height);
        break;
    case QLZPopoverArrowDirectionDown:
        origin = CGPointMake(CGRectGetMidX(body) - size.width / 2 + offset, CGRectGetMaxY(body));
        break;
    case QLZPopoverArrowDirectionLeft:
        origin = CGPointMake(CGRectGetMinX(body) - size.width, CGRectGetMidY(body) - size.height / 2 + offset);
        break;
    case QLZPopoverArrowDirectionRight:
        origin = CGPointMake(CGRectGetMaxX(body), CGRectGetMidY(body) - size.height / 2 + offset);
        break;
    default:
        break;
    }
    return { origin, size };
}

float QLZPopoverChrome::clampedArrowOffset(float offset, CGRect bounds) const
{
    // A centred arrow only follows the shadow offset.
    if (offset == 0) {
        CGFloat shift = 0;
        if (QLZPopoverArrowDirectionIsVertical(arrowDirection))
            shift = outerShadowOffset.width;
        else if (QLZPopoverArrowDirectionIsHorizontal(arrowDirection))
            shift = outerShadowOffset.height;
        return static_cast<float>(shift);
    }

    float sign = offset / std::fabs(offset);
    float magnitude = std::fabs(offset);
    // The arrow's base keeps half a point and the smaller corner radius
    // away from the body's ends.
    CGRect body = outerRect(bounds, arrowDirection);
    float end = static_cast<float>(arrowBase * 0.5 + 0.5) + static_cast<float>(std::min(minOuterCornerRadius, outerCornerRadius));
    CGRect track = CGRectInset(body, end, end);
    auto limit = [&](CGFloat shadowShift, CGFloat length) {
        float shifted = static_cast<float>(magnitude + sign * shadowShift);
        CGFloat half = length / 2;
        magnitude = shifted < half ? shifted : static_cast<float>(half);
    };
    if (QLZPopoverArrowDirectionIsVertical(arrowDirection))
        limit(outerShadowOffset.width, CGRectGetWidth(track));
    else if (QLZPopoverArrowDirectionIsHorizontal(arrowDirection))
        limit(outerShadowOffset.height, CGRectGetHeight(track));
    return sign * magnitude;
}

// MARK: Chrome drawing

Ref<CGPath> QLZPopoverChrome::outline(CGRect bounds) const
{
    CGRect body = outerRect(bounds, arrowDirection);
    CGRect inset = CGRectInset(body, 0.5, 0.5);
    if (!CGRectIsEmpty(inset) && !CGRectIsInfinite(inset))
        body = inset;
    CGFloat minX = CGRectGetMinX(body), midX = CGRectGetMidX(body), maxX = CGRectGetMaxX(body);
    CGFloat minY = CGRectGetMinY(body), midY = CGRectGetMidY(body), maxY = CGRectGetMaxY(body);
    CGFloat offset = arrowOffset;
    CGFloat radius = outerCornerRadius;
    CGFloat height = arrowHeight;
    CGFloat half = arrowBase / 2;

    Ref<CGPath> path = adoptRef(*CGPathCreateMutable());
    auto addCorners = [&](int first, CGFloat firstRadius, CGFloat lastRadius) {
        for (int i = 0; i < 4; ++i) {
            CGPoint corner = cornerPoint(body, first + i);
            CGPoint toward = cornerPoint(body, first + i + 1);
            CGFloat r = i == 0 ? firstRadius : i == 3 ? lastRadius
                                                      : radius;
            CGPathAddArcToPoint(path.ptr(), nullptr, corner.x, corner.y, toward.x, toward.y, r);
        }
    };

    if (arrowDirection == QLZPopoverArrowDirectionNone) {
        CGPathMoveToPoint(path.ptr(), nullptr, maxX, midY);
        addCorners(BottomRight, radius, radius);
        CGPathAddLineToPoint(path.ptr(), nullptr, maxX, midY);
        CGPathCloseSubpath(path.ptr());
        return path;
    }

    // The arrow's tip, its two base points on the body's edge (in the
    // order the outline passes them), the way along the edge from the
    // first to the second, and the free space between the arrow's base and
    // the end of the side it is shifted towards.
    CGPoint tip, start, second, along;
    CGFloat freeSpace = 0;
    int firstCorner = 0;
    switch (arrowDirection) {
    case QLZPopoverArrowDirectionUp:
        tip = CGPointMake(midX + offset, minY - height);
        start = CGPointMake(tip.x - half, minY);
        second = CGPointMake(tip.x + half, minY);
        along = CGPointMake(1, 0);
        freeSpace = offset >= 0 ? maxX - (midX + offset + half) : (midX + offset - half) - minX;
        firstCorner = TopRight;
        break;
    case QLZPopoverArrowDirectionDown:
        tip = CGPointMake(midX + offset, maxY + height);
        start = CGPointMake(tip.x + half, maxY);
        second = CGPointMake(tip.x - half, maxY);
        along = CGPointMake(-1, 0);
        freeSpace = offset >= 0 ? maxX - (midX + offset + half) : (midX + offset - half) - minX;
        firstCorner = BottomLeft;
        break;
    case QLZPopoverArrowDirectionLeft:
        tip = CGPointMake(minX - height, midY + offset);
        start = CGPointMake(minX, tip.y + half);
        second = CGPointMake(minX, tip.y - half);
        along = CGPointMake(0, -1);
        freeSpace = offset >= 0 ? maxY - (midY + offset + half) : (midY + offset - half) - minY;
        firstCorner = TopLeft;
        break;
    case QLZPopoverArrowDirectionRight:
        tip = CGPointMake(maxX + height, midY + offset);
        start = CGPointMake(maxX, tip.y - half);
        second = CGPointMake(maxX, tip.y + half);
        along = CGPointMake(0, 1);
        freeSpace = offset >= 0 ? maxY - (midY + offset + half) : (midY + offset - half) - minY;
        firstCorner = BottomRight;
        break;
    default:
        // No known side: an empty outline.
        CGPathCloseSubpath(path.ptr());
        return path;
    }
    // The corner beside the arrow keeps only the room the arrow leaves it.
    CGFloat reduced = std::min(static_cast<float>(freeSpace), static_cast<float>(radius));
    // The first corner after the arrow is the one towards the far end (right
    // or bottom) for UP and RIGHT, towards the near end for DOWN and LEFT.
    bool reduceFirst = arrowDirection == QLZPopoverArrowDirectionUp || arrowDirection == QLZPopoverArrowDirectionRight ? offset >= 0 : offset < 0;

    CGPathMoveToPoint(path.ptr(), nullptr, start.x, start.y);
    if (usesRoundedArrow) {
        // Each flank leaves the base along the edge and reaches the tip
        // parallel to it, rounding shoulders and tip.
        float shoulder = arrowBase / 5.0f;
        float point = 0.75f * shoulder;
        CGPathAddCurveToPoint(path.ptr(), nullptr, start.x + shoulder * along.x, start.y + shoulder * along.y, tip.x - point * along.x,
            tip.y - point * along.y, tip.x, tip.y);
        CGPathAddCurveToPoint(path.ptr(), nullptr, tip.x + point * along.x, tip.y + point * along.y, second.x - shoulder * along.x,
            second.y - shoulder * along.y, second.x, second.y);
    } else {
        CGPathAddLineToPoint(path.ptr(), nullptr, tip.x, tip.y);
        CGPathAddLineToPoint(path.ptr(), nullptr, second.x, second.y);
    }
    addCorners(firstCorner, reduceFirst ? reduced : radius, reduceFirst ? radius : reduced);
    CGPathAddLineToPoint(path.ptr(), nullptr, start.x, start.y);
    CGPathCloseSubpath(path.ptr());
    return path;
}

void QLZPopoverChrome::draw(CGRect bounds) const
{
    CGContextRef context = UIGraphicsGetCurrentContext();
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGGradientRef gradient = createGradient(space, fillTopColor.get(), fillBottomColor.get());
    Ref<CGPath> path = outline(bounds);
    Ref<UIBezierPath> shape = UIBezierPath::bezierPathWithCGPath(path.ptr());

    // The fill, casting the outer shadow as one shape.
    CGContextSaveGState(context);
    CGContextSetShadowWithColor(context, outerShadowOffset, outerShadowBlurRadius, cgColor(outerShadowColor));
    CGContextBeginTransparencyLayer(context, nullptr);
    shape->addClip();
    CGRect box = CGPathGetPathBoundingBox(path.ptr());
    CGContextDrawLinearGradient(context, gradient, CGPointMake(CGRectGetMidX(box), CGRectGetMinY(box)),
        CGPointMake(CGRectGetMidX(box), CGRectGetMaxY(box)), 0);
    CGContextEndTransparencyLayer(context);
    CGContextRestoreGState(context);

    // The gloss: a band around the outline, filled far off to the left and
    // clipped away, throws its shadow back in along the inside of the edge.
    CGRect shapeBounds = shape->bounds();
    CGFloat glossBlur = glossShadowBlurRadius;
    CGRect glossBounds = CGRectOffset(CGRectInset(shapeBounds, -glossBlur, -glossBlur), -glossShadowOffset.width, -glossShadowOffset.height);
    CGRect bandBounds = CGRectInset(CGRectUnion(glossBounds, shapeBounds), -1, -1);
    CGFloat throwDistance = std::round(bandBounds.size.width);
    Ref<UIBezierPath> band = UIBezierPath::bezierPathWithRect(bandBounds);
    band->appendPath(shape.ptr());
    band->setUsesEvenOddFillRule(YES);

    CGContextSaveGState(context);
    float throwX = static_cast<float>(glossShadowOffset.width + throwDistance);
    float throwY = static_cast<float>(glossShadowOffset.height);
    CGSize glossOffset = CGSizeMake(throwX + std::copysign(0.1, throwX), throwY + std::copysign(0.1, throwY));
    CGContextSetShadowWithColor(context, glossOffset, glossBlur, cgColor(glossShadowColor));
    shape->addClip();
    band->applyTransform(CGAffineTransformMakeTranslation(-throwDistance, 0));
    UIColor::grayColor()->setFill();
    band->fill();
    CGContextRestoreGState(context);

    // The outline, as thin as the context draws.
    if (outerStrokeColor)
        outerStrokeColor->setStroke();
    shape->setLineWidth(0);
    shape->stroke();

    CGGradientRelease(gradient);
    CGColorSpaceRelease(space);
}

// MARK: Content frame drawing

void QLZPopoverContentFrame::draw(CGRect rect) const
{
    CGContextRef context = UIGraphicsGetCurrentContext();
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGGradientRef gradient = createGradient(space, gradientTopColor.get(), gradientBottomColor.get());

    float barHeight = navigationBarHeight;
    float cornerRadius = innerCornerRadius;
    if (wantsDefaultContentAppearance)
        barHeight = cornerRadius = 0;
    CGRect area = CGRectMake(CGRectGetMinX(rect), CGRectGetMinY(rect) + barHeight, CGRectGetWidth(rect), CGRectGetHeight(rect) - barHeight);
    Ref<UIBezierPath> areaPath = UIBezierPath::bezierPathWithRect(area);
    Ref<UIBezierPath> roundedArea = UIBezierPath::bezierPathWithRoundedRect(area, cornerRadius + 1.0f);
    bool framed = !wantsDefaultContentAppearance && borderWidth > 0;

    // The chrome's gradient, continued into the four corners between the
    // content's rectangle and its rounded outline.
    if (framed) {
        CGContextSaveGState(context);
        areaPath->appendPath(roundedArea.ptr());
        areaPath->setUsesEvenOddFillRule(YES);
        areaPath->addClip();
        CGContextDrawLinearGradient(context, gradient, CGPointMake(0, -gradientTopPosition),
            CGPointMake(0, gradientHeight - gradientTopPosition), 0);
        CGContextRestoreGState(context);
    }

    CGContextSaveGState(context);
    if (framed) {
        roundedArea->addClip();
        CGContextSetShadowWithColor(context, innerShadowOffset, innerShadowBlurRadius, cgColor(innerShadowColor));
    }
    CGRect strokeRect = CGRectInset(area, 0.5, 0.5);
    // Without a border the chrome itself rounds the top; the stroke rounds
    // only the bottom corners.
    Ref<UIBezierPath> stroke = borderWidth == 0
        ? UIBezierPath::bezierPathWithRoundedRect(strokeRect, UIRectCorner(UIRectCornerBottomLeft | UIRectCornerBottomRight),
            CGSizeMake(cornerRadius, cornerRadius))
        : UIBezierPath::bezierPathWithRoundedRect(strokeRect, cornerRadius);
    if (innerStrokeColor)
        innerStrokeColor->setStroke();
    stroke->setLineWidth(1.0);
    stroke->stroke();
    CGContextRestoreGState(context);

    CGGradientRelease(gradient);
    CGColorSpaceRelease(space);
}
