// Registers every platform class when the platform library loads, so that
// objc_getClass and NSClassFromString find them before first use.
#include "foundation/NSCollections.h"
#include "foundation/NSException.h"
#include "foundation/NSValue.h"
#include "graphics/CGColor.h"
#include "uikit/CALayer.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIApplication.h"
#include "uikit/UIAppearance.h"
#include "uikit/UIColor.h"
#include "uikit/UIControl.h"
#include "uikit/UIEvent.h"
#include "uikit/UIGestureRecognizer.h"
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
    UIControl::staticClass();
    UIButton::staticClass();
    UISlider::staticClass();
    UISwitch::staticClass();
    UIGestureRecognizer::staticClass();
    UITapGestureRecognizer::staticClass();
    NSLayoutConstraint::staticClass();
    UIAppearance::staticClass();
}

} // namespace
