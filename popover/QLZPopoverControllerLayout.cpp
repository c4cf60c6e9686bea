// QLZPopoverController: choosing the arrow's side, the layout pass, the
// grow/shrink transform and the content view's adjustments.
#include "popover/QLZPopoverController.h"

#include "foundation/NSProcessInfo.h"
#include "popover/QLZPopoverArea.h"
#include "popover/QLZPopoverLayout.h"
#include "uikit/CALayer.h"
#include "uikit/UIApplication.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIViewAnimation.h"
#include "uikit/UIWindow.h"

#include <algorithm>
#include <cmath>

namespace {

// iOS 8 and later: windows turn with the interface, so window coordinates
// are interface coordinates.
bool windowsFollowInterfaceOrientation()
{
    return objc_respondsToSelector(NSProcessInfo::processInfo(), "operatingSystemVersion"_sel);
}

bool isLandscape(UIInterfaceOrientation orientation)
{
    return orientation == UIInterfaceOrientationLandscapeRight || orientation == UIInterfaceOrientationLandscapeLeft;
}

UIInterfaceOrientation interfaceOrientation()
{
    return UIApplication::sharedApplication()->statusBarOrientation();
}

CGSize keyWindowSize()
{
    UIWindow* keyWindow = UIApplication::sharedApplication()->keyWindow();
    return keyWindow ? keyWindow->bounds().size : CGSizeZero;
}

CGRect QLZRectInInterfaceOrientation(UIInterfaceOrientation orientation, CGRect rect)
{
    CGSize window = keyWindowSize();
    if (windowsFollowInterfaceOrientation())
        return rect;
    return QLZRectForInterfaceOrientation(orientation, rect, static_cast<float>(window.width), static_cast<float>(window.height));
}

// The status bar's height; before iOS 8 its frame does not turn with the
// interface, so in landscape its height is the frame's width.
CGFloat statusBarHeight()
{
    CGRect frame = UIApplication::sharedApplication()->statusBarFrame();
    if (windowsFollowInterfaceOrientation())
        return frame.size.height;
    return isLandscape(interfaceOrientation()) ? frame.size.width : frame.size.height;
}

// The anchor in window coordinates, as the interface lies.
CGRect anchorInInterface(UIInterfaceOrientation orientation, CGRect rect, UIView* view)
{
    CGRect inWindow = objc_msgSend<CGRect>(view, "convertRect:toView:"_sel, rect, nullptr);
    return QLZRectInInterfaceOrientation(orientation, inWindow);
}

} // namespace

// MARK: Choosing the side

CGSize QLZPopoverController::sizeForRect(CGRect rect, UIView* view, float arrowHeight, QLZPopoverArrowDirection direction)
{
    UIInterfaceOrientation orientation = interfaceOrientation();
    CGRect anchor = anchorInInterface(orientation, rect, view);
    // The overlay covers the window; its size is taken as the interface's
    // even where windows turn with the interface.
    CGSize overlay = m_overlayView ? m_overlayView->bounds().size : CGSizeZero;
    if (orientation != UIInterfaceOrientationPortrait && orientation != UIInterfaceOrientationPortraitUpsideDown)
        std::swap(overlay.width, overlay.height);
    auto screen = QLZPopoverScreenBounds::make(overlay.width, overlay.height, statusBarHeight(), m_popoverLayoutMargins);
    return QLZPopoverAreaSize(screen, anchor, arrowHeight, direction);
}

