// Library injection at app launch, as MobileSubstrate does it: the libraries
// in "/Library/MobileSubstrate/DynamicLibraries" whose filter property lists
// name the app (by bundle identifier or executable) are loaded into it.
#pragma once

#include "Export.h"

#include <string>

namespace device {

// Loads the MobileSubstrate libraries whose filters match the app
// ("/Library/MobileSubstrate/DynamicLibraries", in name order). A library
// without a filter file goes into every app.
PLATFORM_EXPORT void injectLibraries(const std::string& bundleIdentifier, const std::string& executableName);

} // namespace device
