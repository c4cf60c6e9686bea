#include "common/CameraIntegration.h"

#include "common/CameraQueries.h"
#include "common/Generation.h"
#include "common/HookTable.h"
#include "common/Settings.h"
#include "common/Torch.h"
#include "common/TorchButton.h"
#include "common/TorchList.h"
#include "device/dlfcn.h"
#include "popover/PopoverClasses.h"
#include "popover/QLZPopoverController.h"
#include "uikit/UIViewController.h"

#include <memory>

extern "C" {
id btn = nullptr;
RefPtr<UIViewController> vc;
RefPtr<UITableView> tb;
RefPtr<SorvaneTableDataSource> ds;
RefPtr<QLZPopoverController> popover;
}

IMP orig_updateHiddenViewsForButtonExpansionAnimated;
IMP orig_createDefaultControlsIfNecessary;
IMP orig_rotateCameraControlsAndInterface;
IMP orig_updateEnabledControlsWithReason;
IMP orig_showControlsForChangeToMode;
IMP orig_hideControlsForChangeToMode;
IMP orig_showControlsForCapturingVideoAnimated;
IMP orig_hideControlsForCapturingVideoAnimated;
IMP orig_stopDelayedCapture;
IMP orig_cameraControllerPreviewDidStart;
IMP orig_didTakePhoto;
IMP orig_applyTorchSettingsFromVideoRequest;

namespace {

constexpr CGFloat kListWidth = 220.0;

SEL setHiddenAnimated()
{
    static SEL selector = sel_registerName(generation().setHiddenSelector);
    return selector;
}

// Hides or shows the torch button the way the camera hides its controls.
void setButtonHidden(BOOL hidden, BOOL animated)
{
    objc_msgSend<void>(btn, setHiddenAnimated(), hidden, animated);
}

BOOL hideForMode(id cameraView, NSInteger mode)
{
    return objc_msgSend<BOOL>(cameraView, "ln_shouldHideYellowDotForMode:"_sel, mode);
}

// A table does not own its data source, and a list's table can outlive the
// tap that made it: a dismissed popover fades out for a moment after the next
// tap has replaced ds, laying its table out all the while. Each popover
// therefore keeps its own list's data source for as long as it lives, and the
// table forgets the data source before it is let go.
class ListKeeper {
public:
    ListKeeper(SorvaneTableDataSource& dataSource, UITableView& table)
        : m_dataSource(dataSource)
        , m_table(table)
    {
    }
    ~ListKeeper()
    {
        if (m_table->dataSource() == m_dataSource.ptr())
            m_table->setDataSource(nullptr);
        if (m_table->delegate() == m_dataSource.ptr())
            m_table->setDelegate(nullptr);
    }
    ListKeeper(const ListKeeper&) = delete;
    ListKeeper& operator=(const ListKeeper&) = delete;

private:
    Ref<SorvaneTableDataSource> m_dataSource;
    Ref<UITableView> m_table;
};

} // namespace

// MARK: Decisions

BOOL ln_shouldHideYellowDot(id self, SEL)
{
    if (objc_msgSend<BOOL>(self, "_isFlashButtonExpanded"_sel))
        return YES;
    return objc_msgSend<BOOL>(self, "_shouldHideFlashButton"_sel);
}

BOOL ln_shouldHideYellowDotForMode(id self, SEL, NSInteger mode)
{
    if (objc_msgSend<BOOL>(self, "_shouldHideFlashButtonForMode:"_sel, mode))
        return YES;
    return !generation().isFlashCapable(self);
}

BOOL ln_topBarShouldHideYellowDot(id self, SEL, id)
{
    return hideForMode(self, cameraModeOf(self));
}

BOOL ln__shouldEnableYellowDot(id self, SEL)
{
    if (!objc_msgSend<BOOL>(self, "_shouldEnableFlashButton"_sel))
        return NO;
    return generation().isFlashCapable(self);
}

// MARK: The torch button follows the flash button

void hook_updateHiddenViewsForButtonExpansionAnimated(id self, SEL cmd, BOOL animated)
{
    callIMP<void>(orig_updateHiddenViewsForButtonExpansionAnimated, self, cmd, animated);
    setButtonHidden(objc_msgSend<BOOL>(self, "ln_shouldHideYellowDot"_sel), animated);
}

void hook_updateEnabledControlsWithReason(id self, SEL cmd, NSString* reason, BOOL forceLog)
{
    callIMP<void>(orig_updateEnabledControlsWithReason, self, cmd, reason, forceLog);
    objc_msgSend<void>(btn, "setEnabled:"_sel, objc_msgSend<BOOL>(self, "ln__shouldEnableYellowDot"_sel));
}

void hook_showControlsForChangeToMode(id self, SEL cmd, NSInteger mode, BOOL animated)
{
    callIMP<void>(orig_showControlsForChangeToMode, self, cmd, mode, animated);
    setButtonHidden(hideForMode(self, mode), animated);
}

void hook_hideControlsForChangeToMode(id self, SEL cmd, NSInteger mode, BOOL animated)
{
    callIMP<void>(orig_hideControlsForChangeToMode, self, cmd, mode, animated);
    setButtonHidden(hideForMode(self, mode), animated);
}

void hook_showControlsForCapturingVideoAnimated(id self, SEL cmd, BOOL animated)
{
    callIMP<void>(orig_showControlsForCapturingVideoAnimated, self, cmd, animated);
    setButtonHidden(hideForMode(self, cameraModeOf(self)), animated);
}

