// The capture device's torch behaves as on a device, failures included.
#include "avfoundation/AVCaptureDevice.h"
#include "dispatch/RunLoop.h"
#include "foundation/NSException.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::string reasonOf(const std::function<void()>& body, std::string* name = nullptr)
{
    try {
        body();
    } catch (NSException* exception) {
        if (name)
            *name = exception->name()->string();
        return exception->reason()->string();
    }
    return "(no exception)";
}

} // namespace

TEST(TorchDevice, ChangesNeedTheConfigurationLock)
{
    AutoreleasePool pool;
    auto device = AVCaptureDevice::create("Back Camera"_ns, true);
    std::string name;
    EXPECT_EQ(reasonOf([&] { device->setTorchMode(AVCaptureTorchModeOn); }, &name),
        "*** -[AVCaptureFigVideoDevice setTorchMode:] May not be called without first successfully gaining exclusive ownership of the "
        "device using -lockForConfiguration:");
    EXPECT_EQ(name, "NSGenericException");
    EXPECT_EQ(reasonOf([&] { device->setTorchModeOnWithLevel(0.5f, nullptr); }, &name),
        "*** -[AVCaptureFigVideoDevice setTorchModeOnWithLevel:error:] May not be called without first successfully gaining exclusive "
        "ownership of the device using -lockForConfiguration:");
    EXPECT_NE(reasonOf([&] { device->unlockForConfiguration(); }), "(no exception)");
    EXPECT_FLOAT_EQ(device->torchLevel(), 0);

    ASSERT_TRUE(device->lockForConfiguration(nullptr));
    EXPECT_TRUE(device->setTorchModeOnWithLevel(0.5f, nullptr));
    EXPECT_FLOAT_EQ(device->torchLevel(), 0.5f);
    EXPECT_TRUE(device->isTorchActive());
    device->unlockForConfiguration();
    EXPECT_FALSE(device->isLockedForConfiguration());

    // Nested locks each need their unlock.
    device->lockForConfiguration(nullptr);
    device->lockForConfiguration(nullptr);
    device->unlockForConfiguration();
    EXPECT_NO_THROW(device->setTorchMode(AVCaptureTorchModeOff));
    device->unlockForConfiguration();

    device->setLockRefused(true);
    NSError* error = nullptr;
    EXPECT_FALSE(device->lockForConfiguration(&error));
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->code(), AVErrorDeviceLockedForConfigurationByAnotherProcess);
}

TEST(TorchDevice, LevelsOutsideTheRangeRaiseAndTheMaximumLightsAtTheAvailableMaximum)
{
    AutoreleasePool pool;
    auto device = AVCaptureDevice::create("Back Camera"_ns, true);
    device->lockForConfiguration(nullptr);
    std::string name;
    EXPECT_EQ(reasonOf([&] { device->setTorchModeOnWithLevel(5.0f, nullptr); }, &name),
        "*** -[AVCaptureFigVideoDevice setTorchModeOnWithLevel:error:] The passed torchLevel 5.000000 is not supported");
    EXPECT_EQ(name, "NSInvalidArgumentException");
    for (float bad : { 0.0f, -0.1f, std::nanf(""), 1.0001f })
        EXPECT_NE(reasonOf([&] { device->setTorchModeOnWithLevel(bad, nullptr); }), "(no exception)") << bad;
    EXPECT_TRUE(device->setTorchModeOnWithLevel(1.0f, nullptr));
    EXPECT_TRUE(device->setTorchModeOnWithLevel(AVCaptureMaxAvailableTorchLevel, nullptr));
    EXPECT_FLOAT_EQ(device->torchLevel(), 1.0f);

    // setTorchMode: on lights at the current maximum; the chosen level is lost.
    device->setTorchModeOnWithLevel(0.3f, nullptr);
    device->setTorchMode(AVCaptureTorchModeOn);
    EXPECT_FLOAT_EQ(device->torchLevel(), 1.0f);
    device->setTorchMode(AVCaptureTorchModeOff);
    EXPECT_FLOAT_EQ(device->torchLevel(), 0);

    // A camera without a torch refuses every level.
    auto front = AVCaptureDevice::create("Front Camera"_ns, false);
    front->lockForConfiguration(nullptr);
    EXPECT_FALSE(front->isTorchAvailable());
    EXPECT_NE(reasonOf([&] { front->setTorchModeOnWithLevel(0.5f, nullptr); }), "(no exception)");
}

TEST(TorchDevice, AHotDeviceLowersTheMaximumOrLosesTheTorch)
{
    AutoreleasePool pool;
    auto device = AVCaptureDevice::create("Back Camera"_ns, true);
    device->lockForConfiguration(nullptr);
    device->setTorchModeOnWithLevel(0.9f, nullptr);

    device->setMaxAvailableTorchLevel(0.6f);
    EXPECT_FLOAT_EQ(device->torchLevel(), 0.6f) << "a lit torch dims to the new maximum";
    NSError* error = nullptr;
    EXPECT_FALSE(device->setTorchModeOnWithLevel(0.8f, &error));
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->code(), AVErrorTorchLevelUnavailable);
    EXPECT_TRUE(device->setTorchModeOnWithLevel(AVCaptureMaxAvailableTorchLevel, nullptr));
    EXPECT_FLOAT_EQ(device->torchLevel(), 0.6f);

    device->setTorchAvailable(false);
    EXPECT_FALSE(device->isTorchAvailable());
    EXPECT_FLOAT_EQ(device->torchLevel(), 0);
    EXPECT_FALSE(device->setTorchModeOnWithLevel(0.5f, nullptr));
}

TEST(TorchDevice, RecordsEveryLEDChangeWithItsTime)
{
    AutoreleasePool pool;
    auto device = AVCaptureDevice::create("Back Camera"_ns, true);
    device->lockForConfiguration(nullptr);
    RunLoop::main().setNow(5 * NSEC_PER_SEC);
    device->setTorchModeOnWithLevel(0.5f, nullptr);
    device->setTorchModeOnWithLevel(0.5f, nullptr); // no change, no entry
    RunLoop::main().setNow(6 * NSEC_PER_SEC);
    device->setTorchMode(AVCaptureTorchModeOff);
    const auto& timeline = device->torchTimeline();
    ASSERT_EQ(timeline.size(), 2u);
    EXPECT_EQ(timeline[0].time, 5 * NSEC_PER_SEC);
    EXPECT_FLOAT_EQ(timeline[0].level, 0.5f);
    EXPECT_EQ(timeline[1].time, 6 * NSEC_PER_SEC);
    EXPECT_EQ(timeline[1].mode, AVCaptureTorchModeOff);
}
