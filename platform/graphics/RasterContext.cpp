#include "graphics/RasterContext.h"

#include "graphics/CairoText.h"

#include <cairo.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
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
            current = CGPointMake(x, y);
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

// How far the three passes of a Gaussian of deviation sigma spread a pixel.
int blurSpread(double sigma)
{
    if (sigma <= 0)
        return 0;
    int spread = 0;
    for (int box : boxesForGaussian(sigma))
        spread += (box - 1) / 2;
    return spread;
}

// One box pass along each row of a width × height grid, from in to out;
// outside the grid is zero. A sliding window: each step adds the value
// entering it and takes away the one leaving it.
void boxAcross(const float* in, float* out, int width, int height, int radius)
{
    float scale = 1.0f / static_cast<float>(2 * radius + 1);
    for (int y = 0; y < height; ++y) {
        const float* source = in + static_cast<ptrdiff_t>(y) * width;
        float* target = out + static_cast<ptrdiff_t>(y) * width;
        float sum = 0;
        for (int x = 0; x < width && x <= radius; ++x)
            sum += source[x];
        for (int x = 0; x < width; ++x) {
            target[x] = sum * scale;
            if (x + radius + 1 < width)
                sum += source[x + radius + 1];
            if (x >= radius)
                sum -= source[x - radius];
        }
    }
}

// One box pass down each column. The columns' windows slide together, a
// whole row at a time, so memory is read in rows.
void boxDown(const float* in, float* out, int width, int height, int radius, std::vector<float>& sums)
{
    float scale = 1.0f / static_cast<float>(2 * radius + 1);
    sums.assign(static_cast<size_t>(width), 0);
    float* sum = sums.data();
    auto row = [width](auto* grid, int y) { return grid + static_cast<ptrdiff_t>(y) * width; };
    for (int y = 0; y < height && y <= radius; ++y) {
        const float* entering = row(in, y);
        for (int x = 0; x < width; ++x)
            sum[x] += entering[x];
    }
    for (int y = 0; y < height; ++y) {
        float* target = row(out, y);
        for (int x = 0; x < width; ++x)
            target[x] = sum[x] * scale;
        bool enters = y + radius + 1 < height;
        bool leaves = y >= radius;
        if (enters && leaves) {
            const float* entering = row(in, y + radius + 1);
            const float* leaving = row(in, y - radius);
            for (int x = 0; x < width; ++x)
                sum[x] += entering[x] - leaving[x];
        } else if (enters) {
            const float* entering = row(in, y + radius + 1);
            for (int x = 0; x < width; ++x)
                sum[x] += entering[x];
        } else if (leaves) {
            const float* leaving = row(in, y - radius);
            for (int x = 0; x < width; ++x)
                sum[x] -= leaving[x];
        }
    }
}

// Working memory of the blur, kept from one shadow to the next.
struct BlurBuffers {
    std::vector<float> values;
    std::vector<float> scratch;
    std::vector<float> sums;
};

BlurBuffers& blurBuffers()
{
    static thread_local BlurBuffers buffers;
    return buffers;
}

