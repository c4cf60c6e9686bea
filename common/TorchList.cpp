#include "common/TorchList.h"

#include "common/Generation.h"
#include "common/Settings.h"
#include "common/Torch.h"
#include "foundation/NSValue.h"
#include "uikit/UIControl.h"
#include "uikit/UIView.h"

namespace {

constexpr CGFloat kSliderInset = 30.0;

id topBarBackgroundColor(id cameraView)
{
    id background = objc_msgSend<id>(objc_msgSend<id>(cameraView, "_topBar"_sel), "_backgroundView"_sel);
    return objc_msgSend<id>(background, "backgroundColor"_sel);
}

} // namespace

Class SorvaneTableDataSource::staticClass()
{
    static Class cls = ClassBuilder<SorvaneTableDataSource>("SorvaneTableDataSource", &OBJC_CLASS_NSObject)
                           .method<&SorvaneTableDataSource::initWithCameraController>("initWithCameraController:")
                           .method<&SorvaneTableDataSource::numberOfSectionsInTableView>("numberOfSectionsInTableView:")
                           .method<&SorvaneTableDataSource::numberOfRowsInSection>("tableView:numberOfRowsInSection:")
                           .method<&SorvaneTableDataSource::sliderValueChanged>("sliderValueChanged:")
                           .method<&SorvaneTableDataSource::toggleSwitch>("toggleSwitch:")
                           .method<&SorvaneTableDataSource::torchSlider>("torchSlider")
                           .method<&SorvaneTableDataSource::cellForRowAtIndexPath>("tableView:cellForRowAtIndexPath:")
                           .method<&SorvaneTableDataSource::cameraController>("cameraController")
                           .method<&SorvaneTableDataSource::setCameraController>("setCameraController:")
                           .method<&SorvaneTableDataSource::cameraView>("cameraView")
                           .method<&SorvaneTableDataSource::setCameraView>("setCameraView:")
                           .method<&SorvaneTableDataSource::slider>("slider")
                           .method<&SorvaneTableDataSource::setSlider>("setSlider:")
                           .ivar<&SorvaneTableDataSource::m_cameraController>("cameraController")
                           .ivar<&SorvaneTableDataSource::m_cameraView>("cameraView")
                           .ivar<&SorvaneTableDataSource::m_slider>("_slider")
                           .build();
    return cls;
}

SorvaneTableDataSource::~SorvaneTableDataSource() = default;

SorvaneTableDataSource* SorvaneTableDataSource::initWithCameraController(id controller)
{
    m_cameraController = controller;
    m_cameraView = objc_msgSend<id>(controller, "delegate"_sel);
    return this;
}

bool SorvaneTableDataSource::flashCapable() const
{
    return generation().listFlashCapable(cameraController(), cameraView());
}

bool SorvaneTableDataSource::stillImageMode() const
{
    return generation().listStillImageMode(cameraController(), cameraView());
}

bool SorvaneTableDataSource::videoMode() const
{
    return generation().listVideoMode(cameraController(), cameraView());
}

float SorvaneTableDataSource::deviceTorchLevel() const
{
    return objc_msgSend<float>(objc_msgSend<id>(cameraController(), "currentDevice"_sel), "torchLevel"_sel);
}

NSInteger SorvaneTableDataSource::numberOfSectionsInTableView(UITableView*)
{
    return 1;
}

NSInteger SorvaneTableDataSource::numberOfRowsInSection(UITableView*, NSInteger section)
{
    if (section != 0)
        return 0;
    if (!flashCapable())
        return 1;
    return stillImageMode() ? 2 : 1;
}

