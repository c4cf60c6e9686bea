#include "host/Families.h"

#include "host/CameraClasses.h"

#include <cstdlib>

namespace camera {

namespace {

constexpr Family kFamilies[] = {
    { 6, "PLCameraController", "PLCameraView", nullptr, nullptr, nullptr, "PLCameraSettingsView", "PLCameraSettingsGroupView",
        "pl_setHidden:animated:", "/System/Library/PrivateFrameworks/PhotoLibrary.framework/PhotoLibrary" },
    { 7, "PLCameraController", "PLCameraView", "CAMTopBar", "CAMShutterButton", nullptr, nullptr, nullptr,
        "pl_setHidden:animated:", "/System/Library/PrivateFrameworks/PhotoLibrary.framework/PhotoLibrary" },
    { 8, "CAMCaptureController", "CAMCameraView", "CAMTopBar", "CAMShutterButton", nullptr, nullptr, nullptr,
        "cam_setHidden:animated:", "/System/Library/PrivateFrameworks/CameraKit.framework/CameraKit" },
    { 9, "CMKCaptureController", "CMKCameraView", "CMKTopBar", "CMKShutterButton", "CAMCaptureCapabilities", nullptr, nullptr,
        "cam_setHidden:animated:", "/System/Library/PrivateFrameworks/CameraKit.framework/CameraKit" },
};

const Family* g_current = nullptr;
Classes g_classes;

} // namespace

const Family& familyForGeneration(int generation)
{
    if (generation <= 6)
        return kFamilies[0];
    if (generation >= 9)
        return kFamilies[3];
    return kFamilies[generation - 6];
}

void registerFamily(const Family& family)
{
    if (g_current) {
        if (g_current != &family)
            std::abort(); // one camera per process
        return;
    }
    g_current = &family;
    g_classes.captureController = CaptureController::registerClass(family);
    g_classes.cameraView = CameraView::registerClass(family);
    if (family.topBar)
        g_classes.topBar = TopBar::registerClass(family);
    if (family.shutterButton)
        g_classes.shutterButton = ShutterButton::registerClass(family);
    if (family.capabilities)
        g_classes.capabilities = CaptureCapabilities::registerClass(family);
    if (family.settingsPanel) {
        g_classes.settingsRow = SettingsRow::registerClass(family);
        g_classes.settingsPanel = SettingsPanel::registerClass(family);
    }
    // The camera's category on UIView for hiding its controls.
    class_addTypedMethod(UIView::staticClass(), sel_registerName(family.setHiddenSelector), setHiddenAnimated);
}

const Family& currentFamily()
{
    return *g_current;
}

const Classes& classes()
{
    return g_classes;
}

} // namespace camera