// Blurs buffers.values (width × height, outside zero) in place.
void gaussianBlur(BlurBuffers& buffers, int width, int height, double sigma)
{
    buffers.scratch.resize(buffers.values.size());
    float* from = buffers.values.data();
    float* to = buffers.scratch.data();
    auto boxes = boxesForGaussian(sigma);
    for (int box : boxes) {
        if (box < 3)
            continue;
        boxAcross(from, to, width, height, (box - 1) / 2);
        std::swap(from, to);
    }
    for (int box : boxes) {
        if (box < 3)
            continue;
        boxDown(from, to, width, height, (box - 1) / 2, buffers.sums);
        std::swap(from, to);
    }
    if (from != buffers.values.data())
        buffers.values.swap(buffers.scratch);
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

// A rectangle of whole device pixels: columns x0 to x1 - 1, rows y0 to y1 - 1.
struct PixelRect {
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;

    // The pixels a rectangle of device space touches; none for the null
    // rectangle. Far ends are held to a range that the arithmetic below
    // cannot overflow.
    static PixelRect enclosing(CGRect rect)
    {
        if (CGRectIsNull(rect) || CGRectIsEmpty(rect))
            return {};
        static constexpr double kFar = 1 << 28;
        auto clamp = [](double value) { return static_cast<int>(std::clamp(value, -kFar, kFar)); };
        rect = CGRectStandardize(rect);
        return { clamp(std::floor(CGRectGetMinX(rect))), clamp(std::floor(CGRectGetMinY(rect))), clamp(std::ceil(CGRectGetMaxX(rect))),
            clamp(std::ceil(CGRectGetMaxY(rect))) };
    }

    bool isEmpty() const noexcept { return x1 <= x0 || y1 <= y0; }
    int width() const noexcept { return x1 - x0; }
    int height() const noexcept { return y1 - y0; }
    CGRect rect() const { return CGRectMake(x0, y0, width(), height()); }
    bool contains(const PixelRect& other) const noexcept
    {
        return other.isEmpty() || (x0 <= other.x0 && y0 <= other.y0 && other.x1 <= x1 && other.y1 <= y1);
    }
    PixelRect intersection(const PixelRect& other) const noexcept
    {
        PixelRect result { std::max(x0, other.x0), std::max(y0, other.y0), std::min(x1, other.x1), std::min(y1, other.y1) };
        return result.isEmpty() ? PixelRect {} : result;
    }
    PixelRect united(const PixelRect& other) const noexcept
    {
        if (isEmpty())
            return other;
        if (other.isEmpty())
            return *this;
        return { std::min(x0, other.x0), std::min(y0, other.y0), std::max(x1, other.x1), std::max(y1, other.y1) };
    }
    PixelRect inflated(int by) const noexcept
    {
        if (isEmpty())
            return {};
        return { x0 - by, y0 - by, x1 + by, y1 + by };
    }
};

// The shadow of a shape: its coverage blurred (by three box passes each way
// approximating a Gaussian of deviation sigma) and tinted (premultiplied), on
// a surface of the same size and device offset. Outside the shape's surface
// counts as uncovered.
Surface makeShadow(cairo_surface_t* shape, double sigma, const RGBA& color)
{
    cairo_surface_flush(shape);
    int width = cairo_image_surface_get_width(shape);
    int height = cairo_image_surface_get_height(shape);
    int stride = cairo_image_surface_get_stride(shape);
    const unsigned char* data = cairo_image_surface_get_data(shape);
    Surface shadow = makeSurface(width, height);
    cairo_surface_flush(shadow.get());
    unsigned char* out = cairo_image_surface_get_data(shadow.get());
    int outStride = cairo_image_surface_get_stride(shadow.get());
    auto shapeRow = [&](int y) { return reinterpret_cast<const uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride); };
    auto shadowRow = [&](int y) { return reinterpret_cast<uint32_t*>(out + static_cast<ptrdiff_t>(y) * outStride); };

    // Tinting in fixed point: coverage in 15 bits, each premultiplied
    // component (0 to 255) in 8 bits more; their product rounds to 8 bits.
    double alpha = std::clamp<CGFloat>(color.alpha, 0, 1);
    auto factor = [alpha](double component) { return static_cast<uint32_t>(std::lround(std::clamp(component, 0.0, 1.0) * alpha * 255 * 256)); };
    const uint32_t alphaFactor = factor(1), redFactor = factor(color.red), greenFactor = factor(color.green), blueFactor = factor(color.blue);
    auto tint = [=](float coverage) {
        constexpr float kCoverageOne = 1 << 15;
        constexpr uint32_t kHalf = 1u << 22;
        constexpr int kShift = 23;
        auto covered = static_cast<uint32_t>(static_cast<int32_t>(std::clamp(coverage, 0.0f, 1.0f) * kCoverageOne + 0.5f));
        return (covered * alphaFactor + kHalf) >> kShift << 24 | (covered * redFactor + kHalf) >> kShift << 16 | (covered * greenFactor + kHalf) >> kShift << 8
            | (covered * blueFactor + kHalf) >> kShift;
    };

    if (!blurSpread(sigma)) {
        // Nothing to blur: each of the 256 coverages has its tint.
        std::array<uint32_t, 256> tints;
        for (uint32_t coverage = 0; coverage < 256; ++coverage)
            tints[coverage] = tint(static_cast<float>(coverage) * (1.0f / 255));
        for (int y = 0; y < height; ++y) {
            const uint32_t* in = shapeRow(y);
            uint32_t* row = shadowRow(y);
            for (int x = 0; x < width; ++x)
                row[x] = tints[in[x] >> 24];
        }
    } else {
        BlurBuffers& buffers = blurBuffers();
        buffers.values.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
        for (int y = 0; y < height; ++y) {
            const uint32_t* in = shapeRow(y);
            float* coverage = buffers.values.data() + static_cast<ptrdiff_t>(y) * width;
            for (int x = 0; x < width; ++x)
                coverage[x] = static_cast<float>(in[x] >> 24) * (1.0f / 255);
        }
        gaussianBlur(buffers, width, height, sigma);
        for (int y = 0; y < height; ++y) {
            const float* coverage = buffers.values.data() + static_cast<ptrdiff_t>(y) * width;
            uint32_t* row = shadowRow(y);
            for (int x = 0; x < width; ++x)
                row[x] = tint(coverage[x]);
        }
    }
    cairo_surface_mark_dirty(shadow.get());
    double offsetX, offsetY;
    cairo_surface_get_device_offset(shape, &offsetX, &offsetY);
    cairo_surface_set_device_offset(shadow.get(), offsetX, offsetY);
    return shadow;
}