id SorvaneTableDataSource::torchSlider()
{
    if (!m_slider) {
        m_slider = adoptRef(objc_msgSend<id>(objc_getClass("UISlider"), "new"_sel));
        id slider = m_slider.get();
        objc_msgSend<void>(slider, "setAutoresizingMask:"_sel, UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        objc_msgSend<void>(slider, "setMinimumValue:"_sel, 0.1f);
        objc_msgSend<void>(slider, "setMaximumValue:"_sel, 1.0f);
        objc_msgSend<void>(slider, "setTintColor:"_sel, UIColor::systemYellowColor());
        objc_msgSend<void>(slider, "addTarget:action:forControlEvents:"_sel, static_cast<id>(this), "sliderValueChanged:"_sel, UIControlEventValueChanged);
    }
    float value = flashCapable() && stillImageMode() ? settingTorchLevel : deviceTorchLevel();
    objc_msgSend<void>(m_slider.get(), "setValue:"_sel, value);
    return m_slider.get();
}

UITableViewCell* SorvaneTableDataSource::cellForRowAtIndexPath(UITableView* tableView, NSIndexPath* indexPath)
{
    if (indexPath->section() != 0)
        return nullptr;
    NSInteger row = indexPath->row();
    auto identifier = NSString::stringWithFormat("LNControl%lu", static_cast<unsigned long>(row));
    RefPtr<UITableViewCell> cell = tableView->dequeueReusableCellWithIdentifier(identifier.ptr());
    if (!cell) {
        cell = UITableViewCell::create(UITableViewCellStyleDefault, identifier.ptr());
        cell->setAccessoryType(UITableViewCellAccessoryNone);
        cell->setBackgroundColor(static_cast<UIColor*>(topBarBackgroundColor(cameraView())));
        cell->contentView()->setBackgroundColor(UIColor::clearColor());
        cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
        if (generation().setsCellLayoutMargins) {
            cell->setLayoutMargins(UIEdgeInsetsZero);
            cell->setPreservesSuperviewLayoutMargins(NO);
        }
    }

    if (row == 1) {
        UILabel* label = cell->textLabel();
        label->setText("Torch mode"_ns);
        label->setTextColor(UIColor::whiteColor());
        // A new switch each time the row is configured.
        id control = objc_msgSend<id>(objc_msgSend<id>(objc_getClass("UISwitch"), "alloc"_sel), "initWithFrame:"_sel, CGRectZero);
        objc_msgSend<void>(control, "setOnTintColor:"_sel, objc_msgSend<id>(UIColor::staticClass(), sel_registerName(generation().switchOnTintColor)));
        objc_msgSend<void>(control, "addTarget:action:forControlEvents:"_sel, static_cast<id>(this), "toggleSwitch:"_sel, UIControlEventValueChanged);
        objc_msgSend<void>(control, "setOn:"_sel, settingTorchMode);
        cell->setAccessoryView(static_cast<UIView*>(control));
        control->release();
    } else if (row == 0) {
        id slider = torchSlider();
        UIView* content = cell->contentView();
        content->addSubview(static_cast<UIView*>(slider));
        if (!(flashCapable() && stillImageMode()))
            objc_msgSend<void>(slider, "setEnabled:"_sel, static_cast<BOOL>(deviceTorchLevel() > 0.0f));
        CGRect bounds = objc_msgSend<CGRect>(slider, "bounds"_sel);
        CGRect contentBounds = content->bounds();
        objc_msgSend<void>(slider, "setBounds:"_sel, CGRectMake(0, 0, contentBounds.size.width - kSliderInset, bounds.size.height));
        objc_msgSend<void>(slider, "setCenter:"_sel, CGPointMake(CGRectGetMidX(contentBounds), CGRectGetMidY(contentBounds)));
        objc_msgSend<void>(slider, "setAutoresizingMask:"_sel, UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin);
    }
    // The table keeps the cell; hand it out autoreleased, as a data source does.
    return static_cast<UITableViewCell*>(cell.leakRef()->autorelease());
}

void SorvaneTableDataSource::sliderValueChanged(id sender)
{
    settingTorchLevel = objc_msgSend<float>(sender, "value"_sel);
    // Here the flash is asked of the controller on every generation.
    auto recordingVideo = [this] { return generation().controllerFlashCapable(cameraController()) && videoMode(); };
    if (settingTorchMode || recordingVideo())
        applyTorchState(cameraController());
    // In video the level follows the slider without being kept.
    if (recordingVideo())
        return;
    saveSetting(kLMTorchVal, NSNumber::numberWithFloat(settingTorchLevel).ptr());
}

void SorvaneTableDataSource::toggleSwitch(id sender)
{
    settingTorchMode = objc_msgSend<BOOL>(sender, "isOn"_sel);
    BOOL* prevent = generation().preventFlag;
    if (prevent)
        *prevent = YES;
    applyTorchState(cameraController());
    if (prevent)
        *prevent = NO;
    saveSetting(kLMTorchKey, NSNumber::numberWithBool(settingTorchMode).ptr());
}
