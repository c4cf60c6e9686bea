// The camera's class families, one per iOS generation, and the registration
// of the family of the simulated device's generation.
#pragma once

#include "runtime/objc.h"

namespace camera {

struct Family {
    int generation;                // 6, 7, 8 or 9
    const char* captureController; // the roles' class names on this generation
    const char* cameraView;
    const char* topBar; // null where the generation has none
    const char* shutterButton;
    const char* capabilities;
    const char* settingsPanel;
    const char* settingsRow;
    const char* setHiddenSelector; // the camera's view method for hiding its controls
    const char* frameworkPath;     // the private framework that holds the classes
};

struct Classes {
    Class captureController = nullptr;
    Class cameraView = nullptr;
    Class topBar = nullptr;
    Class shutterButton = nullptr;
    Class capabilities = nullptr;
    Class settingsPanel = nullptr;
    Class settingsRow = nullptr;
};

// The family of a generation (6 to 9; 10 and later use the iOS 9 family).
const Family& familyForGeneration(int generation);

// Registers the family's classes in this process (once) and makes it current.
void registerFamily(const Family& family);
const Family& currentFamily();
const Classes& classes();

} // namespace camera