// A surface over part of device space, at its own place (its device offset
// maps device coordinates onto it). The image covers itself whole; a
// transparency layer starts empty and grows to what is drawn into it.
struct Layer {
    Surface surface;
    PixelRect area;
    PixelRect limit; // the most it can ever need

    // Makes the layer cover need (within its limit), keeping what it holds.
    void cover(PixelRect need)
    {
        need = need.intersection(limit);
        if (area.contains(need))
            return;
        // Room to spare, so that a layer drawn into piece by piece seldom
        // grows twice.
        constexpr int kSpare = 32;
        PixelRect grown = area.united(need.inflated(kSpare)).intersection(limit);
        Surface replacement = makeSurface(grown.width(), grown.height());
        cairo_surface_set_device_offset(replacement.get(), -grown.x0, -grown.y0);
        if (surface) {
            cairo_surface_flush(surface.get());
            cairo_surface_flush(replacement.get());
            int fromStride = cairo_image_surface_get_stride(surface.get());
            int toStride = cairo_image_surface_get_stride(replacement.get());
            const unsigned char* from = cairo_image_surface_get_data(surface.get());
            unsigned char* to = cairo_image_surface_get_data(replacement.get())
                + static_cast<ptrdiff_t>(area.y0 - grown.y0) * toStride + static_cast<ptrdiff_t>(area.x0 - grown.x0) * 4;
            for (int y = 0; y < area.height(); ++y)
                std::memcpy(to + static_cast<ptrdiff_t>(y) * toStride, from + static_cast<ptrdiff_t>(y) * fromStride, static_cast<size_t>(area.width()) * 4);
            cairo_surface_mark_dirty(replacement.get());
        }
        surface = std::move(replacement);
        area = grown;
    }
};

} // namespace

struct RasterContext::Impl {
    int width;
    int height;
    Layer image;
    std::vector<Layer> layers; // open transparency layers, innermost last

    Layer& target() { return layers.empty() ? image : layers.back(); }
    PixelRect bounds() const { return { 0, 0, width, height }; }
};

Ref<RasterContext> RasterContext::create(CGSize size, CGFloat scale)
{
    return adoptObject(new RasterContext(size, scale), CGContext::staticClass());
}