QLZPopoverArrowDirection QLZPopoverController::arrowDirectionForRect(CGRect rect, UIView* view, CGSize contentSize, float arrowHeight,
    QLZPopoverArrowDirection permittedArrowDirections)
{
    std::vector<Ref<QLZPopoverArea>> areas;
    for (QLZPopoverArrowDirection direction : { QLZPopoverArrowDirectionDown, QLZPopoverArrowDirectionUp, QLZPopoverArrowDirectionLeft,
             QLZPopoverArrowDirectionRight, QLZPopoverArrowDirectionNone }) {
        if (!(permittedArrowDirections & direction))
            continue;
        Ref<QLZPopoverArea> area = QLZPopoverArea::create();
        area->setAreaSize(sizeForRect(rect, view, arrowHeight, direction));
        area->setArrowDirection(direction);
        areas.push_back(std::move(area));
    }
    // With a choice, sides without room drop out; a single side stays.
    if (areas.size() >= 2) {
        std::erase_if(areas, [](const Ref<QLZPopoverArea>& area) {
            CGSize size = area->areaSize();
            return !(size.width > 0 && size.height > 0);
        });
    }
    std::stable_sort(areas.begin(), areas.end(), [](const Ref<QLZPopoverArea>& a, const Ref<QLZPopoverArea>& b) {
        return a->value() > b->value();
    });
    // Only widths are compared: the layout pass cuts a body that is too
    // high.
    for (const auto& area : areas) {
        if (area->areaSize().width >= contentSize.width)
            return area->arrowDirection();
    }
    if (!areas.empty())
        return areas.front()->arrowDirection();
    if (permittedArrowDirections & QLZPopoverArrowDirectionDown)
        return QLZPopoverArrowDirectionDown;
    if (permittedArrowDirections & QLZPopoverArrowDirectionUp)
        return QLZPopoverArrowDirectionUp;
    if (permittedArrowDirections & QLZPopoverArrowDirectionLeft)
        return QLZPopoverArrowDirectionLeft;
    return QLZPopoverArrowDirectionRight;
}

// MARK: Layout pass

void QLZPopoverController::positionPopover(BOOL animated)
{
    // Before the popover is shown there is nothing to place.
    RefPtr<QLZPopoverBackgroundView> chrome = m_backgroundView;
    if (!chrome)
        return;
    Ref<QLZPopoverController> protectedThis(*this);

    CGRect startFrame = chrome->frame();
    UIInterfaceOrientation orientation = interfaceOrientation();
    CGSize content = popoverContentSize();
    CGSize screen = CGSizeZero;
    if (m_ignoreOrientation) {
        UIWindow* window = m_overlayView ? m_overlayView->window() : nullptr;
        screen = window ? window->frame().size : CGSizeZero;
    } else {
        screen = m_overlayView ? m_overlayView->bounds().size : CGSizeZero;
        if (orientation != UIInterfaceOrientationPortrait && orientation != UIInterfaceOrientationPortraitUpsideDown)
            std::swap(screen.width, screen.height);
    }
    UIWindow* anchorWindow = m_inView ? m_inView->window() : nullptr;
    if (m_overlayView)
        m_overlayView->setBounds(anchorWindow ? anchorWindow->bounds() : CGRectZero);
    chrome->setTransform(CGAffineTransformIdentity);

    CGRect anchor = anchorInInterface(orientation, m_rect, m_inView.get());
    auto bounds = QLZPopoverScreenBounds::make(screen.width, screen.height, statusBarHeight(), m_popoverLayoutMargins);
    QLZPopoverArrowDirection direction = arrowDirectionForRect(m_rect, m_inView.get(), content, static_cast<float>(chrome->arrowHeight()),
        m_permittedArrowDirections);

    // The chrome's shadow may reach past the margins.
    UIEdgeInsets shadowInsets = chrome->outerShadowInsets();
    bounds.minX -= shadowInsets.left;
    bounds.maxX += shadowInsets.right;
    bounds.minY -= shadowInsets.top;
    bounds.maxY += shadowInsets.bottom;

    chrome->setArrowDirection(direction);
    CGSize fit = objc_msgSend<CGSize>(chrome.get(), "sizeThatFits:"_sel, content);
    CGFloat width = std::min<CGFloat>(bounds.width(), fit.width);
    CGFloat height = std::min<CGFloat>(bounds.height(), fit.height);
    CGRect sized = CGRectMake(0, 0, width, height);
    if (direction == QLZPopoverArrowDirectionDown || direction == QLZPopoverArrowDirectionRight || direction == QLZPopoverArrowDirectionNone)
        sized = CGRectIntegral(sized);
    chrome->setFrame(sized);
    if (direction == QLZPopoverArrowDirectionNone) {
        float centreX = bounds.minX + bounds.width() * 0.5f;
        float centreY = bounds.minY + bounds.height() * 0.5f;
        chrome->setCenter(CGPointMake(centreX, centreY));
    } else {
        chrome->setCenter(CGPointMake(anchor.origin.x + anchor.size.width * 0.5, anchor.origin.y + anchor.size.height * 0.5));
    }
    CGRect centred = chrome->frame();
    if (direction == QLZPopoverArrowDirectionLeft)
        centred = CGRectIntegral(centred);

    QLZPopoverPlacement placement = QLZPopoverPlace(direction, centred, anchor, bounds, shadowInsets);
    // The offset is clamped within the frame the chrome has now.
    chrome->setArrowOffset(placement.arrowOffset);
    CGRect placed = CGRectIntegral(placement.frame);
    chrome->setFrame(placed);
    chrome->setWantsDefaultContentAppearance(m_wantsDefaultContentAppearance);
    chrome->setViewController(m_viewController.get());

    // Before iOS 8 the window does not turn: the chrome turns with the
    // interface and its frame goes back into window coordinates.
    float angle = 0;
    if (!m_ignoreOrientation) {
        if (orientation == UIInterfaceOrientationPortraitUpsideDown)
            angle = static_cast<float>(M_PI);
        else if (orientation == UIInterfaceOrientationLandscapeRight)
            angle = static_cast<float>(M_PI_2);
        else if (orientation == UIInterfaceOrientationLandscapeLeft)
            angle = -static_cast<float>(M_PI_2);
    }
    chrome->setTransform(CGAffineTransformMakeRotation(angle));
    CGSize turned = chrome->frame().size;
    CGPoint origin = placed.origin;
    if (!m_ignoreOrientation) {
        CGSize window = keyWindowSize();
        origin = QLZOriginFromInterfaceOrientation(orientation, origin, turned, static_cast<float>(window.width), static_cast<float>(window.height));
    }
    CGRect finalFrame = { origin, turned };

    if (animated && !m_implicitAnimationsDisabled) {
        chrome->setFrame(startFrame);
        objc_msgSend<void>(UIView::staticClass(), "animateWithDuration:animations:"_sel, static_cast<double>(0.1f),
            UIViewAnimationBlock([chrome, finalFrame] { chrome->setFrame(finalFrame); }));
    } else {
        chrome->setFrame(finalFrame);
    }
    chrome->setNeedsDisplay();
}

