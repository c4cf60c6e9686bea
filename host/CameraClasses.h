// The camera app's private classes. Each role (capture controller, camera
// view, top bar, shutter button, capabilities) is one C++ class over the
// camera model; every iOS generation registers these classes under its own
// names and with its own methods (see Families.h). The app calls its own
// hookable methods through the runtime, so a hook sees every call.
#pragma once

#include "host/CameraModel.h"
#include "uikit/UIControl.h"
#include "uikit/UIView.h"

namespace camera {

struct Family;
class CameraView;

class CaptureController : public NSObject {
public:
    template <typename>
    friend class ::ClassBuilder;
    // Registers the class under the family's name for this role.
    static Class registerClass(const Family& family);
    static CaptureController* sharedInstance();

    NSInteger cameraMode() const { return model().mode; }
    NSInteger cameraDevice() const { return model().device; }
    NSInteger flashMode() const { return model().flashMode; }
    AVCaptureDevice* currentDevice() const { return model().currentDevice(); }
    BOOL performingAvalancheCapture() const { return model().burst; }
    BOOL performingTimedCapture() const { return model().timedCapture; }
    id delegate() const { return m_delegate; }
    void setDelegate(id delegate) { m_delegate = delegate; }

    BOOL lockCurrentDeviceForConfiguration();
    void unlockCurrentDeviceForConfiguration();

    static BOOL isVideoModeClass(NSInteger mode) { return camera::isVideoMode(mode); }
    static BOOL isStillImageModeClass(NSInteger mode) { return camera::isStillImageMode(mode); }
    BOOL isVideoModeInstance(NSInteger mode) const { return camera::isVideoMode(mode); }

    // Hookable events.
    void didTakePhoto();
    void capturedPhotoWithDictionary(NSDictionary* dictionary, NSError* error);
    void applyTorchSettingsFromVideoRequest(id request);

protected:
    CaptureController() = default;

private:
    id m_delegate = nullptr;
};

// The top bar's flash and flip buttons, drawn as the camera's glyphs: a
// lightning bolt showing the flash mode, and a camera with turning arrows.
class FlashButton : public UIButton {
public:
    template <typename>
    friend class ::ClassBuilder;
    static Ref<FlashButton> create(CGRect frame);
    void drawRect(CGRect rect) override;

protected:
    FlashButton() = default;
};

class FlipButton : public UIButton {
public:
    template <typename>
    friend class ::ClassBuilder;
    static Ref<FlipButton> create(CGRect frame);
    void drawRect(CGRect rect) override;

protected:
    FlipButton() = default;
};

class TopBar : public UIView {
public:
    template <typename>
    friend class ::ClassBuilder;
    // Registers the class under the family's name for this role.
    static Class registerClass(const Family& family);
    static Ref<TopBar> create(Class cls, CGRect frame);

    id delegate() const { return m_delegate; }
    void setDelegate(id delegate) { m_delegate = delegate; }
    UIView* backgroundView() const { return m_backgroundView.get(); }
    UIView* flashButton() const { return m_flashButton.get(); }
    UIView* flipButton() const { return m_flipButton.get(); }
    BOOL isFlashButtonExpanded() const { return model().flashExpanded; }
    BOOL shouldHideFlashButton() const;

    // Hookable events.
    void updateHiddenViewsForButtonExpansionAnimated(BOOL animated);

protected:
    TopBar() = default;

private:
    id m_delegate = nullptr;
    RefPtr<UIView> m_backgroundView;
    RefPtr<UIView> m_flashButton;
    RefPtr<UIView> m_flipButton;
};

class ShutterButton : public UIButton {
public:
    template <typename>
    friend class ::ClassBuilder;
    // Registers the class under the family's name for this role.
    static Class registerClass(const Family& family);
    static Ref<ShutterButton> smallShutterButton();
    static Ref<ShutterButton> shutterButton();