RasterContext::RasterContext(CGSize size, CGFloat scale)
    : CGContext(CGRectMake(0, 0, std::ceil(std::max<CGFloat>(size.width, 0) * scale), std::ceil(std::max<CGFloat>(size.height, 0) * scale)), CGAffineTransformMakeScale(scale, scale))
    , m_scale(scale)
    , m_impl(std::make_unique<Impl>())
{
    m_impl->width = static_cast<int>(std::ceil(std::max<CGFloat>(size.width, 0) * scale));
    m_impl->height = static_cast<int>(std::ceil(std::max<CGFloat>(size.height, 0) * scale));
    m_impl->image.surface = makeSurface(m_impl->width, m_impl->height);
    m_impl->image.area = m_impl->image.limit = m_impl->bounds();
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
    cairo_surface_t* image = m_impl->image.surface.get();
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
    cairo_surface_t* image = m_impl->image.surface.get();
    cairo_surface_flush(image);
    return reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(image) + static_cast<ptrdiff_t>(y) * cairo_image_surface_get_stride(image));
}

RasterContext::Pixel RasterContext::pixelAtPoint(CGPoint point) const
{
    return pixelAt(static_cast<int>(std::floor(point.x * m_scale)), static_cast<int>(std::floor(point.y * m_scale)));
}

bool RasterContext::writePNG(const std::string& path) const
{
    return cairo_surface_write_to_png(m_impl->image.surface.get(), path.c_str()) == CAIRO_STATUS_SUCCESS;
}

namespace {

// A radial gradient as the platform draws one: for each point the circle
// of the largest t (interpolating centre and radius between the start
// circle at 0 and the end circle at 1) that passes through it and has a
// radius of at least 0; t below 0 or above 1 only where the options extend
// the gradient that way. Colours come from a table of the gradient with
// about a step for each device pixel of the larger radius.
class RadialGradient {
public:
    RadialGradient(const CGGradient& gradient, CGPoint startCenter, CGFloat startRadius, CGPoint endCenter, CGFloat endRadius,
        CGGradientDrawingOptions options, const CGAffineTransform& ctm)
        : m_inverse(CGAffineTransformInvert(ctm))
        , m_center(startCenter)
        , m_radius(static_cast<float>(startRadius))
        , m_centerStep { static_cast<float>(endCenter.x - startCenter.x), static_cast<float>(endCenter.y - startCenter.y) }
        , m_radiusStep(static_cast<float>(endRadius - startRadius))
        , m_before(options & kCGGradientDrawsBeforeStartLocation)
        , m_after(options & kCGGradientDrawsAfterEndLocation)
    {
        m_quadratic = m_centerStep[0] * m_centerStep[0] + m_centerStep[1] * m_centerStep[1] - m_radiusStep * m_radiusStep;
        double scale = std::sqrt(std::max(ctm.a * ctm.a + ctm.b * ctm.b, ctm.c * ctm.c + ctm.d * ctm.d));
        double length = std::max(startRadius, endRadius) * scale * 2;
        size_t steps = static_cast<size_t>(std::clamp(std::ceil(length), 1.0, 4095.0));
        // The table: no circle, before the start, the gradient, after the end.
        m_table.resize(steps + 4);
        auto pixel = [](const RGBA& color) {
            double alpha = std::clamp<CGFloat>(color.alpha, 0, 1);
            auto channel = [alpha](double value) { return static_cast<uint32_t>(std::lround(std::clamp(value, 0.0, 1.0) * alpha * 255)); };
            return channel(1) << 24 | channel(color.red) << 16 | channel(color.green) << 8 | channel(color.blue);
        };
        for (size_t i = 0; i <= steps; ++i)
            m_table[i + kFirstStep] = pixel(gradient.colorAt(static_cast<CGFloat>(i) / static_cast<CGFloat>(steps)));
        m_table[kNoCircle] = 0;
        m_table[kBeforeStart] = m_before ? m_table[kFirstStep] : 0;
        m_table.back() = m_after ? m_table[steps + kFirstStep] : 0;
    }