void hook_hideControlsForCapturingVideoAnimated(id self, SEL cmd, BOOL animated)
{
    callIMP<void>(orig_hideControlsForCapturingVideoAnimated, self, cmd, animated);
    setButtonHidden(hideForMode(self, cameraModeOf(self)), animated);
}

void hook_stopDelayedCapture(id self, SEL cmd)
{
    callIMP<void>(orig_stopDelayedCapture, self, cmd);
    setButtonHidden(hideForMode(self, cameraModeOf(self)), YES);
}

// MARK: The torch button and the torch list

void hook_createDefaultControlsIfNecessary(id self, SEL cmd)
{
    callIMP<void>(orig_createDefaultControlsIfNecessary, self, cmd);
    createTorchButton(self);
}

void ln_listTapped(id self, SEL, id button)
{
    id topBar = objc_msgSend<id>(self, "_topBar"_sel);
    vc = UIViewController::create();
    id controller = objc_msgSend<id>(NSClassFromString(NSString::create(generation().captureControllerClass).ptr()), "sharedInstance"_sel);
    ds = adoptRef(static_cast<SorvaneTableDataSource*>(objc_msgSend<id>(SorvaneTableDataSource::staticClass(), "alloc"_sel)))
             ->initWithCameraController(controller);

    tb = UITableView::create(CGRectZero, UITableViewStylePlain);
    tb->setDataSource(ds.get());
    tb->setDelegate(ds.get());
    tb->setBackgroundColor(UIColor::clearColor());
    tb->setSeparatorInset(UIEdgeInsetsZero);
    tb->setScrollEnabled(NO);
    tb->setAllowsMultipleSelection(NO);
    tb->setAlpha(objc_msgSend<CGFloat>(topBar, "alpha"_sel));
    tb->reloadData();
    CGFloat height = CGRectGetMaxY(tb->rectForSection(tb->numberOfSections() - 1));
    vc->setView(tb.get());

    popover = adoptRef(static_cast<QLZPopoverController*>(objc_msgSend<id>(QLZPopoverController::staticClass(), "alloc"_sel)));
    objc_msgSend<id>(popover.get(), "initWithContentViewController:"_sel, vc.get());
    objc_msgSend<void>(popover.get(), "beginThemeUpdates"_sel);
    id theme = objc_msgSend<id>(popover.get(), "theme"_sel);
    id barColor = objc_msgSend<id>(objc_msgSend<id>(topBar, "_backgroundView"_sel), "backgroundColor"_sel);
    objc_msgSend<void>(theme, "setDimsBackgroundViewsTintColor:"_sel, NO);
    objc_msgSend<void>(theme, "setFillTopColor:"_sel, barColor);
    objc_msgSend<void>(theme, "setFillBottomColor:"_sel, barColor);
    objc_msgSend<void>(theme, "setInnerStrokeColor:"_sel, UIColor::whiteColor());
    objc_msgSend<void>(popover.get(), "endThemeUpdates"_sel);
    popover->setDismissCompletionBlock([keeper = std::make_shared<ListKeeper>(*ds, *tb)](QLZPopoverController*) {});
    objc_msgSend<void>(popover.get(), "setWantsDefaultContentAppearance:"_sel, NO);
    objc_msgSend<void>(popover.get(), "setPopoverContentSize:"_sel, CGSizeMake(kListWidth, height));
    objc_msgSend<void>(popover.get(), "presentPopoverFromRect:inView:permittedArrowDirections:animated:"_sel,
        objc_msgSend<CGRect>(button, "bounds"_sel), button, QLZPopoverArrowDirectionAny, YES);
}

void hook_rotateCameraControlsAndInterface(id self, SEL cmd)
{
    callIMP<void>(orig_rotateCameraControlsAndInterface, self, cmd);
    if (popover) {
        objc_msgSend<void>(popover.get(), "dismissPopoverAnimated:"_sel, YES);
        popover = nullptr;
    }
    vc = nullptr;
    tb = nullptr;
}

// MARK: The torch around capture

void hook_cameraControllerPreviewDidStart(id self, SEL cmd, id controller)
{
    callIMP<void>(orig_cameraControllerPreviewDidStart, self, cmd, controller);
    id shared = sharedCaptureController();
    if (generation().leavesTorchAtPreviewStart(shared))
        return;
    applyTorchState(shared);
}

void hook_didTakePhoto(id self, SEL cmd)
{
    callIMP<void>(orig_didTakePhoto, self, cmd);
    if (generation().wantsRelightAfterPhoto(self))
        scheduleRelightTorch(self);
}

// The camera's own torch settings for video go through only at a level of
// exactly 1.0 (as the slider sets it); otherwise the torch keeps the level
// the list chose. A stored 1.0 loads as the platform's maximum, and so does
// a missing level: neither lets them through.
void hook_applyTorchSettingsFromVideoRequest(id self, SEL cmd, id request)
{
    if (settingTorchLevel == 1.0f)
        callIMP<void>(orig_applyTorchSettingsFromVideoRequest, self, cmd, request);
}

// MARK: Start-up

id sharedCaptureController()
{
    static Class cls = objc_getClass(generation().captureControllerClass);
    return objc_msgSend<id>(cls, "sharedInstance"_sel);
}

void startModule(std::span<const HookRow> hookTable)
{
    // The module's own classes, as the runtime registers an image's classes.
    registerPopoverClasses();
    SorvaneTableDataSource::staticClass();
    registerSettingsObserver();
    loadSettings();
    if (!settingEnabled)
        return;
    dlopen(generation().frameworkPath, RTLD_LAZY);
    installHookTable(hookTable);
}
