#include "graphics/RasterContext.h"

#include "graphics/CairoText.h"

#include <cairo.h>

#include <algorithm>
#include <array>
#include <vector>

namespace graphics {

namespace {

bool isInvertible(const CGAffineTransform& m)
{
    return m.a * m.d - m.b * m.c != 0;
}

void setMatrix(cairo_t* cr, const CGAffineTransform& m)
{
    cairo_matrix_t matrix;
    cairo_matrix_init(&matrix, m.a, m.b, m.c, m.d, m.tx, m.ty);
    cairo_set_matrix(cr, &matrix);
}

// Appends a path, mapping its points through m when given (cairo's own
// matrix otherwise does the mapping).
void appendPath(cairo_t* cr, const CGPath& path, const CGAffineTransform* m = nullptr)
{
    auto map = [m](CGPoint p) { return m ? CGPointApplyAffineTransform(p, *m) : p; };
    cairo_new_path(cr);
    CGPoint current;
    path.forEachElement([&](CGPathElementType type, const CGPoint* points) {
        switch (type) {
        case kCGPathElementMoveToPoint: {
            CGPoint p = map(points[0]);
            cairo_move_to(cr, p.x, p.y);
            current = p;
            break;
        }
        case kCGPathElementAddLineToPoint: {
            CGPoint p = map(points[0]);
            cairo_line_to(cr, p.x, p.y);
            current = p;
            break;
        }
        case kCGPathElementAddQuadCurveToPoint: {
            CGPoint c = map(points[0]);
            CGPoint p = map(points[1]);
            cairo_curve_to(cr, current.x + 2.0 / 3 * (c.x - current.x), current.y + 2.0 / 3 * (c.y - current.y),
                p.x + 2.0 / 3 * (c.x - p.x), p.y + 2.0 / 3 * (c.y - p.y), p.x, p.y);
            current = p;
            break;
        }
        case kCGPathElementAddCurveToPoint: {
            CGPoint c1 = map(points[0]);
            CGPoint c2 = map(points[1]);
            CGPoint p = map(points[2]);
            cairo_curve_to(cr, c1.x, c1.y, c2.x, c2.y, p.x, p.y);
            current = p;
            break;
        }
        case kCGPathElementCloseSubpath:
            cairo_close_path(cr);
            double x, y;
            cairo_get_current_point(cr, &x, &y);
            current = { x, y };
            break;
        }
    });
}

void applyClip(cairo_t* cr, const CGContext::ClipPath* clip)
{
    for (; clip; clip = clip->parent()) {
        setMatrix(cr, clip->ctm());
        appendPath(cr, clip->path());
        cairo_set_fill_rule(cr, clip->evenOdd() ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
        cairo_clip(cr);
    }
    cairo_identity_matrix(cr);
}

// Box widths whose three passes approximate a Gaussian of deviation sigma.
std::array<int, 3> boxesForGaussian(double sigma)
{
    constexpr int passes = 3;
    double ideal = std::sqrt(12 * sigma * sigma / passes + 1);
    int lower = std::max(1, static_cast<int>(std::floor(ideal)));
    if (lower % 2 == 0)
        --lower;
    int upper = lower + 2;
    double lowerCount = (12 * sigma * sigma - passes * lower * lower - 4 * passes * lower - 3 * passes) / (-4.0 * lower - 4);
    int m = static_cast<int>(std::lround(lowerCount));
    std::array<int, 3> boxes {};
    for (int i = 0; i < passes; ++i)
        boxes[static_cast<size_t>(i)] = i < m ? lower : upper;
    return boxes;
}

// One box pass over `count` values `stride` apart; outside is zero.
void boxPass(float* values, int count, ptrdiff_t stride, int width, std::vector<double>& sums)
{
    int radius = (width - 1) / 2;
    if (radius <= 0)
        return;
    sums.resize(static_cast<size_t>(count) + 1);
    sums[0] = 0;
    for (int i = 0; i < count; ++i)
        sums[static_cast<size_t>(i) + 1] = sums[static_cast<size_t>(i)] + values[i * stride];
    double scale = 1.0 / width;
    for (int i = 0; i < count; ++i) {
        int from = std::max(0, i - radius);
        int to = std::min(count, i + radius + 1);
        values[i * stride] = static_cast<float>((sums[static_cast<size_t>(to)] - sums[static_cast<size_t>(from)]) * scale);
    }
}

void gaussianBlur(std::vector<float>& values, int width, int height, double sigma)
{
    if (sigma <= 0)
        return;
    std::vector<double> sums;
    for (int box : boxesForGaussian(sigma)) {
        for (int y = 0; y < height; ++y)
            boxPass(values.data() + static_cast<ptrdiff_t>(y) * width, width, 1, box, sums);
        for (int x = 0; x < width; ++x)
            boxPass(values.data() + x, height, width, box, sums);
    }
}

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

struct CairoDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using Cairo = std::unique_ptr<cairo_t, CairoDeleter>;

Surface makeSurface(int width, int height)
{
    return Surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(width, 1), std::max(height, 1)));
}

// The shadow of a shape: its coverage blurred and tinted (premultiplied), on
// a surface of the same size and device offset.
Surface makeShadow(cairo_surface_t* shape, double sigma, const RGBA& color)
{
    cairo_surface_flush(shape);
    int width = cairo_image_surface_get_width(shape);
    int height = cairo_image_surface_get_height(shape);
    int stride = cairo_image_surface_get_stride(shape);
    const unsigned char* data = cairo_image_surface_get_data(shape);
    std::vector<float> coverage(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x)
            coverage[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = static_cast<float>(row[x] >> 24) / 255.0f;
    }
    gaussianBlur(coverage, width, height, sigma);

    Surface shadow = makeSurface(width, height);
    cairo_surface_flush(shadow.get());
    unsigned char* out = cairo_image_surface_get_data(shadow.get());
    int outStride = cairo_image_surface_get_stride(shadow.get());
    auto channel = [](double value) { return static_cast<uint32_t>(std::lround(std::clamp(value, 0.0, 1.0) * 255)); };
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(out + static_cast<ptrdiff_t>(y) * outStride);
        for (int x = 0; x < width; ++x) {
            double alpha = coverage[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] * std::clamp(color.alpha, 0.0, 1.0);
            row[x] = channel(alpha) << 24 | channel(color.red * alpha) << 16 | channel(color.green * alpha) << 8 | channel(color.blue * alpha);
        }
    }
    cairo_surface_mark_dirty(shadow.get());
    double offsetX, offsetY;
    cairo_surface_get_device_offset(shape, &offsetX, &offsetY);
    cairo_surface_set_device_offset(shadow.get(), offsetX, offsetY);
    return shadow;
}

} // namespace

