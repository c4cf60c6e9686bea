// Core Animation layers, as far as views use them: every view owns one layer
// whose geometry is the view's own (reading or setting the layer's bounds,
// position, frame or transform reads or sets the view's), and which carries
// the look the view does not: border, corner radius, masking, a name, a
// drawing delegate and a needs-display flag for the renderer.
//
// The anchor point is always the centre (0.5, 0.5), as for every view.
#pragma once

#include "foundation/NSString.h"
#include "graphics/CGColor.h"
#include "graphics/CGGeometry.h"

class UIView;

class PLATFORM_EXPORT CALayer : public NSObject {
    OBJC_CLASS(CALayer)
public:
    static Ref<CALayer> create();

    // MARK: Geometry (the owning view's, when there is one)
    CGRect bounds() const noexcept;
    void setBounds(CGRect bounds);
    CGPoint position() const noexcept;
    void setPosition(CGPoint position);
    CGRect frame() const noexcept;
    void setFrame(CGRect frame);
    CGAffineTransform affineTransform() const noexcept;
    void setAffineTransform(CGAffineTransform transform);
    CGPoint anchorPoint() const noexcept { return CGPointMake(0.5, 0.5); }
    // The layer of the owning view's superview.
    CALayer* superlayer() const noexcept;

    // MARK: Look
    NSString* name() const noexcept { return m_name.get(); }
    void setName(NSString* name);
    // Unowned; a view's layer has the view as its delegate.
    NSObject* delegate() const noexcept { return m_delegate; }
    void setDelegate(NSObject* delegate) noexcept { m_delegate = delegate; }
    CGFloat contentsScale() const noexcept { return m_contentsScale; }
    void setContentsScale(CGFloat scale) noexcept { m_contentsScale = scale; }
    BOOL drawsAsynchronously() const noexcept { return m_drawsAsynchronously; }
    void setDrawsAsynchronously(BOOL value) noexcept { m_drawsAsynchronously = value; }
    CGFloat borderWidth() const noexcept { return m_borderWidth; }
    void setBorderWidth(CGFloat width) noexcept { m_borderWidth = width; }
    // Opaque black by default.
    CGColorRef borderColor() const noexcept { return m_borderColor.get(); }
    void setBorderColor(CGColorRef color);
    CGFloat cornerRadius() const noexcept { return m_cornerRadius; }
    void setCornerRadius(CGFloat radius) noexcept { m_cornerRadius = radius; }
    // A view's clipsToBounds is its layer's masksToBounds.
    BOOL masksToBounds() const noexcept { return m_masksToBounds; }
    void setMasksToBounds(BOOL masks) noexcept { m_masksToBounds = masks; }
    // The owning view's alpha and hidden flag, for a view's layer.
    float opacity() const noexcept;
    void setOpacity(float opacity);
    BOOL isHidden() const noexcept;
    void setHidden(BOOL hidden);

    // MARK: Display
    void setNeedsDisplay() noexcept { m_needsDisplay = true; }
    BOOL needsDisplay() const noexcept { return m_needsDisplay; }
    // For the renderer: the layer has been drawn.
    void clearNeedsDisplay() noexcept { m_needsDisplay = false; }

    // The view that owns this layer, nil for a free-standing layer.
    UIView* view() const noexcept { return m_view; }

    ~CALayer() override;

private:
    friend class UIView;
    CALayer();

    UIView* m_view = nullptr;
    NSObject* m_delegate = nullptr;
    RefPtr<NSString> m_name;
    RefPtr<CGColor> m_borderColor;
    CGRect m_bounds;
    CGPoint m_position;
    CGAffineTransform m_transform;
    CGFloat m_contentsScale = 1;
    CGFloat m_borderWidth = 0;
    CGFloat m_cornerRadius = 0;
    float m_opacity = 1;
    BOOL m_hidden = NO;
    BOOL m_drawsAsynchronously = NO;
    BOOL m_masksToBounds = NO;
    bool m_needsDisplay = false;
};
