#include "common/TorchButton.h"

#include "common/CameraIntegration.h"
#include "common/Generation.h"
#include "common/Settings.h"
#include "graphics/CGGeometry.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIColor.h"
#include "uikit/UIControl.h"

namespace {

// An object-valued instance variable of a camera class, found by name.
id ivarValue(id object, const char* name)
{
    Ivar ivar = class_getInstanceVariable(object_getClass(object), name);
    if (!ivar)
        return nullptr;
    return *reinterpret_cast<id*>(reinterpret_cast<char*>(object) + ivar_getOffset(ivar));
}

Class shutterButtonClass()
{
    static Class cls = objc_getClass(generation().shutterButtonClass);
    return cls;
}

id constraint(id item, NSLayoutAttribute attribute, NSLayoutRelation relation, id toItem, NSLayoutAttribute toAttribute, CGFloat constant)
{
    static Class cls = objc_getClass("NSLayoutConstraint");
    return objc_msgSend<id>(cls, "constraintWithItem:attribute:relatedBy:toItem:attribute:multiplier:constant:"_sel, item, attribute,
        relation, toItem, toAttribute, CGFloat(1.0), constant);
}

void addConstraints(id topBar, id horizontal, id vertical)
{
    auto both = NSArray::arrayWithObjects({ horizontal, vertical });
    objc_msgSend<void>(topBar, "addConstraints:"_sel, both.ptr());
}

id centredVertically(id button, id topBar)
{
    return constraint(button, NSLayoutAttributeCenterY, NSLayoutRelationEqual, topBar, NSLayoutAttributeCenterY, 0.0);
}

} // namespace

void createTorchButton(id cameraView)
{
    const Generation& camera = generation();
    id topBar = objc_msgSend<id>(cameraView, "_topBar"_sel);

    btn = objc_msgSend<id>(shutterButtonClass(), "smallShutterButton"_sel);
    objc_msgSend<void>(btn, "setTransform:"_sel, CGAffineTransformMakeScale(camera.buttonScale, camera.buttonScale));
    objc_msgSend<void>(ivarValue(btn, "__innerView"), "setBackgroundColor:"_sel, UIColor::systemYellowColor());
    id outerView = ivarValue(btn, "__outerView");
    if (camera.hidesOuterRing)
        objc_msgSend<void>(outerView, "setHidden:"_sel, YES);
    else
        objc_msgSend<void>(objc_msgSend<id>(outerView, "layer"_sel), "setBorderWidth:"_sel, camera.outerRingBorderWidth);
    objc_msgSend<void>(btn, "setTranslatesAutoresizingMaskIntoConstraints:"_sel, NO);
    objc_msgSend<void>(btn, "setUserInteractionEnabled:"_sel, YES);
    objc_msgSend<void>(btn, "addTarget:action:forControlEvents:"_sel, camera.buttonTarget(topBar), "ln_listTapped:"_sel, UIControlEventTouchUpInside);

    // Above the bar's background; a bar without one takes the button on top.
    id sibling = objc_respondsToSelector(topBar, "_backgroundView"_sel) ? objc_msgSend<id>(topBar, "_backgroundView"_sel) : topBar;
    objc_msgSend<void>(topBar, "insertSubview:aboveSubview:"_sel, btn, sibling);
    camera.placeButton(btn, topBar);
}

void placeBesideFlashOrFlip(id button, id topBar)
{
    id horizontal = settingRightButton
        ? constraint(button, NSLayoutAttributeRight, NSLayoutRelationLessThanOrEqual, objc_msgSend<id>(topBar, "flipButton"_sel), NSLayoutAttributeLeft, 0.0)
        : constraint(button, NSLayoutAttributeLeft, NSLayoutRelationLessThanOrEqual, objc_msgSend<id>(topBar, "flashButton"_sel), NSLayoutAttributeRight, 0.0);
    addConstraints(topBar, horizontal, centredVertically(button, topBar));
}

void placeAgainstTopBarEdges(id button, id topBar)
{
    id horizontal = settingRightButton
        ? constraint(button, NSLayoutAttributeRight, NSLayoutRelationLessThanOrEqual, topBar, NSLayoutAttributeRight, -64.0)
        : constraint(button, NSLayoutAttributeLeft, NSLayoutRelationLessThanOrEqual, topBar, NSLayoutAttributeLeft, 81.0);
    addConstraints(topBar, horizontal, centredVertically(button, topBar));
}

id topBarDelegate(id topBar)
{
    return objc_msgSend<id>(topBar, "delegate"_sel);
}

id sharedControllerDelegate(id)
{
    return objc_msgSend<id>(sharedCaptureController(), "delegate"_sel);
}
