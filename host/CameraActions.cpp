#include "host/CameraActions.h"

#include "device/Trace.h"
#include "dispatch/dispatch.h"
#include "host/CameraApp.h"
#include "host/CameraClasses.h"
#include "host/Families.h"
#include "uikit/UIApplication.h"

namespace camera {

namespace {

constexpr uint64_t kTimerDelay = 3 * NSEC_PER_SEC;

id cameraViewOfController()
{
    return objc_msgSend<id>(CaptureController::sharedInstance(), "delegate"_sel);
}

id controller()
{
    return CaptureController::sharedInstance();
}

id topBar()
{
    return objc_msgSend<id>(cameraViewOfController(), "_topBar"_sel);
}

bool supportsMode(NSInteger mode)
{
    int generation = currentFamily().generation;
    switch (mode) {
    case ModePhoto:
    case ModeVideo:
        return true;
    case ModePanorama:
    case ModeSquare:
        return generation >= 7;
    default:
        return generation >= 8;
    }
}

// The capture session lets go of the torch when it is reconfigured.
void putTorchOut()
{
    AVCaptureDevice* device = model().currentDevice();
    if (!device->isTorchActive() || !device->lockForConfiguration(nullptr))
        return;
    device->setTorchMode(AVCaptureTorchModeOff);
    device->unlockForConfiguration();
}

void updateEnabledControls(const char* reason)
{
    objc_msgSend<void>(cameraViewOfController(), "_updateEnabledControlsWithReason:forceLog:"_sel, NSString::create(reason).ptr(), NO);
}

void photoTaken()
{
    if (currentFamily().generation >= 7)
        objc_msgSend<void>(controller(), "_didTakePhoto"_sel);
    else
        objc_msgSend<void>(controller(), "_capturedPhotoWithDictionary:error:"_sel, NSDictionary::create().ptr(), static_cast<NSError*>(nullptr));
}

// A video request: what the camera asks of the torch for recording.
void applyVideoRequest()
{
    auto request = NSMutableDictionary::create();
    request->setObjectForKey(NSNumber::numberWithBool(model().recording).ptr(), "recording"_ns);
    request->setObjectForKey(NSNumber::numberWithInteger(model().flashMode).ptr(), "flashMode"_ns);
    objc_msgSend<void>(controller(), "_applyTorchSettingsFromVideoRequest:"_sel, request.ptr());
}

} // namespace

void restartPreview()
{
    objc_msgSend<void>(cameraViewOfController(), "cameraControllerPreviewDidStart:"_sel, controller());
}

std::string changeMode(const std::string& name)
{
    NSInteger mode;
    if (!parseMode(name, mode))
        return "unknown mode " + name + " (photo, video, slo-mo, pano, square, time-lapse)";
    if (!supportsMode(mode))
        return std::string("this camera has no ") + modeName(mode) + " mode";
    if (model().recording)
        return "stop recording first";
    if (mode == model().mode)
        return {};
    device::tracef(device::TraceKind::Camera, "mode %s", modeName(mode));
    id view = cameraViewOfController();
    objc_msgSend<void>(view, "_hideControlsForChangeToMode:animated:"_sel, mode, YES);
    model().mode = mode;
    objc_msgSend<void>(view, "_showControlsForChangeToMode:animated:"_sel, mode, YES);
    updateEnabledControls("mode change");
    restartPreview();
    return {};
}

std::string switchCamera(const std::string& which)
{
    NSInteger device;
    if (which == "rear")
        device = DeviceRear;
    else if (which == "front")
        device = DeviceFront;
    else
        return "usage: camera rear|front";
    if (model().recording)
        return "stop recording first";
    if (device == model().device)
        return {};
    device::tracef(device::TraceKind::Camera, "%s camera", which.c_str());
    putTorchOut();
    model().device = device;
    objc_msgSend<void>(cameraViewOfController(), "_showControlsForChangeToMode:animated:"_sel, model().mode, YES);
    updateEnabledControls("camera change");
    restartPreview();
    return {};
}

std::string setFlashMode(const std::string& mode)
{
    if (mode == "on")
        model().flashMode = FlashOn;
    else if (mode == "off")
        model().flashMode = FlashOff;
    else if (mode == "auto")
        model().flashMode = FlashAuto;
    else
        return "usage: flash on|off|auto";
    device::tracef(device::TraceKind::Camera, "flash %s", mode.c_str());
    if (currentFamily().generation == 7)
        objc_msgSend<void>(cameraViewOfController(), "_updateFlashModeIfNecessary"_sel);
    return {};
}

std::string setFlashOptionsExpanded(const std::string& state)
{
    if (state != "expand" && state != "collapse")
        return "usage: flash-options expand|collapse";
    if (!topBar())
        return "this camera has no top bar";
    model().flashExpanded = state == "expand";
    device::tracef(device::TraceKind::Camera, "flash options %s", model().flashExpanded ? "expanded" : "collapsed");
    objc_msgSend<void>(topBar(), "_updateHiddenViewsForButtonExpansionAnimated:"_sel, YES);
    return {};
}

std::string takePhoto()
{
    if (!isStillImageMode(model().mode))
        return std::string("no photos in ") + modeName(model().mode) + " mode";
    // The flash fires with the capture: the torch goes out for it. (The
    // simulated scene is bright, so auto does not fire the flash.)
    bool flash = model().flashMode == FlashOn && model().flashSupported(model().device);
    device::tracef(device::TraceKind::Camera, "photo%s", flash ? " with flash" : "");
    if (flash)
        putTorchOut();
    photoTaken();
    return {};
}

std::string takeBurst(int count)
{
    if (count < 1)
        return "usage: burst N (N at least 1)";
    if (model().mode != ModePhoto && model().mode != ModeSquare)
        return std::string("no bursts in ") + modeName(model().mode) + " mode";
    device::tracef(device::TraceKind::Camera, "burst of %d", count);
    model().burst = true;
    updateEnabledControls("burst");
    for (int i = 0; i < count; ++i)
        photoTaken(); // no flash in a burst
    model().burst = false;
    updateEnabledControls("burst ended");
    return {};
}

std::string startTimerPhoto()
{
    if (!isStillImageMode(model().mode))
        return std::string("no photos in ") + modeName(model().mode) + " mode";
    if (model().timedCapture)
        return "the timer is already running";
    device::tracef(device::TraceKind::Camera, "timer photo in 3 s");
    model().timedCapture = true;
    int timer = ++model().timerGeneration;
    updateEnabledControls("timer");
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, kTimerDelay), dispatch_get_main_queue(), [timer] {
        if (!model().timedCapture || model().timerGeneration != timer)
            return;
        takePhoto();
        model().timedCapture = false;
        updateEnabledControls("timer fired");
    });
    return {};
}

