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

// A value kept, handed out and taken as it is, everywhere, and read from
// and written to the appearance record by the given accessors.
template <typename T, T (UIAppearance::*Read)(std::string_view) const, void (UIAppearance::*Write)(std::string_view, T)>
struct Plain {
    using Stored = T;
    using Result = T;
    using Argument = T;
    using ViewStored = T;
    using ViewValue = T;
    static ViewValue view(ViewStored value) noexcept { return value; }
    static ViewValue toView(Result value) noexcept { return value; }
    static Argument read(UIAppearance* appearance, std::string_view key) { return (appearance->*Read)(key); }
    static void write(UIAppearance* appearance, std::string_view key, Result value) { (appearance->*Write)(key, value); }
};

// A whole number of points (widths, radii, the arrow's size).
using Length = Plain<NSUInteger, &UIAppearance::unsignedIntegerValue, &UIAppearance::setUnsignedInteger>;
// An offset.
using Size = Plain<CGSize, &UIAppearance::sizeValue, &UIAppearance::setSize>;
// Insets.
using Insets = Plain<UIEdgeInsets, &UIAppearance::edgeInsetsValue, &UIAppearance::setEdgeInsets>;

} // namespace QLZThemeValue
