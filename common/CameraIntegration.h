// The camera integration the iOS 9, 8 and 7 modules share: the methods they
// add to the camera's classes, the wrappers of the camera methods they hook,
// and the slots that keep the replaced implementations. Each module lists
// which of these it installs, and on which classes, in its own hook table.
#pragma once

#include "common/Export.h"
#include "common/HookTable.h"
#include "foundation/NSString.h"

class QLZPopoverController;
class SorvaneTableDataSource;
class UITableView;
class UIViewController;

// Exported object globals: the torch button (not owned: its top bar holds
// it), and the torch list's view controller, table, data source and
// popover (each a strong reference).
extern "C" {
extern LUMORA_EXPORT id btn;
extern LUMORA_EXPORT RefPtr<UIViewController> vc;
extern LUMORA_EXPORT RefPtr<UITableView> tb;
extern LUMORA_EXPORT RefPtr<SorvaneTableDataSource> ds;
extern LUMORA_EXPORT RefPtr<QLZPopoverController> popover;
}

// Added methods.
BOOL ln_shouldHideYellowDot(id self, SEL _cmd);
void ln_listTapped(id self, SEL _cmd, id sender);
BOOL ln_topBarShouldHideYellowDot(id self, SEL _cmd, id topBar);
BOOL ln_shouldHideYellowDotForMode(id self, SEL _cmd, NSInteger mode);
BOOL ln__shouldEnableYellowDot(id self, SEL _cmd);

// Hooked methods and the implementations they replaced.
void hook_updateHiddenViewsForButtonExpansionAnimated(id self, SEL _cmd, BOOL animated);
void hook_createDefaultControlsIfNecessary(id self, SEL _cmd);
void hook_rotateCameraControlsAndInterface(id self, SEL _cmd);
void hook_updateEnabledControlsWithReason(id self, SEL _cmd, NSString* reason, BOOL forceLog);
void hook_showControlsForChangeToMode(id self, SEL _cmd, NSInteger mode, BOOL animated);
void hook_hideControlsForChangeToMode(id self, SEL _cmd, NSInteger mode, BOOL animated);
void hook_showControlsForCapturingVideoAnimated(id self, SEL _cmd, BOOL animated);
void hook_hideControlsForCapturingVideoAnimated(id self, SEL _cmd, BOOL animated);
void hook_stopDelayedCapture(id self, SEL _cmd);
void hook_cameraControllerPreviewDidStart(id self, SEL _cmd, id controller);
void hook_didTakePhoto(id self, SEL _cmd);
void hook_applyTorchSettingsFromVideoRequest(id self, SEL _cmd, id request);

extern IMP orig_updateHiddenViewsForButtonExpansionAnimated;
extern IMP orig_createDefaultControlsIfNecessary;
extern IMP orig_rotateCameraControlsAndInterface;
extern IMP orig_updateEnabledControlsWithReason;
extern IMP orig_showControlsForChangeToMode;
extern IMP orig_hideControlsForChangeToMode;
extern IMP orig_showControlsForCapturingVideoAnimated;
extern IMP orig_hideControlsForCapturingVideoAnimated;
extern IMP orig_stopDelayedCapture;
extern IMP orig_cameraControllerPreviewDidStart;
extern IMP orig_didTakePhoto;
extern IMP orig_applyTorchSettingsFromVideoRequest;

// Module start-up shared by the iOS 9, 8 and 7 modules: the settings
// observer, the settings, and (when enabled) the framework and hook table.
void startModule(std::span<const HookRow> hookTable);
