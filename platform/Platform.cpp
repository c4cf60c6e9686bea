// Registers every platform class when the platform library loads, so that
// objc_getClass and NSClassFromString find them before first use.
#include "foundation/NSCollections.h"
#include "foundation/NSException.h"
#include "foundation/NSValue.h"
#include "graphics/CGColor.h"
#include "uikit/CALayer.h"
#include "uikit/UIApplication.h"
#include "uikit/UIColor.h"
#include "uikit/UIEvent.h"
#include "uikit/UIView.h"
#include "uikit/UIWindow.h"

namespace {

[[gnu::constructor(110)]] void registerPlatformClasses()
{
    // Foundation
    NSString::staticClass();
    NSException::staticClass();
    NSNumber::staticClass();
    NSData::staticClass();
    NSDate::staticClass();
    NSError::staticClass();
    NSArray::staticClass();
    NSMutableArray::staticClass();
    NSDictionary::staticClass();
    NSMutableDictionary::staticClass();

    // CoreGraphics
    CGColorSpace::staticClass();
    CGColor::staticClass();

    // UIKit
    UIColor::staticClass();
    CALayer::staticClass();
    UITouch::staticClass();
    UIEvent::staticClass();
    UIScreen::staticClass();
    UIResponder::staticClass();
    UIApplication::staticClass();
    UIView::staticClass();
    UIWindow::staticClass();
}

} // namespace
