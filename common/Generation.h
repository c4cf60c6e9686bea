// What sets one generation's camera apart from another's, for the code the
// iOS 9, 8 and 7 modules share: class names, how the camera is asked about
// flash and modes, the torch button's look and place, and the capture rules
// that differ. Each module defines generation() with its own answers.
#pragma once

#include "graphics/CGGeometry.h"
#include "runtime/message.h"

struct Generation {
    // The private framework opened at start-up.
    const char* frameworkPath;
    // Class names of the camera's roles on this generation.
    const char* captureControllerClass;
    const char* shutterButtonClass;
    // The camera's view method that hides and shows its controls.
    const char* setHiddenSelector;

    // Whether the camera device of x (a capture controller or camera view)
    // has a flash.
    bool (*isFlashCapable)(id x);
    // Mode tests for a mode of the capture controller.
    bool (*isVideoMode)(id controller, NSInteger mode);
    bool (*isStillImageMode)(id controller, NSInteger mode);

    // The torch list's questions, which some generations ask of the camera
    // view rather than of the controller (see TorchList).
    bool (*listFlashCapable)(id controller, id view);
    bool (*listStillImageMode)(id controller, id view);
    bool (*listVideoMode)(id controller, id view);
    // The same for the slider's change and for applyTorchState.
    bool (*controllerFlashCapable)(id controller);

    // At preview start: whether the torch is left to the camera.
    bool (*leavesTorchAtPreviewStart)(id controller);
    // After a photo: whether the torch is relit.
    bool (*wantsRelightAfterPhoto)(id controller);

    // Set around applyTorchState when the torch switch changes, where the
    // generation needs it (null elsewhere).
    BOOL* preventFlag;

    // The torch list's look.
    bool setsCellLayoutMargins;
    const char* switchOnTintColor; // a UIColor class method

    // The torch button.
    CGFloat buttonScale;
    bool hidesOuterRing; // else the ring gets a border
    CGFloat outerRingBorderWidth;
    id (*buttonTarget)(id topBar);
    // Places the button on the top bar (adds its constraints).
    void (*placeButton)(id button, id topBar);
};

// The running module's generation.
const Generation& generation();

// The shared capture controller of this generation's camera.
id sharedCaptureController();
