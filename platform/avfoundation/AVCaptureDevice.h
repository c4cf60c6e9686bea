// AVFoundation's capture device, as far as its torch goes.
//
// As on a device: every torch change needs the configuration lock
// (lockForConfiguration:), or NSGenericException is raised; a level outside
// (0, 1] other than AVCaptureMaxAvailableTorchLevel raises
// NSInvalidArgumentException; setTorchMode: with on lights the torch at the
// current maximum. A hot device may lower the maximum available level (a
// level above it fails with an error) or make the torch unavailable.
// Every change of the LED is recorded with its time on the device clock.
#pragma once

#include "foundation/NSValue.h"

#include <vector>

enum AVCaptureTorchMode : NSInteger {
    AVCaptureTorchModeOff = 0,
    AVCaptureTorchModeOn = 1,
    AVCaptureTorchModeAuto = 2,
};

// "Light at the current maximum": FLT_MAX on the device.
extern "C" PLATFORM_EXPORT const float AVCaptureMaxAvailableTorchLevel;
PLATFORM_EXPORT extern NSString* const AVFoundationErrorDomain;
inline constexpr NSInteger AVErrorTorchLevelUnavailable = -11846;
inline constexpr NSInteger AVErrorDeviceLockedForConfigurationByAnotherProcess = -11817;

class PLATFORM_EXPORT AVCaptureDevice : public NSObject {
    OBJC_CLASS(AVCaptureDevice)
public:
    // One LED state, from the moment it began.
    struct TorchEvent {
        uint64_t time; // device clock, nanoseconds
        AVCaptureTorchMode mode;
        float level; // 0 when dark
    };

    static Ref<AVCaptureDevice> create(NSString* localizedName, bool hasTorch);

    BOOL hasTorch() const noexcept { return m_hasTorch; }
    BOOL isTorchAvailable() const noexcept { return m_hasTorch && m_torchAvailable; }
    BOOL isTorchActive() const noexcept { return m_level > 0; }
    float torchLevel() const noexcept { return m_level; }
    AVCaptureTorchMode torchMode() const noexcept { return m_mode; }
    BOOL isTorchModeSupported(NSInteger mode) const noexcept;
    NSString* localizedName() const noexcept { return m_name.get(); }

    BOOL lockForConfiguration(NSError** error);
    void unlockForConfiguration();
    void setTorchMode(NSInteger mode);
    BOOL setTorchModeOnWithLevel(float level, NSError** error);

    // The simulated hardware.
    bool isLockedForConfiguration() const noexcept { return m_lockCount > 0; }
    void setLockRefused(bool refused) { m_lockRefused = refused; }
    float maxAvailableTorchLevel() const noexcept { return m_maxAvailable; }
    // Heat: a lower maximum dims a lit torch to it; an unavailable torch goes dark.
    void setMaxAvailableTorchLevel(float level);
    void setTorchAvailable(bool available);
    const std::vector<TorchEvent>& torchTimeline() const noexcept { return m_timeline; }

    ~AVCaptureDevice() override;

protected:
    AVCaptureDevice() = default;

private:
    void requireLock(const char* selector) const;
    void light(AVCaptureTorchMode mode, float level);

    RefPtr<NSString> m_name;
    bool m_hasTorch = false;
    bool m_torchAvailable = true;
    bool m_lockRefused = false;
    int m_lockCount = 0;
    float m_maxAvailable = 1.0f;
    float m_level = 0;
    AVCaptureTorchMode m_mode = AVCaptureTorchModeOff;
    std::vector<TorchEvent> m_timeline;
};

// The concrete class the device's cameras are, named as on the device (its
// name appears in the exceptions' reasons).
class PLATFORM_EXPORT AVCaptureFigVideoDevice final : public AVCaptureDevice {
    OBJC_CLASS(AVCaptureFigVideoDevice)
public:
    ~AVCaptureFigVideoDevice() override;

private:
    AVCaptureFigVideoDevice() = default;
    friend class AVCaptureDevice;
};
