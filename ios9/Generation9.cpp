// The iOS 9 camera: CameraKit's CMK classes, with a capabilities object
// that knows which camera has a flash.
#include "common/CameraQueries.h"

namespace {

Class capabilitiesClass()
{
    static Class cls = objc_getClass("CAMCaptureCapabilities");
    return cls;
}

bool isFlashSupportedByCapabilities(id x)
{
    id capabilities = objc_msgSend<id>(capabilitiesClass(), "capabilities"_sel);
    return objc_msgSend<BOOL>(capabilities, "isFlashSupportedForDevice:"_sel, objc_msgSend<NSInteger>(x, "cameraDevice"_sel));
}

} // namespace

const Generation& generation()
{
    static const Generation iOS9 = cameraKitGeneration("CMKCaptureController", "CMKShutterButton", isFlashSupportedByCapabilities);
    return iOS9;
}
