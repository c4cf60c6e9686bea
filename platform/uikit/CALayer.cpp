#include "uikit/CALayer.h"

#include "uikit/UIView.h"

Class CALayer::staticClass()
{
    static Class cls = ClassBuilder<CALayer>("CALayer", &OBJC_CLASS_NSObject)
                           .classMethod<&CALayer::create>("layer")
                           .method<&CALayer::bounds>("bounds")
                           .method<&CALayer::setBounds>("setBounds:")
                           .method<&CALayer::position>("position")
                           .method<&CALayer::setPosition>("setPosition:")
                           .method<&CALayer::frame>("frame")
                           .method<&CALayer::setFrame>("setFrame:")
                           .method<&CALayer::affineTransform>("affineTransform")
                           .method<&CALayer::setAffineTransform>("setAffineTransform:")
                           .method<&CALayer::anchorPoint>("anchorPoint")
                           .method<&CALayer::superlayer>("superlayer")
                           .method<&CALayer::name>("name")
                           .method<&CALayer::setName>("setName:")
                           .method<&CALayer::delegate>("delegate")
                           .method<&CALayer::setDelegate>("setDelegate:")
                           .method<&CALayer::contentsScale>("contentsScale")
                           .method<&CALayer::setContentsScale>("setContentsScale:")
                           .method<&CALayer::drawsAsynchronously>("drawsAsynchronously")
                           .method<&CALayer::setDrawsAsynchronously>("setDrawsAsynchronously:")
                           .method<&CALayer::borderWidth>("borderWidth")
                           .method<&CALayer::setBorderWidth>("setBorderWidth:")
                           .method<&CALayer::borderColor>("borderColor")
                           .method<&CALayer::setBorderColor>("setBorderColor:")
                           .method<&CALayer::cornerRadius>("cornerRadius")
                           .method<&CALayer::setCornerRadius>("setCornerRadius:")
                           .method<&CALayer::masksToBounds>("masksToBounds")
                           .method<&CALayer::setMasksToBounds>("setMasksToBounds:")
                           .method<&CALayer::opacity>("opacity")
                           .method<&CALayer::setOpacity>("setOpacity:")
                           .method<&CALayer::isHidden>("isHidden")
                           .method<&CALayer::setHidden>("setHidden:")
                           .method<&CALayer::setNeedsDisplay>("setNeedsDisplay")
                           .method<&CALayer::needsDisplay>("needsDisplay")
                           .build();
    return cls;
}

CALayer::CALayer()
{
    CGFloat black[] = { 0, 1 };
    auto gray = adoptRef(*CGColorSpaceCreateDeviceGray());
    m_borderColor = adoptRef(CGColorCreate(gray.ptr(), black));
}

CALayer::~CALayer() = default;

Ref<CALayer> CALayer::create()
{
    return adoptObject(new CALayer);
}

CGRect CALayer::bounds() const noexcept
{
    return m_view ? m_view->bounds() : m_bounds;
}

void CALayer::setBounds(CGRect bounds)
{
    if (m_view)
        m_view->setBounds(bounds);
    else
        m_bounds = bounds;
}

CGPoint CALayer::position() const noexcept
{
    return m_view ? m_view->center() : m_position;
}

void CALayer::setPosition(CGPoint position)
{
    if (m_view)
        m_view->setCenter(position);
    else
        m_position = position;
}

CGRect CALayer::frame() const noexcept
{
    if (m_view)
        return m_view->frame();
    CGSize size = m_bounds.size;
    CGRect local = CGRectApplyAffineTransform(CGRectMake(-size.width / 2, -size.height / 2, size.width, size.height), m_transform);
    return CGRectOffset(local, m_position.x, m_position.y);
}

void CALayer::setFrame(CGRect frame)
{
    if (m_view) {
        m_view->setFrame(frame);
        return;
    }
    frame = CGRectStandardize(frame);
    m_bounds.size = frame.size;
    m_position = CGPointMake(CGRectGetMidX(frame), CGRectGetMidY(frame));
}

CGAffineTransform CALayer::affineTransform() const noexcept
{
    return m_view ? m_view->transform() : m_transform;
}

void CALayer::setAffineTransform(CGAffineTransform transform)
{
    if (m_view)
        m_view->setTransform(transform);
    else
        m_transform = transform;
}

CALayer* CALayer::superlayer() const noexcept
{
    return m_view && m_view->superview() ? m_view->superview()->layer() : nullptr;
}

void CALayer::setName(NSString* name)
{
    m_name = name;
}

void CALayer::setBorderColor(CGColorRef color)
{
    m_borderColor = color;
}

float CALayer::opacity() const noexcept
{
    return m_view ? static_cast<float>(m_view->alpha()) : m_opacity;
}

void CALayer::setOpacity(float opacity)
{
    if (m_view)
        m_view->setAlpha(opacity);
    else
        m_opacity = opacity;
}

BOOL CALayer::isHidden() const noexcept
{
    return m_view ? m_view->isHidden() : m_hidden;
}

void CALayer::setHidden(BOOL hidden)
{
    if (m_view)
        m_view->setHidden(hidden);
    else
        m_hidden = hidden;
}