    // Whether other paints the same pixels as this one: the same colours,
    // circles and transform.
    bool paintsAs(const RadialGradient& other) const
    {
        auto sameTransform = [](const CGAffineTransform& a, const CGAffineTransform& b) {
            return a.a == b.a && a.b == b.b && a.c == b.c && a.d == b.d && a.tx == b.tx && a.ty == b.ty;
        };
        return sameTransform(m_inverse, other.m_inverse) && m_center.x == other.m_center.x && m_center.y == other.m_center.y && m_radius == other.m_radius
            && m_centerStep == other.m_centerStep && m_radiusStep == other.m_radiusStep && m_table == other.m_table;
    }

    // The gradient's premultiplied pixels over area of device space.
    Surface render(const PixelRect& area) const
    {
        Surface surface = makeSurface(area.width(), area.height());
        cairo_surface_set_device_offset(surface.get(), -area.x0, -area.y0);
        cairo_surface_flush(surface.get());
        unsigned char* data = cairo_image_surface_get_data(surface.get());
        int stride = cairo_image_surface_get_stride(surface.get());
        std::vector<int32_t> entries(static_cast<size_t>(area.width()));
        for (int y = area.y0; y < area.y1; ++y) {
            // Pixel centres, in user space relative to the start centre.
            CGPoint first = CGPointApplyAffineTransform(CGPointMake(area.x0 + 0.5, y + 0.5), m_inverse);
            lookUpRow(entries.data(), area.width(), static_cast<float>(first.x - m_center.x), static_cast<float>(first.y - m_center.y));
            auto* row = reinterpret_cast<uint32_t*>(data + static_cast<ptrdiff_t>(y - area.y0) * stride);
            for (int x = 0; x < area.width(); ++x)
                row[x] = m_table[static_cast<size_t>(entries[static_cast<size_t>(x)])];
        }
        cairo_surface_mark_dirty(surface.get());
        return surface;
    }

private:
    static constexpr int32_t kNoCircle = 0;
    static constexpr int32_t kBeforeStart = 1;
    static constexpr int32_t kFirstStep = 2;

    // The table entries for count pixels along a row, starting at (px, py)
    // from the start centre. Written without branches, on values of its
    // own, so that it runs a few pixels at a time.
    void lookUpRow(int32_t* entries, int count, float px, float py) const
    {
        float last = static_cast<float>(m_table.size() - 4);
        auto afterEnd = static_cast<int32_t>(m_table.size() - 1);
        lookUpRow(entries, count, px, py, static_cast<float>(m_inverse.a), static_cast<float>(m_inverse.b), m_centerStep[0], m_centerStep[1],
            m_radius, m_radiusStep, m_quadratic, last, afterEnd);
    }

    static void lookUpRow(int32_t* entries, int count, float px, float py, float stepX, float stepY, float cx, float cy, float r0, float dr,
        float a, float last, int32_t afterEnd)
    {
        if (cx == 0 && cy == 0 && dr != 0) {
            // Circles about one centre: t grows with the distance from it.
            const float inverseDr = 1 / dr;
            for (int i = 0; i < count; ++i) {
                float x = px + stepX * static_cast<float>(i), y = py + stepY * static_cast<float>(i);
                float t = (std::sqrt(x * x + y * y) - r0) * inverseDr;
                float within = t > 0 ? t : 0.0f;
                within = within < 1 ? within : 1.0f;
                int32_t index = static_cast<int32_t>(within * last + 0.5f) + kFirstStep;
                index = t < 0 ? kBeforeStart : index;
                entries[i] = t > 1 ? afterEnd : index;
            }
            return;
        }
        bool oneRoot = std::fabs(a) < 1e-6f * (cx * cx + cy * cy + dr * dr); // the start circle touches the end circle from inside
        const float inverseA = oneRoot ? 0 : 1 / a;
        for (int i = 0; i < count; ++i) {
            float x = px + stepX * static_cast<float>(i), y = py + stepY * static_cast<float>(i);
            float b = x * cx + y * cy + r0 * dr;
            float c = x * x + y * y - r0 * r0;
            float t, discriminant;
            if (oneRoot) {
                discriminant = b != 0 ? 1.0f : -1.0f;
                t = b != 0 ? c / (2 * b) : 0.0f;
            } else {
                discriminant = b * b - a * c;
                float root = std::sqrt(discriminant > 0 ? discriminant : 0.0f);
                float one = (b + root) * inverseA, other = (b - root) * inverseA;
                float larger = one > other ? one : other, smaller = one > other ? other : one;
                t = r0 + larger * dr >= 0 ? larger : smaller;
            }
            float within = t > 0 ? t : 0.0f;
            within = within < 1 ? within : 1.0f;
            int32_t index = static_cast<int32_t>(within * last + 0.5f) + kFirstStep;
            index = t < 0 ? kBeforeStart : index;
            index = t > 1 ? afterEnd : index;
            bool found = discriminant >= 0 && r0 + t * dr >= 0;
            entries[i] = found ? index : kNoCircle;
        }
    }

