#include "graphics/CGPath.h"

#include <algorithm>
#include <numbers>

namespace {

constexpr CGFloat kQuarterTurn = std::numbers::pi / 2;

CGPoint transformed(CGPoint point, const CGAffineTransform* m)
{
    return m ? CGPointApplyAffineTransform(point, *m) : point;
}

bool isInvertible(const CGAffineTransform& m)
{
    return m.a * m.d - m.b * m.c != 0;
}

// The unit vector at a multiple k of a quarter turn, exactly.
CGPoint quadrantDirection(long k)
{
    switch (((k % 4) + 4) % 4) {
    case 0:
        return { 1, 0 };
    case 1:
        return { 0, 1 };
    case 2:
        return { -1, 0 };
    default:
        return { 0, -1 };
    }
}

struct Extent {
    CGFloat minX = std::numeric_limits<CGFloat>::infinity();
    CGFloat minY = std::numeric_limits<CGFloat>::infinity();
    CGFloat maxX = -std::numeric_limits<CGFloat>::infinity();
    CGFloat maxY = -std::numeric_limits<CGFloat>::infinity();

    void add(CGPoint p)
    {
        minX = std::min(minX, p.x);
        minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x);
        maxY = std::max(maxY, p.y);
    }
    CGRect rect() const
    {
        if (minX > maxX)
            return CGRectNull;
        return CGRectMake(minX, minY, maxX - minX, maxY - minY);
    }
};

CGFloat cubicAt(CGFloat p0, CGFloat p1, CGFloat p2, CGFloat p3, CGFloat t)
{
    CGFloat mt = 1 - t;
    return mt * mt * mt * p0 + 3 * mt * mt * t * p1 + 3 * mt * t * t * p2 + t * t * t * p3;
}

// Calls f(t) for the parameters in (0, 1) where one coordinate of a cubic
// Bézier has a zero derivative.
template <typename F>
void cubicCriticalPoints(CGFloat p0, CGFloat p1, CGFloat p2, CGFloat p3, F&& f)
{
    // B'(t)/3 = A t² + B t + C.
    CGFloat a = p1 - p0, b = p2 - p1, c = p3 - p2;
    CGFloat A = a - 2 * b + c;
    CGFloat B = 2 * (b - a);
    CGFloat C = a;
    auto consider = [&](CGFloat t) {
        if (t > 0 && t < 1)
            f(t);
    };
    CGFloat scale = std::fabs(a) + std::fabs(b) + std::fabs(c);
    if (std::fabs(A) <= 1e-12 * scale) {
        if (B != 0)
            consider(-C / B);
        return;
    }
    CGFloat discriminant = B * B - 4 * A * C;
    if (discriminant < 0)
        return;
    CGFloat root = std::sqrt(discriminant);
    CGFloat q = -0.5 * (B + (B < 0 ? -root : root));
    consider(q / A);
    if (q != 0)
        consider(C / q);
}

void addCubicExtent(Extent& extent, CGPoint p0, CGPoint p1, CGPoint p2, CGPoint p3)
{
    extent.add(p3);
    cubicCriticalPoints(p0.x, p1.x, p2.x, p3.x, [&](CGFloat t) { extent.add({ cubicAt(p0.x, p1.x, p2.x, p3.x, t), cubicAt(p0.y, p1.y, p2.y, p3.y, t) }); });
    cubicCriticalPoints(p0.y, p1.y, p2.y, p3.y, [&](CGFloat t) { extent.add({ cubicAt(p0.x, p1.x, p2.x, p3.x, t), cubicAt(p0.y, p1.y, p2.y, p3.y, t) }); });
}

