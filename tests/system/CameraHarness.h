// A simulated iOS 9 Camera in the test process, with the iOS 9 module's
// integration started as if the loader had opened it.
#pragma once

#include "foundation/NSCollections.h"

#include <functional>
#include <vector>

class AVCaptureDevice;
class UIView;

namespace testing_support {

// Runs body in a child process that has a fresh device root with these
// preferences, the iOS 9 camera's classes, the module's hooks, and the
// camera launched. Returns whether body finished without a failure.
bool runWithCamera(std::vector<NSDictionary::Entry> preferences, const std::function<void()>& body);
// The same with the iOS 6 camera and the iOS 6 module's hooks.
bool runWithIOS6Camera(std::vector<NSDictionary::Entry> preferences, const std::function<void()>& body);

AVCaptureDevice* rearTorch();
NSDictionary::Entry preference(NSString* key, Ref<Object> value);
RefPtr<NSDictionary> preferenceFile();

} // namespace testing_support
