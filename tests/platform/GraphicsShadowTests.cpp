// Shadows and transparency layers of the raster context against a
// reference: a plain rendering of the same semantics that works on the
// whole image (the shape drawn on a scratch surface covering the image
// moved back by the offset and grown by the blur's reach, a box blur by
// double-precision prefix sums, each tinted channel rounded on its own),
// drawn with cairo directly. The raster context works on much less of the
// image and rounds differently; pictures must agree within 2/255 in every
// premultiplied channel, at the shape's edges as well as inside it.
#include "graphics/RasterContext.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <optional>
#include <vector>

namespace {

using graphics::RasterContext;

// MARK: The reference

struct Shadow {
    CGSize offset;
    CGFloat blur = 0;
    std::array<double, 4> color; // red, green, blue, alpha
};

struct State {
    CGFloat scale = 2;
    std::function<void(cairo_t*)> clip; // in device space; none: the image
    CGFloat alpha = 1;
    std::optional<Shadow> shadow;
};

using Draw = std::function<void(cairo_t*)>;

std::array<int, 3> boxesForGaussian(double sigma)
{
    double ideal = std::sqrt(12 * sigma * sigma / 3 + 1);
    int lower = std::max(1, static_cast<int>(std::floor(ideal)));
    if (lower % 2 == 0)
        --lower;
    double lowerCount = (12 * sigma * sigma - 3 * lower * lower - 12 * lower - 9) / (-4.0 * lower - 4);
    int m = static_cast<int>(std::lround(lowerCount));
    return { 0 < m ? lower : lower + 2, 1 < m ? lower : lower + 2, 2 < m ? lower : lower + 2 };
}

void boxPass(std::vector<float>& values, size_t first, int count, ptrdiff_t stride, int width)
{
    int radius = (width - 1) / 2;
    if (radius <= 0)
        return;
    std::vector<double> sums(static_cast<size_t>(count) + 1);
    for (int i = 0; i < count; ++i)
        sums[static_cast<size_t>(i) + 1] = sums[static_cast<size_t>(i)] + values[first + static_cast<size_t>(i * stride)];
    for (int i = 0; i < count; ++i) {
        int from = std::max(0, i - radius), to = std::min(count, i + radius + 1);
        values[first + static_cast<size_t>(i * stride)] = static_cast<float>((sums[static_cast<size_t>(to)] - sums[static_cast<size_t>(from)]) / width);
    }
}

cairo_surface_t* referenceShadow(cairo_surface_t* shape, double sigma, const std::array<double, 4>& color)
{
    cairo_surface_flush(shape);
    int width = cairo_image_surface_get_width(shape), height = cairo_image_surface_get_height(shape);
    std::vector<float> coverage(static_cast<size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(shape) + y * cairo_image_surface_get_stride(shape));
        for (int x = 0; x < width; ++x)
            coverage[static_cast<size_t>(y * width + x)] = static_cast<float>(row[x] >> 24) / 255.0f;
    }
    if (sigma > 0) {
        for (int box : boxesForGaussian(sigma)) {
            for (int y = 0; y < height; ++y)
                boxPass(coverage, static_cast<size_t>(y * width), width, 1, box);
            for (int x = 0; x < width; ++x)
                boxPass(coverage, static_cast<size_t>(x), height, width, box);
        }
    }
    cairo_surface_t* shadow = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_surface_flush(shadow);
    auto channel = [](double value) { return static_cast<uint32_t>(std::lround(std::clamp(value, 0.0, 1.0) * 255)); };
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(shadow) + y * cairo_image_surface_get_stride(shadow));
        for (int x = 0; x < width; ++x) {
            double alpha = coverage[static_cast<size_t>(y * width + x)] * color[3];
            row[x] = channel(alpha) << 24 | channel(color[0] * alpha) << 16 | channel(color[1] * alpha) << 8 | channel(color[2] * alpha);
        }
    }
    cairo_surface_mark_dirty(shadow);
    double x, y;
    cairo_surface_get_device_offset(shape, &x, &y);
    cairo_surface_set_device_offset(shadow, x, y);
    return shadow;
}