void addQuadExtent(Extent& extent, CGPoint p0, CGPoint p1, CGPoint p2)
{
    extent.add(p2);
    auto at = [&](CGFloat t) {
        CGFloat mt = 1 - t;
        return CGPoint { mt * mt * p0.x + 2 * mt * t * p1.x + t * t * p2.x, mt * mt * p0.y + 2 * mt * t * p1.y + t * t * p2.y };
    };
    CGFloat dx = p0.x - 2 * p1.x + p2.x;
    if (dx != 0) {
        CGFloat t = (p0.x - p1.x) / dx;
        if (t > 0 && t < 1)
            extent.add(at(t));
    }
    CGFloat dy = p0.y - 2 * p1.y + p2.y;
    if (dy != 0) {
        CGFloat t = (p0.y - p1.y) / dy;
        if (t > 0 && t < 1)
            extent.add(at(t));
    }
}

// Winding number of the closed polylines fed edge by edge around a point.
class WindingCounter {
public:
    explicit WindingCounter(CGPoint point)
        : m_point(point)
    {
    }

    void edge(CGPoint a, CGPoint b)
    {
        CGFloat side = (b.x - a.x) * (m_point.y - a.y) - (m_point.x - a.x) * (b.y - a.y);
        if (a.y <= m_point.y) {
            if (b.y > m_point.y && side > 0)
                ++m_winding;
        } else if (b.y <= m_point.y && side < 0) {
            --m_winding;
        }
    }

    template <typename At>
    void curve(CGFloat length, At&& at)
    {
        int pieces = std::clamp(static_cast<int>(std::ceil(std::sqrt(length * 4))), 2, 512);
        CGPoint previous = at(0);
        for (int i = 1; i <= pieces; ++i) {
            CGPoint next = at(static_cast<CGFloat>(i) / pieces);
            edge(previous, next);
            previous = next;
        }
    }

    int winding() const { return m_winding; }

private:
    CGPoint m_point;
    int m_winding = 0;
};

CGFloat distance(CGPoint a, CGPoint b)
{
    return std::hypot(b.x - a.x, b.y - a.y);
}

} // namespace

Class CGPath::staticClass()
{
    static Class cls = ClassBuilder<CGPath>("CGPath", &OBJC_CLASS_NSObject).build();
    return cls;
}

CGPath::~CGPath() = default;

Ref<CGPath> CGPath::create()
{
    return adoptObject(new CGPath);
}

Ref<CGPath> CGPath::copy() const
{
    auto path = adoptObject(new CGPath);
    path->m_types = m_types;
    path->m_points = m_points;
    path->m_current = m_current;
    path->m_subpathStart = m_subpathStart;
    path->m_hasCurrentPoint = m_hasCurrentPoint;
    path->m_closed = m_closed;
    return path;
}

void CGPath::append(CGPathElementType type, std::initializer_list<CGPoint> points, const CGAffineTransform* m)
{
    m_types.push_back(type);
    for (CGPoint point : points)
        m_points.push_back(transformed(point, m));
    m_current = m_points.back();
}

void CGPath::startSegment()
{
    if (!m_closed)
        return;
    m_types.push_back(kCGPathElementMoveToPoint);
    m_points.push_back(m_subpathStart);
    m_current = m_subpathStart;
    m_closed = false;
}

void CGPath::moveTo(CGPoint point, const CGAffineTransform* m)
{
    append(kCGPathElementMoveToPoint, { point }, m);
    m_subpathStart = m_current;
    m_hasCurrentPoint = true;
    m_closed = false;
}

void CGPath::lineTo(CGPoint point, const CGAffineTransform* m)
{
    if (!m_hasCurrentPoint)
        return;
    startSegment();
    append(kCGPathElementAddLineToPoint, { point }, m);
}

void CGPath::quadCurveTo(CGPoint control, CGPoint point, const CGAffineTransform* m)
{
    if (!m_hasCurrentPoint)
        return;
    startSegment();
    append(kCGPathElementAddQuadCurveToPoint, { control, point }, m);
}

void CGPath::curveTo(CGPoint control1, CGPoint control2, CGPoint point, const CGAffineTransform* m)
{
    if (!m_hasCurrentPoint)
        return;
    startSegment();
    append(kCGPathElementAddCurveToPoint, { control1, control2, point }, m);
}

void CGPath::closeSubpath()
{
    if (!m_hasCurrentPoint || m_closed)
        return;
    m_types.push_back(kCGPathElementCloseSubpath);
    m_current = m_subpathStart;
    m_closed = true;
}

