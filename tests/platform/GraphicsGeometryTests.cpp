// Rectangle and affine-transform arithmetic at the edges where the platform's
// semantics are easy to get wrong.
#include "graphics/CGGeometry.h"
#include "support/Precision.h"

#include <gtest/gtest.h>

#include <numbers>

namespace {

void expectRect(CGRect rect, CGFloat x, CGFloat y, CGFloat width, CGFloat height)
{
    EXPECT_CGFLOAT_EQ(rect.origin.x, x);
    EXPECT_CGFLOAT_EQ(rect.origin.y, y);
    EXPECT_CGFLOAT_EQ(rect.size.width, width);
    EXPECT_CGFLOAT_EQ(rect.size.height, height);
}

TEST(GraphicsGeometry, CGFloatIsTheWidthOfTheBuild)
{
    EXPECT_EQ(sizeof(CGFloat), sizeof(void*));
    EXPECT_STREQ(TypeEncoding<CGFloat>::value, PLATFORM_LP64 ? "d" : "f");
    EXPECT_EQ((methodTypeEncoding<void, CGRect, CGAffineTransform>()),
        PLATFORM_LP64 ? "v@:{CGRect={CGPoint=dd}{CGSize=dd}}{CGAffineTransform=dddddd}"
                      : "v@:{CGRect={CGPoint=ff}{CGSize=ff}}{CGAffineTransform=ffffff}");
}

TEST(GraphicsGeometry, NullRectanglesComeFromInsettingTooFarAndPropagate)
{
    EXPECT_TRUE(CGRectIsNull(CGRectNull));
    EXPECT_TRUE(CGRectIsEmpty(CGRectNull));
    EXPECT_FALSE(CGRectIsNull(CGRectZero));
    EXPECT_TRUE(CGRectIsEmpty(CGRectZero));
    EXPECT_TRUE(CGRectIsNull(CGRectMake(INFINITY, 3, 10, 10)));

    // Insetting to exactly zero keeps a real (empty) rectangle; one step
    // further gives the null rectangle.
    CGRect flat = CGRectInset(CGRectMake(0, 0, 10, 20), 5, 0);
    expectRect(flat, 5, 0, 0, 20);
    EXPECT_FALSE(CGRectIsNull(flat));
    EXPECT_TRUE(CGRectIsEmpty(flat));
    EXPECT_TRUE(CGRectIsNull(CGRectInset(CGRectMake(0, 0, 10, 20), 5.5, 0)));
    EXPECT_TRUE(CGRectIsNull(CGRectInset(CGRectMake(0, 0, 10, 20), 0, 10.5)));
    expectRect(CGRectInset(CGRectMake(0, 0, 10, 20), -1, -2), -1, -2, 12, 24);

    EXPECT_TRUE(CGRectIsNull(CGRectInset(CGRectNull, -5, -5)));
    EXPECT_TRUE(CGRectIsNull(CGRectOffset(CGRectNull, 3, 4)));
    EXPECT_TRUE(CGRectIsNull(CGRectIntegral(CGRectNull)));
    EXPECT_TRUE(CGRectIsNull(CGRectIntersection(CGRectNull, CGRectMake(0, 0, 1, 1))));
    EXPECT_FALSE(CGRectContainsPoint(CGRectNull, CGPointZero));
}

TEST(GraphicsGeometry, NegativeSizesAreStandardisedFirst)
{
    CGRect flipped = CGRectMake(10, 20, -4, -6);
    expectRect(CGRectStandardize(flipped), 6, 14, 4, 6);
    EXPECT_CGFLOAT_EQ(CGRectGetMinX(flipped), 6);
    EXPECT_CGFLOAT_EQ(CGRectGetMidX(flipped), 8);
    EXPECT_CGFLOAT_EQ(CGRectGetMaxX(flipped), 10);
    EXPECT_CGFLOAT_EQ(CGRectGetMinY(flipped), 14);
    EXPECT_CGFLOAT_EQ(CGRectGetMidY(flipped), 17);
    EXPECT_CGFLOAT_EQ(CGRectGetMaxY(flipped), 20);
    EXPECT_CGFLOAT_EQ(CGRectGetWidth(flipped), 4);
    EXPECT_CGFLOAT_EQ(CGRectGetHeight(flipped), 6);

    expectRect(CGRectInset(flipped, 1, 1), 7, 15, 2, 4);
    expectRect(CGRectOffset(flipped, 1, 1), 7, 15, 4, 6);
    EXPECT_TRUE(CGRectEqualToRect(flipped, CGRectMake(6, 14, 4, 6)));
    EXPECT_TRUE(CGRectContainsPoint(flipped, CGPointMake(6, 14)));
    // Far edges are outside.
    EXPECT_FALSE(CGRectContainsPoint(flipped, CGPointMake(10, 15)));
}

TEST(GraphicsGeometry, IntegralRoundsOutwardSoTheResultContainsTheSource)
{
    expectRect(CGRectIntegral(CGRectMake(0.5, 0.5, 219, 99)), 0, 0, 220, 100);
    expectRect(CGRectIntegral(CGRectMake(-0.25, 1.75, 1, 0.5)), -1, 1, 2, 2);
    expectRect(CGRectIntegral(CGRectMake(3, 4, 5, 6)), 3, 4, 5, 6);
    expectRect(CGRectIntegral(CGRectMake(2.5, 2.5, -1, -1)), 1, 1, 2, 2);
}

TEST(GraphicsGeometry, UnionSkipsNullButNotEmptyRectanglesAndIntersectionsMayTouch)
{
    CGRect a = CGRectMake(0, 0, 10, 10);
    expectRect(CGRectUnion(CGRectNull, a), 0, 0, 10, 10);
    expectRect(CGRectUnion(a, CGRectNull), 0, 0, 10, 10);
    expectRect(CGRectUnion(CGRectNull, CGRectMake(5, 5, -2, -2)), 3, 3, 2, 2);
    EXPECT_TRUE(CGRectIsNull(CGRectUnion(CGRectNull, CGRectNull)));
    // An empty rectangle still has a position that the union covers.
    expectRect(CGRectUnion(a, CGRectMake(20, 30, 0, 0)), 0, 0, 20, 30);

    expectRect(CGRectIntersection(a, CGRectMake(5, -5, 10, 10)), 5, 0, 5, 5);
    EXPECT_TRUE(CGRectIsNull(CGRectIntersection(a, CGRectMake(11, 0, 5, 5))));
    CGRect edge = CGRectIntersection(a, CGRectMake(10, 0, 5, 5));
    EXPECT_FALSE(CGRectIsNull(edge));
    expectRect(edge, 10, 0, 0, 5);
    EXPECT_FALSE(CGRectIntersectsRect(a, CGRectMake(10, 0, 5, 5)));
}

TEST(GraphicsGeometry, TransformsComposeWithTheNewStepAppliedFirst)
{
    // Translate(t, ...) translates first, then applies t.
    CGAffineTransform scaleThenShift = CGAffineTransformTranslate(CGAffineTransformMakeScale(2, 3), 10, 1);
    CGPoint p = CGPointApplyAffineTransform(CGPointMake(1, 1), scaleThenShift);
    EXPECT_CGFLOAT_EQ(p.x, 22);
    EXPECT_CGFLOAT_EQ(p.y, 6);

    // Concat(t1, t2) applies t1 first.
    CGAffineTransform shiftThenScale = CGAffineTransformConcat(CGAffineTransformMakeTranslation(10, 1), CGAffineTransformMakeScale(2, 3));
    EXPECT_TRUE(CGAffineTransformEqualToTransform(shiftThenScale, scaleThenShift));
    p = CGPointApplyAffineTransform(CGPointMake(1, 1), CGAffineTransformConcat(CGAffineTransformMakeScale(2, 3), CGAffineTransformMakeTranslation(10, 1)));
    EXPECT_CGFLOAT_EQ(p.x, 12);
    EXPECT_CGFLOAT_EQ(p.y, 4);

    // Rotate(t, a) rotates first: a quarter turn, then the shift.
    CGAffineTransform turned = CGAffineTransformRotate(CGAffineTransformMakeTranslation(5, 0), std::numbers::pi / 2);
    p = CGPointApplyAffineTransform(CGPointMake(1, 0), turned);
    EXPECT_CGFLOAT_NEAR(p.x, 5, 1e-12);
    EXPECT_CGFLOAT_NEAR(p.y, 1, 1e-12);

    CGAffineTransform inverse = CGAffineTransformInvert(scaleThenShift);
    p = CGPointApplyAffineTransform(CGPointMake(22, 6), inverse);
    EXPECT_CGFLOAT_NEAR(p.x, 1, 1e-12);
    EXPECT_CGFLOAT_NEAR(p.y, 1, 1e-12);
    // A singular transform comes back unchanged.
    CGAffineTransform singular = CGAffineTransformMakeScale(0, 2);
    EXPECT_TRUE(CGAffineTransformEqualToTransform(CGAffineTransformInvert(singular), singular));

    // Sizes ignore translation; rectangles map to the bounding box.
    CGSize s = CGSizeApplyAffineTransform(CGSizeMake(1, 1), scaleThenShift);
    EXPECT_CGFLOAT_EQ(s.width, 2);
    EXPECT_CGFLOAT_EQ(s.height, 3);
    CGRect box = CGRectApplyAffineTransform(CGRectMake(0, 0, 2, 1), CGAffineTransformMakeRotation(std::numbers::pi / 2));
    EXPECT_CGFLOAT_NEAR(box.origin.x, -1, 1e-12);
    EXPECT_CGFLOAT_NEAR(box.origin.y, 0, 1e-12);
    EXPECT_CGFLOAT_NEAR(box.size.width, 1, 1e-12);
    EXPECT_CGFLOAT_NEAR(box.size.height, 2, 1e-12);
}

} // namespace