struct RasterContext::Impl {
    int width;
    int height;
    Surface image;
    std::vector<Surface> layers; // open transparency layers, innermost last

    cairo_surface_t* target() const { return layers.empty() ? image.get() : layers.back().get(); }
};

Ref<RasterContext> RasterContext::create(CGSize size, CGFloat scale)
{
    return adoptObject(new RasterContext(size, scale), CGContext::staticClass());
}

RasterContext::RasterContext(CGSize size, CGFloat scale)
    : CGContext(CGRectMake(0, 0, std::ceil(std::max(size.width, 0.0) * scale), std::ceil(std::max(size.height, 0.0) * scale)), CGAffineTransformMakeScale(scale, scale))
    , m_scale(scale)
    , m_impl(std::make_unique<Impl>())
{
    m_impl->width = static_cast<int>(std::ceil(std::max(size.width, 0.0) * scale));
    m_impl->height = static_cast<int>(std::ceil(std::max(size.height, 0.0) * scale));
    m_impl->image = makeSurface(m_impl->width, m_impl->height);
}

RasterContext::~RasterContext() = default;

int RasterContext::pixelWidth() const noexcept
{
    return m_impl->width;
}

int RasterContext::pixelHeight() const noexcept
{
    return m_impl->height;
}

RasterContext::Pixel RasterContext::pixelAt(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_impl->width || y >= m_impl->height)
        return {};
    cairo_surface_t* image = m_impl->image.get();
    cairo_surface_flush(image);
    auto* row = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(image) + static_cast<ptrdiff_t>(y) * cairo_image_surface_get_stride(image));
    uint32_t value = row[x];
    uint32_t alpha = value >> 24;
    if (!alpha)
        return {};
    auto unpremultiply = [alpha](uint32_t channel) { return static_cast<uint8_t>(std::min<uint32_t>(255, (channel * 255 + alpha / 2) / alpha)); };
    return { unpremultiply(value >> 16 & 0xff), unpremultiply(value >> 8 & 0xff), unpremultiply(value & 0xff), static_cast<uint8_t>(alpha) };
}