// One cubic per quadrant piece; exactStart and exactEnd are the arc's end
// points in the arc's own space (before m), used as given so that tangent
// points and quadrant points stay exact.
void CGPath::appendArc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat sweep, CGPoint exactStart, CGPoint exactEnd, const CGAffineTransform* m)
{
    if (sweep == 0 || radius <= 0 || !m_hasCurrentPoint)
        return;
    startSegment();
    auto emit = [&](CGFloat from, CGPoint p0, CGFloat to, CGPoint p3) {
        CGFloat h = 4.0 / 3.0 * std::tan((to - from) / 4);
        // Tangents are the radius directions turned a quarter, taken from the
        // points themselves.
        CGPoint t0 { -(p0.y - center.y), p0.x - center.x };
        CGPoint t3 { -(p3.y - center.y), p3.x - center.x };
        CGPoint p1 { p0.x + h * t0.x, p0.y + h * t0.y };
        CGPoint p2 { p3.x - h * t3.x, p3.y - h * t3.y };
        append(kCGPathElementAddCurveToPoint, { p1, p2, p3 }, m);
    };

    constexpr CGFloat tolerance = 1e-9;
    CGFloat endAngle = startAngle + sweep;
    CGFloat fromQuadrant = startAngle / kQuarterTurn;
    CGFloat toQuadrant = endAngle / kQuarterTurn;
    CGFloat angle = startAngle;
    CGPoint point = exactStart;
    auto boundary = [&](long k) {
        CGPoint direction = quadrantDirection(k);
        CGPoint next { center.x + radius * direction.x, center.y + radius * direction.y };
        CGFloat nextAngle = static_cast<CGFloat>(k) * kQuarterTurn;
        emit(angle, point, nextAngle, next);
        angle = nextAngle;
        point = next;
    };
    if (sweep > 0) {
        for (long k = static_cast<long>(std::floor(fromQuadrant + tolerance)) + 1; static_cast<CGFloat>(k) < toQuadrant - tolerance; ++k)
            boundary(k);
    } else {
        for (long k = static_cast<long>(std::ceil(fromQuadrant - tolerance)) - 1; static_cast<CGFloat>(k) > toQuadrant + tolerance; --k)
            boundary(k);
    }
    emit(angle, point, endAngle, exactEnd);
}

void CGPath::addArcWithSweep(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat sweep, const CGAffineTransform* m)
{
    if (radius < 0)
        return;
    CGPoint start { center.x + radius * std::cos(startAngle), center.y + radius * std::sin(startAngle) };
    CGFloat endAngle = startAngle + sweep;
    CGPoint end { center.x + radius * std::cos(endAngle), center.y + radius * std::sin(endAngle) };
    if (m_hasCurrentPoint)
        lineTo(start, m);
    else
        moveTo(start, m);
    appendArc(center, radius, startAngle, sweep, start, end, m);
}

void CGPath::addArc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle, bool clockwise, const CGAffineTransform* m)
{
    // The turn from start to end in the requested direction, in (0, 2π]
    // (0 when the angles are equal); more than a full turn draws the circle.
    constexpr CGFloat fullTurn = 2 * std::numbers::pi;
    auto positiveTurn = [](CGFloat turn) {
        if (turn >= fullTurn)
            return fullTurn;
        if (turn >= 0)
            return turn;
        return std::fmod(turn, fullTurn) + fullTurn;
    };
    CGFloat sweep = clockwise ? -positiveTurn(startAngle - endAngle) : positiveTurn(endAngle - startAngle);
    addArcWithSweep(center, radius, startAngle, sweep, m);
}

