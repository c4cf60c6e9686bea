#include "host/CameraInspection.h"

#include "device/Device.h"
#include "host/CameraApp.h"
#include "host/CameraClasses.h"
#include "host/Families.h"
#include "uikit/UIApplication.h"
#include "uikit/UIColor.h"
#include "uikit/UITableView.h"
#include "uikit/UIWindow.h"

#include <cmath>
#include <cstdio>
#include <dlfcn.h>
#include <functional>

namespace camera {

UIView* torchButton()
{
    Class buttonClass = classes().shutterButton;
    auto* bar = static_cast<UIView*>(objc_msgSend<id>(cameraView(), "_topBar"_sel));
    if (!bar || !buttonClass)
        return nullptr;
    UIView* newest = nullptr;
    for (const auto& view : bar->subviews()) {
        if (object_getClass(view.ptr()) == buttonClass)
            newest = view.ptr();
    }
    return newest;
}

void tapDotForTests()
{
    if (auto* dot = static_cast<UIControl*>(torchButton()))
        dot->sendActionsForControlEvents(UIControlEventTouchUpInside);
}

bool isShown(UIView* view)
{
    for (; view; view = view->superview()) {
        if (view->isHidden() || view->alpha() < 0.01)
            return false;
    }
    return true;
}

UIView* shownControl(Class cls)
{
    std::function<UIView*(UIView*)> search = [&](UIView* view) -> UIView* {
        if (!view || view->isHidden() || view->alpha() < 0.01)
            return nullptr;
        auto subviews = view->subviews();
        for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
            if (UIView* found = search(it->ptr()))
                return found;
        }
        return class_isSubclassOf(object_getClass(view), cls) ? view : nullptr;
    };
    return search(UIApplication::sharedApplication()->keyWindow());
}

UIView* popoverView()
{
    Class chrome = objc_getClass("QLZPopoverBackgroundView");
    UIWindow* window = UIApplication::sharedApplication()->keyWindow();
    if (!chrome || !window)
        return nullptr;
    for (const auto& view : window->subviews()) {
        if (class_isSubclassOf(object_getClass(view.ptr()), chrome) && isShown(view.ptr()))
            return view.ptr();
    }
    return nullptr;
}

UITableView* popoverTable(UIView* view)
{
    if (!view)
        return nullptr;
    if (class_isSubclassOf(object_getClass(view), UITableView::staticClass()))
        return static_cast<UITableView*>(view);
    for (const auto& subview : view->subviews()) {
        if (UITableView* table = popoverTable(subview.ptr()))
            return table;
    }
    return nullptr;
}

SettingsRow* settingsRow(const std::string& title)
{
    auto* view = static_cast<CameraView*>(cameraView());
    UIView* panel = view ? view->settingsPanel() : nullptr;
    if (!panel)
        return nullptr;
    for (const auto& subview : panel->subviews()) {
        if (object_getClass(subview.ptr()) != classes().settingsRow)
            continue;
        auto* row = static_cast<SettingsRow*>(subview.ptr());
        if (row->title() && row->title()->view() == title)
            return row;
    }
    return nullptr;
}

id instanceVariable(id object, const char* name)
{
    if (!object)
        return nullptr;
    Ivar ivar = class_getInstanceVariable(object_getClass(object), name);
    if (!ivar)
        return nullptr;
    return *reinterpret_cast<id*>(reinterpret_cast<char*>(object) + ivar_getOffset(ivar));
}

std::optional<void*> moduleSymbol(const char* name)
{
    std::string module = loadedModule();
    if (module == "none")
        return std::nullopt;
    auto path = device::hostPath("/Library/Application Support/Lumora/" + module + ".dylib");
    if (!path)
        return std::nullopt;
    // Only asks: the module is loaded already, and stays loaded.
    void* handle = ::dlopen(path->c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (!handle)
        return std::nullopt;
    void* symbol = ::dlsym(handle, name);
    ::dlclose(handle);
    if (!symbol)
        return std::nullopt;
    return symbol;
}

std::optional<RGBA> colourComponents(id colour)
{
    if (!colour || !class_isSubclassOf(object_getClass(colour), UIColor::staticClass()))
        return std::nullopt;
    CGFloat red, green, blue, alpha;
    if (!static_cast<UIColor*>(colour)->getRed(&red, &green, &blue, &alpha))
        return std::nullopt;
    return RGBA { red, green, blue, alpha };
}

std::string describeColour(id colour)
{
    if (!colour)
        return "none";
    auto components = colourComponents(colour);
    if (!components)
        return "not an RGB colour";
    char text[96];
    std::snprintf(text, sizeof text, "%.4g %.4g %.4g %.4g", components->red, components->green, components->blue, components->alpha);
    return text;
}

bool colourMatches(id colour, const RGBA& expected)
{
    // A colour is 8 bits a component on screen: a third of a step is close enough.
    constexpr double kTolerance = 1.0 / 765;
    auto components = colourComponents(colour);
    return components && std::fabs(components->red - expected.red) <= kTolerance && std::fabs(components->green - expected.green) <= kTolerance
        && std::fabs(components->blue - expected.blue) <= kTolerance && std::fabs(components->alpha - expected.alpha) <= kTolerance;
}

} // namespace camera
