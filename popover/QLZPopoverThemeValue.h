// The kinds of value a popover look-and-feel property holds (the list is
// QLZPopoverThemeProperties.def), and for each kind how the theme keeps it
// (Stored), hands it out (Result) and takes it (Argument), how the
// background view keeps and passes it (ViewStored, ViewValue), and how it
// travels to and from the appearance defaults.
#pragma once

#include "uikit/UIAppearance.h"
#include "uikit/UIColor.h"
#include "uikit/UIGeometry.h"

#include <string_view>

enum QLZThemePropertyFlags : unsigned {
    QLZThemeObserved = 1 << 0,
    QLZThemeOverlay = 1 << 1,
};

namespace QLZThemeValue {

// A switch: BOOL on the theme, a number on the background view and in the
// appearance record (any non-zero number is YES).
struct Flag {
    using Stored = BOOL;
    using Result = BOOL;
    using Argument = BOOL;
    using ViewStored = NSUInteger;
    using ViewValue = NSUInteger;
    static ViewValue view(ViewStored value) noexcept { return value; }
    static ViewValue toView(Result value) noexcept { return value; }
    static Argument read(UIAppearance* appearance, std::string_view key) { return appearance->unsignedIntegerValue(key) != 0; }
    static void write(UIAppearance* appearance, std::string_view key, Result value) { appearance->setUnsignedInteger(key, value); }
};

// A colour, or none. The appearance record may hold anything under the
// key; what is not a colour reads as none.
struct Color {
    using Stored = RefPtr<UIColor>;
    using Result = RefPtr<UIColor>;
    using Argument = UIColor*;
    using ViewStored = RefPtr<UIColor>;
    using ViewValue = UIColor*;
    static ViewValue view(const ViewStored& value) noexcept { return value.get(); }
    static ViewValue toView(const Result& value) noexcept { return value.get(); }
    static Argument read(UIAppearance* appearance, std::string_view key)
    {
        NSObject* value = appearance->object(key);
        return value && class_isSubclassOf(object_getClass(value), UIColor::staticClass()) ? static_cast<UIColor*>(value) : nullptr;
    }
    static void write(UIAppearance* appearance, std::string_view key, const Result& value) { appearance->setObject(key, value.get()); }
};

// A whole number of points (widths, radii, the arrow's size).
struct Length {
    using Stored = NSUInteger;
    using Result = NSUInteger;
    using Argument = NSUInteger;
    using ViewStored = NSUInteger;
    using ViewValue = NSUInteger;
    static ViewValue view(ViewStored value) noexcept { return value; }
    static ViewValue toView(Result value) noexcept { return value; }
    static Argument read(UIAppearance* appearance, std::string_view key) { return appearance->unsignedIntegerValue(key); }
    static void write(UIAppearance* appearance, std::string_view key, Result value) { appearance->setUnsignedInteger(key, value); }
};

// An offset.
struct Size {
    using Stored = CGSize;
    using Result = CGSize;
    using Argument = CGSize;
    using ViewStored = CGSize;
    using ViewValue = CGSize;
    static ViewValue view(ViewStored value) noexcept { return value; }
    static ViewValue toView(Result value) noexcept { return value; }
    static Argument read(UIAppearance* appearance, std::string_view key) { return appearance->sizeValue(key); }
    static void write(UIAppearance* appearance, std::string_view key, Result value) { appearance->setSize(key, value); }
};

// Insets.
struct Insets {
    using Stored = UIEdgeInsets;
    using Result = UIEdgeInsets;
    using Argument = UIEdgeInsets;
    using ViewStored = UIEdgeInsets;
    using ViewValue = UIEdgeInsets;
    static ViewValue view(ViewStored value) noexcept { return value; }
    static ViewValue toView(Result value) noexcept { return value; }
    static Argument read(UIAppearance* appearance, std::string_view key) { return appearance->edgeInsetsValue(key); }
    static void write(UIAppearance* appearance, std::string_view key, Result value) { appearance->setEdgeInsets(key, value); }
};

} // namespace QLZThemeValue
