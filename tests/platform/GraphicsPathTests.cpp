// Paths: tangent arcs, arcs and their bounding boxes, containment and the
// element sequence that CGPathApply reports.
#include "graphics/CGPath.h"
#include "support/Precision.h"

#include <gtest/gtest.h>

#include <memory>
#include <numbers>
#include <vector>

namespace {

constexpr double kPi = std::numbers::pi;
// The control-point distance of a cubic quarter circle of radius 1.
const double kKappa = 4.0 / 3.0 * std::tan(kPi / 8);

struct Element {
    CGPathElementType type;
    std::vector<CGPoint> points;
};

std::vector<Element> elementsOf(CGPathRef path)
{
    std::vector<Element> elements;
    CGPathApply(path, &elements, [](void* info, const CGPathElement* element) {
        auto& list = *static_cast<std::vector<Element>*>(info);
        list.push_back({ element->type, { element->points, element->points + CGPath::pointCount(element->type) } });
    });
    return elements;
}

void expectPoint(CGPoint point, CGFloat x, CGFloat y, double tolerance = 1e-12)
{
    EXPECT_CGFLOAT_NEAR(point.x, x, tolerance);
    EXPECT_CGFLOAT_NEAR(point.y, y, tolerance);
}

void expectRect(CGRect rect, CGFloat x, CGFloat y, CGFloat width, CGFloat height, double tolerance = 1e-9)
{
    EXPECT_CGFLOAT_NEAR(rect.origin.x, x, tolerance);
    EXPECT_CGFLOAT_NEAR(rect.origin.y, y, tolerance);
    EXPECT_CGFLOAT_NEAR(rect.size.width, width, tolerance);
    EXPECT_CGFLOAT_NEAR(rect.size.height, height, tolerance);
}

struct PathDeleter {
    void operator()(CGPath* path) const { CGPathRelease(path); }
};
using PathHolder = std::unique_ptr<CGPath, PathDeleter>;

TEST(GraphicsPath, ArcToPointRoundsACornerWithALineToTheTangentPoint)
{
    PathHolder path(CGPathCreateMutable());
    CGPathMoveToPoint(path.get(), nullptr, 50, 0);
    CGPathAddArcToPoint(path.get(), nullptr, 100, 0, 100, 100, 10);

    auto elements = elementsOf(path.get());
    ASSERT_EQ(elements.size(), 3u);
    EXPECT_EQ(elements[1].type, kCGPathElementAddLineToPoint);
    EXPECT_EQ(elements[1].points[0], CGPointMake(90, 0));
    ASSERT_EQ(elements[2].type, kCGPathElementAddCurveToPoint);
    expectPoint(elements[2].points[0], 90 + 10 * kKappa, 0);
    expectPoint(elements[2].points[1], 100, 10 - 10 * kKappa);
    EXPECT_EQ(elements[2].points[2], CGPointMake(100, 10));
    EXPECT_EQ(CGPathGetCurrentPoint(path.get()), CGPointMake(100, 10));
    expectRect(CGPathGetPathBoundingBox(path.get()), 50, 0, 50, 10, 0);

    // Turning the other way (towards -y) rounds the same corner the other
    // way round.
    PathHolder other(CGPathCreateMutable());
    CGPathMoveToPoint(other.get(), nullptr, 50, 0);
    CGPathAddArcToPoint(other.get(), nullptr, 100, 0, 100, -100, 10);
    EXPECT_EQ(CGPathGetCurrentPoint(other.get()), CGPointMake(100, -10));
    expectRect(CGPathGetPathBoundingBox(other.get()), 50, -10, 50, 10, 0);
}

TEST(GraphicsPath, ArcToPointAtAnObtuseCornerStaysOnItsCircle)
{
    // From (-10, 0) through the corner (0, 0) towards (10, 10): a 45° turn.
    PathHolder path(CGPathCreateMutable());
    CGPathMoveToPoint(path.get(), nullptr, -10, 0);
    CGPathAddArcToPoint(path.get(), nullptr, 0, 0, 10, 10, 1);
    auto elements = elementsOf(path.get());
    ASSERT_EQ(elements.size(), 3u);
    double tangent = std::tan(kPi / 8); // r / tan(135° / 2)
    expectPoint(elements[1].points[0], -tangent, 0);
    expectPoint(elements[2].points[2], tangent / std::sqrt(2.0), tangent / std::sqrt(2.0));

    // Sample the curve: every point lies (nearly) on the circle of radius 1
    // about (-tan(π/8), 1), inside the corner.
    CGPoint p0 = elements[1].points[0];
    const auto& c = elements[2].points;
    for (double t = 0; t <= 1; t += 0.125) {
        double mt = 1 - t;
        double x = mt * mt * mt * p0.x + 3 * mt * mt * t * c[0].x + 3 * mt * t * t * c[1].x + t * t * t * c[2].x;
        double y = mt * mt * mt * p0.y + 3 * mt * mt * t * c[0].y + 3 * mt * t * t * c[1].y + t * t * t * c[2].y;
        EXPECT_CGFLOAT_NEAR(std::hypot(x + tangent, y - 1), 1, 1e-4) << "t = " << t;
    }
}

TEST(GraphicsPath, ArcToPointFallsBackToALineForZeroRadiusOrCollinearPoints)
{
    auto lineOnly = [](CGFloat x1, CGFloat y1, CGFloat x2, CGFloat y2, CGFloat radius) {
        PathHolder path(CGPathCreateMutable());
        CGPathMoveToPoint(path.get(), nullptr, 0, 0);
        CGPathAddArcToPoint(path.get(), nullptr, x1, y1, x2, y2, radius);
        auto elements = elementsOf(path.get());
        return elements.size() == 2 && elements[1].type == kCGPathElementAddLineToPoint && elements[1].points[0] == CGPointMake(x1, y1);
    };
    EXPECT_TRUE(lineOnly(10, 0, 10, 10, 0));
    EXPECT_TRUE(lineOnly(10, 0, 20, 0, 5)); // straight on
    EXPECT_TRUE(lineOnly(10, 0, 5, 0, 5));  // back along the same line
    EXPECT_TRUE(lineOnly(10, 0, 10, 0, 5)); // toward the corner itself
    EXPECT_FALSE(lineOnly(10, 0, 10, 10, 5));

    // Without a current point there is nothing to draw from.
    PathHolder empty(CGPathCreateMutable());
    CGPathAddArcToPoint(empty.get(), nullptr, 10, 0, 10, 10, 5);
    CGPathAddLineToPoint(empty.get(), nullptr, 10, 0);
    EXPECT_TRUE(CGPathIsEmpty(empty.get()));
    EXPECT_TRUE(CGRectIsNull(CGPathGetPathBoundingBox(empty.get())));
    EXPECT_TRUE(CGRectIsNull(CGPathGetBoundingBox(empty.get())));
}

TEST(GraphicsPath, BoundingBoxesWithAndWithoutControlPoints)
{
    PathHolder curve(CGPathCreateMutable());
    CGPathMoveToPoint(curve.get(), nullptr, 0, 0);
    CGPathAddCurveToPoint(curve.get(), nullptr, 0, 100, 100, 100, 100, 0);
    expectRect(CGPathGetPathBoundingBox(curve.get()), 0, 0, 100, 75);
    expectRect(CGPathGetBoundingBox(curve.get()), 0, 0, 100, 100);

    PathHolder quad(CGPathCreateMutable());
    CGPathMoveToPoint(quad.get(), nullptr, 0, 0);
    CGPathAddQuadCurveToPoint(quad.get(), nullptr, 50, -40, 100, 0);
    expectRect(CGPathGetPathBoundingBox(quad.get()), 0, -20, 100, 20);
    expectRect(CGPathGetBoundingBox(quad.get()), 0, -40, 100, 40);

    // A full circle: four quarter curves, extent exactly the circle's.
    PathHolder circle(CGPathCreateMutable());
    CGPathAddArc(circle.get(), nullptr, 50, 50, 20, 0, 2 * kPi, false);
    EXPECT_EQ(elementsOf(circle.get()).size(), 5u);
    expectRect(CGPathGetPathBoundingBox(circle.get()), 30, 30, 40, 40);
    // An arc across the top of its circle reaches exactly the top point.
    PathHolder arc(CGPathCreateMutable());
    CGPathAddArc(arc.get(), nullptr, 0, 0, 10, kPi / 4, 3 * kPi / 4, false);
    CGRect box = CGPathGetPathBoundingBox(arc.get());
    EXPECT_CGFLOAT_NEAR(CGRectGetMaxY(box), 10, 1e-9);
    EXPECT_CGFLOAT_NEAR(CGRectGetMinX(box), -10 / std::sqrt(2.0), 1e-9);
    // Clockwise from 0 to π/2 is the long way round: three quadrants.
    PathHolder longWay(CGPathCreateMutable());
    CGPathAddArc(longWay.get(), nullptr, 0, 0, 10, 0, kPi / 2, true);
    expectRect(CGPathGetPathBoundingBox(longWay.get()), -10, -10, 20, 20);
    expectPoint(CGPathGetCurrentPoint(longWay.get()), 0, 10);
}

TEST(GraphicsPath, ContainmentFollowsTheFillRule)
{
    // Two squares, one inside the other, both drawn the same way round.
    PathHolder ring(CGPathCreateMutable());
    CGPathAddRect(ring.get(), nullptr, CGRectMake(0, 0, 100, 100));
    CGPathAddRect(ring.get(), nullptr, CGRectMake(25, 25, 50, 50));
    EXPECT_TRUE(CGPathContainsPoint(ring.get(), nullptr, CGPointMake(50, 50), false));
    EXPECT_FALSE(CGPathContainsPoint(ring.get(), nullptr, CGPointMake(50, 50), true));
    EXPECT_TRUE(CGPathContainsPoint(ring.get(), nullptr, CGPointMake(10, 50), true));
    EXPECT_FALSE(CGPathContainsPoint(ring.get(), nullptr, CGPointMake(150, 50), false));

    // The inner square reversed makes a hole under either rule.
    PathHolder hole(CGPathCreateMutable());
    CGPathAddRect(hole.get(), nullptr, CGRectMake(0, 0, 100, 100));
    CGPathMoveToPoint(hole.get(), nullptr, 25, 25);
    CGPathAddLineToPoint(hole.get(), nullptr, 25, 75);
    CGPathAddLineToPoint(hole.get(), nullptr, 75, 75);
    CGPathAddLineToPoint(hole.get(), nullptr, 75, 25); // left open: closed implicitly
    EXPECT_FALSE(CGPathContainsPoint(hole.get(), nullptr, CGPointMake(50, 50), false));

    // Curves count with their real outline, not their control polygon.
    PathHolder circle(CGPathCreateMutable());
    CGPathAddEllipseInRect(circle.get(), nullptr, CGRectMake(0, 0, 100, 100));
    EXPECT_TRUE(CGPathContainsPoint(circle.get(), nullptr, CGPointMake(50, 1), false));
    EXPECT_FALSE(CGPathContainsPoint(circle.get(), nullptr, CGPointMake(5, 5), false));
    // The transform moves the point before the test.
    CGAffineTransform shift = CGAffineTransformMakeTranslation(200, 0);
    EXPECT_TRUE(CGPathContainsPoint(circle.get(), &shift, CGPointMake(-150, 50), false));
}

TEST(GraphicsPath, ClosingAppendingAndTransformingCopies)
{
    PathHolder path(CGPathCreateMutable());
    CGPathMoveToPoint(path.get(), nullptr, 1, 1);
    CGPathAddLineToPoint(path.get(), nullptr, 5, 1);
    CGPathCloseSubpath(path.get());
    CGPathCloseSubpath(path.get()); // a second close adds nothing
    EXPECT_EQ(CGPathGetCurrentPoint(path.get()), CGPointMake(1, 1));
    // A segment after a close starts a new subpath at the closed one's start.
    CGPathAddLineToPoint(path.get(), nullptr, 1, 9);
    auto elements = elementsOf(path.get());
    ASSERT_EQ(elements.size(), 5u);
    EXPECT_EQ(elements[2].type, kCGPathElementCloseSubpath);
    EXPECT_EQ(elements[3].type, kCGPathElementMoveToPoint);
    EXPECT_EQ(elements[3].points[0], CGPointMake(1, 1));

    CGAffineTransform shift = CGAffineTransformMakeTranslation(10, 20);
    PathHolder combined(CGPathCreateMutable());
    CGPathAddRect(combined.get(), nullptr, CGRectMake(0, 0, 1, 1));
    CGPathAddPath(combined.get(), &shift, path.get());
    expectRect(CGPathGetPathBoundingBox(combined.get()), 0, 0, 15, 29);
    EXPECT_EQ(CGPathGetCurrentPoint(combined.get()), CGPointMake(11, 29));

    CGAffineTransform scale = CGAffineTransformMakeScale(2, 2);
    CGPathRef scaled = CGPathCreateCopyByTransformingPath(path.get(), &scale);
    expectRect(CGPathGetBoundingBox(scaled), 2, 2, 8, 16);
    expectRect(CGPathGetBoundingBox(path.get()), 1, 1, 4, 8); // the source is untouched
    CGPathRef copy = CGPathCreateCopy(path.get());
    EXPECT_TRUE(CGPathEqualToPath(copy, path.get()));
    EXPECT_FALSE(CGPathEqualToPath(copy, scaled));
    CGPathRelease(copy);
    CGPathRelease(scaled);

    // A transformed arc is built in the caller's space, then mapped.
    PathHolder arc(CGPathCreateMutable());
    CGPathMoveToPoint(arc.get(), &shift, 0, 0);
    CGPathAddArcToPoint(arc.get(), &shift, 10, 0, 10, 10, 5);
    EXPECT_EQ(CGPathGetCurrentPoint(arc.get()), CGPointMake(20, 25));
}

} // namespace