    CGAffineTransform m_inverse;
    CGPoint m_center;
    float m_radius;
    std::array<float, 2> m_centerStep;
    float m_radiusStep;
    float m_quadratic;
    bool m_before;
    bool m_after;
    std::vector<uint32_t> m_table;
};

// Paints the gradient's pixels over area. The pixels of the last few
// gradients are kept: a picture drawn again (a screen whose lit preview
// stays as it is) does not work them out again.
void paintRadialGradient(cairo_t* cr, const RadialGradient& gradient, const PixelRect& area)
{
    struct Kept {
        RadialGradient gradient;
        PixelRect area;
        Surface pixels;
    };
    static constexpr size_t kKept = 4;
    static auto* mutex = new std::mutex;
    static auto* kept = new std::deque<Kept>;
    std::lock_guard lock(*mutex);
    auto found = std::find_if(kept->begin(), kept->end(), [&](const Kept& entry) {
        return entry.area.x0 == area.x0 && entry.area.y0 == area.y0 && entry.area.x1 == area.x1 && entry.area.y1 == area.y1 && entry.gradient.paintsAs(gradient);
    });
    if (found == kept->end()) {
        kept->push_front({ gradient, area, gradient.render(area) });
        if (kept->size() > kKept)
            kept->pop_back();
        found = kept->begin();
    }
    cairo_set_source_surface(cr, found->pixels.get(), 0, 0);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0, 0, 0); // the pixels are held by the cache alone
}

// Paints what `draw` draws (in device space, with whatever matrix it sets)
// onto target under the state's clip, alpha and shadow. extent: device-space
// bounds of everything draw can touch (CGRectInfinite when it fills whatever
// area it is given).
//
// Only pixels that can change are worked on. The shadow comes from the
// shape drawn without the clip on a scratch surface that covers what the
// blur needs for the shadow's pixels inside the clip: the clipped area under
// the shadow, moved back by the offset and grown by the blur's spread (and
// never more than the shape's own extent grown by that spread, beyond which
// the blur has nothing to spread). The blur is capped at a deviation of 128
// pixels. Painting is also clipped to the whole pixels that can change,
// which bounds cairo's work and changes no pixel.
template <typename Draw>
void paint(Layer& target, PixelRect image, const CGContext::GState& state, CGFloat scale, CGRect extent, Draw&& draw)
{
    if (CGRectIsNull(state.clipBox) || state.alpha <= 0)
        return;
    PixelRect visible = PixelRect::enclosing(state.clipBox).intersection(image).intersection(target.limit);
    PixelRect shape = PixelRect::enclosing(extent).inflated(1);
    PixelRect drawn = shape.intersection(visible);

    Surface shadow;
    PixelRect landing;
    double offsetX = state.shadow.offset.width * scale;
    double offsetY = state.shadow.offset.height * scale;
    if (state.shadow.isVisible() && !visible.isEmpty()) {
        double sigma = std::min<double>(state.shadow.blur / 2 * scale, 128.0);
        int spread = blurSpread(sigma);
        // One pixel more each way for the interpolation of a fractional offset.
        landing = PixelRect::enclosing(CGRectOffset(shape.rect(), offsetX, offsetY)).inflated(spread + 1).intersection(visible);
        PixelRect source = PixelRect::enclosing(CGRectOffset(landing.rect(), -offsetX, -offsetY)).inflated(spread + 1).intersection(shape.inflated(spread));
        if (!landing.isEmpty() && !source.isEmpty()) {
            Surface scratch = makeSurface(source.width(), source.height());
            cairo_surface_set_device_offset(scratch.get(), -source.x0, -source.y0);
            {
                Cairo cr(cairo_create(scratch.get()));
                draw(cr.get());
            }
            shadow = makeShadow(scratch.get(), sigma, *state.shadow.color);
        }
    }
    if (!shadow)
        landing = {};
    if (drawn.isEmpty() && landing.isEmpty())
        return;

    target.cover(drawn.united(landing));
    Cairo cr(cairo_create(target.surface.get()));
    applyClip(cr.get(), state.clip.get());
    auto clipToPixels = [&](const PixelRect& pixels) {
        cairo_rectangle(cr.get(), pixels.x0, pixels.y0, pixels.width(), pixels.height());
        cairo_clip(cr.get());
    };
    if (shadow) {
        cairo_save(cr.get());
        clipToPixels(landing);
        cairo_set_source_surface(cr.get(), shadow.get(), offsetX, offsetY);
        cairo_paint_with_alpha(cr.get(), state.alpha);
        cairo_restore(cr.get());
    }
    if (drawn.isEmpty())
        return;
    clipToPixels(drawn);
    if (state.alpha >= 1) {
        draw(cr.get());
        return;
    }
    cairo_push_group(cr.get());
    draw(cr.get());
    cairo_pop_group_to_source(cr.get());
    cairo_paint_with_alpha(cr.get(), state.alpha);
}

