// The torch button: the camera's small shutter button shrunk into a yellow
// dot on the top bar, which opens the torch list.
#pragma once

#include "runtime/message.h"

// Makes a new button for the camera view's top bar and stores it in btn.
void createTorchButton(id cameraView);

// Placements, one per family of top bars.
// Beside the flip button (settingRightButton) or the flash button.
void placeBesideFlashOrFlip(id button, id topBar);
// At a fixed distance from the top bar's right or left edge.
void placeAgainstTopBarEdges(id button, id topBar);

// Targets of the button's action.
id topBarDelegate(id topBar);
id sharedControllerDelegate(id topBar);