    UIView* innerView() const { return m_innerView.get(); }
    UIView* outerView() const { return m_outerView.get(); }
    // The ring, unless the outer view shows one of its own (or is hidden).
    void drawRect(CGRect rect) override;

protected:
    ShutterButton() = default;

private:
    void build(CGFloat diameter);
    // Reached by name through the runtime as __innerView and __outerView.
    RefPtr<UIView> m_innerView;
    RefPtr<UIView> m_outerView;
};

class CaptureCapabilities : public NSObject {
public:
    template <typename>
    friend class ::ClassBuilder;
    // Registers the class under the family's name for this role.
    static Class registerClass(const Family& family);
    static CaptureCapabilities* capabilities();
    BOOL isFlashSupportedForDevice(NSInteger device) const { return model().flashSupported(device); }

protected:
    CaptureCapabilities() = default;
};

// A row of the iOS 6 settings panel: a title and an accessory control.
class SettingsRow : public UIView {
public:
    template <typename>
    friend class ::ClassBuilder;
    static Class registerClass(const Family& family);

    SettingsRow* initWithFrame(CGRect frame) override;
    NSInteger type() const { return m_type; }
    void setType(NSInteger type) { m_type = type; }
    NSString* title() const { return m_title.get(); }
    void setTitle(NSString* title) { m_title = title; }
    UIView* accessory() const { return m_accessory.get(); }
    void setAccessorySwitch(UIView* accessory);
    // The title at the left.
    void drawRect(CGRect rect) override;

protected:
    SettingsRow() = default;

private:
    NSInteger m_type = 0;
    RefPtr<NSString> m_title;
    RefPtr<UIView> m_accessory;
};

// The iOS 6 camera's settings panel, with its grid, HDR and panorama rows.
class SettingsPanel : public UIView {
public:
    template <typename>
    friend class ::ClassBuilder;
    static Class registerClass(const Family& family);

    SettingsPanel* initWithFrameShowGridShowHDRShowPano(CGRect frame, BOOL showGrid, BOOL showHDR, BOOL showPano);
    static constexpr CGFloat kRowPitch = 56;
    static constexpr CGFloat kRowHeight = 50;

protected:
    SettingsPanel() = default;
};

class CameraView : public UIView {
public:
    template <typename>
    friend class ::ClassBuilder;
    // Registers the class under the family's name for this role.
    static Class registerClass(const Family& family);
    static Ref<CameraView> create(CGRect frame);

    UIView* topBar() const { return m_topBar.get(); }
    NSInteger cameraMode() const { return model().mode; }
    NSInteger cameraDevice() const { return model().device; }
    BOOL shouldHideFlashButtonForMode(NSInteger mode) const;
    BOOL shouldEnableFlashButton() const;
    BOOL isStillImageModeInstance(NSInteger mode) const { return camera::isStillImageMode(mode); }

    // Hookable events.
    void createDefaultControlsIfNecessary();
    void rotateCameraControlsAndInterface();
    void updateEnabledControlsWithReason(NSString* reason, BOOL forceLog);
    void showControlsForChangeToMode(NSInteger mode, BOOL animated);
    void hideControlsForChangeToMode(NSInteger mode, BOOL animated);
    void showControlsForCapturingVideoAnimated(BOOL animated);
    void hideControlsForCapturingVideoAnimated(BOOL animated);
    void stopDelayedCapture();
    void cameraControllerPreviewDidStart(id controller);
    void updateFlashModeIfNecessary();
    void observeTorch(NSString* keyPath, id object, NSDictionary* change, void* context);
    void showSettings(BOOL show, id sender);
    UIView* settingsPanel() const { return m_settingsPanel.get(); }

    // The preview (a room, lit by the rear LED when it is on), the bottom
    // bar with the modes, and the shutter where the camera has no shutter
    // button.
    void drawRect(CGRect rect) override;
    // Where a tap lands on what drawRect draws: the shutter (where the
    // camera has no shutter button), or a mode's name on the dial.
    bool drawnShutterContains(CGPoint point) const;
    bool modeOnDialAt(CGPoint point, NSInteger& mode) const;

    ~CameraView() override;

protected:
    CameraView() = default;

private:
    void updateFlashButton(NSInteger mode, BOOL animated);
    // The shutter's centre: white for photos, red for video.
    void updateShutterColor(NSInteger mode);
    RefPtr<TopBar> m_topBar;
    RefPtr<ShutterButton> m_shutterButton;
    RefPtr<UIView> m_settingsPanel;
};

// The camera's own method for hiding its controls, which the app adds to
// UIView: cam_setHidden:animated: (iOS 8 and 9) or pl_setHidden:animated:
// (iOS 7).
void setHiddenAnimated(id self, SEL, BOOL hidden, BOOL animated);

} // namespace camera