void CGPath::addArcToPoint(CGPoint corner, CGPoint toward, CGFloat radius, const CGAffineTransform* m)
{
    if (!m_hasCurrentPoint)
        return;
    // The arc is constructed in the caller's space, before m.
    CGPoint current = m_current;
    if (m) {
        if (!isInvertible(*m))
            return;
        current = CGPointApplyAffineTransform(current, CGAffineTransformInvert(*m));
    }
    CGFloat length1 = distance(corner, current);
    CGFloat length2 = distance(corner, toward);
    if (!(radius > 0) || length1 == 0 || length2 == 0) {
        lineTo(corner, m);
        return;
    }
    CGPoint u1 { (current.x - corner.x) / length1, (current.y - corner.y) / length1 };
    CGPoint u2 { (toward.x - corner.x) / length2, (toward.y - corner.y) / length2 };
    CGFloat cross = u1.x * u2.y - u1.y * u2.x;
    CGFloat dot = u1.x * u2.x + u1.y * u2.y;
    if (std::fabs(cross) < 1e-12) {
        lineTo(corner, m);
        return;
    }
    // tan of half the angle at the corner, exact for perpendicular edges.
    CGFloat tanHalf = std::fabs(cross) / (1 + dot);
    CGFloat tangentDistance = radius / tanHalf;
    CGPoint start { corner.x + u1.x * tangentDistance, corner.y + u1.y * tangentDistance };
    CGPoint end { corner.x + u2.x * tangentDistance, corner.y + u2.y * tangentDistance };
    CGFloat side = cross > 0 ? 1 : -1;
    CGPoint center { start.x - u1.y * radius * side, start.y + u1.x * radius * side };
    CGFloat startAngle = std::atan2(start.y - center.y, start.x - center.x);
    CGFloat sweep = -side * (std::numbers::pi - std::atan2(std::fabs(cross), dot));
    lineTo(start, m);
    appendArc(center, radius, startAngle, sweep, start, end, m);
}

void CGPath::addRect(CGRect rect, const CGAffineTransform* m)
{
    if (CGRectIsNull(rect))
        return;
    CGFloat minX = CGRectGetMinX(rect), minY = CGRectGetMinY(rect), maxX = CGRectGetMaxX(rect), maxY = CGRectGetMaxY(rect);
    moveTo({ minX, minY }, m);
    lineTo({ maxX, minY }, m);
    lineTo({ maxX, maxY }, m);
    lineTo({ minX, maxY }, m);
    closeSubpath();
}

void CGPath::addEllipseInRect(CGRect rect, const CGAffineTransform* m)
{
    if (CGRectIsNull(rect))
        return;
    // A unit circle scaled into the rectangle: four quarter arcs from the
    // right-hand point, with increasing angle.
    CGAffineTransform local { CGRectGetWidth(rect) / 2, 0, 0, CGRectGetHeight(rect) / 2, CGRectGetMidX(rect), CGRectGetMidY(rect) };
    CGAffineTransform full = m ? CGAffineTransformConcat(local, *m) : local;
    moveTo({ 1, 0 }, &full);
    appendArc(CGPointZero, 1, 0, 2 * std::numbers::pi, { 1, 0 }, { 1, 0 }, &full);
    closeSubpath();
}

void CGPath::addPath(const CGPath& other, const CGAffineTransform* m)
{
    // Copies first, so that a path can be appended to itself.
    std::vector<CGPathElementType> types = other.m_types;
    std::vector<CGPoint> points = other.m_points;
    const CGPoint* p = points.data();
    for (CGPathElementType type : types) {
        switch (type) {
        case kCGPathElementMoveToPoint:
            moveTo(p[0], m);
            break;
        case kCGPathElementAddLineToPoint:
            lineTo(p[0], m);
            break;
        case kCGPathElementAddQuadCurveToPoint:
            quadCurveTo(p[0], p[1], m);
            break;
        case kCGPathElementAddCurveToPoint:
            curveTo(p[0], p[1], p[2], m);
            break;
        case kCGPathElementCloseSubpath:
            closeSubpath();
            break;
        }
        p += pointCount(type);
    }
}

void CGPath::applyTransform(const CGAffineTransform& m)
{
    for (CGPoint& point : m_points)
        point = CGPointApplyAffineTransform(point, m);
    m_current = CGPointApplyAffineTransform(m_current, m);
    m_subpathStart = CGPointApplyAffineTransform(m_subpathStart, m);
}

