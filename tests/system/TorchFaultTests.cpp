// The torch when the device says no: the lock bracket that gives the lock
// back whatever happens inside it, and lighting a hot torch as bright as it
// may instead of leaving it dark.
#include "avfoundation/AVCaptureDevice.h"
#include "common/Torch.h"
#include "foundation/NSException.h"
#include "host/CameraClasses.h"
#include "system/CameraHarness.h"

#include <gtest/gtest.h>

using namespace testing_support;

TEST(TorchFaults, TheLockBracketGivesTheLockBackAndKeepsExceptionsIn)
{
    bool ok = runWithCamera({}, [] {
        AutoreleasePool pool;
        id controller = camera::CaptureController::sharedInstance();
        AVCaptureDevice* torch = rearTorch();

        bool ran = false;
        EXPECT_NO_THROW(ran = withLockedTorch(controller, [&](id device) {
            EXPECT_EQ(device, static_cast<id>(torch));
            EXPECT_TRUE(torch->isLockedForConfiguration());
            // A level the device does not take raises on the device.
            objc_msgSend<BOOL>(device, "setTorchModeOnWithLevel:error:"_sel, 5.0f, static_cast<NSError**>(nullptr));
        }));
        EXPECT_TRUE(ran);
        EXPECT_FALSE(torch->isLockedForConfiguration());

        // Nothing runs without a torch available or without the lock.
        torch->setLockRefused(true);
        EXPECT_FALSE(withLockedTorch(controller, [](id) { ADD_FAILURE() << "ran without the lock"; }));
        torch->setLockRefused(false);
        torch->setTorchAvailable(false);
        EXPECT_FALSE(withLockedTorch(controller, [](id) { ADD_FAILURE() << "ran without a torch"; }));
        torch->setTorchAvailable(true);
        EXPECT_FALSE(torch->isLockedForConfiguration());
    });
    EXPECT_TRUE(ok);
}

TEST(TorchFaults, AHotTorchBurnsAsBrightAsItMay)
{
    bool ok = runWithCamera({}, [] {
        AutoreleasePool pool;
        AVCaptureDevice* torch = rearTorch();
        ASSERT_TRUE(torch->lockForConfiguration(nullptr));
        lightTorch(torch, 0.8f);
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0.8f);
        torch->setMaxAvailableTorchLevel(0.5f);
        lightTorch(torch, 0.8f);
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0.5f);
        lightTorch(torch, 0.3f);
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0.3f);
        lightTorch(torch, AVCaptureMaxAvailableTorchLevel);
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0.5f);
        // Unavailable: dark, and nothing raised.
        torch->setTorchAvailable(false);
        EXPECT_NO_THROW(lightTorch(torch, 0.3f));
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0.0f);
        torch->unlockForConfiguration();
    });
    EXPECT_TRUE(ok);
}
