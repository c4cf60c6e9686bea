// The torch list: the data source of the small table in the popover, with a
// torch-level slider and a "Torch mode" switch. Moving either changes the
// settings, applies them to the capture device at once, and saves them.
#pragma once

#include "uikit/UITableView.h"

class SorvaneTableDataSource : public NSObject {
    OBJC_CLASS(SorvaneTableDataSource)
public:
    SorvaneTableDataSource* initWithCameraController(id controller);

    NSInteger numberOfSectionsInTableView(UITableView* tableView);
    NSInteger numberOfRowsInSection(UITableView* tableView, NSInteger section);
    void sliderValueChanged(id sender);
    void toggleSwitch(id sender);
    // The slider, made on first use; its value is set on every call.
    id torchSlider();
    UITableViewCell* cellForRowAtIndexPath(UITableView* tableView, NSIndexPath* indexPath);

    id cameraController() const { return m_cameraController.get(); }
    void setCameraController(id controller) { m_cameraController = controller; }
    id cameraView() const { return m_cameraView.get(); }
    void setCameraView(id view) { m_cameraView = view; }
    id slider() const { return m_slider.get(); }
    void setSlider(id slider) { m_slider = slider; }

    ~SorvaneTableDataSource() override;

private:
    SorvaneTableDataSource() = default;
    bool flashCapable() const;
    bool stillImageMode() const;
    bool videoMode() const;
    float deviceTorchLevel() const;

    RefPtr<Object> m_cameraController;
    RefPtr<Object> m_cameraView;
    RefPtr<Object> m_slider;
};
