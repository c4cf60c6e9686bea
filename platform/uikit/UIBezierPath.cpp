#include "uikit/UIBezierPath.h"

#include "uikit/UIGraphics.h"

#include <algorithm>
#include <numbers>

namespace {

constexpr CGFloat kQuarterTurn = std::numbers::pi / 2;

// A rectangle with the given corner radii, clockwise on screen (y down) from
// the end of the top-left corner; each corner is a quarter circle whose end
// points are exact.
Ref<CGPath> roundedRectPath(CGRect rect, UIRectCorner corners, CGFloat radius)
{
    auto path = CGPath::create();
    if (CGRectIsNull(rect))
        return path;
    CGRect r = CGRectStandardize(rect);
    CGFloat minX = CGRectGetMinX(r), minY = CGRectGetMinY(r), maxX = CGRectGetMaxX(r), maxY = CGRectGetMaxY(r);
    radius = std::clamp<CGFloat>(radius, 0, std::min(r.size.width, r.size.height) / 2);
    auto radiusAt = [&](UIRectCorner corner) { return (corners & corner) ? radius : 0; };
    CGFloat topLeft = radiusAt(UIRectCornerTopLeft), topRight = radiusAt(UIRectCornerTopRight);
    CGFloat bottomRight = radiusAt(UIRectCornerBottomRight), bottomLeft = radiusAt(UIRectCornerBottomLeft);

    path->moveTo({ minX + topLeft, minY });
    path->lineTo({ maxX - topRight, minY });
    path->appendArc({ maxX - topRight, minY + topRight }, topRight, -kQuarterTurn, kQuarterTurn, { maxX - topRight, minY }, { maxX, minY + topRight });
    path->lineTo({ maxX, maxY - bottomRight });
    path->appendArc({ maxX - bottomRight, maxY - bottomRight }, bottomRight, 0, kQuarterTurn, { maxX, maxY - bottomRight }, { maxX - bottomRight, maxY });
    path->lineTo({ minX + bottomLeft, maxY });
    path->appendArc({ minX + bottomLeft, maxY - bottomLeft }, bottomLeft, kQuarterTurn, kQuarterTurn, { minX + bottomLeft, maxY }, { minX, maxY - bottomLeft });
    path->lineTo({ minX, minY + topLeft });
    path->appendArc({ minX + topLeft, minY + topLeft }, topLeft, 2 * kQuarterTurn, kQuarterTurn, { minX, minY + topLeft }, { minX + topLeft, minY });
    path->closeSubpath();
    return path;
}

Ref<UIBezierPath> withPath(Ref<CGPath> path)
{
    auto bezierPath = UIBezierPath::bezierPath();
    bezierPath->setCGPath(path.ptr());
    return bezierPath;
}

} // namespace

Class UIBezierPath::staticClass()
{
    using RoundedRect = Ref<UIBezierPath> (*)(CGRect, CGFloat);
    using RoundedCorners = Ref<UIBezierPath> (*)(CGRect, UIRectCorner, CGSize);
    static Class cls = ClassBuilder<UIBezierPath>("UIBezierPath", &OBJC_CLASS_NSObject)
                           .classMethod<&UIBezierPath::bezierPath>("bezierPath")
                           .classMethod<&UIBezierPath::bezierPathWithCGPath>("bezierPathWithCGPath:")
                           .classMethod<&UIBezierPath::bezierPathWithRect>("bezierPathWithRect:")
                           .classMethod<&UIBezierPath::bezierPathWithOvalInRect>("bezierPathWithOvalInRect:")
                           .classMethod<static_cast<RoundedRect>(&UIBezierPath::bezierPathWithRoundedRect)>("bezierPathWithRoundedRect:cornerRadius:")
                           .classMethod<static_cast<RoundedCorners>(&UIBezierPath::bezierPathWithRoundedRect)>("bezierPathWithRoundedRect:byRoundingCorners:cornerRadii:")
                           .classMethod<&UIBezierPath::bezierPathWithArcCenter>("bezierPathWithArcCenter:radius:startAngle:endAngle:clockwise:")
                           .method<&UIBezierPath::moveToPoint>("moveToPoint:")
                           .method<&UIBezierPath::addLineToPoint>("addLineToPoint:")
                           .method<&UIBezierPath::addCurveToPoint>("addCurveToPoint:controlPoint1:controlPoint2:")
                           .method<&UIBezierPath::addQuadCurveToPoint>("addQuadCurveToPoint:controlPoint:")
                           .method<&UIBezierPath::addArcWithCenter>("addArcWithCenter:radius:startAngle:endAngle:clockwise:")
                           .method<&UIBezierPath::closePath>("closePath")
                           .method<&UIBezierPath::removeAllPoints>("removeAllPoints")
                           .method<&UIBezierPath::appendPath>("appendPath:")
                           .method<&UIBezierPath::applyTransform>("applyTransform:")
                           .method<&UIBezierPath::isEmpty>("isEmpty")
                           .method<&UIBezierPath::currentPoint>("currentPoint")
                           .method<&UIBezierPath::bounds>("bounds")
                           .method<&UIBezierPath::containsPoint>("containsPoint:")
                           .method<&UIBezierPath::CGPath>("CGPath")
                           .method<&UIBezierPath::setCGPath>("setCGPath:")
                           .method<&UIBezierPath::lineWidth>("lineWidth")
                           .method<&UIBezierPath::setLineWidth>("setLineWidth:")
                           .method<&UIBezierPath::usesEvenOddFillRule>("usesEvenOddFillRule")
                           .method<&UIBezierPath::setUsesEvenOddFillRule>("setUsesEvenOddFillRule:")
                           .method<&UIBezierPath::fill>("fill")
                           .method<&UIBezierPath::stroke>("stroke")
                           .method<&UIBezierPath::addClip>("addClip")
                           .build();
    return cls;
}

