// CoreGraphics geometry: points, sizes, rectangles and affine transforms,
// with the platform's semantics. CGFloat follows the width of the build
// (runtime/objc.h): double on 64-bit builds, float on 32-bit ones.
//
// Rectangles may have negative sizes; most functions first standardise them
// (origin at the minimum corner, non-negative size), as the platform does.
// CGRectNull is the empty rectangle at infinity that results from, for
// example, insetting a rectangle past its size.
#pragma once

#include "runtime/TypeEncoding.h"

#include <cmath>
#include <limits>

#define CGFLOAT_IS_DOUBLE PLATFORM_LP64
#if CGFLOAT_IS_DOUBLE
using CGFloat = double;
#define CGFLOAT_ENCODING "d"
#else
using CGFloat = float;
#define CGFLOAT_ENCODING "f"
#endif
#define CGFLOAT_ENCODING_2 CGFLOAT_ENCODING CGFLOAT_ENCODING

struct CGPoint {
    CGFloat x = 0;
    CGFloat y = 0;
    friend bool operator==(const CGPoint&, const CGPoint&) = default;
};

struct CGSize {
    CGFloat width = 0;
    CGFloat height = 0;
    friend bool operator==(const CGSize&, const CGSize&) = default;
};

struct CGVector {
    CGFloat dx = 0;
    CGFloat dy = 0;
};

struct CGRect {
    CGPoint origin;
    CGSize size;
    friend bool operator==(const CGRect&, const CGRect&) = default;
};

struct CGAffineTransform {
    CGFloat a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
    friend bool operator==(const CGAffineTransform&, const CGAffineTransform&) = default;
};

enum CGRectEdge { CGRectMinXEdge,
    CGRectMinYEdge,
    CGRectMaxXEdge,
    CGRectMaxYEdge };

PLATFORM_TYPE_ENCODING(CGPoint, "{CGPoint=" CGFLOAT_ENCODING_2 "}");
PLATFORM_TYPE_ENCODING(CGSize, "{CGSize=" CGFLOAT_ENCODING_2 "}");
PLATFORM_TYPE_ENCODING(CGVector, "{CGVector=" CGFLOAT_ENCODING_2 "}");
PLATFORM_TYPE_ENCODING(CGRect, "{CGRect={CGPoint=" CGFLOAT_ENCODING_2 "}{CGSize=" CGFLOAT_ENCODING_2 "}}");
PLATFORM_TYPE_ENCODING(CGAffineTransform, "{CGAffineTransform=" CGFLOAT_ENCODING_2 CGFLOAT_ENCODING_2 CGFLOAT_ENCODING_2 "}");

inline constexpr CGPoint CGPointZero {};
inline constexpr CGSize CGSizeZero {};
inline constexpr CGRect CGRectZero {};
inline constexpr CGRect CGRectNull { { std::numeric_limits<CGFloat>::infinity(), std::numeric_limits<CGFloat>::infinity() }, { 0, 0 } };
inline constexpr CGRect CGRectInfinite { { -std::numeric_limits<CGFloat>::max() / 2, -std::numeric_limits<CGFloat>::max() / 2 },
    { std::numeric_limits<CGFloat>::max(), std::numeric_limits<CGFloat>::max() } };
inline constexpr CGAffineTransform CGAffineTransformIdentity {};

constexpr CGPoint CGPointMake(CGFloat x, CGFloat y) { return { x, y }; }
constexpr CGSize CGSizeMake(CGFloat width, CGFloat height) { return { width, height }; }
constexpr CGVector CGVectorMake(CGFloat dx, CGFloat dy) { return { dx, dy }; }
constexpr CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat width, CGFloat height) { return { { x, y }, { width, height } }; }
constexpr CGAffineTransform CGAffineTransformMake(CGFloat a, CGFloat b, CGFloat c, CGFloat d, CGFloat tx, CGFloat ty)
{
    return { a, b, c, d, tx, ty };
}

PLATFORM_EXPORT bool CGRectIsNull(CGRect rect);
PLATFORM_EXPORT bool CGRectIsEmpty(CGRect rect);
PLATFORM_EXPORT bool CGRectIsInfinite(CGRect rect);
PLATFORM_EXPORT CGRect CGRectStandardize(CGRect rect);

PLATFORM_EXPORT CGFloat CGRectGetMinX(CGRect rect);
PLATFORM_EXPORT CGFloat CGRectGetMidX(CGRect rect);
PLATFORM_EXPORT CGFloat CGRectGetMaxX(CGRect rect);
PLATFORM_EXPORT CGFloat CGRectGetMinY(CGRect rect);
PLATFORM_EXPORT CGFloat CGRectGetMidY(CGRect rect);
PLATFORM_EXPORT CGFloat CGRectGetMaxY(CGRect rect);
PLATFORM_EXPORT CGFloat CGRectGetWidth(CGRect rect);
PLATFORM_EXPORT CGFloat CGRectGetHeight(CGRect rect);

PLATFORM_EXPORT CGRect CGRectInset(CGRect rect, CGFloat dx, CGFloat dy);
PLATFORM_EXPORT CGRect CGRectOffset(CGRect rect, CGFloat dx, CGFloat dy);
PLATFORM_EXPORT CGRect CGRectIntegral(CGRect rect);
PLATFORM_EXPORT CGRect CGRectUnion(CGRect a, CGRect b);
PLATFORM_EXPORT CGRect CGRectIntersection(CGRect a, CGRect b);
PLATFORM_EXPORT bool CGRectIntersectsRect(CGRect a, CGRect b);
PLATFORM_EXPORT bool CGRectContainsPoint(CGRect rect, CGPoint point);
PLATFORM_EXPORT bool CGRectContainsRect(CGRect outer, CGRect inner);
PLATFORM_EXPORT bool CGRectEqualToRect(CGRect a, CGRect b);
PLATFORM_EXPORT bool CGPointEqualToPoint(CGPoint a, CGPoint b);
PLATFORM_EXPORT bool CGSizeEqualToSize(CGSize a, CGSize b);
PLATFORM_EXPORT void CGRectDivide(CGRect rect, CGRect* slice, CGRect* remainder, CGFloat amount, CGRectEdge edge);

PLATFORM_EXPORT CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty);
PLATFORM_EXPORT CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy);
PLATFORM_EXPORT CGAffineTransform CGAffineTransformMakeRotation(CGFloat angle);
PLATFORM_EXPORT CGAffineTransform CGAffineTransformTranslate(CGAffineTransform t, CGFloat tx, CGFloat ty);
PLATFORM_EXPORT CGAffineTransform CGAffineTransformScale(CGAffineTransform t, CGFloat sx, CGFloat sy);
PLATFORM_EXPORT CGAffineTransform CGAffineTransformRotate(CGAffineTransform t, CGFloat angle);
PLATFORM_EXPORT CGAffineTransform CGAffineTransformConcat(CGAffineTransform t1, CGAffineTransform t2);
PLATFORM_EXPORT CGAffineTransform CGAffineTransformInvert(CGAffineTransform t);
PLATFORM_EXPORT bool CGAffineTransformIsIdentity(CGAffineTransform t);
PLATFORM_EXPORT bool CGAffineTransformEqualToTransform(CGAffineTransform t1, CGAffineTransform t2);
PLATFORM_EXPORT CGPoint CGPointApplyAffineTransform(CGPoint point, CGAffineTransform t);
PLATFORM_EXPORT CGSize CGSizeApplyAffineTransform(CGSize size, CGAffineTransform t);
PLATFORM_EXPORT CGRect CGRectApplyAffineTransform(CGRect rect, CGAffineTransform t);