// Paints what draw draws onto target (width × height pixels) under the
// state's clip, alpha and shadow.
void referencePaint(cairo_surface_t* target, int width, int height, const State& state, const Draw& draw)
{
    cairo_t* cr = cairo_create(target);
    if (state.clip)
        state.clip(cr);
    if (state.shadow) {
        double offsetX = state.shadow->offset.width * state.scale, offsetY = state.shadow->offset.height * state.scale;
        double sigma = std::min<double>(state.shadow->blur / 2 * state.scale, 128.0);
        double reach = std::ceil(3 * sigma) + 2;
        int left = static_cast<int>(std::floor(-offsetX - reach)), top = static_cast<int>(std::floor(-offsetY - reach));
        int right = static_cast<int>(std::ceil(width - offsetX + reach)), bottom = static_cast<int>(std::ceil(height - offsetY + reach));
        cairo_surface_t* shape = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, right - left, bottom - top);
        cairo_surface_set_device_offset(shape, -left, -top);
        cairo_t* scratch = cairo_create(shape);
        draw(scratch);
        cairo_destroy(scratch);
        cairo_surface_t* shadow = referenceShadow(shape, sigma, state.shadow->color);
        cairo_set_source_surface(cr, shadow, offsetX, offsetY);
        cairo_paint_with_alpha(cr, state.alpha);
        cairo_surface_destroy(shadow);
        cairo_surface_destroy(shape);
    }
    if (state.alpha >= 1) {
        draw(cr);
    } else {
        cairo_push_group(cr);
        draw(cr);
        cairo_pop_group_to_source(cr);
        cairo_paint_with_alpha(cr, state.alpha);
    }
    cairo_destroy(cr);
}

void appendPath(cairo_t* cr, const CGPath& path, CGFloat scale)
{
    cairo_new_path(cr);
    path.forEachElement([&](CGPathElementType type, const CGPoint* p) {
        switch (type) {
        case kCGPathElementMoveToPoint:
            cairo_move_to(cr, p[0].x * scale, p[0].y * scale);
            break;
        case kCGPathElementAddLineToPoint:
            cairo_line_to(cr, p[0].x * scale, p[0].y * scale);
            break;
        case kCGPathElementAddCurveToPoint:
            cairo_curve_to(cr, p[0].x * scale, p[0].y * scale, p[1].x * scale, p[1].y * scale, p[2].x * scale, p[2].y * scale);
            break;
        case kCGPathElementCloseSubpath:
            cairo_close_path(cr);
            break;
        default:
            ADD_FAILURE() << "the test's shapes have lines and cubic curves only";
        }
    });
}

Draw fillDraw(Ref<CGPath> path, std::array<double, 4> color, CGFloat scale, bool evenOdd = false)
{
    return [=](cairo_t* cr) {
        appendPath(cr, path.get(), scale);
        cairo_set_fill_rule(cr, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
        cairo_set_source_rgba(cr, color[0], color[1], color[2], color[3]);
        cairo_fill(cr);
    };
}

std::function<void(cairo_t*)> clipTo(Ref<CGPath> path, CGFloat scale)
{
    return [=](cairo_t* cr) {
        appendPath(cr, path.get(), scale);
        cairo_clip(cr);
    };
}

cairo_surface_t* blankImage(const RasterContext& context)
{
    return cairo_image_surface_create(CAIRO_FORMAT_ARGB32, context.pixelWidth(), context.pixelHeight());
}

// MARK: Comparing

struct Difference {
    int largest = 0;
    int x = -1, y = -1;
    int partlyShadowed = 0; // pixels neither clear nor opaque, where edges and blur show
};

Difference compare(const RasterContext& context, cairo_surface_t* reference)
{
    cairo_surface_flush(reference);
    Difference difference;
    for (int y = 0; y < context.pixelHeight(); ++y) {
        const uint32_t* row = context.row(y);
        auto* expected = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(reference) + y * cairo_image_surface_get_stride(reference));
        for (int x = 0; x < context.pixelWidth(); ++x) {
            uint32_t alpha = row[x] >> 24;
            if (alpha > 0 && alpha < 255)
                ++difference.partlyShadowed;
            for (int shift = 0; shift < 32; shift += 8) {
                int delta = std::abs(static_cast<int>(row[x] >> shift & 0xff) - static_cast<int>(expected[x] >> shift & 0xff));
                if (delta > difference.largest)
                    difference = { delta, x, y, difference.partlyShadowed };
            }
        }
    }
    return difference;
}

Ref<CGColor> color(const std::array<double, 4>& c)
{
    auto space = adoptRef(*CGColorSpaceCreateDeviceRGB());
    CGFloat components[] = { CGFloat(c[0]), CGFloat(c[1]), CGFloat(c[2]), CGFloat(c[3]) };
    return adoptRef(*CGColorCreate(space.ptr(), components));
}

