#include "host/CameraClasses.h"

#include "device/Trace.h"
#include "foundation/NSKeyValueObserving.h"
#include "host/Families.h"
#include "uikit/CALayer.h"
#include "uikit/UIKitSimulator.h"

#include <cmath>
#include <string>
#include <unordered_map>

namespace camera {

namespace {

RefPtr<CaptureController>& sharedController()
{
    static auto* controller = new RefPtr<CaptureController>;
    return *controller;
}

Ref<UIView> makeView(CGRect frame, UIColor* color)
{
    auto view = UIView::create(frame);
    view->setBackgroundColor(color);
    return view;
}

Class g_flashButtonClass = nullptr;
Class g_flipButtonClass = nullptr;

} // namespace

// MARK: Capture controller

CaptureController* CaptureController::sharedInstance()
{
    auto& shared = sharedController();
    if (!shared)
        shared = adoptObject(new CaptureController, classes().captureController);
    return shared.get();
}

BOOL CaptureController::lockCurrentDeviceForConfiguration()
{
    return currentDevice()->lockForConfiguration(nullptr);
}

void CaptureController::unlockCurrentDeviceForConfiguration()
{
    currentDevice()->unlockForConfiguration();
}

void CaptureController::didTakePhoto()
{
    ++model().photosTaken;
    device::tracef(device::TraceKind::Camera, "photo %d taken", model().photosTaken);
}

void CaptureController::capturedPhotoWithDictionary(NSDictionary*, NSError*)
{
    ++model().photosTaken;
    device::tracef(device::TraceKind::Camera, "photo %d taken", model().photosTaken);
}

// The camera's own torch for video: lit at the maximum while recording with
// the flash on, dark otherwise.
void CaptureController::applyTorchSettingsFromVideoRequest(id request)
{
    AVCaptureDevice* device = currentDevice();
    if (!device->isTorchAvailable() || !lockCurrentDeviceForConfiguration())
        return;
    bool recording = model().recording;
    NSInteger flash = model().flashMode;
    if (request && class_isSubclassOf(object_getClass(request), NSDictionary::staticClass())) {
        auto* fields = static_cast<NSDictionary*>(request);
        if (id value = fields->objectForKey("recording"_ns))
            recording = objc_msgSend<BOOL>(value, "boolValue"_sel);
        if (id value = fields->objectForKey("flashMode"_ns))
            flash = objc_msgSend<NSInteger>(value, "integerValue"_sel);
    }
    bool lit = recording && flash == FlashOn && model().videoLight;
    device->setTorchMode(lit ? AVCaptureTorchModeOn : AVCaptureTorchModeOff);
    unlockCurrentDeviceForConfiguration();
}

// MARK: Top bar

Ref<TopBar> TopBar::create(Class cls, CGRect frame)
{
    auto bar = adoptObject(new TopBar, cls);
    bar->setFrame(frame);
    bar->m_backgroundView = makeView(CGRectMake(0, 0, frame.size.width, frame.size.height), UIColor::colorWithWhite(0, 0.55).ptr());
    bar->m_flashButton = FlashButton::create(CGRectMake(6, 4, 32, 32));
    bar->m_flipButton = FlipButton::create(CGRectMake(frame.size.width - 44, 4, 38, 32));
    bar->addSubview(bar->m_backgroundView.get());
    bar->addSubview(bar->m_flashButton.get());
    bar->addSubview(bar->m_flipButton.get());
    return bar;
}

BOOL TopBar::shouldHideFlashButton() const
{
    auto* view = static_cast<CameraView*>(m_delegate);
    return view ? view->shouldHideFlashButtonForMode(model().mode) : YES;
}

void TopBar::updateHiddenViewsForButtonExpansionAnimated(BOOL)
{
    // While the flash options are open they take the bar; the flip button hides.
    if (m_flipButton)
        m_flipButton->setHidden(model().flashExpanded);
}

// MARK: Shutter button

Ref<ShutterButton> ShutterButton::smallShutterButton()
{
    auto button = adoptObject(new ShutterButton, classes().shutterButton);
    button->build(47);
    return button;
}

Ref<ShutterButton> ShutterButton::shutterButton()
{
    auto button = adoptObject(new ShutterButton, classes().shutterButton);
    button->build(66);
    return button;
}

void ShutterButton::build(CGFloat diameter)
{
    setFrame(CGRectMake(0, 0, diameter, diameter));
    m_outerView = makeView(CGRectMake(0, 0, diameter, diameter), UIColor::clearColor());
    m_innerView = makeView(CGRectInset(CGRectMake(0, 0, diameter, diameter), 6, 6), UIColor::whiteColor());
    // Round: a disc in a ring (which the outer view's border draws when it has one).
    m_outerView->layer()->setCornerRadius(diameter / 2);
    m_outerView->layer()->setBorderColor(UIColor::whiteColor()->CGColor());
    m_innerView->layer()->setCornerRadius(diameter / 2 - 6);
    addSubview(m_outerView.get());
    addSubview(m_innerView.get());
}

// MARK: Capabilities

CaptureCapabilities* CaptureCapabilities::capabilities()
{
    static RefPtr<CaptureCapabilities>* shared = new RefPtr<CaptureCapabilities>;
    if (!*shared)
        *shared = adoptObject(new CaptureCapabilities, classes().capabilities);
    return shared->get();
}

// MARK: Camera view

Ref<CameraView> CameraView::create(CGRect frame)
{
    auto view = adoptObject(new CameraView, classes().cameraView);
    view->setFrame(frame);
    view->setBackgroundColor(UIColor::blackColor());
    if (currentFamily().generation == 7)
        kvo::addObserver(model().rearDevice.ptr(), view.ptr(), "torchActive"_ns, 0, nullptr);
    return view;
}

CameraView::~CameraView()
{
    if (currentFamily().generation == 7)
        kvo::removeObserver(model().rearDevice.ptr(), this, "torchActive"_ns);
}

BOOL CameraView::shouldHideFlashButtonForMode(NSInteger mode) const
{
    if (!model().flashSupported(model().device))
        return YES;
    return mode == ModePanorama || mode == ModeTimeLapse || mode == ModeSlowMotion;
}

BOOL CameraView::shouldEnableFlashButton() const
{
    return !model().timedCapture && !model().burst;
}

void CameraView::createDefaultControlsIfNecessary()
{
    if (m_topBar || !classes().topBar)
        return;
    CGRect bounds = this->bounds();
    m_topBar = TopBar::create(classes().topBar, CGRectMake(0, 0, bounds.size.width, 40));
    m_topBar->setDelegate(this);
    addSubview(m_topBar.get());
    m_shutterButton = ShutterButton::shutterButton();
    m_shutterButton->setCenter(CGPointMake(bounds.size.width / 2, bounds.size.height - 60));
    addSubview(m_shutterButton.get());
    updateShutterColor(model().mode);
}

void CameraView::updateShutterColor(NSInteger mode)
{
    if (!m_shutterButton || !m_shutterButton->innerView())
        return;
    m_shutterButton->innerView()->setBackgroundColor(isVideoMode(mode) ? UIColor::colorWithRed(1, 0.23, 0.19, 1).ptr() : UIColor::whiteColor());
}

void CameraView::updateFlashButton(NSInteger mode, BOOL animated)
{
    if (!m_topBar)
        return;
    objc_msgSend<void>(m_topBar->flashButton(), sel_registerName(currentFamily().setHiddenSelector), shouldHideFlashButtonForMode(mode), animated);
}

void CameraView::rotateCameraControlsAndInterface()
{
    device::trace(device::TraceKind::Camera, "interface rotated");
}

void CameraView::updateEnabledControlsWithReason(NSString*, BOOL)
{
    if (m_topBar && m_topBar->flashButton())
        m_topBar->flashButton()->setUserInteractionEnabled(shouldEnableFlashButton());
}

void CameraView::showControlsForChangeToMode(NSInteger mode, BOOL animated)
{
    updateFlashButton(mode, animated);
    updateShutterColor(mode);
}

void CameraView::hideControlsForChangeToMode(NSInteger mode, BOOL animated)
{
    updateFlashButton(mode, animated);
}

void CameraView::showControlsForCapturingVideoAnimated(BOOL animated)
{
    updateFlashButton(model().mode, animated);
}

void CameraView::hideControlsForCapturingVideoAnimated(BOOL animated)
{
    updateFlashButton(model().mode, animated);
}

void CameraView::stopDelayedCapture()
{
    model().timedCapture = false;
}

void CameraView::cameraControllerPreviewDidStart(id)
{
    device::trace(device::TraceKind::Camera, "preview started");
}

// The iOS 7 camera re-arms its flash when the torch comes on under the
// user's finger; re-arming the flash while the device is being configured
// takes the LED back from the torch.
void CameraView::updateFlashModeIfNecessary()
{
    AVCaptureDevice* device = model().currentDevice();
    if (model().flashMode == FlashOff || !device->isTorchActive() || !device->isLockedForConfiguration())
        return;
    device::trace(device::TraceKind::Camera, "flash mode updated: the torch is put out");
    device->setTorchMode(AVCaptureTorchModeOff);
}

void CameraView::observeTorch(NSString* keyPath, id, NSDictionary*, void*)
{
    if (!keyPath || keyPath->view() != "torchActive" || !model().currentDevice()->isTorchActive())
        return;
    if (UIKitSimulator::isTouching())
        objc_msgSend<void>(this, "_updateFlashModeIfNecessary"_sel);
}

void CameraView::showSettings(BOOL show, id)
{
    if (!show) {
        if (m_settingsPanel && !model().settingsPanelStaysOnHide) {
            m_settingsPanel->removeFromSuperview();
            m_settingsPanel = nullptr; // the panel goes away with its last reference
        }
        return;
    }
    if (m_settingsPanel || !classes().settingsPanel)
        return;
    const Model& camera = model();
    int rows = camera.settingsGrid + camera.settingsHDR + camera.settingsPanorama;
    CGRect frame = CGRectMake(20, 80, bounds().size.width - 40, SettingsPanel::kRowPitch * rows);
    id panel = objc_msgSend<id>(objc_msgSend<id>(classes().settingsPanel, "alloc"_sel), "initWithFrame:showGrid:showHDR:showPano:"_sel, frame,
        static_cast<BOOL>(camera.settingsGrid), static_cast<BOOL>(camera.settingsHDR), static_cast<BOOL>(camera.settingsPanorama));
    m_settingsPanel = adoptRef(static_cast<UIView*>(panel));
    objc_msgSend<void>(panel, "setFrame:"_sel, frame);
    addSubview(m_settingsPanel.get());
}

// MARK: Settings panel

SettingsRow* SettingsRow::initWithFrame(CGRect frame)
{
    UIView::initWithFrame(frame);
    setBackgroundColor(UIColor::colorWithWhite(0.15, 0.9).ptr());
    return this;
}

void SettingsRow::setAccessorySwitch(UIView* accessory)
{
    if (m_accessory && m_accessory->superview() == this)
        m_accessory->removeFromSuperview();
    m_accessory = accessory;
    if (!accessory)
        return;
    CGRect bounds = this->bounds();
    CGSize size = accessory->bounds().size;
    // A control without a width (a slider made with -init) gets the room
    // the row leaves beside its title.
    if (size.width <= 0) {
        size.width = std::floor(bounds.size.width * 0.55);
        accessory->setBounds(CGRectMake(0, 0, size.width, size.height));
    }
    accessory->setCenter(CGPointMake(bounds.size.width - 10 - size.width / 2, bounds.size.height / 2));
    addSubview(accessory);
}

SettingsPanel* SettingsPanel::initWithFrameShowGridShowHDRShowPano(CGRect frame, BOOL showGrid, BOOL showHDR, BOOL showPano)
{
    UIView::initWithFrame(frame);
    setBackgroundColor(UIColor::colorWithWhite(0, 0.6).ptr());
    int index = 0;
    for (auto [shown, title] : { std::pair { showGrid, "Grid" }, { showHDR, "HDR" }, { showPano, "Panorama" } }) {
        if (!shown)
            continue;
        id row = objc_msgSend<id>(objc_msgSend<id>(classes().settingsRow, "alloc"_sel), "initWithFrame:"_sel,
            CGRectMake(0, kRowPitch * index++, frame.size.width, kRowHeight));
        objc_msgSend<void>(row, "setType:"_sel, NSInteger(0));
        objc_msgSend<void>(row, "setTitle:"_sel, NSString::create(title).ptr());
        addSubview(static_cast<UIView*>(row));
        row->release();
    }
    return this;
}

// Fades a control out and in, as the camera does when its controls change.
// Only the newest fade of a view finishes it.
void setHiddenAnimated(id self, SEL, BOOL hidden, BOOL animated)
{
    static std::unordered_map<UIView*, uint64_t> newestFade;
    static uint64_t fades = 0;
    auto* view = static_cast<UIView*>(self);
    uint64_t fade = ++fades;
    if (!animated) {
        newestFade.erase(view);
        view->setHidden(hidden);
        view->setAlpha(1);
        return;
    }
    bool settled = !newestFade.contains(view);
    if (settled && view->isHidden() == hidden && view->alpha() == 1)
        return;
    newestFade[view] = fade;
    Ref<UIView> protectedView(*view);
    if (!hidden && view->isHidden()) {
        view->setAlpha(0);
        view->setHidden(NO);
    }
    UIView::animateWithDurationCompletion(
        0.25, [protectedView, hidden] { protectedView->setAlpha(hidden ? 0 : 1); },
        [protectedView, hidden, fade](BOOL) {
            auto newest = newestFade.find(protectedView.ptr());
            if (newest == newestFade.end() || newest->second != fade)
                return; // a later change took over
            newestFade.erase(newest);
            protectedView->setHidden(hidden);
            protectedView->setAlpha(1);
        });
}

// MARK: Top bar buttons

Ref<FlashButton> FlashButton::create(CGRect frame)
{
    auto button = adoptObject(new FlashButton, g_flashButtonClass);
    button->setFrame(frame);
    return button;
}

Ref<FlipButton> FlipButton::create(CGRect frame)
{
    auto button = adoptObject(new FlipButton, g_flipButtonClass);
    button->setFrame(frame);
    return button;
}

// MARK: Registration

Class CaptureController::registerClass(const Family& family)
{
    ClassBuilder<CaptureController> builder(family.captureController, &OBJC_CLASS_NSObject);
    builder.classMethod<&CaptureController::sharedInstance>("sharedInstance")
        .method<&CaptureController::cameraMode>("cameraMode")
        .method<&CaptureController::cameraDevice>("cameraDevice")
        .method<&CaptureController::flashMode>("flashMode")
        .method<&CaptureController::currentDevice>("currentDevice")
        .method<&CaptureController::performingAvalancheCapture>("performingAvalancheCapture")
        .method<&CaptureController::performingTimedCapture>("performingTimedCapture")
        .method<&CaptureController::delegate>("delegate")
        .method<&CaptureController::setDelegate>("setDelegate:")
        .method<&CaptureController::lockCurrentDeviceForConfiguration>("_lockCurrentDeviceForConfiguration")
        .method<&CaptureController::unlockCurrentDeviceForConfiguration>("_unlockCurrentDeviceForConfiguration");
    if (family.generation >= 8) {
        builder.classMethod<&CaptureController::isVideoModeClass>("isVideoMode:")
            .classMethod<&CaptureController::isStillImageModeClass>("isStillImageMode:");
    } else {
        builder.method<&CaptureController::isVideoModeInstance>("_isVideoMode:");
    }
    if (family.generation >= 7)
        builder.method<&CaptureController::didTakePhoto>("_didTakePhoto");
    else
        builder.method<&CaptureController::capturedPhotoWithDictionary>("_capturedPhotoWithDictionary:error:");
    builder.method<&CaptureController::applyTorchSettingsFromVideoRequest>("_applyTorchSettingsFromVideoRequest:");
    return builder.build();
}

Class CameraView::registerClass(const Family& family)
{
    ClassBuilder<CameraView> builder(family.cameraView, UIView::staticClass());
    builder.method<&CameraView::topBar>("_topBar")
        .method<&CameraView::cameraMode>("cameraMode")
        .method<&CameraView::cameraDevice>("cameraDevice")
        .method<&CameraView::shouldHideFlashButtonForMode>("_shouldHideFlashButtonForMode:")
        .method<&CameraView::shouldEnableFlashButton>("_shouldEnableFlashButton")
        .method<&CameraView::createDefaultControlsIfNecessary>("_createDefaultControlsIfNecessary")
        .method<&CameraView::rotateCameraControlsAndInterface>("_rotateCameraControlsAndInterface")
        .method<&CameraView::updateEnabledControlsWithReason>("_updateEnabledControlsWithReason:forceLog:")
        .method<&CameraView::showControlsForChangeToMode>("_showControlsForChangeToMode:animated:")
        .method<&CameraView::hideControlsForChangeToMode>("_hideControlsForChangeToMode:animated:")
        .method<&CameraView::showControlsForCapturingVideoAnimated>("_showControlsForCapturingVideoAnimated:")
        .method<&CameraView::hideControlsForCapturingVideoAnimated>("_hideControlsForCapturingVideoAnimated:")
        .method<&CameraView::stopDelayedCapture>("_stopDelayedCapture")
        .method<&CameraView::cameraControllerPreviewDidStart>("cameraControllerPreviewDidStart:");
    if (family.generation <= 7) {
        builder.method<&CameraView::isStillImageModeInstance>("_isStillImageMode:")
            .method<&CameraView::updateFlashModeIfNecessary>("_updateFlashModeIfNecessary");
    }
    if (family.generation == 7)
        builder.method<&CameraView::observeTorch>("observeValueForKeyPath:ofObject:change:context:");
    if (family.generation == 6)
        builder.method<&CameraView::showSettings>("_showSettings:sender:");
    return builder.build();
}

Class SettingsRow::registerClass(const Family& family)
{
    return ClassBuilder<SettingsRow>(family.settingsRow, UIView::staticClass())
        .method<&SettingsRow::initWithFrame>("initWithFrame:")
        .method<&SettingsRow::type>("type")
        .method<&SettingsRow::setType>("setType:")
        .method<&SettingsRow::title>("title")
        .method<&SettingsRow::setTitle>("setTitle:")
        .method<&SettingsRow::setAccessorySwitch>("setAccessorySwitch:")
        .build();
}

Class SettingsPanel::registerClass(const Family& family)
{
    return ClassBuilder<SettingsPanel>(family.settingsPanel, UIView::staticClass())
        .method<&SettingsPanel::initWithFrameShowGridShowHDRShowPano>("initWithFrame:showGrid:showHDR:showPano:")
        .build();
}

Class TopBar::registerClass(const Family& family)
{
    // The bar's buttons are named after it: CMKTopBar has CMKFlashButton and CMKFlipButton.
    std::string prefix(family.topBar);
    prefix.erase(prefix.find("TopBar"));
    g_flashButtonClass = ClassBuilder<FlashButton>((prefix + "FlashButton").c_str(), UIButton::staticClass()).build();
    g_flipButtonClass = ClassBuilder<FlipButton>((prefix + "FlipButton").c_str(), UIButton::staticClass()).build();
    return ClassBuilder<TopBar>(family.topBar, UIView::staticClass())
        .method<&TopBar::delegate>("delegate")
        .method<&TopBar::backgroundView>("_backgroundView")
        .method<&TopBar::flashButton>("flashButton")
        .method<&TopBar::flipButton>("flipButton")
        .method<&TopBar::isFlashButtonExpanded>("_isFlashButtonExpanded")
        .method<&TopBar::shouldHideFlashButton>("_shouldHideFlashButton")
        .method<&TopBar::updateHiddenViewsForButtonExpansionAnimated>("_updateHiddenViewsForButtonExpansionAnimated:")
        .build();
}

Class ShutterButton::registerClass(const Family& family)
{
    return ClassBuilder<ShutterButton>(family.shutterButton, UIButton::staticClass())
        .classMethod<&ShutterButton::smallShutterButton>("smallShutterButton")
        .classMethod<&ShutterButton::shutterButton>("shutterButton")
        .ivar<&ShutterButton::m_innerView>("__innerView")
        .ivar<&ShutterButton::m_outerView>("__outerView")
        .build();
}

Class CaptureCapabilities::registerClass(const Family& family)
{
    return ClassBuilder<CaptureCapabilities>(family.capabilities, &OBJC_CLASS_NSObject)
        .classMethod<&CaptureCapabilities::capabilities>("capabilities")
        .method<&CaptureCapabilities::isFlashSupportedForDevice>("isFlashSupportedForDevice:")
        .build();
}

} // namespace camera
