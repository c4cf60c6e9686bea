#include "host/CameraModel.h"

namespace camera {

bool isStillImageMode(NSInteger mode)
{
    return mode == ModePhoto || mode == ModePanorama || mode == ModeSquare;
}

bool isVideoMode(NSInteger mode)
{
    return mode == ModeVideo || mode == ModeSlowMotion || mode == ModeTimeLapse;
}

const char* modeName(NSInteger mode)
{
    switch (mode) {
    case ModePhoto:
        return "photo";
    case ModeVideo:
        return "video";
    case ModeSlowMotion:
        return "slo-mo";
    case ModePanorama:
        return "pano";
    case ModeSquare:
        return "square";
    case ModeTimeLapse:
        return "time-lapse";
    }
    return "unknown";
}

bool parseMode(const std::string& text, NSInteger& mode)
{
    for (NSInteger candidate = ModePhoto; candidate <= ModeTimeLapse; ++candidate) {
        if (text == modeName(candidate)) {
            mode = candidate;
            return true;
        }
    }
    return false;
}

void Model::setFlashes(bool rear, bool front)
{
    rearHasFlash = rear;
    frontHasFlash = front;
    rearDevice = AVCaptureDevice::create("Back Camera"_ns, rear);
    frontDevice = AVCaptureDevice::create("Front Camera"_ns, front);
}

Model& model()
{
    static Model* instance = new Model;
    return *instance;
}

} // namespace camera