const uint32_t* RasterContext::row(int y) const
{
    if (y < 0 || y >= m_impl->height)
        return nullptr;
    cairo_surface_t* image = m_impl->image.get();
    cairo_surface_flush(image);
    return reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(image) + static_cast<ptrdiff_t>(y) * cairo_image_surface_get_stride(image));
}

RasterContext::Pixel RasterContext::pixelAtPoint(CGPoint point) const
{
    return pixelAt(static_cast<int>(std::floor(point.x * m_scale)), static_cast<int>(std::floor(point.y * m_scale)));
}

bool RasterContext::writePNG(const std::string& path) const
{
    return cairo_surface_write_to_png(m_impl->image.get(), path.c_str()) == CAIRO_STATUS_SUCCESS;
}

namespace {

// Paints what `draw` draws (in device space, with whatever matrix it sets)
// onto target under the state's clip, alpha and shadow.
template <typename Draw>
void paint(cairo_surface_t* target, int width, int height, const CGContext::GState& state, CGFloat scale, Draw&& draw)
{
    if (CGRectIsNull(state.clipBox) || state.alpha <= 0)
        return;
    Cairo cr(cairo_create(target));
    applyClip(cr.get(), state.clip.get());

    if (state.shadow.isVisible()) {
        // The shadow comes from the shape drawn without the clip on a scratch
        // surface over the area whose shadow lands on the image: the image
        // moved back by the offset, grown by the blur's reach. (The blur is
        // capped at a deviation of 128 pixels to bound that area.)
        double offsetX = state.shadow.offset.width * scale;
        double offsetY = state.shadow.offset.height * scale;
        double sigma = std::min(state.shadow.blur / 2 * scale, 128.0);
        double reach = std::ceil(3 * sigma) + 2;
        int left = static_cast<int>(std::floor(-offsetX - reach));
        int top = static_cast<int>(std::floor(-offsetY - reach));
        int right = static_cast<int>(std::ceil(width - offsetX + reach));
        int bottom = static_cast<int>(std::ceil(height - offsetY + reach));
        Surface shape = makeSurface(right - left, bottom - top);
        cairo_surface_set_device_offset(shape.get(), -left, -top);
        {
            Cairo scratch(cairo_create(shape.get()));
            draw(scratch.get());
        }
        Surface shadow = makeShadow(shape.get(), sigma, *state.shadow.color);
        cairo_set_source_surface(cr.get(), shadow.get(), offsetX, offsetY);
        cairo_paint_with_alpha(cr.get(), state.alpha);
        cairo_identity_matrix(cr.get());
    }

    if (state.alpha >= 1) {
        draw(cr.get());
        return;
    }
    cairo_push_group(cr.get());
    draw(cr.get());
    cairo_pop_group_to_source(cr.get());
    cairo_paint_with_alpha(cr.get(), state.alpha);
}

} // namespace

