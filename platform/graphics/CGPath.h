// CoreGraphics paths: sequences of subpaths made of lines and quadratic and
// cubic Bézier curves, as reference-counted platform objects.
//
// Arcs (CGPathAddArc, CGPathAddArcToPoint, ellipses) are stored as cubic
// Béziers, one per quarter turn or less, split at the quadrant boundaries of
// the arc's own coordinates, as the platform reports them to CGPathApply.
// Within one quadrant a cubic arc is monotonic in x and y, so the exact
// bounding box of an untransformed arc is that of its end points, which are
// computed exactly where they are known (tangent points, quadrant points).
//
// The Create functions return a path the caller owns: release it with
// CGPathRelease (or adopt it).
#pragma once

#include "graphics/CGGeometry.h"
#include "runtime/ClassBuilder.h"

#include <vector>

enum CGPathElementType : int32_t {
    kCGPathElementMoveToPoint = 0,
    kCGPathElementAddLineToPoint = 1,
    kCGPathElementAddQuadCurveToPoint = 2,
    kCGPathElementAddCurveToPoint = 3,
    kCGPathElementCloseSubpath = 4,
};

// One element as CGPathApply hands it out: its points are the end point of
// a line or move, the control point(s) and then the end point of a curve, and
// none (null) for a close.
struct CGPathElement {
    CGPathElementType type;
    CGPoint* points;
};
using CGPathApplierFunction = void (*)(void* info, const CGPathElement* element);

class PLATFORM_EXPORT CGPath : public NSObject {
    OBJC_CLASS(CGPath)
public:
    static Ref<CGPath> create();
    Ref<CGPath> copy() const;
    ~CGPath() override;

    // Building. A non-null transform maps the given coordinates first.
    // Segments need a current point and are ignored without one, as on the
    // platform; a segment after a close starts at the closed subpath's start.
    void moveTo(CGPoint point, const CGAffineTransform* m = nullptr);
    void lineTo(CGPoint point, const CGAffineTransform* m = nullptr);
    void quadCurveTo(CGPoint control, CGPoint point, const CGAffineTransform* m = nullptr);
    void curveTo(CGPoint control1, CGPoint control2, CGPoint point, const CGAffineTransform* m = nullptr);
    void closeSubpath();
    // A circular arc about center from startAngle to endAngle, counter-
    // clockwise in a y-up space (increasing angle) unless clockwise; preceded
    // by a line from the current point to the arc's start, or a move.
    void addArc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle, bool clockwise, const CGAffineTransform* m = nullptr);
    // An arc of `radius` from startAngle turning by `sweep` radians (negative:
    // decreasing angle), with a line (or a move) to its start.
    void addArcWithSweep(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat sweep, const CGAffineTransform* m = nullptr);
    // Only the arc, without a connecting line: it must begin at the current
    // point. start and end are its end points (before m), used as given so
    // that callers who know them exactly keep them exact.
    void appendArc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat sweep, CGPoint start, CGPoint end, const CGAffineTransform* m = nullptr);
    // The tangent arc of PostScript's arct: see CGPathAddArcToPoint.
    void addArcToPoint(CGPoint corner, CGPoint toward, CGFloat radius, const CGAffineTransform* m = nullptr);
    void addRect(CGRect rect, const CGAffineTransform* m = nullptr);
    void addEllipseInRect(CGRect rect, const CGAffineTransform* m = nullptr);
    void addPath(const CGPath& other, const CGAffineTransform* m = nullptr);
    void applyTransform(const CGAffineTransform& m);
    void removeAll();

    bool isEmpty() const noexcept { return m_types.empty(); }
    bool hasCurrentPoint() const noexcept { return m_hasCurrentPoint; }
    // CGPointZero for an empty path; the subpath's start after a close.
    CGPoint currentPoint() const noexcept { return m_hasCurrentPoint ? m_current : CGPointZero; }
    size_t elementCount() const noexcept { return m_types.size(); }
    const std::vector<CGPathElementType>& elementTypes() const noexcept { return m_types; }
    const std::vector<CGPoint>& points() const noexcept { return m_points; }
    static constexpr size_t pointCount(CGPathElementType type) noexcept
    {
        return type == kCGPathElementAddCurveToPoint ? 3 : type == kCGPathElementAddQuadCurveToPoint ? 2
            : type == kCGPathElementCloseSubpath                                                     ? 0
                                                                                                     : 1;
    }

    // Calls f(type, const CGPoint* points) for every element in order.
    template <typename F>
    void forEachElement(F&& f) const
    {
        const CGPoint* p = m_points.data();
        for (CGPathElementType type : m_types) {
            f(type, type == kCGPathElementCloseSubpath ? nullptr : p);
            p += pointCount(type);
        }
    }

    // CGRectNull for a path without points.
    CGRect boundingBox() const noexcept;     // every point, control points too
    CGRect pathBoundingBox() const noexcept; // the exact extent of the drawn segments
    // Subpaths are closed implicitly; a point on the outline may go either way.
    bool containsPoint(CGPoint point, bool evenOdd) const;

    bool isEqual(const Object* other) const noexcept override;

