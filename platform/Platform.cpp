// Registers every platform class when the platform library loads, so that
// objc_getClass and NSClassFromString find them before first use.
#include "avfoundation/AVCaptureDevice.h"
#include "foundation/NSCollections.h"
#include "foundation/NSException.h"
#include "foundation/NSValue.h"
#include "graphics/CGColor.h"
#include "graphics/CGContext.h"
#include "graphics/CGPath.h"
#include "uikit/UIBezierPath.h"
#include "uikit/UIColor.h"
#include "uikit/UIView.h"

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

    // AVFoundation
    AVCaptureDevice::staticClass();
    AVCaptureFigVideoDevice::staticClass();

    // CoreGraphics
    CGColorSpace::staticClass();
    CGColor::staticClass();
    CGPath::staticClass();
    CGGradient::staticClass();
    CGContext::staticClass();

    // UIKit
    UIColor::staticClass();
    UIBezierPath::staticClass();
    UIResponder::staticClass();
    UIView::staticClass();
}

} // namespace