void RasterContext::fillPath(const Ref<CGPath>& path, bool evenOdd)
{
    const GState& s = state();
    if (!isInvertible(s.ctm))
        return;
    paint(m_impl->target(), m_impl->width, m_impl->height, s, m_scale, [&](cairo_t* cr) {
        setMatrix(cr, s.ctm);
        appendPath(cr, path.get());
        cairo_set_fill_rule(cr, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
        cairo_set_source_rgba(cr, s.fillColor.red, s.fillColor.green, s.fillColor.blue, s.fillColor.alpha);
        cairo_fill(cr);
    });
}

void RasterContext::strokePath(const Ref<CGPath>& path)
{
    const GState& s = state();
    if (!isInvertible(s.ctm))
        return;
    paint(m_impl->target(), m_impl->width, m_impl->height, s, m_scale, [&](cairo_t* cr) {
        if (s.lineWidth == 0) {
            // The thinnest line: one device pixel.
            cairo_identity_matrix(cr);
            appendPath(cr, path.get(), &s.ctm);
            cairo_set_line_width(cr, 1);
        } else {
            setMatrix(cr, s.ctm);
            appendPath(cr, path.get());
            cairo_set_line_width(cr, s.lineWidth);
        }
        cairo_set_source_rgba(cr, s.strokeColor.red, s.strokeColor.green, s.strokeColor.blue, s.strokeColor.alpha);
        cairo_stroke(cr);
    });
}

void RasterContext::didClip(const Ref<CGPath>&, bool)
{
    // The clip lives in the graphics state; painting applies it.
}

void RasterContext::drawGradient(CGGradient& gradient, CGPoint start, CGPoint end, CGGradientDrawingOptions options)
{
    const GState& s = state();
    CGFloat length = std::hypot(end.x - start.x, end.y - start.y);
    if (!isInvertible(s.ctm) || !std::isfinite(length) || length == 0 || !std::isfinite(start.x) || !std::isfinite(start.y))
        return;
    CGPoint u { (end.x - start.x) / length, (end.y - start.y) / length };
    CGPoint n { -u.y, u.x };
    CGAffineTransform inverse = CGAffineTransformInvert(s.ctm);

    paint(m_impl->target(), m_impl->width, m_impl->height, s, m_scale, [&](cairo_t* cr) {
        // The band of the gradient (extended as the options say) across the
        // whole drawable area, in user space.
        cairo_identity_matrix(cr);
        double x1, y1, x2, y2;
        cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
        double alongMin = INFINITY, alongMax = -INFINITY, acrossMin = INFINITY, acrossMax = -INFINITY;
        for (CGPoint corner : { CGPoint { x1, y1 }, CGPoint { x2, y1 }, CGPoint { x1, y2 }, CGPoint { x2, y2 } }) {
            CGPoint p = CGPointApplyAffineTransform(corner, inverse);
            double along = (p.x - start.x) * u.x + (p.y - start.y) * u.y;
            double across = (p.x - start.x) * n.x + (p.y - start.y) * n.y;
            alongMin = std::min(alongMin, along);
            alongMax = std::max(alongMax, along);
            acrossMin = std::min(acrossMin, across);
            acrossMax = std::max(acrossMax, across);
        }
        double from = (options & kCGGradientDrawsBeforeStartLocation) ? std::min(alongMin, 0.0) - 1 : 0;
        double to = (options & kCGGradientDrawsAfterEndLocation) ? std::max(alongMax, length) + 1 : length;
        from = std::max(from, alongMin - 1);
        to = std::min(to, alongMax + 1);
        if (!(to > from))
            return;
        acrossMin -= 1;
        acrossMax += 1;
        auto at = [&](double along, double across) {
            return CGPoint { start.x + u.x * along + n.x * across, start.y + u.y * along + n.y * across };
        };
        setMatrix(cr, s.ctm);
        cairo_new_path(cr);
        CGPoint corners[] = { at(from, acrossMin), at(to, acrossMin), at(to, acrossMax), at(from, acrossMax) };
        cairo_move_to(cr, corners[0].x, corners[0].y);
        for (int i = 1; i < 4; ++i)
            cairo_line_to(cr, corners[i].x, corners[i].y);
        cairo_close_path(cr);

        cairo_pattern_t* pattern = cairo_pattern_create_linear(start.x, start.y, end.x, end.y);
        for (const CGGradient::Stop& stop : gradient.stops())
            cairo_pattern_add_color_stop_rgba(pattern, stop.location, stop.color.red, stop.color.green, stop.color.blue, stop.color.alpha);
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
        cairo_set_source(cr, pattern);
        cairo_fill(cr);
        cairo_pattern_destroy(pattern);
    });
}

void RasterContext::drawText(const std::string& text, CGPoint origin, const Font& font)
{
    const GState& s = state();
    if (!isInvertible(s.ctm))
        return;
    paint(m_impl->target(), m_impl->width, m_impl->height, s, m_scale, [&](cairo_t* cr) {
        setMatrix(cr, s.ctm);
        selectFont(cr, font);
        cairo_new_path(cr);
        cairo_move_to(cr, origin.x, origin.y);
        cairo_set_source_rgba(cr, s.fillColor.red, s.fillColor.green, s.fillColor.blue, s.fillColor.alpha);
        cairo_show_text(cr, text.c_str());
    });
}

void RasterContext::didBeginTransparencyLayer()
{
    m_impl->layers.push_back(makeSurface(m_impl->width, m_impl->height));
}

void RasterContext::didEndTransparencyLayer()
{
    Surface layer = std::move(m_impl->layers.back());
    m_impl->layers.pop_back();
    paint(m_impl->target(), m_impl->width, m_impl->height, state(), m_scale, [&](cairo_t* cr) {
        cairo_identity_matrix(cr);
        cairo_set_source_surface(cr, layer.get(), 0, 0);
        cairo_paint(cr);
    });
}

} // namespace graphics