std::string stopTimer()
{
    if (!model().timedCapture)
        return "no timer is running";
    device::tracef(device::TraceKind::Camera, "timer stopped");
    objc_msgSend<void>(cameraViewOfController(), "_stopDelayedCapture"_sel);
    updateEnabledControls("timer stopped");
    return {};
}

std::string record(const std::string& state)
{
    if (state != "start" && state != "stop")
        return "usage: record start|stop";
    bool start = state == "start";
    if (start && !isVideoMode(model().mode))
        return std::string("no recording in ") + modeName(model().mode) + " mode";
    if (start == model().recording)
        return start ? "already recording" : "not recording";
    device::tracef(device::TraceKind::Camera, "recording %s", start ? "started" : "stopped");
    id view = cameraViewOfController();
    model().recording = start;
    if (start) {
        objc_msgSend<void>(view, "_hideControlsForCapturingVideoAnimated:"_sel, YES);
        applyVideoRequest();
    } else {
        applyVideoRequest();
        objc_msgSend<void>(view, "_showControlsForCapturingVideoAnimated:"_sel, YES);
    }
    updateEnabledControls("recording");
    return {};
}

std::string rotate(const std::string& orientation)
{
    if (orientation != "portrait" && orientation != "upside-down" && orientation != "landscape-left" && orientation != "landscape-right")
        return "usage: rotate portrait|upside-down|landscape-left|landscape-right";
    device::tracef(device::TraceKind::Camera, "rotated to %s", orientation.c_str());
    model().orientation = orientation;
    // The iPhone's Camera keeps its interface upright from iOS 7 on: the
    // window and the status bar stay in portrait, and only the controls
    // turn. On iOS 6 the status bar orientation follows the device.
    if (currentFamily().generation < 7) {
        UIInterfaceOrientation interface = orientation == "upside-down" ? UIInterfaceOrientationPortraitUpsideDown
            : orientation == "landscape-left"                           ? UIInterfaceOrientationLandscapeLeft
            : orientation == "landscape-right"                          ? UIInterfaceOrientationLandscapeRight
                                                                        : UIInterfaceOrientationPortrait;
        UIApplication::sharedApplication()->setStatusBarOrientation(interface);
    }
    objc_msgSend<void>(cameraViewOfController(), "_rotateCameraControlsAndInterface"_sel);
    return {};
}

} // namespace camera
