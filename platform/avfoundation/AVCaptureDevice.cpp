#include "avfoundation/AVCaptureDevice.h"

#include "device/Trace.h"
#include "dispatch/RunLoop.h"
#include "foundation/NSException.h"
#include "foundation/NSKeyValueObserving.h"

#include <cfloat>
#include <cmath>

const float AVCaptureMaxAvailableTorchLevel = FLT_MAX;
NSString* const AVFoundationErrorDomain = "AVFoundationErrorDomain"_ns;

Class AVCaptureDevice::staticClass()
{
    static Class cls = ClassBuilder<AVCaptureDevice>("AVCaptureDevice", &OBJC_CLASS_NSObject)
                           .method<&AVCaptureDevice::hasTorch>("hasTorch")
                           .method<&AVCaptureDevice::isTorchAvailable>("isTorchAvailable")
                           .method<&AVCaptureDevice::isTorchActive>("isTorchActive")
                           .method<&AVCaptureDevice::torchLevel>("torchLevel")
                           .method<&AVCaptureDevice::torchMode>("torchMode")
                           .method<&AVCaptureDevice::isTorchModeSupported>("isTorchModeSupported:")
                           .method<&AVCaptureDevice::localizedName>("localizedName")
                           .method<&AVCaptureDevice::lockForConfiguration>("lockForConfiguration:")
                           .method<&AVCaptureDevice::unlockForConfiguration>("unlockForConfiguration")
                           .method<&AVCaptureDevice::setTorchMode>("setTorchMode:")
                           .method<&AVCaptureDevice::setTorchModeOnWithLevel>("setTorchModeOnWithLevel:error:")
                           .build();
    return cls;
}

Class AVCaptureFigVideoDevice::staticClass()
{
    static Class cls = ClassBuilder<AVCaptureFigVideoDevice>("AVCaptureFigVideoDevice", AVCaptureDevice::staticClass()).build();
    return cls;
}

AVCaptureDevice::~AVCaptureDevice() = default;
AVCaptureFigVideoDevice::~AVCaptureFigVideoDevice() = default;

Ref<AVCaptureDevice> AVCaptureDevice::create(NSString* localizedName, bool hasTorch)
{
    Ref<AVCaptureDevice> device = adoptObject(new AVCaptureFigVideoDevice);
    device->m_name = localizedName;
    device->m_hasTorch = hasTorch;
    return device;
}

BOOL AVCaptureDevice::isTorchModeSupported(NSInteger mode) const noexcept
{
    return m_hasTorch && mode >= AVCaptureTorchModeOff && mode <= AVCaptureTorchModeAuto;
}

BOOL AVCaptureDevice::lockForConfiguration(NSError** error)
{
    if (m_lockRefused) {
        if (error)
            *error = static_cast<NSError*>(NSError::create(AVFoundationErrorDomain, AVErrorDeviceLockedForConfigurationByAnotherProcess).leakRef()->autorelease());
        return NO;
    }
    // Nested locks are counted; each needs its unlock. (How the device treats
    // nesting is not documented; counting is the forgiving reading.)
    ++m_lockCount;
    return YES;
}

void AVCaptureDevice::unlockForConfiguration()
{
    if (m_lockCount == 0) {
        NSException::raise(NSGenericException, "*** -[%s unlockForConfiguration] Device is not locked for configuration; "
                                               "-unlockForConfiguration may only be called after a successful -lockForConfiguration:",
            object_getClassName(this));
    }
    --m_lockCount;
}

void AVCaptureDevice::requireLock(const char* selector) const
{
    if (m_lockCount > 0)
        return;
    NSException::raise(NSGenericException, "*** -[%s %s] May not be called without first successfully gaining exclusive ownership of the device using -lockForConfiguration:",
        object_getClassName(const_cast<AVCaptureDevice*>(this)), selector);
}

void AVCaptureDevice::setTorchMode(NSInteger mode)
{
    if (!isTorchModeSupported(mode))
        NSException::raise(NSInvalidArgumentException, "*** -[%s setTorchMode:] Unsupported torch mode %ld", object_getClassName(this), mode);
    requireLock("setTorchMode:");
    switch (mode) {
    case AVCaptureTorchModeOn:
        light(AVCaptureTorchModeOn, m_torchAvailable ? m_maxAvailable : 0);
        break;
    case AVCaptureTorchModeAuto:
        // The simulated scene is bright: auto keeps the LED dark.
        light(AVCaptureTorchModeAuto, 0);
        break;
    default:
        light(AVCaptureTorchModeOff, 0);
        break;
    }
}

BOOL AVCaptureDevice::setTorchModeOnWithLevel(float level, NSError** error)
{
    bool valid = !std::isnan(level) && ((level > 0 && level <= 1) || level == AVCaptureMaxAvailableTorchLevel);
    if (!m_hasTorch || !valid) {
        NSException::raise(NSInvalidArgumentException, "*** -[%s setTorchModeOnWithLevel:error:] The passed torchLevel %f is not supported",
            object_getClassName(this), static_cast<double>(level));
    }
    requireLock("setTorchModeOnWithLevel:error:");
    bool maximum = level == AVCaptureMaxAvailableTorchLevel;
    if (!m_torchAvailable || (!maximum && level > m_maxAvailable)) {
        if (error)
            *error = static_cast<NSError*>(NSError::create(AVFoundationErrorDomain, AVErrorTorchLevelUnavailable).leakRef()->autorelease());
        return NO;
    }
    light(AVCaptureTorchModeOn, maximum ? m_maxAvailable : level);
    return YES;
}

void AVCaptureDevice::setMaxAvailableTorchLevel(float level)
{
    m_maxAvailable = std::clamp(level, 0.0f, 1.0f);
    if (m_level > m_maxAvailable)
        light(m_mode, m_maxAvailable);
}

void AVCaptureDevice::setTorchAvailable(bool available)
{
    if (available != m_torchAvailable) {
        kvo::willChangeValueForKey(this, "torchAvailable"_ns);
        m_torchAvailable = available;
        kvo::didChangeValueForKey(this, "torchAvailable"_ns);
    }
    if (!available && m_level > 0)
        light(AVCaptureTorchModeOff, 0);
}

// The torch's state is observable: torchMode, torchLevel and torchActive.
void AVCaptureDevice::light(AVCaptureTorchMode mode, float level)
{
    bool modeChanged = mode != m_mode;
    bool levelChanged = level != m_level;
    bool activeChanged = (level > 0) != (m_level > 0);
    if (!modeChanged && !levelChanged)
        return;
    if (modeChanged)
        kvo::willChangeValueForKey(this, "torchMode"_ns);
    if (levelChanged)
        kvo::willChangeValueForKey(this, "torchLevel"_ns);
    if (activeChanged)
        kvo::willChangeValueForKey(this, "torchActive"_ns);
    m_mode = mode;
    m_level = level;
    // Recorded before observers hear of it: what they do in answer comes after.
    m_timeline.push_back({ RunLoop::main().now(), mode, level });
    if (level > 0)
        device::tracef(device::TraceKind::Torch, "torch on at %.2f", static_cast<double>(level));
    else
        device::tracef(device::TraceKind::Torch, "torch off");
    if (activeChanged)
        kvo::didChangeValueForKey(this, "torchActive"_ns);
    if (levelChanged)
        kvo::didChangeValueForKey(this, "torchLevel"_ns);
    if (modeChanged)
        kvo::didChangeValueForKey(this, "torchMode"_ns);
}