void CGPath::removeAll()
{
    m_types.clear();
    m_points.clear();
    m_current = m_subpathStart = CGPointZero;
    m_hasCurrentPoint = false;
    m_closed = false;
}

CGRect CGPath::boundingBox() const noexcept
{
    Extent extent;
    for (CGPoint point : m_points)
        extent.add(point);
    return extent.rect();
}

CGRect CGPath::pathBoundingBox() const noexcept
{
    // Every segment starts at a point already counted (a move or the end of
    // the previous segment), so each adds its end and its interior extremes.
    Extent extent;
    CGPoint current, start;
    forEachElement([&](CGPathElementType type, const CGPoint* p) {
        switch (type) {
        case kCGPathElementMoveToPoint:
            extent.add(p[0]);
            current = start = p[0];
            break;
        case kCGPathElementAddLineToPoint:
            extent.add(p[0]);
            current = p[0];
            break;
        case kCGPathElementAddQuadCurveToPoint:
            addQuadExtent(extent, current, p[0], p[1]);
            current = p[1];
            break;
        case kCGPathElementAddCurveToPoint:
            addCubicExtent(extent, current, p[0], p[1], p[2]);
            current = p[2];
            break;
        case kCGPathElementCloseSubpath:
            current = start;
            break;
        }
    });
    return extent.rect();
}

bool CGPath::containsPoint(CGPoint point, bool evenOdd) const
{
    WindingCounter counter(point);
    CGPoint current, start;
    bool open = false;
    auto closeOpenSubpath = [&] {
        if (open)
            counter.edge(current, start);
        open = false;
    };
    forEachElement([&](CGPathElementType type, const CGPoint* p) {
        switch (type) {
        case kCGPathElementMoveToPoint:
            closeOpenSubpath();
            current = start = p[0];
            open = true;
            break;
        case kCGPathElementAddLineToPoint:
            counter.edge(current, p[0]);
            current = p[0];
            break;
        case kCGPathElementAddQuadCurveToPoint: {
            CGPoint p0 = current;
            counter.curve(distance(p0, p[0]) + distance(p[0], p[1]), [&](CGFloat t) {
                CGFloat mt = 1 - t;
                return CGPoint { mt * mt * p0.x + 2 * mt * t * p[0].x + t * t * p[1].x, mt * mt * p0.y + 2 * mt * t * p[0].y + t * t * p[1].y };
            });
            current = p[1];
            break;
        }
        case kCGPathElementAddCurveToPoint: {
            CGPoint p0 = current;
            counter.curve(distance(p0, p[0]) + distance(p[0], p[1]) + distance(p[1], p[2]), [&](CGFloat t) {
                return CGPoint { cubicAt(p0.x, p[0].x, p[1].x, p[2].x, t), cubicAt(p0.y, p[0].y, p[1].y, p[2].y, t) };
            });
            current = p[2];
            break;
        }
        case kCGPathElementCloseSubpath:
            closeOpenSubpath();
            current = start;
            break;
        }
    });
    closeOpenSubpath();
    int winding = counter.winding();
    return evenOdd ? (winding % 2) != 0 : winding != 0;
}

bool CGPath::isEqual(const Object* other) const noexcept
{
    if (this == other)
        return true;
    if (!other || other->isa() != isa())
        return false;
    auto* path = static_cast<const CGPath*>(other);
    return m_types == path->m_types && m_points == path->m_points;
}

CGMutablePathRef CGPathCreateMutable()
{
    return CGPath::create().leakRef();
}

CGPathRef CGPathCreateCopy(CGPathRef path)
{
    return path ? path->copy().leakRef() : nullptr;
}

CGMutablePathRef CGPathCreateMutableCopy(CGPathRef path)
{
    return path ? path->copy().leakRef() : nullptr;
}

CGPathRef CGPathCreateCopyByTransformingPath(CGPathRef path, const CGAffineTransform* m)
{
    if (!path)
        return nullptr;
    auto copy = path->copy();
    if (m)
        copy->applyTransform(*m);
    return copy.leakRef();
}

