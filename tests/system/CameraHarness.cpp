#include "system/CameraHarness.h"

#include "common/CameraIntegration.h"
#include "corefoundation/CoreFoundation.h"
#include "device/Device.h"
#include "dispatch/RunLoop.h"
#include "foundation/PropertyList.h"
#include "host/CameraApp.h"
#include "host/CameraModel.h"
#include "host/Families.h"
#include "ios9/HookTable.h"
#include "support/TestSupport.h"
#include "uikit/UIKitSimulator.h"

#include <gtest/gtest.h>

namespace testing_support {

bool runWithCamera(std::vector<NSDictionary::Entry> preferences, const std::function<void()>& body)
{
    return runInChildProcess([&] {
        TemporaryDeviceRoot root;
        AutoreleasePool pool;
        if (!preferences.empty()) {
            auto bytes = NSPropertyListXML(NSDictionary::create(std::move(preferences)).ptr());
            root.writeFile("/var/mobile/Library/Preferences/com.QV.Lumora.plist", *bytes);
        }
        device::setSystemVersion({ 9, 0 });
        kCFCoreFoundationVersionNumber = 1240.10;
        UIKitSimulator::setScreen(CGSizeMake(375, 667), 2);
        camera::registerFamily(camera::familyForGeneration(9));
        startModule(ios9HookTable());
        camera::launchCamera();
        RunLoop::main().runPending();
        body();
    });
}

AVCaptureDevice* rearTorch()
{
    return camera::model().rearDevice.ptr();
}

NSDictionary::Entry preference(NSString* key, Ref<Object> value)
{
    return { Ref<Object>(*key), std::move(value) };
}

RefPtr<NSDictionary> preferenceFile()
{
    return NSDictionary::dictionaryWithContentsOfFile("/var/mobile/Library/Preferences/com.QV.Lumora.plist"_ns);
}

} // namespace testing_support
