#include "common/Torch.h"

#include "avfoundation/AVCaptureDevice.h"
#include "common/Settings.h"
#include "dispatch/dispatch.h"
#include "foundation/NSException.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int64_t kRetryInterval = 1000000000; // 1 s, in ns

id currentDevice(id controller)
{
    return objc_msgSend<id>(controller, "currentDevice"_sel);
}

// The level the user chose, as the torch reports it when lit so.
float chosenLevel()
{
    return std::min(settingTorchLevel, 1.0f);
}

// Observes the capture devices the module has lit: their torch becoming
// available again, and their level falling below the chosen one.
class LNTorchWatcher : public NSObject {
    OBJC_CLASS(LNTorchWatcher)
public:
    static LNTorchWatcher& shared()
    {
        static LNTorchWatcher* watcher = adoptObject(new LNTorchWatcher).leakRef();
        return *watcher;
    }

    void watch(id controller, TorchRestorer restore)
    {
        m_controller = controller;
        m_restore = restore;
        id device = currentDevice(controller);
        if (!device || std::find(m_devices.begin(), m_devices.end(), device) != m_devices.end())
            return;
        m_devices.push_back(device);
        for (NSString* key : { "torchAvailable"_ns, "torchLevel"_ns })
            objc_msgSend<void>(device, "addObserver:forKeyPath:options:context:"_sel, static_cast<id>(this), key, NSUInteger(0), static_cast<void*>(nullptr));
    }

    void observeValueForKeyPath(NSString* keyPath, id object, NSDictionary*, void*)
    {
        if (!m_restore || object != currentDevice(m_controller.get()))
            return;
        if (keyPath->view() == "torchAvailable") {
            if (objc_msgSend<BOOL>(object, "isTorchAvailable"_sel))
                restore();
            return;
        }
        if (burnsBelowChosenLevel(object))
            scheduleRetry();
    }

    // A torch the module has just lit was put out again before the call
    // returned: something else took it back (the iOS 7 camera re-arms its
    // flash when the torch comes on under the user's finger). It is tried
    // again like a hot one, once the moment has passed.
    void takenBack(id device)
    {
        if (m_restore && device == currentDevice(m_controller.get()))
            scheduleRetry();
    }

private:
    LNTorchWatcher() = default;

    static bool burnsBelowChosenLevel(id device)
    {
        float level = objc_msgSend<float>(device, "torchLevel"_sel);
        return level > 0 && level < chosenLevel() - 1e-6f;
    }

    // Burning below the chosen level, or dark though the device would light
    // it.
    static bool missesChosenLevel(id device)
    {
        return objc_msgSend<BOOL>(device, "isTorchAvailable"_sel) && objc_msgSend<float>(device, "torchLevel"_sel) < chosenLevel() - 1e-6f;
    }

    // Restores the chosen level; true when it is wanted but not reached.
    bool restore()
    {
        RefPtr<Object> controller = m_controller;
        return m_restore(controller.get()) && missesChosenLevel(currentDevice(controller.get()));
    }

    void scheduleRetry()
    {
        if (m_retryScheduled)
            return;
        m_retryScheduled = true;
        Ref<LNTorchWatcher> protectedThis(*this);
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, kRetryInterval), dispatch_get_main_queue(), [this, protectedThis] {
            m_retryScheduled = false;
            if (restore())
                scheduleRetry();
        });
    }

    RefPtr<Object> m_controller;
    TorchRestorer m_restore = nullptr;
    std::vector<RefPtr<Object>> m_devices;
    bool m_retryScheduled = false;
};

} // namespace

Class LNTorchWatcher::staticClass()
{
    static Class cls = ClassBuilder<LNTorchWatcher>("LNTorchWatcher", &OBJC_CLASS_NSObject)
                           .method<&LNTorchWatcher::observeValueForKeyPath>("observeValueForKeyPath:ofObject:change:context:")
                           .build();
    return cls;
}

bool withLockedTorch(id controller, const std::function<void(id device)>& change)
{
    if (!objc_msgSend<BOOL>(currentDevice(controller), "isTorchAvailable"_sel))
        return false;
    if (!objc_msgSend<BOOL>(controller, "_lockCurrentDeviceForConfiguration"_sel))
        return false;
    try {
        change(currentDevice(controller));
    } catch (NSException*) {
        // The device refused the change; the Camera goes on with the torch
        // as it is.
    }
    try {
        objc_msgSend<void>(controller, "_unlockCurrentDeviceForConfiguration"_sel);
    } catch (NSException*) {
    }
    return true;
}

void lightTorch(id device, float level)
{
    if (!objc_msgSend<BOOL>(device, "setTorchModeOnWithLevel:error:"_sel, level, static_cast<NSError**>(nullptr)))
        objc_msgSend<BOOL>(device, "setTorchModeOnWithLevel:error:"_sel, AVCaptureMaxAvailableTorchLevel, static_cast<NSError**>(nullptr));
    if (objc_msgSend<BOOL>(device, "isTorchAvailable"_sel) && objc_msgSend<float>(device, "torchLevel"_sel) <= 0)
        LNTorchWatcher::shared().takenBack(device);
}

void watchTorch(id controller, TorchRestorer restore)
{
    LNTorchWatcher::shared().watch(controller, restore);
}