// A card with an arrow on top, as a popover's outline has.
Ref<CGPath> card(CGRect body, CGFloat radius, CGFloat arrow)
{
    Ref<CGPath> path = adoptRef(*CGPathCreateMutable());
    CGFloat midX = CGRectGetMidX(body);
    CGPathMoveToPoint(path.ptr(), nullptr, midX - 12, CGRectGetMinY(body));
    CGPathAddLineToPoint(path.ptr(), nullptr, midX, CGRectGetMinY(body) - arrow);
    CGPathAddLineToPoint(path.ptr(), nullptr, midX + 12, CGRectGetMinY(body));
    CGPathAddArcToPoint(path.ptr(), nullptr, CGRectGetMaxX(body), CGRectGetMinY(body), CGRectGetMaxX(body), CGRectGetMaxY(body), radius);
    CGPathAddArcToPoint(path.ptr(), nullptr, CGRectGetMaxX(body), CGRectGetMaxY(body), CGRectGetMinX(body), CGRectGetMaxY(body), radius);
    CGPathAddArcToPoint(path.ptr(), nullptr, CGRectGetMinX(body), CGRectGetMaxY(body), CGRectGetMinX(body), CGRectGetMinY(body), radius);
    CGPathAddArcToPoint(path.ptr(), nullptr, CGRectGetMinX(body), CGRectGetMinY(body), CGRectGetMaxX(body), CGRectGetMinY(body), radius);
    CGPathCloseSubpath(path.ptr());
    return path;
}

Ref<CGPath> oval(CGRect rect)
{
    Ref<CGPath> path = adoptRef(*CGPathCreateMutable());
    CGPathAddEllipseInRect(path.ptr(), nullptr, rect);
    return path;
}

// MARK: Tests

struct ShadowedFill {
    const char* name;
    CGSize size;
    Ref<CGPath> shape;
    std::optional<CGRect> clip;
    CGSize offset;
    CGFloat blur;
    CGFloat alpha;
};

TEST(GraphicsShadows, ShadowedShapesMatchTheWholeImageRendering)
{
    const std::array<double, 4> fill { 0.9, 0.4, 0.1, 1 };
    const std::array<double, 4> shade { 0.05, 0.1, 0.3, 0.6 };
    ShadowedFill cases[] = {
        { "a card in the open", { 120, 90 }, card(CGRectMake(20, 25, 80, 45), 6, 10), std::nullopt, { 0, 3 }, 8, 1 },
        { "a fractional offset, half off the image", { 80, 60 }, oval(CGRectMake(-20, 30, 60, 50)), std::nullopt, { 1.3, -2.7 }, 5, 1 },
        { "clipped, at partial alpha", { 100, 80 }, card(CGRectMake(15, 20, 70, 40), 4, 8), CGRectMake(10.5, 30.25, 60, 40), { -4, 6 }, 12, 0.6 },
        { "no blur", { 60, 60 }, oval(CGRectMake(10, 10, 30, 20)), std::nullopt, { 7.5, 7.5 }, 0, 1 },
        { "a blur wider than the image (capped)", { 50, 40 }, oval(CGRectMake(20, 15, 10, 10)), std::nullopt, { 0, 0 }, 300, 1 },
    };
    for (const ShadowedFill& test : cases) {
        SCOPED_TRACE(test.name);
        constexpr CGFloat kScale = 2;
        auto context = RasterContext::create(test.size, kScale);
        CGContextRef c = context.ptr();
        if (test.clip)
            CGContextClipToRect(c, *test.clip);
        CGContextSetAlpha(c, test.alpha);
        CGContextSetShadowWithColor(c, test.offset, test.blur, color(shade).ptr());
        CGContextSetRGBFillColor(c, fill[0], fill[1], fill[2], fill[3]);
        CGContextAddPath(c, test.shape.ptr());
        CGContextFillPath(c);

        cairo_surface_t* reference = blankImage(context.get());
        State state { kScale, nullptr, test.alpha, Shadow { test.offset, test.blur, shade } };
        if (test.clip) {
            auto rect = adoptRef(*CGPathCreateMutable());
            CGPathAddRect(rect.ptr(), nullptr, *test.clip);
            state.clip = clipTo(rect, kScale);
        }
        referencePaint(reference, context->pixelWidth(), context->pixelHeight(), state, fillDraw(test.shape, fill, kScale));
        Difference difference = compare(context.get(), reference);
        EXPECT_LE(difference.largest, 2) << "at pixel (" << difference.x << ", " << difference.y << ")";
        EXPECT_GT(difference.partlyShadowed, 50);
        cairo_surface_destroy(reference);
    }
}

