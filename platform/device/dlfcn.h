// The device's <dlfcn.h>: dlopen() with the device's mode numbers (see
// DynamicLoader.h). Code that runs on the device includes this header
// instead of the host's; the linker sends its dlopen() calls to the
// device's loader (lumora_device_code in the build).
#pragma once

#ifdef _DLFCN_H
#error "the host's <dlfcn.h> is already included: code on the device includes only device/dlfcn.h"
#endif

#include "device/DynamicLoader.h"

#define RTLD_LAZY (device::kRTLD_LAZY)
#define RTLD_NOW (device::kRTLD_NOW)
#define RTLD_LOCAL (device::kRTLD_LOCAL)
#define RTLD_GLOBAL (device::kRTLD_GLOBAL)
#define RTLD_NOLOAD (device::kRTLD_NOLOAD)
#define RTLD_NODELETE (device::kRTLD_NODELETE)

extern "C" void* dlopen(const char* path, int mode);
