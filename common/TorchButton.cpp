#include "common/TorchButton.h"

#include "common/CameraIntegration.h"
#include "common/Generation.h"
#include "common/Settings.h"

void createTorchButton(id)
{
}

void placeBesideFlashOrFlip(id, id)
{
}

void placeAgainstTopBarEdges(id, id)
{
}

id topBarDelegate(id topBar)
{
    return objc_msgSend<id>(topBar, "delegate"_sel);
}

id sharedControllerDelegate(id)
{
    return objc_msgSend<id>(sharedCaptureController(), "delegate"_sel);
}
