// Finding things on the Camera's screen as a person (or a debugger) would:
// the torch button, the controls that are shown, the popover and its list,
// the iOS 6 torch rows, and the loaded module's exported globals.
#pragma once

#include "runtime/objc.h"

#include <optional>
#include <string>

class UIColor;
class UITableView;
class UIView;

namespace camera {

class SettingsRow;

// The front-most shown control of a class in the key window: the one a
// person would reach for.
UIView* shownControl(Class cls);
// The popover's chrome view in the key window, if one is presented and not
// fading out.
UIView* popoverView();
// The list inside a popover's chrome.
UITableView* popoverTable(UIView* chrome);
// The iOS 6 settings panel's torch row with this title.
SettingsRow* settingsRow(const std::string& title);
// The value of an object-valued instance variable, found by name.
id instanceVariable(id object, const char* name);
// The address of one of the loaded generation module's exported symbols,
// looked up as a debugger would; empty when no module or no such symbol.
std::optional<void*> moduleSymbol(const char* name);

// A colour's components, (r, g, b, a) from 0 to 1.
struct RGBA {
    double red = 0, green = 0, blue = 0, alpha = 0;
};
std::optional<RGBA> colourComponents(id colour);
std::string describeColour(id colour);
bool colourMatches(id colour, const RGBA& expected);

} // namespace camera
