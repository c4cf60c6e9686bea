// The torch list in each camera state: its rows, its slider, and what the
// slider and the switch do to the torch and to the preference file.
#include "avfoundation/AVCaptureDevice.h"
#include "common/CameraIntegration.h"
#include "common/Settings.h"
#include "common/TorchList.h"
#include "foundation/NSValue.h"
#include "host/CameraActions.h"
#include "host/CameraApp.h"
#include "popover/QLZPopoverController.h"
#include "system/CameraHarness.h"
#include "uikit/UIControl.h"
#include "uikit/UIKitSimulator.h"
#include "uikit/UIViewController.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

// Taps the dot and lays the list's table out at its size, as the popover does.
UITableView* openList()
{
    camera::tapDotForTests();
    auto* table = static_cast<UITableView*>(tb.get());
    table->setFrame(CGRectMake(0, 0, 220, CGRectGetMaxY(table->rectForSection(0))));
    table->layoutIfNeeded();
    return table;
}

UISlider* listSlider()
{
    return static_cast<UISlider*>(static_cast<SorvaneTableDataSource*>(ds.get())->slider());
}

UISwitch* listSwitch(UITableView* table)
{
    auto* cell = table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(1, 0).ptr());
    return cell ? static_cast<UISwitch*>(cell->accessoryView()) : nullptr;
}

void moveSlider(float value)
{
    UISlider* slider = listSlider();
    slider->setValue(value);
    slider->sendActionsForControlEvents(UIControlEventValueChanged);
}

float savedLevel()
{
    auto file = preferenceFile();
    id value = file ? file->objectForKey(kLMTorchVal) : nullptr;
    return value ? objc_msgSend<float>(value, "floatValue"_sel) : -1;
}

auto settingsWithExtraKey()
{
    return std::vector { preference(kLMTorchKey, NSNumber::numberWithBool(NO)), preference(kLMTorchVal, NSNumber::numberWithFloat(0.5f)),
        preference("editorOnly"_ns, NSString::create("kept")) };
}

} // namespace

TEST(TorchList, PhotoModeOnAFlashCameraHasBothRowsAndSavesBothControls)
{
    bool ok = runWithCamera(settingsWithExtraKey(), [] {
        AVCaptureDevice* torch = rearTorch();
        UITableView* table = openList();
        EXPECT_EQ(table->numberOfSections(), 1);
        EXPECT_EQ(table->numberOfRowsInSection(0), 2);
        EXPECT_EQ(CGRectGetMaxY(table->rectForSection(0)), 88);
        EXPECT_FLOAT_EQ(listSlider()->value(), 0.5f);
        EXPECT_TRUE(listSlider()->isEnabled());
        EXPECT_FLOAT_EQ(listSlider()->minimumValue(), 0.1f);
        EXPECT_FLOAT_EQ(listSlider()->maximumValue(), 1.0f);

        auto* cell = table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(1, 0).ptr());
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->reuseIdentifier()->string(), "LNControl1");
        EXPECT_EQ(cell->textLabel()->text()->string(), "Torch mode");
        UISwitch* control = listSwitch(table);
        ASSERT_NE(control, nullptr);
        EXPECT_FALSE(control->isOn());

        // Torch mode off: the level is kept, the torch stays dark.
        moveSlider(0.8f);
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0);
        EXPECT_FLOAT_EQ(savedLevel(), 0.8f);

        // The switch lights the torch at the level and is saved.
        control->setOn(YES);
        control->sendActionsForControlEvents(UIControlEventValueChanged);
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0.8f);
        EXPECT_TRUE(objc_msgSend<BOOL>(preferenceFile()->objectForKey(kLMTorchKey), "boolValue"_sel));
        // With torch mode on the slider moves the lit torch at once.
        moveSlider(0.3f);
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0.3f);
        control->setOn(NO);
        control->sendActionsForControlEvents(UIControlEventValueChanged);
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0);
        EXPECT_FALSE(objc_msgSend<BOOL>(preferenceFile()->objectForKey(kLMTorchKey), "boolValue"_sel));
        // Keys of other programs are carried through every save.
        EXPECT_EQ(static_cast<NSString*>(preferenceFile()->objectForKey("editorOnly"_ns))->string(), "kept");
    });
    EXPECT_TRUE(ok);
}

TEST(TorchList, VideoModeHasTheSliderOnlyAndItLightsTheTorchWithoutSaving)
{
    bool ok = runWithCamera(settingsWithExtraKey(), [] {
        AVCaptureDevice* torch = rearTorch();
        camera::changeMode("video");
        UITableView* table = openList();
        EXPECT_EQ(table->numberOfRowsInSection(0), 1);
        EXPECT_EQ(CGRectGetMaxY(table->rectForSection(0)), 44);
        EXPECT_FLOAT_EQ(listSlider()->value(), 0.1f) << "shows the dark torch's level, clamped to the minimum";
        EXPECT_FALSE(listSlider()->isEnabled()) << "disabled while the torch is off";

        moveSlider(0.7f);
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0.7f) << "lit without torch mode";
        EXPECT_FLOAT_EQ(savedLevel(), 0.5f) << "video levels are not kept";

        // A fresh list shows the lit torch's level and an enabled slider.
        table = openList();
        EXPECT_FLOAT_EQ(listSlider()->value(), 0.7f);
        EXPECT_TRUE(listSlider()->isEnabled());
    });
    EXPECT_TRUE(ok);
}

TEST(TorchList, ACameraWithoutFlashHasTheSliderOnly)
{
    bool ok = runWithCamera(settingsWithExtraKey(), [] {
        camera::switchCamera("front");
        // The dot is hidden there; the list is built all the same when asked.
        UITableView* table = openList();
        EXPECT_EQ(table->numberOfRowsInSection(0), 1);
        EXPECT_FALSE(listSlider()->isEnabled());
        moveSlider(0.4f);
        EXPECT_FLOAT_EQ(savedLevel(), 0.4f);
        EXPECT_FLOAT_EQ(settingTorchLevel, 0.4f);
        EXPECT_EQ(table->numberOfRowsInSection(1), 0) << "a section other than 0 has no rows";
        EXPECT_EQ(objc_msgSend<id>(ds.get(), "tableView:cellForRowAtIndexPath:"_sel, table, NSIndexPath::indexPathForRow(0, 1).ptr()), nullptr);
    });
    EXPECT_TRUE(ok);
}

TEST(TorchList, ANewListIsBuiltForEveryTapAndTheOldOneIsFreed)
{
    bool ok = runWithCamera({}, [] {
        openList();
        AutoreleasePool pool;
        size_t lists = class_getInstanceCount(SorvaneTableDataSource::staticClass());
        EXPECT_EQ(lists, 1u);
        id first = ds.get();
        openList();
        EXPECT_NE(ds.get(), first);
        EXPECT_EQ(class_getInstanceCount(SorvaneTableDataSource::staticClass()), 1u);
    });
    EXPECT_TRUE(ok);
}
