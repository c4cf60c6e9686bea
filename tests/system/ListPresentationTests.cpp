// The torch list presented in its popover on the iOS 9 camera: its size and
// colours, its dismissal by a tap outside and by rotation, and the fresh list
// each tap builds.
#include "common/CameraIntegration.h"
#include "common/Settings.h"
#include "common/TorchList.h"
#include "dispatch/RunLoop.h"
#include "host/CameraActions.h"
#include "host/CameraApp.h"
#include "popover/QLZPopoverController.h"
#include "system/CameraHarness.h"
#include "uikit/UIApplication.h"
#include "uikit/UIKitSimulator.h"
#include "uikit/UITableView.h"
#include "uikit/UIViewController.h"
#include "uikit/UIWindow.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

void tapDot()
{
    UIKitSimulator::tapView(camera::torchButton());
    RunLoop::main().runPending();
}

UIView* chromeView()
{
    Class chrome = objc_getClass("QLZPopoverBackgroundView");
    for (const auto& view : UIApplication::sharedApplication()->keyWindow()->subviews()) {
        if (object_getClass(view.ptr()) == chrome)
            return view.ptr();
    }
    return nullptr;
}

void tapOutside()
{
    UIKitSimulator::tap(nullptr, CGPointMake(300, 500));
    RunLoop::main().runPending();
}

size_t live(const char* className)
{
    return class_getInstanceCount(objc_getClass(className));
}

} // namespace

TEST(ListPresentation, ThePopoverHoldsTheListAtItsSizeInTheTopBarsColours)
{
    bool ok = runWithCamera({}, [] {
        tapDot();
        ASSERT_TRUE(popover);
        CGSize size = objc_msgSend<CGSize>(popover.get(), "popoverContentSize"_sel);
        EXPECT_EQ(size, CGSizeMake(220, 88)) << "photo mode on a camera with a flash: two rows";
        EXPECT_EQ(objc_msgSend<UIView*>(vc.get(), "view"_sel), tb.get());

        id barColor = objc_msgSend<id>(objc_msgSend<id>(objc_msgSend<id>(camera::cameraView(), "_topBar"_sel), "_backgroundView"_sel), "backgroundColor"_sel);
        id theme = objc_msgSend<id>(popover.get(), "theme"_sel);
        EXPECT_TRUE(barColor->isEqual(objc_msgSend<id>(theme, "fillTopColor"_sel)));
        EXPECT_TRUE(barColor->isEqual(objc_msgSend<id>(theme, "fillBottomColor"_sel)));
        EXPECT_TRUE(UIColor::whiteColor()->isEqual(objc_msgSend<id>(theme, "innerStrokeColor"_sel)));
        EXPECT_FALSE(objc_msgSend<BOOL>(theme, "dimsBackgroundViewsTintColor"_sel));
        UIView* chrome = chromeView();
        ASSERT_NE(chrome, nullptr);
        EXPECT_TRUE(barColor->isEqual(objc_msgSend<id>(chrome, "fillTopColor"_sel))) << "the chrome is drawn in the bar's colour";
        EXPECT_EQ(objc_msgSend<NSUInteger>(chrome, "arrowDirection"_sel), 1u) << "under the dot, pointing up";

        tapOutside();
        RunLoop::main().runFor(0.5);
        EXPECT_EQ(chromeView(), nullptr);
        camera::changeMode("video");
        tapDot();
        EXPECT_EQ(objc_msgSend<CGSize>(popover.get(), "popoverContentSize"_sel), CGSizeMake(220, 44)) << "video: one row";
    });
    EXPECT_TRUE(ok);
}