CGPathRef CGPathCreateWithRect(CGRect rect, const CGAffineTransform* m)
{
    auto path = CGPath::create();
    path->addRect(rect, m);
    return path.leakRef();
}

CGPathRef CGPathCreateWithEllipseInRect(CGRect rect, const CGAffineTransform* m)
{
    auto path = CGPath::create();
    path->addEllipseInRect(rect, m);
    return path.leakRef();
}

CGPathRef CGPathRetain(CGPathRef path)
{
    if (path)
        path->retain();
    return path;
}

void CGPathRelease(CGPathRef path)
{
    if (path)
        path->release();
}

void CGPathMoveToPoint(CGMutablePathRef path, const CGAffineTransform* m, CGFloat x, CGFloat y)
{
    if (path)
        path->moveTo({ x, y }, m);
}

void CGPathAddLineToPoint(CGMutablePathRef path, const CGAffineTransform* m, CGFloat x, CGFloat y)
{
    if (path)
        path->lineTo({ x, y }, m);
}

void CGPathAddQuadCurveToPoint(CGMutablePathRef path, const CGAffineTransform* m, CGFloat cpx, CGFloat cpy, CGFloat x, CGFloat y)
{
    if (path)
        path->quadCurveTo({ cpx, cpy }, { x, y }, m);
}

void CGPathAddCurveToPoint(CGMutablePathRef path, const CGAffineTransform* m, CGFloat cp1x, CGFloat cp1y, CGFloat cp2x, CGFloat cp2y, CGFloat x, CGFloat y)
{
    if (path)
        path->curveTo({ cp1x, cp1y }, { cp2x, cp2y }, { x, y }, m);
}

void CGPathAddArcToPoint(CGMutablePathRef path, const CGAffineTransform* m, CGFloat x1, CGFloat y1, CGFloat x2, CGFloat y2, CGFloat radius)
{
    if (path)
        path->addArcToPoint({ x1, y1 }, { x2, y2 }, radius, m);
}

void CGPathAddArc(CGMutablePathRef path, const CGAffineTransform* m, CGFloat x, CGFloat y, CGFloat radius, CGFloat startAngle, CGFloat endAngle, bool clockwise)
{
    if (path)
        path->addArc({ x, y }, radius, startAngle, endAngle, clockwise, m);
}

void CGPathAddRect(CGMutablePathRef path, const CGAffineTransform* m, CGRect rect)
{
    if (path)
        path->addRect(rect, m);
}

void CGPathAddEllipseInRect(CGMutablePathRef path, const CGAffineTransform* m, CGRect rect)
{
    if (path)
        path->addEllipseInRect(rect, m);
}

void CGPathAddPath(CGMutablePathRef path, const CGAffineTransform* m, CGPathRef other)
{
    if (path && other)
        path->addPath(*other, m);
}

void CGPathCloseSubpath(CGMutablePathRef path)
{
    if (path)
        path->closeSubpath();
}

bool CGPathIsEmpty(CGPathRef path)
{
    return !path || path->isEmpty();
}

bool CGPathEqualToPath(CGPathRef a, CGPathRef b)
{
    return a == b || (a && b && a->isEqual(b));
}

CGPoint CGPathGetCurrentPoint(CGPathRef path)
{
    return path ? path->currentPoint() : CGPointZero;
}

CGRect CGPathGetBoundingBox(CGPathRef path)
{
    return path ? path->boundingBox() : CGRectNull;
}

CGRect CGPathGetPathBoundingBox(CGPathRef path)
{
    return path ? path->pathBoundingBox() : CGRectNull;
}

bool CGPathContainsPoint(CGPathRef path, const CGAffineTransform* m, CGPoint point, bool eoFill)
{
    if (!path)
        return false;
    return path->containsPoint(transformed(point, m), eoFill);
}

void CGPathApply(CGPathRef path, void* info, CGPathApplierFunction function)
{
    if (!path || !function)
        return;
    path->forEachElement([&](CGPathElementType type, const CGPoint* points) {
        CGPathElement element { type, const_cast<CGPoint*>(points) };
        function(info, &element);
    });
}
