#include "system/CameraHarness.h"

#include "common/CameraIntegration.h"
#include "common/Settings.h"
#include "corefoundation/CoreFoundation.h"
#include "device/Device.h"
#include "dispatch/RunLoop.h"
#include "foundation/PropertyList.h"
#include "host/CameraApp.h"
#include "host/CameraModel.h"
#include "host/Families.h"
#include "ios6/SettingsRows.h"
#include "ios9/HookTable.h"
#include "support/TestSupport.h"
#include "uikit/UIKitSimulator.h"

#include <gtest/gtest.h>

namespace testing_support {

namespace {

bool runWithGeneration(int generation, std::vector<NSDictionary::Entry> preferences, const std::function<void()>& body)
{
    return runInChildProcess([&] {
        TemporaryDeviceRoot root;
        AutoreleasePool pool;
        if (!preferences.empty()) {
            auto bytes = NSPropertyListXML(NSDictionary::create(std::move(preferences)).ptr());
            root.writeFile("/var/mobile/Library/Preferences/com.QV.Lumora.plist", *bytes);
        }
        device::setSystemVersion({ generation, 0 });
        kCFCoreFoundationVersionNumber = generation == 6 ? 793.0 : 1240.10;
        UIKitSimulator::setScreen(CGSizeMake(375, 667), 2);
        camera::registerFamily(camera::familyForGeneration(generation));
        if (generation == 6) {
            registerSettingsObserver();
            loadSettings();
            installHookTable(ios6HookTable());
        } else {
            startModule(ios9HookTable());
        }
        camera::launchCamera();
        RunLoop::main().runPending();
        body();
    });
}

} // namespace

bool runWithCamera(std::vector<NSDictionary::Entry> preferences, const std::function<void()>& body)
{
    return runWithGeneration(9, std::move(preferences), body);
}

bool runWithIOS6Camera(std::vector<NSDictionary::Entry> preferences, const std::function<void()>& body)
{
    return runWithGeneration(6, std::move(preferences), body);
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
