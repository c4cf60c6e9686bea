// Registers every platform class when the platform library loads, so that
// objc_getClass and NSClassFromString find them before first use.
#include "avfoundation/AVCaptureDevice.h"
#include "foundation/NSAssertionHandler.h"
#include "foundation/NSBundle.h"
#include "foundation/NSCollections.h"
#include "foundation/NSException.h"
#include "foundation/NSIndexPath.h"
#include "foundation/NSKeyValueCoding.h"
#include "foundation/NSKeyValueObserving.h"
#include "foundation/NSNull.h"
#include "foundation/NSProcessInfo.h"
#include "foundation/NSStructValue.h"
#include "foundation/NSValue.h"
#include "graphics/CGColor.h"
#include "graphics/CGContext.h"
#include "graphics/CGGradient.h"
#include "graphics/CGPath.h"
#include "uikit/CALayer.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIAppearance.h"
#include "uikit/UIApplication.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIBezierPath.h"
#include "uikit/UIColor.h"
#include "uikit/UIControl.h"
#include "uikit/UIEvent.h"
#include "uikit/UIGeometry.h"
#include "uikit/UIGestureRecognizer.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UITableView.h"
#include "uikit/UIView.h"
#include "uikit/UIViewController.h"
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
    NSNull::staticClass();
    NSValue::staticClass();
    NSIndexPath::staticClass();
    NSBundle::staticClass();
    NSProcessInfo::staticClass();
    NSAssertionHandler::staticClass();
    // NSObject's key-value coding and observing (and -description, -isEqual:, -hash).
    kvc::installMethods();
    kvo::installMethods();

    // AVFoundation
    AVCaptureDevice::staticClass();
    AVCaptureFigVideoDevice::staticClass();

    // CoreGraphics
    CGColorSpace::staticClass();
    CGColor::staticClass();
    CGPath::staticClass();
    CGGradient::staticClass();
    CGContext::staticClass();

    // UIKit (and NSValue's geometry)
    UIKitRegisterGeometryValues();
    UIColor::staticClass();
    UIBezierPath::staticClass();
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
    UILabel::staticClass();
    UINavigationBar::staticClass();
    UITableViewCell::staticClass();
    UITableView::staticClass();
    UIViewController::staticClass();
    UINavigationController::staticClass();
    UIBarButtonItem::staticClass();
}

} // namespace
