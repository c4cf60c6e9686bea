// Drawing contexts: the graphics state stack, the recording of a drawing,
// and pixels painted by the raster context (fills, shadows, clips,
// transparency layers, gradients).
#include "foundation/NSCollections.h"
#include "graphics/RasterContext.h"
#include "graphics/RecordingContext.h"
#include "support/Precision.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using graphics::RasterContext;
using graphics::RecordingContext;
using graphics::RGBA;
using Kind = RecordingContext::Kind;

Ref<CGColor> rgb(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha = 1)
{
    auto space = adoptRef(*CGColorSpaceCreateDeviceRGB());
    CGFloat components[] = { red, green, blue, alpha };
    return adoptRef(*CGColorCreate(space.ptr(), components));
}

std::vector<Kind> kindsOf(const RecordingContext& context)
{
    std::vector<Kind> kinds;
    for (const auto& operation : context.operations())
        kinds.push_back(operation.kind);
    return kinds;
}

TEST(GraphicsContext, SaveAndRestoreBringBackClipColoursAndLineWidth)
{
    auto context = RecordingContext::create({ 100, 80 });
    CGContextRef c = context.ptr();
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextSetLineWidth(c, 3);

    CGContextSaveGState(c);
    CGContextClipToRect(c, CGRectMake(10, 10, 50, 50));
    CGContextSetFillColorWithColor(c, rgb(0, 0, 1).ptr());
    CGContextSetLineWidth(c, 0);
    CGContextSetStrokeColorWithColor(c, nullptr); // no colour: unchanged
    EXPECT_EQ(CGContextGetClipBoundingBox(c), CGRectMake(10, 10, 50, 50));
    CGContextFillRect(c, CGRectMake(0, 0, 100, 80));
    CGContextStrokeRect(c, CGRectMake(0, 0, 5, 5));
    CGContextRestoreGState(c);
    CGContextRestoreGState(c); // unbalanced: ignored

    EXPECT_EQ(CGContextGetClipBoundingBox(c), CGRectMake(0, 0, 100, 80));
    CGContextFillRect(c, CGRectMake(0, 0, 100, 80));

    ASSERT_EQ(kindsOf(*context), (std::vector<Kind> { Kind::SaveGState, Kind::Clip, Kind::Fill, Kind::Stroke, Kind::RestoreGState, Kind::Fill }))
        << context->description();
    const auto& ops = context->operations();
    EXPECT_EQ(ops[2].color, (RGBA { 0, 0, 1, 1 }));
    EXPECT_EQ(ops[2].clipCount, 1u);
    EXPECT_EQ(ops[2].clipBox, CGRectMake(10, 10, 50, 50));
    EXPECT_EQ(ops[3].color, (RGBA { 0, 0, 0, 1 })); // the default stroke colour
    EXPECT_EQ(ops[3].lineWidth, 0);
    EXPECT_EQ(ops[5].color, (RGBA { 1, 0, 0, 1 }));
    EXPECT_EQ(ops[5].clipCount, 0u);
    EXPECT_EQ(ops[5].lineWidth, 3);
}

TEST(GraphicsContext, PathsAreRecordedInUserSpaceWithTheirTransform)
{
    auto context = RecordingContext::create({ 100, 100 });
    CGContextRef c = context.ptr();
    CGContextTranslateCTM(c, 10, 20);
    CGContextScaleCTM(c, 2, 2);
    EXPECT_EQ(CGContextGetCTM(c), CGAffineTransformMake(2, 0, 0, 2, 10, 20));
    EXPECT_EQ(CGContextGetClipBoundingBox(c), CGRectMake(-5, -10, 50, 50));

    CGContextAddRect(c, CGRectMake(1, 1, 4, 4));
    CGContextEOFillPath(c);
    EXPECT_TRUE(CGContextIsPathEmpty(c)); // painting consumes the path

    // A path built before the CTM changes stays where it was on the device.
    CGContextMoveToPoint(c, 0, 0);
    CGContextAddLineToPoint(c, 10, 0);
    CGContextTranslateCTM(c, 5, 0);
    CGContextAddLineToPoint(c, 5, 5);
    CGContextStrokePath(c);

    const auto& ops = context->operations();
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_TRUE(ops[0].evenOdd);
    EXPECT_EQ(ops[0].ctm, CGAffineTransformMake(2, 0, 0, 2, 10, 20));
    EXPECT_EQ(ops[0].path->pathBoundingBox(), CGRectMake(1, 1, 4, 4));
    EXPECT_EQ(ops[1].ctm, CGAffineTransformMake(2, 0, 0, 2, 20, 20));
    EXPECT_EQ(ops[1].path->pathBoundingBox(), CGRectMake(-5, 0, 10, 5));
}