// Device-space bounds of a path filled or stroked under ctm.
CGRect fillExtent(const CGPath& path, const CGAffineTransform& ctm)
{
    return CGRectApplyAffineTransform(path.boundingBox(), ctm);
}

// Joins can reach out by the miter limit times half the line width.
constexpr double kCairoMiterLimit = 10;

CGRect strokeExtent(const CGPath& path, const CGAffineTransform& ctm, CGFloat lineWidth)
{
    if (lineWidth == 0)
        return CGRectInset(fillExtent(path, ctm), -kCairoMiterLimit / 2, -kCairoMiterLimit / 2);
    CGFloat reach = lineWidth / 2 * kCairoMiterLimit;
    return CGRectApplyAffineTransform(CGRectInset(path.boundingBox(), -reach, -reach), ctm);
}

// No glyph of a line reaches further than an em beyond its advance, or two
// ems above its baseline (UTF-8 has at least one byte a character).
CGRect textExtent(const std::string& text, CGPoint origin, const Font& font, const CGAffineTransform& ctm)
{
    CGFloat em = font.size;
    CGRect box = CGRectMake(origin.x - em, origin.y - 2 * em, (static_cast<CGFloat>(text.size()) + 2) * em, 3 * em);
    return CGRectApplyAffineTransform(box, ctm);
}

} // namespace

