#include "graphics/CGGeometry.h"

#include <algorithm>

// A rectangle is null when either origin coordinate is +infinity, as results
// of arithmetic on CGRectNull (an offset, a union of two nulls) stay null.
bool CGRectIsNull(CGRect rect)
{
    constexpr CGFloat infinity = std::numeric_limits<CGFloat>::infinity();
    return rect.origin.x == infinity || rect.origin.y == infinity;
}

bool CGRectIsEmpty(CGRect rect)
{
    return CGRectIsNull(rect) || rect.size.width == 0 || rect.size.height == 0;
}

bool CGRectIsInfinite(CGRect rect)
{
    return rect == CGRectInfinite;
}

CGRect CGRectStandardize(CGRect rect)
{
    if (CGRectIsNull(rect))
        return CGRectNull;
    if (rect.size.width < 0) {
        rect.origin.x += rect.size.width;
        rect.size.width = -rect.size.width;
    }
    if (rect.size.height < 0) {
        rect.origin.y += rect.size.height;
        rect.size.height = -rect.size.height;
    }
    return rect;
}

CGFloat CGRectGetMinX(CGRect rect) { return CGRectStandardize(rect).origin.x; }
CGFloat CGRectGetMinY(CGRect rect) { return CGRectStandardize(rect).origin.y; }
CGFloat CGRectGetWidth(CGRect rect) { return std::fabs(rect.size.width); }
CGFloat CGRectGetHeight(CGRect rect) { return std::fabs(rect.size.height); }

CGFloat CGRectGetMidX(CGRect rect)
{
    CGRect r = CGRectStandardize(rect);
    return r.origin.x + r.size.width * 0.5;
}

CGFloat CGRectGetMidY(CGRect rect)
{
    CGRect r = CGRectStandardize(rect);
    return r.origin.y + r.size.height * 0.5;
}

CGFloat CGRectGetMaxX(CGRect rect)
{
    CGRect r = CGRectStandardize(rect);
    return r.origin.x + r.size.width;
}

CGFloat CGRectGetMaxY(CGRect rect)
{
    CGRect r = CGRectStandardize(rect);
    return r.origin.y + r.size.height;
}

CGRect CGRectInset(CGRect rect, CGFloat dx, CGFloat dy)
{
    if (CGRectIsNull(rect))
        return CGRectNull;
    CGRect r = CGRectStandardize(rect);
    r.origin.x += dx;
    r.origin.y += dy;
    r.size.width -= 2 * dx;
    r.size.height -= 2 * dy;
    if (r.size.width < 0 || r.size.height < 0)
        return CGRectNull;
    return r;
}

CGRect CGRectOffset(CGRect rect, CGFloat dx, CGFloat dy)
{
    if (CGRectIsNull(rect))
        return CGRectNull;
    CGRect r = CGRectStandardize(rect);
    r.origin.x += dx;
    r.origin.y += dy;
    return r;
}

CGRect CGRectIntegral(CGRect rect)
{
    if (CGRectIsNull(rect) || CGRectIsInfinite(rect))
        return rect;
    CGRect r = CGRectStandardize(rect);
    CGFloat minX = std::floor(r.origin.x);
    CGFloat minY = std::floor(r.origin.y);
    CGFloat maxX = std::ceil(r.origin.x + r.size.width);
    CGFloat maxY = std::ceil(r.origin.y + r.size.height);
    return CGRectMake(minX, minY, maxX - minX, maxY - minY);
}

CGRect CGRectUnion(CGRect a, CGRect b)
{
    if (CGRectIsNull(a))
        return CGRectStandardize(b);
    if (CGRectIsNull(b))
        return CGRectStandardize(a);
    CGRect r1 = CGRectStandardize(a);
    CGRect r2 = CGRectStandardize(b);
    CGFloat minX = std::min(r1.origin.x, r2.origin.x);
    CGFloat minY = std::min(r1.origin.y, r2.origin.y);
    CGFloat maxX = std::max(r1.origin.x + r1.size.width, r2.origin.x + r2.size.width);
    CGFloat maxY = std::max(r1.origin.y + r1.size.height, r2.origin.y + r2.size.height);
    return CGRectMake(minX, minY, maxX - minX, maxY - minY);
}

CGRect CGRectIntersection(CGRect a, CGRect b)
{
    if (CGRectIsNull(a) || CGRectIsNull(b))
        return CGRectNull;
    CGRect r1 = CGRectStandardize(a);
    CGRect r2 = CGRectStandardize(b);
    CGFloat minX = std::max(r1.origin.x, r2.origin.x);
    CGFloat minY = std::max(r1.origin.y, r2.origin.y);
    CGFloat maxX = std::min(r1.origin.x + r1.size.width, r2.origin.x + r2.size.width);
    CGFloat maxY = std::min(r1.origin.y + r1.size.height, r2.origin.y + r2.size.height);
    if (maxX < minX || maxY < minY)
        return CGRectNull;
    return CGRectMake(minX, minY, maxX - minX, maxY - minY);
}

bool CGRectIntersectsRect(CGRect a, CGRect b)
{
    return !CGRectIsEmpty(CGRectIntersection(a, b));
}

bool CGRectContainsPoint(CGRect rect, CGPoint point)
{
    if (CGRectIsNull(rect))
        return false;
    CGRect r = CGRectStandardize(rect);
    return point.x >= r.origin.x && point.x < r.origin.x + r.size.width && point.y >= r.origin.y && point.y < r.origin.y + r.size.height;
}

bool CGRectContainsRect(CGRect outer, CGRect inner)
{
    return CGRectEqualToRect(CGRectUnion(outer, inner), CGRectStandardize(outer));
}