TEST(GraphicsContext, ATransparencyLayerCastsTheShadowSetBeforeItOnce)
{
    auto context = RecordingContext::create({ 100, 100 });
    CGContextRef c = context.ptr();
    auto shadowColor = rgb(0, 0, 0, 0.5);
    auto space = adoptRef(*CGColorSpaceCreateDeviceRGB());
    auto colors = NSArray::arrayWithObjects({ rgb(1, 1, 1).ptr(), rgb(0, 0, 0).ptr() });
    CGFloat locations[] = { 0, 1 };
    CGGradientRef gradient = CGGradientCreateWithColors(space.ptr(), colors.ptr(), locations);

    CGContextSaveGState(c);
    CGContextSetShadowWithColor(c, CGSizeMake(0, 3), 4, shadowColor.ptr());
    CGContextSetAlpha(c, 0.5);
    CGContextBeginTransparencyLayer(c, nullptr);
    EXPECT_FALSE(context->state().shadow.color.has_value());
    EXPECT_EQ(context->state().alpha, 1);
    CGContextSaveGState(c); // left open: the layer's end closes it
    CGContextAddEllipseInRect(c, CGRectMake(10, 10, 50, 30));
    CGContextClip(c);
    CGContextDrawLinearGradient(c, gradient, CGPointMake(35, 10), CGPointMake(35, 40), 0);
    CGContextEndTransparencyLayer(c);
    EXPECT_EQ(context->state().clipCount(), 0u);
    EXPECT_EQ(context->state().alpha, 0.5);
    CGContextRestoreGState(c);
    EXPECT_FALSE(context->state().shadow.color.has_value());
    CGGradientRelease(gradient);

    ASSERT_EQ(kindsOf(*context), (std::vector<Kind> { Kind::SaveGState, Kind::BeginTransparencyLayer, Kind::SaveGState, Kind::Clip, Kind::LinearGradient, Kind::EndTransparencyLayer, Kind::RestoreGState }))
        << context->description();
    const auto& ops = context->operations();
    CGContext::Shadow expected { CGSizeMake(0, 3), 4, RGBA { 0, 0, 0, 0.5 } };
    EXPECT_EQ(ops[1].shadow, expected);
    EXPECT_EQ(ops[5].shadow, expected);
    EXPECT_EQ(ops[5].alpha, 0.5);
    EXPECT_EQ(ops[5].layerDepth, 0u);
    // Inside the layer: no shadow, full alpha, clipped by the ellipse.
    EXPECT_FALSE(ops[4].shadow.color.has_value());
    EXPECT_EQ(ops[4].alpha, 1);
    EXPECT_EQ(ops[4].layerDepth, 1u);
    EXPECT_EQ(ops[4].clipCount, 1u);
    EXPECT_FALSE(ops[3].evenOdd);
    EXPECT_EQ(ops[4].gradient->stops().size(), 2u);
    EXPECT_EQ(ops[4].start, CGPointMake(35, 10));
    EXPECT_EQ(ops[4].options, 0u);
}

