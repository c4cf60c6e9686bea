// The simulated camera: one model of the hardware and the app's state, the
// same for every iOS generation. The generation-specific classes (CMK..., CAM...,
// PL...) are views of this model (see CameraClasses.h).
#pragma once

#include "avfoundation/AVCaptureDevice.h"

#include <string>

namespace camera {

// Camera modes, numbered as the camera's controllers number them.
enum Mode : NSInteger {
    ModePhoto = 0,
    ModeVideo = 1,
    ModeSlowMotion = 2,
    ModePanorama = 3,
    ModeSquare = 4,
    ModeTimeLapse = 5,
};

enum CameraDevice : NSInteger {
    DeviceRear = 0,
    DeviceFront = 1,
};

enum FlashMode : NSInteger {
    FlashOff = 0,
    FlashOn = 1,
    FlashAuto = 2,
};

bool isStillImageMode(NSInteger mode);
bool isVideoMode(NSInteger mode);
const char* modeName(NSInteger mode);
bool parseMode(const std::string& text, NSInteger& mode);

struct Model {
    NSInteger mode = ModePhoto;
    NSInteger device = DeviceRear;
    NSInteger flashMode = FlashAuto;
    bool flashExpanded = false; // the flash options are open on the top bar
    bool recording = false;     // a video is being recorded
    bool timedCapture = false;  // the self-timer is counting down
    bool burst = false;         // a burst (avalanche) capture is running
    bool rearHasFlash = true;   // whether the rear camera has a flash (and a torch)
    bool frontHasFlash = false; // whether the front camera has one
    bool videoLight = true;     // the camera's own torch while recording with flash on
    int photosTaken = 0;
    int timerGeneration = 0; // tells a stopped timer's photo from a new one
    std::string orientation = "portrait";
    // The rows the iOS 6 settings panel shows besides the torch rows.
    bool settingsGrid = true;
    bool settingsHDR = true;
    bool settingsPanorama = true;
    // The panel stays in place when the camera's show flag goes to NO.
    bool settingsPanelStaysOnHide = false;

    Ref<AVCaptureDevice> rearDevice = AVCaptureDevice::create("Back Camera"_ns, true);
    Ref<AVCaptureDevice> frontDevice = AVCaptureDevice::create("Front Camera"_ns, false);

    // Fits the cameras with a flash or without one (before the app starts).
    void setFlashes(bool rear, bool front);
    AVCaptureDevice* currentDevice() const { return device == DeviceRear ? rearDevice.ptr() : frontDevice.ptr(); }
    bool flashSupported(NSInteger cameraDevice) const { return cameraDevice == DeviceRear ? rearHasFlash : frontHasFlash; }
};

// The model of the running Camera app (one per process).
Model& model();

} // namespace camera
