// The iOS 8 camera: the CAM classes, and no capabilities object: the rear
// camera counts as the one with a flash.
#include "common/CameraQueries.h"

const Generation& generation()
{
    static const Generation iOS8 = cameraKitGeneration("CAMCaptureController", "CAMShutterButton", isRearCamera);
    return iOS8;
}
