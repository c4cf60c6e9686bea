#include "popover/QLZPopoverLayout.h"

#include <algorithm>

QLZPopoverScreenBounds QLZPopoverScreenBounds::make(CGFloat screenWidth, CGFloat screenHeight, CGFloat statusBarHeight, UIEdgeInsets margins)
{
    float width = static_cast<float>(screenWidth);
    float height = static_cast<float>(screenHeight);
    float statusBar = static_cast<float>(statusBarHeight);
    QLZPopoverScreenBounds bounds;
    bounds.minX = static_cast<float>(margins.left);
    bounds.maxX = static_cast<float>(width - margins.right);
    bounds.minY = static_cast<float>(statusBar + margins.top);
    bounds.maxY = static_cast<float>(height - margins.bottom);
    return bounds;
}

CGSize QLZPopoverAreaSize(const QLZPopoverScreenBounds& screen, CGRect anchor, float arrowHeight, QLZPopoverArrowDirection direction)
{
    CGFloat x = anchor.origin.x;
    CGFloat y = anchor.origin.y;
    CGFloat width = anchor.size.width;
    CGFloat height = anchor.size.height;
    CGFloat arrow = arrowHeight;
    switch (direction) {
    case QLZPopoverArrowDirectionUp:
        return CGSizeMake(screen.width(), screen.maxY - (y + height) - arrow);
    case QLZPopoverArrowDirectionDown:
        return CGSizeMake(screen.width(), y - screen.minY - arrow);
    case QLZPopoverArrowDirectionLeft:
        return CGSizeMake(screen.maxX - (x + width) - arrow, screen.height());
    case QLZPopoverArrowDirectionRight:
        return CGSizeMake(x - screen.minX - arrow, screen.height());
    case QLZPopoverArrowDirectionNone:
        return CGSizeMake(screen.width(), screen.height());
    default:
        return CGSizeZero;
    }
}

CGRect QLZRectForInterfaceOrientation(NSInteger orientation, CGRect rect, float windowWidth, float windowHeight)
{
    CGFloat x = rect.origin.x;
    CGFloat y = rect.origin.y;
    CGFloat width = rect.size.width;
    CGFloat height = rect.size.height;
    switch (orientation) {
    case 2: // upside down
        return CGRectMake(windowWidth - x - width, windowHeight - y - height, width, height);
    case 3: // landscape
        return CGRectMake(y, windowWidth - x - width, height, width);
    case 4: // landscape, the other way
        return CGRectMake(windowHeight - y - height, x, height, width);
    default:
        return rect;
    }
}

CGPoint QLZOriginFromInterfaceOrientation(NSInteger orientation, CGPoint origin, CGSize frameSize, float windowWidth, float windowHeight)
{
    switch (orientation) {
    case 2:
        return CGPointMake(windowWidth - origin.x - frameSize.width, windowHeight - origin.y - frameSize.height);
    case 3:
        return CGPointMake(windowWidth - origin.y - frameSize.width, origin.x);
    case 4:
        return CGPointMake(origin.y, windowHeight - origin.x - frameSize.height);
    default:
        return origin;
    }
}

QLZPopoverPlacement QLZPopoverPlace(QLZPopoverArrowDirection direction, CGRect frame, CGRect anchor, const QLZPopoverScreenBounds& screen,
    UIEdgeInsets shadowInsets)
{
    CGFloat fx = frame.origin.x;
    CGFloat fy = frame.origin.y;
    CGFloat fw = frame.size.width;
    CGFloat fh = frame.size.height;
    CGFloat x = fx;
    CGFloat y = fy;
    CGFloat width = fw;
    CGFloat height = fh;
    float offset = 0;

    // Along the arrow's side: pushed back inside the screen, the arrow
    // moving the other way so that it still points at the anchor.
    auto pushHorizontally = [&] {
        if (fx < screen.minX) {
            x = screen.minX;
            offset = -static_cast<float>(screen.minX - fx);
        } else if (fx + fw > screen.maxX) {
            float overflow = static_cast<float>(fx + fw - screen.maxX);
            x = fx - overflow;
            offset = overflow;
        }
    };
    auto pushVertically = [&] {
        if (fy < screen.minY) {
            y = screen.minY;
            offset = -static_cast<float>(screen.minY - fy);
        } else if (fy + fh > screen.maxY) {
            float overflow = static_cast<float>(fy + fh - screen.maxY);
            y = fy - overflow;
            offset = overflow;
        }
    };

    // Away from the anchor: the arrow's tip on the anchor's edge, and the
    // body cut down where the screen ends, keeping the edge by the anchor.
    switch (direction) {
    case QLZPopoverArrowDirectionDown:
        pushHorizontally();
        y = fy - (anchor.size.height / 2 + fh / 2 - shadowInsets.bottom);
        if (y < screen.minY) {
            height = std::max(fh - static_cast<float>(screen.minY - y), QLZPopoverMinimumHeight);
            y = (y + fh) - height;
        }
        break;
    case QLZPopoverArrowDirectionUp:
        pushHorizontally();
        y = fy + (anchor.size.height / 2 + fh / 2 - shadowInsets.top);
        if (y + fh > screen.maxY)
            height = std::max(fh - static_cast<float>(y + fh - screen.maxY), QLZPopoverMinimumHeight);
        break;
    case QLZPopoverArrowDirectionRight:
        pushVertically();
        x = fx - (anchor.size.width / 2 + fw / 2 - shadowInsets.right);
        if (x < screen.minX) {
            width = std::max(fw - static_cast<float>(screen.minX - x), QLZPopoverMinimumWidth);
            x = (x + fw) - width;
        }
        break;
    case QLZPopoverArrowDirectionLeft:
        pushVertically();
        x = fx + (anchor.size.width / 2 + fw / 2 - shadowInsets.left);
        if (x + fw > screen.maxX)
            width = std::max(fw - static_cast<float>(x + fw - screen.maxX), QLZPopoverMinimumWidth);
        break;
    default:
        break;
    }
    return { CGRectMake(x, y, width, height), offset };
}
