// The look of a popover: colours, radii, arrow size, border, shadows,
// content insets and the colour of the overlay that dims the screen.
//
// A controller observes its theme (key-value observation of the key paths in
// observableKeypaths) and copies the theme's values into its background view
// whenever one changes; every setter announces its change. Seven getters do
// not just return the stored value: the fill colours fall back to the tint
// colour, the strokes and the gloss derive from the fill colour, the inner
// corner radius follows the outer one when there is no border, and the
// outer shadow offset never exceeds the blur radius.
#pragma once

#include "foundation/NSCollections.h"
#include "popover/QLZPopoverThemeValue.h"

class QLZPopoverTheme : public NSObject {
    OBJC_CLASS(QLZPopoverTheme)
public:
    // Every colour unset, every number 0, both flags NO.
    static Ref<QLZPopoverTheme> create();
    // A new theme with the look of the iOS 7 system popovers.
    static Ref<QLZPopoverTheme> themeForIOS7();
    // The same as themeForIOS7 (a new theme on each call).
    static Ref<QLZPopoverTheme> theme();

    // The key paths whose changes a controller applies: the observed
    // properties, in their order.
    Ref<NSArray> observableKeypaths() const;

    // The look-and-feel properties; a setter announces its change to
    // observers.
#define QLZ_THEME_PROPERTY(Kind, name, Name, Flags)               \
    QLZThemeValue::Kind::Result name() const { return m_##name; } \
    void set##Name(QLZThemeValue::Kind::Argument value);
#define QLZ_THEME_DERIVED_PROPERTY(Kind, name, Name, Flags) \
    QLZThemeValue::Kind::Result name() const;               \
    void set##Name(QLZThemeValue::Kind::Argument value);
#include "popover/QLZPopoverThemeProperties.def"

    ~QLZPopoverTheme() override;

private:
    QLZPopoverTheme() = default;

#define QLZ_THEME_PROPERTY(Kind, name, Name, Flags) QLZThemeValue::Kind::Stored m_##name {};
#include "popover/QLZPopoverThemeProperties.def"
};