CGAffineTransform QLZPopoverController::transformForArrowDirection(QLZPopoverArrowDirection direction)
{
    QLZPopoverBackgroundView* chrome = m_backgroundView.get();
    CGAffineTransform transform = chrome ? chrome->transform() : CGAffineTransformMake(0, 0, 0, 0, 0, 0);
    CGSize size = chrome ? chrome->frame().size : CGSizeZero;
    if (isLandscape(interfaceOrientation()))
        std::swap(size.width, size.height);
    CGFloat dx = 0;
    CGFloat dy = 0;
    if (chrome && chrome->arrowHeight()) {
        CGFloat offset = chrome->arrowOffset();
        switch (direction) {
        case QLZPopoverArrowDirectionUp:
            dx = offset;
            dy = -size.height / 2;
            break;
        case QLZPopoverArrowDirectionDown:
            dx = offset;
            dy = size.height / 2;
            break;
        case QLZPopoverArrowDirectionLeft:
            dx = -size.width / 2;
            dy = offset;
            break;
        case QLZPopoverArrowDirectionRight:
            dx = size.width / 2;
            dy = offset;
            break;
        default:
            break;
        }
    }
    return CGAffineTransformScale(CGAffineTransformTranslate(transform, dx, dy), 0.01, 0.01);
}

void QLZPopoverController::setPopoverNavigationBarBackgroundImage()
{
    NSObject* content = m_viewController.get();
    if (content && class_isSubclassOf(object_getClass(content), UINavigationController::staticClass())
        && objc_respondsToSelector(content, "setEdgesForExtendedLayout:"_sel)) {
        UIViewController* top = static_cast<UINavigationController*>(content)->topViewController();
        objc_msgSend<void>(top, "setEdgesForExtendedLayout:"_sel, NSUInteger(UIRectEdgeNone));
    }
    UIView* contentView = objc_msgSend<UIView*>(content, "view"_sel);
    if (!contentView)
        return;
    contentView->setClipsToBounds(YES);
    // Without a border the chrome's rounded corners are the content's own.
    NSUInteger border = m_backgroundView ? m_backgroundView->borderWidth() : 0;
    if (!border)
        contentView->layer()->setCornerRadius(m_backgroundView ? m_backgroundView->outerCornerRadius() : 0);
}
