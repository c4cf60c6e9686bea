// UIKit drawing: the current-context stack, colours setting themselves, and
// UIBezierPath's shapes and drawing.
#include "graphics/RasterContext.h"
#include "graphics/RecordingContext.h"
#include "uikit/UIBezierPath.h"
#include "uikit/UIColor.h"
#include "uikit/UIGraphics.h"

#include <gtest/gtest.h>

namespace {

using graphics::RasterContext;
using graphics::RecordingContext;
using graphics::RGBA;
using Kind = RecordingContext::Kind;

// Makes a context current for the life of the scope.
class CurrentContext {
public:
    explicit CurrentContext(CGContext* context) { UIGraphicsPushContext(context); }
    ~CurrentContext() { UIGraphicsPopContext(); }
};

TEST(GraphicsUIKit, ContextStackAndColoursSettingThemselves)
{
    EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);
    UIColor::redColor()->setFill(); // no context: nothing happens
    UIGraphicsPopContext();

    auto outer = RecordingContext::create({ 10, 10 });
    auto inner = RecordingContext::create({ 10, 10 });
    {
        CurrentContext first(outer.ptr());
        {
            CurrentContext second(inner.ptr());
            EXPECT_EQ(UIGraphicsGetCurrentContext(), inner.ptr());
            UIColor::redColor()->set();
            objc_msgSend(UIColor::blueColor(), "setStroke"_sel);
        }
        EXPECT_EQ(UIGraphicsGetCurrentContext(), outer.ptr());
        UIColor::grayColor()->setFill();
    }
    EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);

    EXPECT_EQ(inner->state().fillColor, (RGBA { 1, 0, 0, 1 }));
    EXPECT_EQ(inner->state().strokeColor, (RGBA { 0, 0, 1, 1 }));
    EXPECT_EQ(outer->state().fillColor, (RGBA { 0.5, 0.5, 0.5, 1 }));
    EXPECT_EQ(outer->state().strokeColor, (RGBA { 0, 0, 0, 1 }));
}

TEST(GraphicsUIKit, RoundedRectanglesHaveExactBoundsAndLimitedRadii)
{
    CGRect rect = CGRectMake(0, 0, 100, 50);
    auto rounded = UIBezierPath::bezierPathWithRoundedRect(rect, 10);
    CGRect bounds = rounded->bounds();
    EXPECT_NEAR(bounds.origin.x, 0, 1e-9);
    EXPECT_NEAR(bounds.origin.y, 0, 1e-9);
    EXPECT_NEAR(bounds.size.width, 100, 1e-9);
    EXPECT_NEAR(bounds.size.height, 50, 1e-9);
    EXPECT_EQ(CGPathGetCurrentPoint(rounded->CGPath()), CGPointMake(10, 0));
    EXPECT_FALSE(rounded->containsPoint({ 1, 1 }));
    EXPECT_TRUE(rounded->containsPoint({ 4, 25 }));
    EXPECT_TRUE(rounded->containsPoint({ 50, 0.5 }));

    // A radius beyond half the shorter side makes a capsule.
    auto capsule = UIBezierPath::bezierPathWithRoundedRect(rect, 40);
    EXPECT_FALSE(capsule->containsPoint({ 3, 10 }));
    EXPECT_TRUE(capsule->containsPoint({ 1, 25 }));
    EXPECT_TRUE(capsule->containsPoint({ 50, 1 }));

    // Only the bottom corners rounded; radii height is not used.
    auto bottom = UIBezierPath::bezierPathWithRoundedRect(rect, UIRectCorner(UIRectCornerBottomLeft | UIRectCornerBottomRight), CGSizeMake(8, 100));
    EXPECT_TRUE(bottom->containsPoint({ 0.5, 0.5 }));
    EXPECT_TRUE(bottom->containsPoint({ 99.5, 0.5 }));
    EXPECT_FALSE(bottom->containsPoint({ 0.5, 49.5 }));
    EXPECT_FALSE(bottom->containsPoint({ 99.5, 49.5 }));
    EXPECT_TRUE(bottom->containsPoint({ 0.5, 41 }));

    // Through the runtime, as drawing code sends it.
    AutoreleasePool pool;
    id sent = objc_msgSend<id>(objc_getClass("UIBezierPath"), "bezierPathWithRoundedRect:byRoundingCorners:cornerRadii:"_sel, rect,
        UIRectCornerAllCorners, CGSizeMake(10, 10));
    ASSERT_NE(sent, nullptr);
    EXPECT_TRUE(CGPathEqualToPath(static_cast<UIBezierPath*>(sent)->CGPath(), rounded->CGPath()));
}

