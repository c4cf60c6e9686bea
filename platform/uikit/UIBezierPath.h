// UIKit's path object: a CGPath with the drawing properties UIKit draws it
// with (line width, fill rule), filled, stroked and clipped to in the current
// UIKit context (UIGraphicsGetCurrentContext).
#pragma once

#include "graphics/CGPath.h"
#include "uikit/UIGeometry.h"

class PLATFORM_EXPORT UIBezierPath : public NSObject {
    OBJC_CLASS(UIBezierPath)
public:
    static Ref<UIBezierPath> bezierPath();
    // A copy of path.
    static Ref<UIBezierPath> bezierPathWithCGPath(CGPathRef path);
    static Ref<UIBezierPath> bezierPathWithRect(CGRect rect);
    static Ref<UIBezierPath> bezierPathWithOvalInRect(CGRect rect);
    // Corners are circular arcs: an approximation of UIKit's, whose corners
    // blend into the edges with continuous curvature. Radii are limited to
    // half the shorter side. The path runs clockwise on screen from the end
    // of the top-left corner.
    static Ref<UIBezierPath> bezierPathWithRoundedRect(CGRect rect, CGFloat cornerRadius);
    // Only the given corners are rounded, with radius cornerRadii.width (the
    // height is not used, as in UIKit).
    static Ref<UIBezierPath> bezierPathWithRoundedRect(CGRect rect, UIRectCorner corners, CGSize cornerRadii);
    // UIKit's clockwise: increasing angle, which is clockwise on screen.
    static Ref<UIBezierPath> bezierPathWithArcCenter(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle, BOOL clockwise);
    ~UIBezierPath() override;

    void moveToPoint(CGPoint point) { m_path->moveTo(point); }
    void addLineToPoint(CGPoint point) { m_path->lineTo(point); }
    void addCurveToPoint(CGPoint point, CGPoint controlPoint1, CGPoint controlPoint2) { m_path->curveTo(controlPoint1, controlPoint2, point); }
    void addQuadCurveToPoint(CGPoint point, CGPoint controlPoint) { m_path->quadCurveTo(controlPoint, point); }
    void addArcWithCenter(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle, BOOL clockwise);
    void closePath() { m_path->closeSubpath(); }
    void removeAllPoints() { m_path->removeAll(); }
    void appendPath(UIBezierPath* other);
    void applyTransform(CGAffineTransform transform) { m_path->applyTransform(transform); }

    BOOL isEmpty() const noexcept { return m_path->isEmpty(); }
    CGPoint currentPoint() const noexcept { return m_path->currentPoint(); }
    // Every point of the path, control points included, as UIKit documents
    // it (CGPathGetPathBoundingBox gives the tight box).
    CGRect bounds() const noexcept { return m_path->boundingBox(); }
    BOOL containsPoint(CGPoint point) const { return m_path->containsPoint(point, m_usesEvenOddFillRule); }

    // The path itself, valid until this object changes.
    CGPathRef CGPath() const noexcept { return m_path.ptr(); }
    void setCGPath(CGPathRef path);

    CGFloat lineWidth() const noexcept { return m_lineWidth; }
    void setLineWidth(CGFloat width) { m_lineWidth = width; }
    BOOL usesEvenOddFillRule() const noexcept { return m_usesEvenOddFillRule; }
    void setUsesEvenOddFillRule(BOOL evenOdd) { m_usesEvenOddFillRule = evenOdd; }

    // Fill and stroke save the context's state and restore it afterwards;
    // addClip changes the clip for good. All do nothing without a context.
    void fill() const;
    void stroke() const;
    void addClip() const;

private:
    UIBezierPath();
    Ref<::CGPath> m_path;
    CGFloat m_lineWidth = 1;
    BOOL m_usesEvenOddFillRule = NO;
};