UIBezierPath::UIBezierPath()
    : m_path(CGPath::create())
{
}

UIBezierPath::~UIBezierPath() = default;

Ref<UIBezierPath> UIBezierPath::bezierPath()
{
    return adoptObject(new UIBezierPath);
}

Ref<UIBezierPath> UIBezierPath::bezierPathWithCGPath(CGPathRef path)
{
    auto bezierPath = UIBezierPath::bezierPath();
    bezierPath->setCGPath(path);
    return bezierPath;
}

Ref<UIBezierPath> UIBezierPath::bezierPathWithRect(CGRect rect)
{
    auto path = CGPath::create();
    path->addRect(rect);
    return withPath(std::move(path));
}

Ref<UIBezierPath> UIBezierPath::bezierPathWithOvalInRect(CGRect rect)
{
    auto path = CGPath::create();
    path->addEllipseInRect(rect);
    return withPath(std::move(path));
}

Ref<UIBezierPath> UIBezierPath::bezierPathWithRoundedRect(CGRect rect, CGFloat cornerRadius)
{
    return withPath(roundedRectPath(rect, UIRectCornerAllCorners, cornerRadius));
}

Ref<UIBezierPath> UIBezierPath::bezierPathWithRoundedRect(CGRect rect, UIRectCorner corners, CGSize cornerRadii)
{
    return withPath(roundedRectPath(rect, corners, cornerRadii.width));
}

Ref<UIBezierPath> UIBezierPath::bezierPathWithArcCenter(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle, BOOL clockwise)
{
    auto path = bezierPath();
    path->addArcWithCenter(center, radius, startAngle, endAngle, clockwise);
    return path;
}

void UIBezierPath::addArcWithCenter(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle, BOOL clockwise)
{
    // UIKit's clockwise is on screen (y down): the other way round from
    // CoreGraphics' flag.
    m_path->addArc(center, radius, startAngle, endAngle, !clockwise);
}

void UIBezierPath::appendPath(UIBezierPath* other)
{
    if (other)
        m_path->addPath(*other->m_path);
}

void UIBezierPath::setCGPath(CGPathRef path)
{
    m_path = path ? path->copy() : CGPath::create();
}

void UIBezierPath::fill() const
{
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context)
        return;
    CGContextSaveGState(context);
    CGContextAddPath(context, m_path.ptr());
    if (m_usesEvenOddFillRule)
        CGContextEOFillPath(context);
    else
        CGContextFillPath(context);
    CGContextRestoreGState(context);
}

void UIBezierPath::stroke() const
{
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context)
        return;
    CGContextSaveGState(context);
    CGContextSetLineWidth(context, m_lineWidth);
    CGContextAddPath(context, m_path.ptr());
    CGContextStrokePath(context);
    CGContextRestoreGState(context);
}

void UIBezierPath::addClip() const
{
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context)
        return;
    CGContextAddPath(context, m_path.ptr());
    if (m_usesEvenOddFillRule)
        CGContextEOClip(context);
    else
        CGContextClip(context);
}
