// How the iOS 9 and iOS 8 modules ask the camera about modes and capture:
// mode tests are class methods of the capture controller's class, and the
// capture rules use the generation's flash-capable test.
#pragma once

#include "common/Generation.h"

bool isVideoModeByControllerClass(id controller, NSInteger mode);
bool isStillImageModeByControllerClass(id controller, NSInteger mode);
bool isRearCamera(id object);
// The camera mode the controller (or view) is in.
NSInteger cameraModeOf(id object);

// The torch list asks everything of the capture controller.
bool controllerIsFlashCapable(id controller, id view);
bool controllerIsInStillImageMode(id controller, id view);
bool controllerIsInVideoMode(id controller, id view);

// In video on a camera with a flash the camera's own torch handling stays
// in charge at preview start.
bool leavesTorchInVideoOnFlashCamera(id controller);
// Torch mode on, flash on, a flash camera in a still-image mode, no burst.
bool wantsRelightAfterFlashPhoto(id controller);

// The generation of a camera built on CameraKit (iOS 8 and 9): everything
// but the class names and the flash-capable test is the same.
Generation cameraKitGeneration(const char* captureControllerClass, const char* shutterButtonClass, bool (*isFlashCapable)(id));