TEST(GraphicsUIKit, PathsCopyTransformAndAppend)
{
    CGMutablePathRef source = CGPathCreateMutable();
    CGPathAddRect(source, nullptr, CGRectMake(0, 0, 10, 10));
    auto path = UIBezierPath::bezierPathWithCGPath(source);
    CGPathAddRect(source, nullptr, CGRectMake(50, 50, 10, 10)); // the copy does not follow
    CGPathRelease(source);
    EXPECT_EQ(path->bounds(), CGRectMake(0, 0, 10, 10));

    path->applyTransform(CGAffineTransformMakeTranslation(5, 5));
    path->appendPath(UIBezierPath::bezierPathWithOvalInRect(CGRectMake(-10, 0, 4, 4)).ptr());
    EXPECT_EQ(path->bounds(), CGRectMake(-10, 0, 25, 15));

    // bounds counts control points; the path box does not.
    auto curve = UIBezierPath::bezierPath();
    curve->moveToPoint({ 0, 0 });
    curve->addCurveToPoint({ 100, 0 }, { 0, 100 }, { 100, 100 });
    EXPECT_EQ(curve->bounds(), CGRectMake(0, 0, 100, 100));
    EXPECT_NEAR(CGPathGetPathBoundingBox(curve->CGPath()).size.height, 75, 1e-9);

    // UIKit's clockwise is on screen: from 0 to π/2 clockwise is a quarter.
    auto arc = UIBezierPath::bezierPathWithArcCenter({ 0, 0 }, 10, 0, M_PI / 2, YES);
    CGRect box = CGPathGetPathBoundingBox(arc->CGPath());
    EXPECT_NEAR(box.size.width, 10, 1e-9);
    EXPECT_NEAR(box.size.height, 10, 1e-9);
}

TEST(GraphicsUIKit, FillStrokeAndClipActOnTheCurrentContext)
{
    auto context = RecordingContext::create({ 100, 100 });
    CurrentContext current(context.ptr());
    auto path = UIBezierPath::bezierPathWithRect(CGRectMake(10, 10, 20, 20));
    EXPECT_EQ(path->lineWidth(), 1);

    UIColor::redColor()->setFill();
    path->fill();
    path->setLineWidth(0);
    path->stroke();
    EXPECT_EQ(context->state().lineWidth, 1); // restored after the stroke
    path->setUsesEvenOddFillRule(YES);
    path->addClip();

    ASSERT_EQ(context->operations().size(), 7u) << context->description();
    const auto& ops = context->operations();
    EXPECT_EQ(ops[0].kind, Kind::SaveGState);
    EXPECT_EQ(ops[1].kind, Kind::Fill);
    EXPECT_FALSE(ops[1].evenOdd);
    EXPECT_EQ(ops[1].color, (RGBA { 1, 0, 0, 1 }));
    EXPECT_TRUE(CGPathEqualToPath(ops[1].path.get(), path->CGPath()));
    EXPECT_EQ(ops[2].kind, Kind::RestoreGState);
    EXPECT_EQ(ops[4].kind, Kind::Stroke);
    EXPECT_EQ(ops[4].lineWidth, 0);
    EXPECT_EQ(ops[6].kind, Kind::Clip);
    EXPECT_TRUE(ops[6].evenOdd);
    EXPECT_EQ(CGContextGetClipBoundingBox(context.ptr()), CGRectMake(10, 10, 20, 20));
}

TEST(GraphicsUIKit, EvenOddFillingLeavesTheInnerShapeOpen)
{
    // A frame: a rectangle with a rounded rectangle appended, both clockwise.
    auto draw = [](BOOL evenOdd) {
        auto context = RasterContext::create({ 60, 60 }, 2);
        CurrentContext current(context.ptr());
        auto frame = UIBezierPath::bezierPathWithRect(CGRectMake(0, 0, 60, 60));
        frame->appendPath(UIBezierPath::bezierPathWithRoundedRect(CGRectMake(10, 10, 40, 40), 8).ptr());
        frame->setUsesEvenOddFillRule(evenOdd);
        UIColor::blueColor()->setFill();
        frame->fill();
        return context;
    };
    auto evenOdd = draw(YES);
    EXPECT_EQ(evenOdd->pixelAtPoint({ 5, 30 }), (RasterContext::Pixel { 0, 0, 255, 255 }));
    EXPECT_EQ(evenOdd->pixelAtPoint({ 30, 30 }).alpha, 0);
    EXPECT_EQ(evenOdd->pixelAtPoint({ 11, 11 }).alpha, 255); // outside the rounded corner
    EXPECT_EQ(evenOdd->pixelAtPoint({ 12, 30 }).alpha, 0);
    auto nonZero = draw(NO);
    EXPECT_EQ(nonZero->pixelAtPoint({ 30, 30 }).alpha, 255);
}

} // namespace