// The popover's gloss: a band around the outline, filled far off to the
// side and clipped away, throws its shadow back along the inside of the
// outline; and its fill, a layer that casts one shadow.
TEST(GraphicsShadows, AnInnerShadowThrownFromAfarAndALayerCastingOneShadow)
{
    constexpr CGFloat kScale = 2;
    const CGSize size { 140, 100 };
    Ref<CGPath> outline = card(CGRectMake(20, 25, 100, 55), 6, 10);
    const std::array<double, 4> gloss { 1, 1, 1, 0.7 };
    const std::array<double, 4> gray { 0.5, 0.5, 0.5, 1 };
    const std::array<double, 4> shade { 0, 0, 0, 0.5 };
    constexpr CGFloat kThrow = 400;

    auto context = RasterContext::create(size, kScale);
    CGContextRef c = context.ptr();
    // The fill: two overlapping shapes in a layer with one shadow.
    CGContextSaveGState(c);
    CGContextSetShadowWithColor(c, CGSizeMake(0, 4), 6, color(shade).ptr());
    CGContextBeginTransparencyLayer(c, nullptr);
    CGContextSetRGBFillColor(c, 0.2, 0.3, 0.8, 1);
    CGContextAddPath(c, outline.ptr());
    CGContextFillPath(c);
    CGContextSetRGBFillColor(c, 0.9, 0.9, 0.2, 0.5);
    CGContextFillEllipseInRect(c, CGRectMake(70, 50, 60, 45));
    CGContextEndTransparencyLayer(c);
    CGContextRestoreGState(c);
    // The gloss.
    auto band = adoptRef(*CGPathCreateMutable());
    CGPathAddRect(band.ptr(), nullptr, CGRectMake(10 - kThrow, 5, 120, 90));
    CGAffineTransform away = CGAffineTransformMakeTranslation(-kThrow, 0);
    CGPathAddPath(band.ptr(), &away, outline.ptr());
    CGContextSaveGState(c);
    CGContextSetShadowWithColor(c, CGSizeMake(kThrow + 0.1, 2.1), 3, color(gloss).ptr());
    CGContextAddPath(c, outline.ptr());
    CGContextClip(c);
    CGContextSetRGBFillColor(c, gray[0], gray[1], gray[2], gray[3]);
    CGContextAddPath(c, band.ptr());
    CGContextEOFillPath(c);
    CGContextRestoreGState(c);

    cairo_surface_t* reference = blankImage(context.get());
    int width = context->pixelWidth(), height = context->pixelHeight();
    cairo_surface_t* layer = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    referencePaint(layer, width, height, { kScale, nullptr, 1, std::nullopt }, fillDraw(outline, { 0.2, 0.3, 0.8, 1 }, kScale));
    referencePaint(layer, width, height, { kScale, nullptr, 1, std::nullopt }, fillDraw(oval(CGRectMake(70, 50, 60, 45)), { 0.9, 0.9, 0.2, 0.5 }, kScale));
    referencePaint(reference, width, height, { kScale, nullptr, 1, Shadow { CGSizeMake(0, 4), 6, shade } }, [&](cairo_t* cr) {
        cairo_set_source_surface(cr, layer, 0, 0);
        cairo_paint(cr);
    });
    referencePaint(reference, width, height, { kScale, clipTo(outline, kScale), 1, Shadow { CGSizeMake(kThrow + 0.1, 2.1), 3, gloss } }, fillDraw(band, gray, kScale, true));

    Difference difference = compare(context.get(), reference);
    EXPECT_LE(difference.largest, 2) << "at pixel (" << difference.x << ", " << difference.y << ")";
    EXPECT_GT(difference.partlyShadowed, 500);
    // The gloss lights the inside of the top edge, not the middle.
    EXPECT_GT(context->pixelAtPoint({ 40, 26 }).red, 120);
    EXPECT_NEAR(context->pixelAtPoint({ 40, 60 }).red, 51, 2);
    cairo_surface_destroy(layer);
    cairo_surface_destroy(reference);
}

} // namespace