bool CGRectEqualToRect(CGRect a, CGRect b)
{
    if (CGRectIsNull(a) || CGRectIsNull(b))
        return CGRectIsNull(a) && CGRectIsNull(b);
    return CGRectStandardize(a) == CGRectStandardize(b);
}

bool CGPointEqualToPoint(CGPoint a, CGPoint b) { return a == b; }
bool CGSizeEqualToSize(CGSize a, CGSize b) { return a == b; }

void CGRectDivide(CGRect rect, CGRect* slice, CGRect* remainder, CGFloat amount, CGRectEdge edge)
{
    CGRect r = CGRectStandardize(rect);
    CGRect s = r, rest = r;
    switch (edge) {
    case CGRectMinXEdge:
        amount = std::clamp<CGFloat>(amount, 0, r.size.width);
        s.size.width = amount;
        rest.origin.x += amount;
        rest.size.width -= amount;
        break;
    case CGRectMaxXEdge:
        amount = std::clamp<CGFloat>(amount, 0, r.size.width);
        s.origin.x = r.origin.x + r.size.width - amount;
        s.size.width = amount;
        rest.size.width -= amount;
        break;
    case CGRectMinYEdge:
        amount = std::clamp<CGFloat>(amount, 0, r.size.height);
        s.size.height = amount;
        rest.origin.y += amount;
        rest.size.height -= amount;
        break;
    case CGRectMaxYEdge:
        amount = std::clamp<CGFloat>(amount, 0, r.size.height);
        s.origin.y = r.origin.y + r.size.height - amount;
        s.size.height = amount;
        rest.size.height -= amount;
        break;
    }
    if (slice)
        *slice = s;
    if (remainder)
        *remainder = rest;
}

CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty) { return { 1, 0, 0, 1, tx, ty }; }
CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy) { return { sx, 0, 0, sy, 0, 0 }; }

CGAffineTransform CGAffineTransformMakeRotation(CGFloat angle)
{
    CGFloat s = std::sin(angle);
    CGFloat c = std::cos(angle);
    return { c, s, -s, c, 0, 0 };
}

// t1 then t2: a point is mapped by t1 first.
CGAffineTransform CGAffineTransformConcat(CGAffineTransform t1, CGAffineTransform t2)
{
    return {
        t1.a * t2.a + t1.b * t2.c,
        t1.a * t2.b + t1.b * t2.d,
        t1.c * t2.a + t1.d * t2.c,
        t1.c * t2.b + t1.d * t2.d,
        t1.tx * t2.a + t1.ty * t2.c + t2.tx,
        t1.tx * t2.b + t1.ty * t2.d + t2.ty,
    };
}

CGAffineTransform CGAffineTransformTranslate(CGAffineTransform t, CGFloat tx, CGFloat ty)
{
    return CGAffineTransformConcat(CGAffineTransformMakeTranslation(tx, ty), t);
}

CGAffineTransform CGAffineTransformScale(CGAffineTransform t, CGFloat sx, CGFloat sy)
{
    return CGAffineTransformConcat(CGAffineTransformMakeScale(sx, sy), t);
}

CGAffineTransform CGAffineTransformRotate(CGAffineTransform t, CGFloat angle)
{
    return CGAffineTransformConcat(CGAffineTransformMakeRotation(angle), t);
}

CGAffineTransform CGAffineTransformInvert(CGAffineTransform t)
{
    CGFloat determinant = t.a * t.d - t.b * t.c;
    if (determinant == 0)
        return t; // not invertible: the platform returns it unchanged
    return {
        t.d / determinant,
        -t.b / determinant,
        -t.c / determinant,
        t.a / determinant,
        (t.c * t.ty - t.d * t.tx) / determinant,
        (t.b * t.tx - t.a * t.ty) / determinant,
    };
}

bool CGAffineTransformIsIdentity(CGAffineTransform t)
{
    return t == CGAffineTransformIdentity;
}

bool CGAffineTransformEqualToTransform(CGAffineTransform t1, CGAffineTransform t2)
{
    return t1 == t2;
}

CGPoint CGPointApplyAffineTransform(CGPoint p, CGAffineTransform t)
{
    return { t.a * p.x + t.c * p.y + t.tx, t.b * p.x + t.d * p.y + t.ty };
}

CGSize CGSizeApplyAffineTransform(CGSize s, CGAffineTransform t)
{
    return { t.a * s.width + t.c * s.height, t.b * s.width + t.d * s.height };
}

CGRect CGRectApplyAffineTransform(CGRect rect, CGAffineTransform t)
{
    if (CGRectIsNull(rect))
        return CGRectNull;
    CGRect r = CGRectStandardize(rect);
    CGPoint corners[4] = {
        CGPointApplyAffineTransform(r.origin, t),
        CGPointApplyAffineTransform({ r.origin.x + r.size.width, r.origin.y }, t),
        CGPointApplyAffineTransform({ r.origin.x, r.origin.y + r.size.height }, t),
        CGPointApplyAffineTransform({ r.origin.x + r.size.width, r.origin.y + r.size.height }, t),
    };
    CGFloat minX = corners[0].x, maxX = corners[0].x, minY = corners[0].y, maxY = corners[0].y;
    for (const auto& corner : corners) {
        minX = std::min(minX, corner.x);
        maxX = std::max(maxX, corner.x);
        minY = std::min(minY, corner.y);
        maxY = std::max(maxY, corner.y);
    }
    return CGRectMake(minX, minY, maxX - minX, maxY - minY);
}