private:
    CGPath() = default;
    void append(CGPathElementType type, std::initializer_list<CGPoint> points, const CGAffineTransform* m);
    void startSegment();

    std::vector<CGPathElementType> m_types;
    std::vector<CGPoint> m_points;
    CGPoint m_current;
    CGPoint m_subpathStart;
    bool m_hasCurrentPoint = false;
    bool m_closed = false; // the last element closed a subpath
};
using CGPathRef = const CGPath*;
using CGMutablePathRef = CGPath*;

PLATFORM_EXPORT CGMutablePathRef CGPathCreateMutable();
PLATFORM_EXPORT CGPathRef CGPathCreateCopy(CGPathRef path);
PLATFORM_EXPORT CGMutablePathRef CGPathCreateMutableCopy(CGPathRef path);
PLATFORM_EXPORT CGPathRef CGPathCreateCopyByTransformingPath(CGPathRef path, const CGAffineTransform* m);
PLATFORM_EXPORT CGPathRef CGPathCreateWithRect(CGRect rect, const CGAffineTransform* m);
PLATFORM_EXPORT CGPathRef CGPathCreateWithEllipseInRect(CGRect rect, const CGAffineTransform* m);
PLATFORM_EXPORT CGPathRef CGPathRetain(CGPathRef path);
PLATFORM_EXPORT void CGPathRelease(CGPathRef path);

PLATFORM_EXPORT void CGPathMoveToPoint(CGMutablePathRef path, const CGAffineTransform* m, CGFloat x, CGFloat y);
PLATFORM_EXPORT void CGPathAddLineToPoint(CGMutablePathRef path, const CGAffineTransform* m, CGFloat x, CGFloat y);
PLATFORM_EXPORT void CGPathAddQuadCurveToPoint(CGMutablePathRef path, const CGAffineTransform* m, CGFloat cpx, CGFloat cpy, CGFloat x, CGFloat y);
PLATFORM_EXPORT void CGPathAddCurveToPoint(CGMutablePathRef path, const CGAffineTransform* m, CGFloat cp1x, CGFloat cp1y, CGFloat cp2x, CGFloat cp2y, CGFloat x, CGFloat y);
// A line from the current point to the start of the arc of radius r tangent
// to the lines (current point → (x1, y1)) and ((x1, y1) → (x2, y2)), then the
// arc. With r = 0, or when the three points are collinear (or coincide), a
// line to (x1, y1). Nothing without a current point.
PLATFORM_EXPORT void CGPathAddArcToPoint(CGMutablePathRef path, const CGAffineTransform* m, CGFloat x1, CGFloat y1, CGFloat x2, CGFloat y2, CGFloat radius);
PLATFORM_EXPORT void CGPathAddArc(CGMutablePathRef path, const CGAffineTransform* m, CGFloat x, CGFloat y, CGFloat radius, CGFloat startAngle, CGFloat endAngle, bool clockwise);
PLATFORM_EXPORT void CGPathAddRect(CGMutablePathRef path, const CGAffineTransform* m, CGRect rect);
PLATFORM_EXPORT void CGPathAddEllipseInRect(CGMutablePathRef path, const CGAffineTransform* m, CGRect rect);
PLATFORM_EXPORT void CGPathAddPath(CGMutablePathRef path, const CGAffineTransform* m, CGPathRef other);
PLATFORM_EXPORT void CGPathCloseSubpath(CGMutablePathRef path);

PLATFORM_EXPORT bool CGPathIsEmpty(CGPathRef path);
PLATFORM_EXPORT bool CGPathEqualToPath(CGPathRef a, CGPathRef b);
PLATFORM_EXPORT CGPoint CGPathGetCurrentPoint(CGPathRef path);
PLATFORM_EXPORT CGRect CGPathGetBoundingBox(CGPathRef path);
PLATFORM_EXPORT CGRect CGPathGetPathBoundingBox(CGPathRef path);
// The transform, when given, is applied to the point before the test.
PLATFORM_EXPORT bool CGPathContainsPoint(CGPathRef path, const CGAffineTransform* m, CGPoint point, bool eoFill);
PLATFORM_EXPORT void CGPathApply(CGPathRef path, void* info, CGPathApplierFunction function);