TEST(ListPresentation, RotationDismissesTheListAndLetsGoOfIt)
{
    bool ok = runWithCamera({}, [] {
        // Without a list a rotation is the camera's alone.
        camera::rotate("landscape-left");
        EXPECT_FALSE(popover);
        EXPECT_FALSE(vc);

        tapDot();
        ASSERT_NE(chromeView(), nullptr);
        id source = ds.get();
        camera::rotate("portrait");
        EXPECT_FALSE(popover);
        EXPECT_FALSE(vc);
        EXPECT_FALSE(tb);
        EXPECT_EQ(ds.get(), source) << "the data source stays until the next tap";
        RunLoop::main().runFor(0.5);
        EXPECT_EQ(chromeView(), nullptr) << "dismissed, animated";
    });
    EXPECT_TRUE(ok);
}

TEST(ListPresentation, EachTapBuildsAFreshListAndTheOldOneIsFreed)
{
    bool ok = runWithCamera({}, [] {
        tapDot();
        tapOutside();
        RunLoop::main().runFor(0.5);
        // A dismissal by the popover leaves the globals set until the next tap.
        EXPECT_TRUE(popover);

        settingTorchMode = YES;
        tapDot();
        auto* table = static_cast<UITableView*>(tb.get());
        auto* cell = table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(1, 0).ptr());
        ASSERT_NE(cell, nullptr);
        EXPECT_TRUE(objc_msgSend<BOOL>(cell->accessoryView(), "isOn"_sel)) << "the new list shows the current settings";
        tapOutside();
        RunLoop::main().runFor(0.5);

        for (int i = 0; i < 3; ++i) {
            tapDot();
            tapOutside();
            RunLoop::main().runFor(0.5);
        }
        AutoreleasePool pool;
        RunLoop::main().runFor(1);
        EXPECT_EQ(live("SorvaneTableDataSource"), 1u);
        EXPECT_EQ(live("QLZPopoverController"), 1u);
        EXPECT_EQ(live("UITableView"), 1u);
        EXPECT_EQ(live("QLZPopoverOverlayView"), 0u) << "dismissed popovers drop their views";
        EXPECT_EQ(live("QLZPopoverBackgroundView"), 0u);
    });
    EXPECT_TRUE(ok);
}

TEST(ListPresentation, AnOldListsTableNeverAsksAFreedDataSource)
{
    bool ok = runWithCamera({}, [] {
        // Rotate, tap, rotate, tap: the second tap replaces ds while the
        // first list's popover is still fading out.
        camera::rotate("landscape-right");
        tapDot();
        Ref<UITableView> old = *static_cast<UITableView*>(tb.get());
        id oldSource = ds.get();
        camera::rotate("portrait");
        EXPECT_EQ(old->dataSource(), oldSource) << "fading out, the list still has its data source";
        old->reloadData();
        EXPECT_EQ(old->numberOfRowsInSection(0), 2);

        tapDot();
        ASSERT_NE(ds.get(), oldSource);
        // The old table keeps its own list for as long as its popover lives,
        // and forgets it when the popover goes; it never points at a freed
        // one.
        {
            AutoreleasePool pool;
        }
        if (old->dataSource()) {
            EXPECT_EQ(old->dataSource(), oldSource);
            EXPECT_EQ(live("SorvaneTableDataSource"), 2u);
        }
        old->reloadData();
        old->layoutIfNeeded();
        RunLoop::main().runFor(0.5);
        {
            AutoreleasePool pool;
        }
        EXPECT_EQ(old->dataSource(), nullptr);
        EXPECT_EQ(old->delegate(), nullptr);
        EXPECT_EQ(live("SorvaneTableDataSource"), 1u);
        EXPECT_EQ(static_cast<UITableView*>(tb.get())->dataSource(), ds.get()) << "the new list is untouched";

        // A list replaced without being dismissed at all: its popover goes
        // with the global that held it, and takes the list along.
        old = *static_cast<UITableView*>(tb.get());
        camera::tapDotForTests();
        RunLoop::main().runFor(0.5);
        {
            AutoreleasePool pool;
        }
        EXPECT_EQ(old->dataSource(), nullptr);
        EXPECT_EQ(live("SorvaneTableDataSource"), 1u);
    });
    EXPECT_TRUE(ok);
}