TEST(GraphicsContext, ShadowColoursAndGradientColourLists)
{
    auto context = RecordingContext::create({ 10, 10 });
    CGContextSetShadow(context.ptr(), CGSizeMake(1, 2), 3);
    ASSERT_TRUE(context->state().shadow.color.has_value());
    EXPECT_CGFLOAT_NEAR(context->state().shadow.color->alpha, 1.0 / 3, 1e-12);
    CGContextSetShadowWithColor(context.ptr(), CGSizeMake(1, 2), 3, nullptr);
    EXPECT_FALSE(context->state().shadow.isVisible());

    // A colour list ends at its first missing colour.
    auto space = adoptRef(*CGColorSpaceCreateDeviceRGB());
    auto gray = adoptRef(*CGColorSpaceCreateDeviceGray());
    CGFloat white[] = { 1, 1 };
    auto whiteColor = adoptRef(*CGColorCreate(gray.ptr(), white));
    auto colors = NSArray::arrayWithObjects({ rgb(1, 0, 0).ptr(), whiteColor.ptr(), nullptr, rgb(0, 0, 1).ptr() });
    CGGradientRef gradient = CGGradientCreateWithColors(space.ptr(), colors.ptr(), nullptr);
    ASSERT_NE(gradient, nullptr);
    ASSERT_EQ(gradient->stops().size(), 2u);
    EXPECT_EQ(gradient->stops()[1], (CGGradient::Stop { 1, RGBA { 1, 1, 1, 1 } }));
    EXPECT_EQ(gradient->colorAt(0.5), (RGBA { 1, 0.5, 0.5, 1 }));
    CGGradientRelease(gradient);
    EXPECT_EQ(CGGradientCreateWithColors(space.ptr(), NSArray::arrayWithObjects({ nullptr }).ptr(), nullptr), nullptr);

    CGFloat components[] = { 0, 0, 0, 1, 1, 1, 1, 0 };
    CGFloat locations[] = { 1, 0 }; // out of order: sorted
    gradient = CGGradientCreateWithColorComponents(space.ptr(), components, locations, 2);
    EXPECT_EQ(gradient->colorAt(0), (RGBA { 1, 1, 1, 0 }));
    CGGradientRelease(gradient);
}

// Pixels.