void RasterContext::fillPath(const Ref<CGPath>& path, bool evenOdd)
{
    const GState& s = state();
    if (!isInvertible(s.ctm))
        return;
    paint(m_impl->target(), m_impl->bounds(), s, m_scale, fillExtent(path.get(), s.ctm), [&](cairo_t* cr) {
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
    paint(m_impl->target(), m_impl->bounds(), s, m_scale, strokeExtent(path.get(), s.ctm, s.lineWidth), [&](cairo_t* cr) {
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

    paint(m_impl->target(), m_impl->bounds(), s, m_scale, CGRectInfinite, [&](cairo_t* cr) {
        // The band of the gradient (extended as the options say) across the
        // whole drawable area, in user space.
        cairo_identity_matrix(cr);
        double x1, y1, x2, y2;
        cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
        double alongMin = INFINITY, alongMax = -INFINITY, acrossMin = INFINITY, acrossMax = -INFINITY;
        for (CGPoint corner : { CGPointMake(x1, y1), CGPointMake(x2, y1), CGPointMake(x1, y2), CGPointMake(x2, y2) }) {
            CGPoint p = CGPointApplyAffineTransform(corner, inverse);
            double along = (p.x - start.x) * u.x + (p.y - start.y) * u.y;
            double across = (p.x - start.x) * n.x + (p.y - start.y) * n.y;
            alongMin = std::min(alongMin, along);
            alongMax = std::max(alongMax, along);
            acrossMin = std::min(acrossMin, across);
            acrossMax = std::max(acrossMax, across);
        }
        double from = (options & kCGGradientDrawsBeforeStartLocation) ? std::min(alongMin, 0.0) - 1 : 0;
        double to = (options & kCGGradientDrawsAfterEndLocation) ? std::max<double>(alongMax, length) + 1 : length;
        from = std::max(from, alongMin - 1);
        to = std::min(to, alongMax + 1);
        if (!(to > from))
            return;
        acrossMin -= 1;
        acrossMax += 1;
        auto at = [&](double along, double across) {
            return CGPointMake(start.x + u.x * along + n.x * across, start.y + u.y * along + n.y * across);
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

void RasterContext::drawRadialGradient(CGGradient& gradient, CGPoint startCenter, CGFloat startRadius, CGPoint endCenter, CGFloat endRadius, CGGradientDrawingOptions options)
{
    const GState& s = state();
    bool finite = std::isfinite(startCenter.x) && std::isfinite(startCenter.y) && std::isfinite(endCenter.x) && std::isfinite(endCenter.y)
        && std::isfinite(startRadius) && std::isfinite(endRadius);
    if (!isInvertible(s.ctm) || !finite || (startRadius == 0 && endRadius == 0))
        return;
    // Unextended, the circles stay within the box around both; extended,
    // they may reach anywhere.
    CGRect extent = CGRectInfinite;
    if (!(options & (kCGGradientDrawsBeforeStartLocation | kCGGradientDrawsAfterEndLocation))) {
        CGRect circles = CGRectUnion(CGRectMake(startCenter.x - startRadius, startCenter.y - startRadius, 2 * startRadius, 2 * startRadius),
            CGRectMake(endCenter.x - endRadius, endCenter.y - endRadius, 2 * endRadius, 2 * endRadius));
        extent = CGRectApplyAffineTransform(circles, s.ctm);
    }
    RadialGradient radial(gradient, startCenter, startRadius, endCenter, endRadius, options, s.ctm);
    paint(m_impl->target(), m_impl->bounds(), s, m_scale, extent, [&](cairo_t* cr) {
        cairo_identity_matrix(cr);
        double x1, y1, x2, y2;
        cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
        PixelRect area = PixelRect::enclosing(CGRectMake(x1, y1, x2 - x1, y2 - y1)).intersection(PixelRect::enclosing(extent).inflated(1));
        if (area.isEmpty())
            return;
        paintRadialGradient(cr, radial, area);
    });
}

void RasterContext::drawText(const std::string& text, CGPoint origin, const Font& font)
{
    const GState& s = state();
    if (!isInvertible(s.ctm))
        return;
    paint(m_impl->target(), m_impl->bounds(), s, m_scale, textExtent(text, origin, font, s.ctm), [&](cairo_t* cr) {
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
    // What the layer gets is clipped by the clip it begins under.
    Layer layer;
    const GState& s = state();
    if (!CGRectIsNull(s.clipBox) && s.alpha > 0)
        layer.limit = PixelRect::enclosing(s.clipBox).intersection(m_impl->bounds()).intersection(m_impl->target().limit);
    m_impl->layers.push_back(std::move(layer));
}

void RasterContext::didEndTransparencyLayer()
{
    Layer layer = std::move(m_impl->layers.back());
    m_impl->layers.pop_back();
    if (!layer.surface)
        return; // nothing was drawn: no content, no shadow
    paint(m_impl->target(), m_impl->bounds(), state(), m_scale, layer.area.rect(), [&](cairo_t* cr) {
        cairo_identity_matrix(cr);
        cairo_set_source_surface(cr, layer.surface.get(), 0, 0);
        cairo_paint(cr);
    });
}

} // namespace graphics
