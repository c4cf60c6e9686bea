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
#include "uikit/UIColor.h"
#include "uikit/UIGeometry.h"

class QLZPopoverTheme : public NSObject {
    OBJC_CLASS(QLZPopoverTheme)
public:
    // Every colour unset, every number 0, both flags NO.
    static Ref<QLZPopoverTheme> create();
    // A new theme with the look of the iOS 7 system popovers.
    static Ref<QLZPopoverTheme> themeForIOS7();
    // The same as themeForIOS7 (a new theme on each call).
    static Ref<QLZPopoverTheme> theme();

    // The 21 key paths whose changes a controller applies.
    Ref<NSArray> observableKeypaths() const;

    BOOL usesRoundedArrow() const noexcept { return m_usesRoundedArrow; }
    void setUsesRoundedArrow(BOOL value);
    BOOL dimsBackgroundViewsTintColor() const noexcept { return m_dimsBackgroundViewsTintColor; }
    void setDimsBackgroundViewsTintColor(BOOL value);

    RefPtr<UIColor> tintColor() const { return m_tintColor; }
    void setTintColor(UIColor* color);
    // The stored colour, else the tint colour.
    RefPtr<UIColor> fillTopColor() const;
    void setFillTopColor(UIColor* color);
    // The stored colour, else fillTopColor.
    RefPtr<UIColor> fillBottomColor() const;
    void setFillBottomColor(UIColor* color);
    // The stored colour, else the fill colour lightened.
    RefPtr<UIColor> glossShadowColor() const;
    void setGlossShadowColor(UIColor* color);
    CGSize glossShadowOffset() const noexcept { return m_glossShadowOffset; }
    void setGlossShadowOffset(CGSize offset);
    NSUInteger glossShadowBlurRadius() const noexcept { return m_glossShadowBlurRadius; }
    void setGlossShadowBlurRadius(NSUInteger radius);

    NSUInteger borderWidth() const noexcept { return m_borderWidth; }
    void setBorderWidth(NSUInteger width);
    NSUInteger arrowBase() const noexcept { return m_arrowBase; }
    void setArrowBase(NSUInteger base);
    NSUInteger arrowHeight() const noexcept { return m_arrowHeight; }
    void setArrowHeight(NSUInteger height);

    RefPtr<UIColor> outerShadowColor() const { return m_outerShadowColor; }
    void setOuterShadowColor(UIColor* color);
    // The stored colour, else the fill colour darkened.
    RefPtr<UIColor> outerStrokeColor() const;
    void setOuterStrokeColor(UIColor* color);
    NSUInteger outerShadowBlurRadius() const noexcept { return m_outerShadowBlurRadius; }
    void setOuterShadowBlurRadius(NSUInteger radius);
    // Each component limited from above by the outer shadow's blur radius.
    CGSize outerShadowOffset() const noexcept;
    void setOuterShadowOffset(CGSize offset);
    NSUInteger outerCornerRadius() const noexcept { return m_outerCornerRadius; }
    void setOuterCornerRadius(NSUInteger radius);
    NSUInteger minOuterCornerRadius() const noexcept { return m_minOuterCornerRadius; }
    void setMinOuterCornerRadius(NSUInteger radius);

    RefPtr<UIColor> innerShadowColor() const { return m_innerShadowColor; }
    void setInnerShadowColor(UIColor* color);
    // The stored colour, else the fill colour darkened.
    RefPtr<UIColor> innerStrokeColor() const;
    void setInnerStrokeColor(UIColor* color);
    NSUInteger innerShadowBlurRadius() const noexcept { return m_innerShadowBlurRadius; }
    void setInnerShadowBlurRadius(NSUInteger radius);
    CGSize innerShadowOffset() const noexcept { return m_innerShadowOffset; }
    void setInnerShadowOffset(CGSize offset);
    // The outer corner radius while there is no border.
    NSUInteger innerCornerRadius() const noexcept;
    void setInnerCornerRadius(NSUInteger radius);

    UIEdgeInsets viewContentInsets() const noexcept { return m_viewContentInsets; }
    void setViewContentInsets(UIEdgeInsets insets);
    RefPtr<UIColor> overlayColor() const { return m_overlayColor; }
    void setOverlayColor(UIColor* color);

    ~QLZPopoverTheme() override;

private:
    QLZPopoverTheme() = default;

    BOOL m_usesRoundedArrow = NO;
    BOOL m_dimsBackgroundViewsTintColor = NO;
    RefPtr<UIColor> m_tintColor;
    RefPtr<UIColor> m_fillTopColor;
    RefPtr<UIColor> m_fillBottomColor;
    RefPtr<UIColor> m_glossShadowColor;
    CGSize m_glossShadowOffset;
    NSUInteger m_glossShadowBlurRadius = 0;
    NSUInteger m_borderWidth = 0;
    NSUInteger m_arrowBase = 0;
    NSUInteger m_arrowHeight = 0;
    RefPtr<UIColor> m_outerShadowColor;
    RefPtr<UIColor> m_outerStrokeColor;
    NSUInteger m_outerShadowBlurRadius = 0;
    CGSize m_outerShadowOffset;
    NSUInteger m_outerCornerRadius = 0;
    NSUInteger m_minOuterCornerRadius = 0;
    RefPtr<UIColor> m_innerShadowColor;
    RefPtr<UIColor> m_innerStrokeColor;
    NSUInteger m_innerShadowBlurRadius = 0;
    CGSize m_innerShadowOffset;
    NSUInteger m_innerCornerRadius = 0;
    UIEdgeInsets m_viewContentInsets;
    RefPtr<UIColor> m_overlayColor;
};