TEST(GraphicsRaster, AFilledRectangleCastsABlurredShadowDownwards)
{
    auto context = RasterContext::create({ 40, 30 }, 2);
    ASSERT_EQ(context->pixelWidth(), 80);
    CGContextRef c = context.ptr();
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextSetShadowWithColor(c, CGSizeMake(0, 6), 2, rgb(0, 0, 1).ptr());
    CGContextFillRect(c, CGRectMake(10, 5, 20, 10));

    EXPECT_EQ(context->pixelAtPoint({ 20, 10 }), (RasterContext::Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(context->pixelAtPoint({ 2, 2 }).alpha, 0);
    EXPECT_EQ(context->pixelAtPoint({ 20, 1 }).alpha, 0); // nothing above: positive height is down
    auto shadow = context->pixelAtPoint({ 20, 18 });
    EXPECT_EQ(shadow.blue, 255);
    EXPECT_EQ(shadow.red, 0);
    EXPECT_GT(shadow.alpha, 240);
    // The shadow's lower edge (y = 21) is soft: about half covered there,
    // fading out over a few points.
    auto edge = context->pixelAt(40, 42);
    EXPECT_GT(edge.alpha, 90);
    EXPECT_LT(edge.alpha, 165);
    EXPECT_LT(context->pixelAtPoint({ 20, 24 }).alpha, 20);

    testing_support::TemporaryDeviceRoot folder;
    auto file = folder.path() / "shadow.png";
    ASSERT_TRUE(context->writePNG(file.string()));
    std::ifstream png(file, std::ios::binary);
    char signature[8] = {};
    png.read(signature, 8);
    EXPECT_EQ(std::string(signature + 1, 3), "PNG");
}

TEST(GraphicsRaster, AShapeOutsideTheClipCastsItsShadowIntoIt)
{
    // The inner-shadow technique: clip to an area, fill outside it, and let
    // the shadow fall in.
    auto context = RasterContext::create({ 40, 20 });
    CGContextRef c = context.ptr();
    CGContextClipToRect(c, CGRectMake(0, 0, 20, 20));
    CGContextSetShadowWithColor(c, CGSizeMake(40, 0), 0, rgb(0, 1, 0).ptr());
    CGContextFillRect(c, CGRectMake(-40, 0, 10, 20));
    EXPECT_EQ(context->pixelAtPoint({ 5, 10 }), (RasterContext::Pixel { 0, 255, 0, 255 }));
    EXPECT_EQ(context->pixelAtPoint({ 15, 10 }).alpha, 0); // beyond the shadow
    EXPECT_EQ(context->pixelAtPoint({ 25, 10 }).alpha, 0); // outside the clip
}

TEST(GraphicsRaster, EvenOddClipsAndLayersThatShadowAsOne)
{
    auto ring = RasterContext::create({ 40, 40 });
    CGContextAddRect(ring.ptr(), CGRectMake(0, 0, 40, 40));
    CGContextAddRect(ring.ptr(), CGRectMake(10, 10, 20, 20));
    CGContextEOClip(ring.ptr());
    CGContextFillRect(ring.ptr(), CGRectMake(0, 0, 40, 40));
    EXPECT_EQ(ring->pixelAtPoint({ 5, 20 }).alpha, 255);
    EXPECT_EQ(ring->pixelAtPoint({ 20, 20 }).alpha, 0);

    // Two overlapping squares with a half-transparent shadow: drawn one by
    // one their shadows add up where they overlap; in a layer they cast one.
    auto draw = [](bool layer) {
        auto context = RasterContext::create({ 40, 50 });
        CGContextRef c = context.ptr();
        CGContextSetShadowWithColor(c, CGSizeMake(0, 25), 0, rgb(0, 0, 0, 0.5).ptr());
        if (layer)
            CGContextBeginTransparencyLayer(c, nullptr);
        CGContextFillRect(c, CGRectMake(0, 0, 20, 20));
        CGContextFillRect(c, CGRectMake(10, 0, 20, 20));
        if (layer)
            CGContextEndTransparencyLayer(c);
        return context->pixelAtPoint({ 15, 35 }).alpha;
    };
    EXPECT_CGFLOAT_NEAR(draw(false), 191, 2);
    EXPECT_CGFLOAT_NEAR(draw(true), 128, 2);
}

TEST(GraphicsRaster, LinearGradientsExtendOnlyAsAsked)
{
    auto space = adoptRef(*CGColorSpaceCreateDeviceRGB());
    auto colors = NSArray::arrayWithObjects({ rgb(1, 0, 0).ptr(), rgb(0, 0, 1).ptr() });
    CGGradientRef gradient = CGGradientCreateWithColors(space.ptr(), colors.ptr(), nullptr);
    auto draw = [&](CGGradientDrawingOptions options) {
        auto context = RasterContext::create({ 10, 100 });
        CGContextDrawLinearGradient(context.ptr(), gradient, CGPointMake(0, 20), CGPointMake(0, 80), options);
        return context;
    };
    auto plain = draw(0);
    EXPECT_EQ(plain->pixelAtPoint({ 5, 10 }).alpha, 0);
    EXPECT_EQ(plain->pixelAtPoint({ 5, 90 }).alpha, 0);
    auto middle = plain->pixelAtPoint({ 5, 50 });
    EXPECT_CGFLOAT_NEAR(middle.red, 128, 3);
    EXPECT_CGFLOAT_NEAR(middle.blue, 128, 3);
    EXPECT_GT(plain->pixelAtPoint({ 5, 21 }).red, 240);

    auto before = draw(kCGGradientDrawsBeforeStartLocation);
    EXPECT_EQ(before->pixelAtPoint({ 5, 10 }), (RasterContext::Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(before->pixelAtPoint({ 5, 90 }).alpha, 0);
    auto both = draw(kCGGradientDrawsBeforeStartLocation | kCGGradientDrawsAfterEndLocation);
    EXPECT_EQ(both->pixelAtPoint({ 5, 90 }), (RasterContext::Pixel { 0, 0, 255, 255 }));
    CGGradientRelease(gradient);
}

TEST(GraphicsRaster, RadialGradientsRunFromCircleToCircleAndExtendOnlyAsAsked)
{
    auto space = adoptRef(*CGColorSpaceCreateDeviceRGB());
    auto colors = NSArray::arrayWithObjects({ rgb(1, 0, 0).ptr(), rgb(0, 0, 1).ptr() });
    CGGradientRef gradient = CGGradientCreateWithColors(space.ptr(), colors.ptr(), nullptr);
    auto draw = [&](CGPoint startCenter, CGFloat startRadius, CGPoint endCenter, CGFloat endRadius, CGGradientDrawingOptions options) {
        auto context = RasterContext::create({ 100, 100 }, 2);
        CGContextDrawRadialGradient(context.ptr(), gradient, startCenter, startRadius, endCenter, endRadius, options);
        return context;
    };
    // About one centre, from a circle of 10 to one of 30.
    auto ring = draw({ 50, 50 }, 10, { 50, 50 }, 30, 0);
    EXPECT_EQ(ring->pixelAtPoint({ 50, 55 }).alpha, 0); // inside the start circle
    EXPECT_EQ(ring->pixelAtPoint({ 50, 85 }).alpha, 0); // beyond the end circle
    // Pixels are taken at their centres: (69.75, 50.25) is 19.75 from the
    // centre, so t = 0.4876.
    auto middle = ring->pixelAtPoint({ 69.75, 50.25 });
    EXPECT_CGFLOAT_NEAR(middle.red, 131, 2);
    EXPECT_CGFLOAT_NEAR(middle.blue, 124, 2);
    EXPECT_EQ(middle.alpha, 255);
    EXPECT_GT(ring->pixelAtPoint({ 50, 60.25 }).red, 240);
    EXPECT_GT(ring->pixelAtPoint({ 50, 79.5 }).blue, 240);
    auto extended = draw({ 50, 50 }, 10, { 50, 50 }, 30, kCGGradientDrawsBeforeStartLocation | kCGGradientDrawsAfterEndLocation);
    EXPECT_EQ(extended->pixelAtPoint({ 50, 55 }), (RasterContext::Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(extended->pixelAtPoint({ 2, 2 }), (RasterContext::Pixel { 0, 0, 255, 255 }));
    auto afterOnly = draw({ 50, 50 }, 10, { 50, 50 }, 30, kCGGradientDrawsAfterEndLocation);
    EXPECT_EQ(afterOnly->pixelAtPoint({ 50, 55 }).alpha, 0);
    EXPECT_EQ(afterOnly->pixelAtPoint({ 2, 2 }), (RasterContext::Pixel { 0, 0, 255, 255 }));

    // From a point to a circle around it: a cone of circles, all passing
    // through the start at 0 and growing towards the end circle.
    auto cone = draw({ 30, 50 }, 0, { 50, 50 }, 40, 0);
    EXPECT_GT(cone->pixelAtPoint({ 29.9, 50 }).red, 240);
    EXPECT_CGFLOAT_NEAR(cone->pixelAtPoint({ 60.25, 50.25 }).red, 126, 2); // near the circle about (40, 50) of radius 20: t = 0.504
    EXPECT_GT(cone->pixelAtPoint({ 89.9, 50 }).blue, 240);
    EXPECT_EQ(cone->pixelAtPoint({ 95, 50 }).alpha, 0);
    // Degenerate: two equal circles about one centre draw nothing.
    EXPECT_EQ(draw({ 50, 50 }, 20, { 50, 50 }, 20, 0)->pixelAtPoint({ 50, 60 }).alpha, 0);

    auto recording = RecordingContext::create({ 100, 100 });
    CGContextDrawRadialGradient(recording.ptr(), gradient, CGPointMake(1, 2), 3, CGPointMake(4, 5), -6, kCGGradientDrawsAfterEndLocation);
    ASSERT_EQ(recording->operations().size(), 1u);
    const auto& operation = recording->operations()[0];
    EXPECT_EQ(operation.kind, Kind::RadialGradient);
    EXPECT_EQ(operation.start, CGPointMake(1, 2));
    EXPECT_EQ(operation.startRadius, 3);
    EXPECT_EQ(operation.end, CGPointMake(4, 5));
    EXPECT_EQ(operation.endRadius, 0); // a negative radius counts as 0
    EXPECT_EQ(operation.options, kCGGradientDrawsAfterEndLocation);
    CGGradientRelease(gradient);
}

// The pixels of a radial gradient are kept from one drawing to the next:
// drawn again, anywhere in between, a gradient paints what it painted
// first, and another one (other colours, transform or clip) its own.
TEST(GraphicsRaster, ARadialGradientDrawnAgainPaintsTheSame)
{
    auto space = adoptRef(*CGColorSpaceCreateDeviceRGB());
    auto redBlue = NSArray::arrayWithObjects({ rgb(1, 0, 0).ptr(), rgb(0, 0, 1).ptr() });
    auto redGreen = NSArray::arrayWithObjects({ rgb(1, 0, 0).ptr(), rgb(0, 1, 0).ptr() });
    CGGradientRef first = CGGradientCreateWithColors(space.ptr(), redBlue.ptr(), nullptr);
    CGGradientRef second = CGGradientCreateWithColors(space.ptr(), redGreen.ptr(), nullptr);
    auto draw = [&](CGGradientRef gradient, CGFloat shift, bool clipped) {
        auto context = RasterContext::create({ 40, 40 }, 2);
        CGContextTranslateCTM(context.ptr(), shift, 0);
        if (clipped)
            CGContextClipToRect(context.ptr(), CGRectMake(0, 0, 40, 20));
        CGContextDrawRadialGradient(context.ptr(), gradient, CGPointMake(20, 20), 2, CGPointMake(20, 20), 15, 0);
        std::vector<uint32_t> pixels;
        for (int y = 0; y < context->pixelHeight(); ++y)
            pixels.insert(pixels.end(), context->row(y), context->row(y) + context->pixelWidth());
        return pixels;
    };
    auto plain = draw(first, 0, false), other = draw(second, 0, false), moved = draw(first, 3.5, false), clipped = draw(first, 0, true);
    EXPECT_NE(plain, other);
    EXPECT_NE(plain, moved);
    EXPECT_NE(plain, clipped);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(draw(first, 0, false), plain);
        EXPECT_EQ(draw(second, 0, false), other);
        EXPECT_EQ(draw(first, 3.5, false), moved);
        EXPECT_EQ(draw(first, 0, true), clipped);
    }
    // The clip only cuts: above it, the same pixels.
    EXPECT_TRUE(std::equal(clipped.begin(), clipped.begin() + 80 * 40, plain.begin()));
    CGGradientRelease(first);
    CGGradientRelease(second);
}

// A transparency layer holds what is drawn into it however far apart, and
// the clip it began under bounds it.
TEST(GraphicsRaster, LayersKeepEverythingDrawnIntoThem)
{
    auto context = RasterContext::create({ 200, 150 }, 2);
    CGContextRef c = context.ptr();
    CGContextClipToRect(c, CGRectMake(0, 0, 190, 150));
    CGContextSetAlpha(c, 0.5);
    CGContextBeginTransparencyLayer(c, nullptr);
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextFillRect(c, CGRectMake(2, 2, 6, 6));
    CGContextFillRect(c, CGRectMake(180, 140, 20, 10)); // the layer grows; the clip cuts this one
    CGContextFillRect(c, CGRectMake(90, 2, 10, 10));
    CGContextEndTransparencyLayer(c);
    for (CGPoint inside : { CGPointMake(5, 5), CGPointMake(185, 145), CGPointMake(95, 5) })
        EXPECT_EQ(context->pixelAtPoint(inside), (RasterContext::Pixel { 255, 0, 0, 128 })) << inside.x << ", " << inside.y;
    EXPECT_EQ(context->pixelAtPoint({ 195, 145 }).alpha, 0);
    EXPECT_EQ(context->pixelAtPoint({ 50, 50 }).alpha, 0);
}

} // namespace
