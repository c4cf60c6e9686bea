#include "popover/QLZPopoverBackgroundView.h"

#include "uikit/CALayer.h"
#include "uikit/UIApplication.h"
#include "uikit/UIGraphics.h"
#include "uikit/UINavigationController.h"

Class QLZPopoverBackgroundView::staticClass()
{
    static Class cls = [] {
        ClassBuilder<QLZPopoverBackgroundView> builder("QLZPopoverBackgroundView", UIView::staticClass());
        builder.method<&QLZPopoverBackgroundView::initWithContentSize>("initWithContentSize:")
            .method<&QLZPopoverBackgroundView::sizeThatFits>("sizeThatFits:")
            .method<&QLZPopoverBackgroundView::sizeToFit>("sizeToFit")
            .method<&QLZPopoverBackgroundView::outerRect>("outerRect:arrowDirection:")
            .method<&QLZPopoverBackgroundView::innerRect>("innerRect:arrowDirection:")
            .method<&QLZPopoverBackgroundView::arrowRect>("arrowRect:arrowDirection:")
            .method<&QLZPopoverBackgroundView::outerRectOfBounds>("outerRect")
            .method<&QLZPopoverBackgroundView::innerRectOfBounds>("innerRect")
            .method<&QLZPopoverBackgroundView::arrowRectOfBounds>("arrowRect")
            .method<&QLZPopoverBackgroundView::arrowDirection>("arrowDirection")
            .method<&QLZPopoverBackgroundView::setArrowDirection>("setArrowDirection:")
            .method<&QLZPopoverBackgroundView::arrowOffset>("arrowOffset")
            .method<&QLZPopoverBackgroundView::setArrowOffset>("setArrowOffset:")
            .method<&QLZPopoverBackgroundView::setViewController>("setViewController:")
            .method<&QLZPopoverBackgroundView::contentView>("contentView")
            .method<&QLZPopoverBackgroundView::navigationBarHeight>("navigationBarHeight")
            .method<&QLZPopoverBackgroundView::outerShadowInsets>("outerShadowInsets")
            .method<&QLZPopoverBackgroundView::wantsDefaultContentAppearance>("wantsDefaultContentAppearance")
            .method<&QLZPopoverBackgroundView::setWantsDefaultContentAppearance>("setWantsDefaultContentAppearance:")
            .method<&QLZPopoverBackgroundView::isAppearing>("isAppearing")
            .method<&QLZPopoverBackgroundView::setAppearing>("setAppearing:")
            .method<&QLZPopoverBackgroundView::setNeedsDisplay>("setNeedsDisplay")
            .method<&QLZPopoverBackgroundView::drawLayer>("drawLayer:inContext:")
            .method<&QLZPopoverBackgroundView::tapOut>("tapOut")
            .method<&QLZPopoverBackgroundView::delegate>("delegate")
            .method<&QLZPopoverBackgroundView::setDelegate>("setDelegate:");
#define QLZ_THEME_PROPERTY(Kind, name, Name, Flags) \
    builder.method<&QLZPopoverBackgroundView::name>(#name).method<&QLZPopoverBackgroundView::set##Name>("set" #Name ":");
#include "popover/QLZPopoverThemeProperties.def"
        return builder.build();
    }();
    return cls;
}

QLZPopoverBackgroundView::~QLZPopoverBackgroundView() = default;

Ref<QLZPopoverBackgroundView> QLZPopoverBackgroundView::create(CGSize contentSize)
{
    auto view = adoptObject(new QLZPopoverBackgroundView);
    view->initWithContentSize(contentSize);
    return view;
}

QLZPopoverBackgroundView* QLZPopoverBackgroundView::initWithContentSize(CGSize contentSize)
{
    initWithFrame(CGRectMake(0, 0, contentSize.width, contentSize.height));
    m_contentSize = contentSize;
    setAutoresizesSubviews(NO);
    setBackgroundColor(UIColor::clearColor());
    setArrowDirection(QLZPopoverArrowDirectionDown);
    setArrowOffset(0);
    CALayer* chromeLayer = layer();
    chromeLayer->setName("parent"_ns);
    chromeLayer->setDrawsAsynchronously(YES);
    chromeLayer->setContentsScale(UIScreen::mainScreen()->scale());
    chromeLayer->setDelegate(this);
    return this;
}

// MARK: Geometry

CGSize QLZPopoverBackgroundView::sizeThatFits(CGSize size)
{
    return m_chrome.sizeThatFits(size);
}

void QLZPopoverBackgroundView::sizeToFit()
{
    CGSize size = objc_msgSend<CGSize>(this, "sizeThatFits:"_sel, m_contentSize);
    setBounds(CGRectMake(0, 0, size.width, size.height));
}

void QLZPopoverBackgroundView::setArrowOffset(float offset)
{
    m_chrome.arrowOffset = m_chrome.clampedArrowOffset(offset, bounds());
}

// MARK: Content

void QLZPopoverBackgroundView::setViewController(NSObject* viewController)
{
    m_contentView = objc_msgSend<UIView*>(viewController, "view"_sel);
    UIView* content = m_contentView.get();
    CGRect ownBounds = bounds();
    if (content) {
        content->setFrame(CGRectIntegral(CGRectMake(0, 0, ownBounds.size.width, ownBounds.size.height)));
        addSubview(content);
    }

    m_chrome.navigationBarHeight = 0;
    if (viewController && class_isSubclassOf(object_getClass(viewController), UINavigationController::staticClass())) {
        auto* navigationController = static_cast<UINavigationController*>(viewController);
        if (!navigationController->isNavigationBarHidden())
            m_chrome.navigationBarHeight = static_cast<float>(navigationController->navigationBar()->bounds().size.height);
    }
    if (content)
        content->setFrame(CGRectIntegral(innerRectOfBounds()));
    CGRect contentFrame = content ? content->frame() : CGRectZero;

    if (!m_innerView) {
        m_innerView = QLZPopoverBackgroundInnerView::create(contentFrame);
        m_innerView->setUserInteractionEnabled(NO);
        // Later changes of the look reach the inner view through
        // -setNeedsDisplay.
        copyLookIntoInnerView();
    }
    copyPlacementIntoInnerView();
    insertSubviewAboveSubview(m_innerView.get(), content);
    m_innerView->setFrame(CGRectIntegral(contentFrame));
    layer()->setNeedsDisplay();
}

void QLZPopoverBackgroundView::copyLookIntoInnerView()
{
    QLZPopoverBackgroundInnerView* inner = m_innerView.get();
    inner->setGradientTopColor(fillTopColor());
    inner->setGradientBottomColor(fillBottomColor());
    inner->setInnerShadowColor(innerShadowColor());
    inner->setInnerStrokeColor(innerStrokeColor());
    inner->setInnerShadowOffset(innerShadowOffset());
    inner->setInnerCornerRadius(static_cast<float>(innerCornerRadius()));
    inner->setInnerShadowBlurRadius(static_cast<float>(innerShadowBlurRadius()));
    inner->setBorderWidth(static_cast<float>(borderWidth()));
}

void QLZPopoverBackgroundView::copyPlacementIntoInnerView()
{
    QLZPopoverBackgroundInnerView* inner = m_innerView.get();
    inner->setNavigationBarHeight(navigationBarHeight());
    // The chrome's gradient spans the body, which the content's frame
    // continues from the content's own top.
    inner->setGradientHeight(static_cast<float>(frame().size.height - 2.0 * outerShadowBlurRadius()));
    CGFloat contentTop = m_contentView ? m_contentView->frame().origin.y : 0;
    inner->setGradientTopPosition(static_cast<float>(contentTop - outerShadowInsets().top));
    inner->setWantsDefaultContentAppearance(wantsDefaultContentAppearance());
}

// MARK: Display

void QLZPopoverBackgroundView::setNeedsDisplay()
{
    UIView::setNeedsDisplay();
    layer()->setNeedsDisplay();
    if (!m_innerView)
        return;
    copyLookIntoInnerView();
    copyPlacementIntoInnerView();
    objc_msgSend<void>(m_innerView.get(), "setNeedsDisplay"_sel);
}

void QLZPopoverBackgroundView::drawLayer(CALayer* chromeLayer, CGContextRef context)
{
    NSString* name = chromeLayer ? chromeLayer->name() : nullptr;
    if (!name || !name->isEqualToString("parent"_ns))
        return;
    UIGraphicsPushContext(context);
    m_chrome.draw(bounds());
    UIGraphicsPopContext();
}

// MARK: Touches

void QLZPopoverBackgroundView::tapOut()
{
    // The delegate's method is optional: a delegate without it hears
    // nothing (rather than the tap raising).
    if (objc_respondsToSelector(m_delegate, "popoverBackgroundViewDidTouchOutside:"_sel))
        objc_msgSend<void>(m_delegate, "popoverBackgroundViewDidTouchOutside:"_sel, this);
}

// MARK: Inner view

Class QLZPopoverBackgroundInnerView::staticClass()
{
    static Class cls = ClassBuilder<QLZPopoverBackgroundInnerView>("QLZPopoverBackgroundInnerView", UIView::staticClass())
                           .method<&QLZPopoverBackgroundInnerView::initWithFrame>("initWithFrame:")
                           .method<&QLZPopoverBackgroundInnerView::drawRect>("drawRect:")
                           .method<&QLZPopoverBackgroundInnerView::innerStrokeColor>("innerStrokeColor")
                           .method<&QLZPopoverBackgroundInnerView::setInnerStrokeColor>("setInnerStrokeColor:")
                           .method<&QLZPopoverBackgroundInnerView::gradientTopColor>("gradientTopColor")
                           .method<&QLZPopoverBackgroundInnerView::setGradientTopColor>("setGradientTopColor:")
                           .method<&QLZPopoverBackgroundInnerView::gradientBottomColor>("gradientBottomColor")
                           .method<&QLZPopoverBackgroundInnerView::setGradientBottomColor>("setGradientBottomColor:")
                           .method<&QLZPopoverBackgroundInnerView::gradientHeight>("gradientHeight")
                           .method<&QLZPopoverBackgroundInnerView::setGradientHeight>("setGradientHeight:")
                           .method<&QLZPopoverBackgroundInnerView::gradientTopPosition>("gradientTopPosition")
                           .method<&QLZPopoverBackgroundInnerView::setGradientTopPosition>("setGradientTopPosition:")
                           .method<&QLZPopoverBackgroundInnerView::innerShadowColor>("innerShadowColor")
                           .method<&QLZPopoverBackgroundInnerView::setInnerShadowColor>("setInnerShadowColor:")
                           .method<&QLZPopoverBackgroundInnerView::innerShadowOffset>("innerShadowOffset")
                           .method<&QLZPopoverBackgroundInnerView::setInnerShadowOffset>("setInnerShadowOffset:")
                           .method<&QLZPopoverBackgroundInnerView::innerShadowBlurRadius>("innerShadowBlurRadius")
                           .method<&QLZPopoverBackgroundInnerView::setInnerShadowBlurRadius>("setInnerShadowBlurRadius:")
                           .method<&QLZPopoverBackgroundInnerView::innerCornerRadius>("innerCornerRadius")
                           .method<&QLZPopoverBackgroundInnerView::setInnerCornerRadius>("setInnerCornerRadius:")
                           .method<&QLZPopoverBackgroundInnerView::navigationBarHeight>("navigationBarHeight")
                           .method<&QLZPopoverBackgroundInnerView::setNavigationBarHeight>("setNavigationBarHeight:")
                           .method<&QLZPopoverBackgroundInnerView::wantsDefaultContentAppearance>("wantsDefaultContentAppearance")
                           .method<&QLZPopoverBackgroundInnerView::setWantsDefaultContentAppearance>("setWantsDefaultContentAppearance:")
                           .method<&QLZPopoverBackgroundInnerView::borderWidth>("borderWidth")
                           .method<&QLZPopoverBackgroundInnerView::setBorderWidth>("setBorderWidth:")
                           .build();
    return cls;
}

QLZPopoverBackgroundInnerView::~QLZPopoverBackgroundInnerView() = default;

Ref<QLZPopoverBackgroundInnerView> QLZPopoverBackgroundInnerView::create(CGRect frame)
{
    auto view = adoptObject(new QLZPopoverBackgroundInnerView);
    view->initWithFrame(frame);
    return view;
}

UIView* QLZPopoverBackgroundInnerView::initWithFrame(CGRect frame)
{
    UIView::initWithFrame(frame);
    setBackgroundColor(UIColor::clearColor());
    setUserInteractionEnabled(NO);
    return this;
}

void QLZPopoverBackgroundInnerView::drawRect(CGRect rect)
{
    m_frame.draw(rect);
}
