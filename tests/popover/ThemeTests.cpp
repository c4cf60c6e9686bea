// The popover theme: defaults, the getters that fall back or derive, the
// observable key paths, and change announcements.
#include "PopoverTestSupport.h"
#include "support/Precision.h"

#include "foundation/NSKeyValueObserving.h"
#include "popover/QLZPopoverTheme.h"

#include <string>
#include <vector>

using popover_testing::rgba;

namespace {

constexpr CGFloat kIOS7Grey = 0.9568627450980393;

// Keeps the key paths it hears about.
class KeyPathRecorder : public NSObject {
    OBJC_CLASS(KeyPathRecorder)
public:
    void observe(NSString* keyPath, id, NSDictionary*, void*) { heard.push_back(keyPath->string()); }
    std::vector<std::string> heard;
};

Class KeyPathRecorder::staticClass()
{
    static Class cls = ClassBuilder<KeyPathRecorder>("ThemeTestsKeyPathRecorder", &OBJC_CLASS_NSObject)
                           .method<&KeyPathRecorder::observe>("observeValueForKeyPath:ofObject:change:context:")
                           .build();
    return cls;
}

} // namespace

TEST(PopoverTheme, DefaultsOfTheIOS7Theme)
{
    AutoreleasePool pool;
    Ref<QLZPopoverTheme> theme = QLZPopoverTheme::themeForIOS7();
    EXPECT_TRUE(theme->usesRoundedArrow());
    EXPECT_TRUE(theme->dimsBackgroundViewsTintColor());
    EXPECT_EQ(rgba(theme->tintColor().get()), rgba(kIOS7Grey, kIOS7Grey, kIOS7Grey, 1.0));
    EXPECT_EQ(theme->arrowBase(), 25u);
    EXPECT_EQ(theme->arrowHeight(), 13u);
    EXPECT_EQ(theme->outerCornerRadius(), 5u);
    EXPECT_EQ(theme->borderWidth(), 0u);
    EXPECT_EQ(theme->minOuterCornerRadius(), 0u);
    EXPECT_EQ(theme->viewContentInsets(), UIEdgeInsetsZero);
    EXPECT_EQ(theme->outerShadowColor().get(), UIColor::clearColor());
    EXPECT_EQ(theme->innerShadowColor().get(), UIColor::clearColor());
    EXPECT_EQ(rgba(theme->overlayColor().get()), rgba(0, 0, 0, 0.15));

    // Fills fall back to the tint; the strokes are the stored clear colour;
    // the gloss is the tint lightened past 1.0, so opaque white.
    EXPECT_EQ(theme->fillTopColor().get(), theme->tintColor().get());
    EXPECT_EQ(theme->fillBottomColor().get(), theme->tintColor().get());
    EXPECT_EQ(theme->outerStrokeColor().get(), UIColor::clearColor());
    EXPECT_EQ(theme->innerStrokeColor().get(), UIColor::clearColor());
    EXPECT_EQ(rgba(theme->glossShadowColor().get()), rgba(1, 1, 1, 1));
    // No border: the inner radius follows the outer one.
    EXPECT_EQ(theme->innerCornerRadius(), 5u);

    // +theme makes a new theme with the same values each time.
    Ref<QLZPopoverTheme> other = QLZPopoverTheme::theme();
    EXPECT_NE(other.ptr(), theme.ptr());
    EXPECT_EQ(rgba(other->tintColor().get()), rgba(theme->tintColor().get()));
    EXPECT_EQ(other->arrowBase(), theme->arrowBase());

    // A plainly made theme has nothing set.
    Ref<QLZPopoverTheme> plain = QLZPopoverTheme::create();
    EXPECT_FALSE(plain->usesRoundedArrow());
    EXPECT_EQ(plain->tintColor().get(), nullptr);
    EXPECT_EQ(plain->overlayColor().get(), nullptr);
    EXPECT_EQ(plain->arrowHeight(), 0u);
}

TEST(PopoverTheme, StrokesAndGlossDeriveFromTheFillColour)
{
    AutoreleasePool pool;
    Ref<QLZPopoverTheme> theme = QLZPopoverTheme::theme();
    theme->setInnerStrokeColor(nullptr);
    CGFloat darker = kIOS7Grey - double(0.6f);
    EXPECT_CGFLOAT_EQ(darker, 0.35686272125618135);
    EXPECT_EQ(rgba(theme->innerStrokeColor().get()), rgba(darker, darker, darker, 1.0));
    // Computed afresh on every call.
    EXPECT_NE(theme->innerStrokeColor().get(), theme->innerStrokeColor().get());

    // A stored fill colour wins over the tint, and its alpha is not kept.
    theme->setOuterStrokeColor(nullptr);
    theme->setGlossShadowColor(nullptr);
    theme->setFillTopColor(UIColor::colorWithRed(0.7, 0.5, 0.1, 0.3).ptr());
    EXPECT_EQ(rgba(theme->fillBottomColor().get()), rgba(0.7, 0.5, 0.1, 0.3));
    auto stroke = rgba(theme->outerStrokeColor().get());
    EXPECT_CGFLOAT_EQ(stroke[0], 0.7 - double(0.6f));
    EXPECT_EQ(stroke[1], 0);
    EXPECT_EQ(stroke[2], 0);
    EXPECT_EQ(stroke[3], 1.0);
    auto gloss = rgba(theme->glossShadowColor().get());
    EXPECT_CGFLOAT_EQ(gloss[0], 0.7 + double(0.2f));
    EXPECT_CGFLOAT_EQ(gloss[1], 0.5 + double(0.2f));
    EXPECT_CGFLOAT_EQ(gloss[2], 0.1 + double(0.2f));
    EXPECT_EQ(gloss[3], 1.0);

    // Monochrome fills count by their white.
    theme->setFillTopColor(UIColor::colorWithWhite(0.9, 1).ptr());
    auto grey = rgba(theme->innerStrokeColor().get());
    EXPECT_CGFLOAT_EQ(grey[0], 0.9 - double(0.6f));
    EXPECT_CGFLOAT_EQ(grey[2], 0.9 - double(0.6f));

    // With neither fill nor tint: no bottom fill, black strokes, and a gloss
    // of 0.2 grey.
    theme->setFillTopColor(nullptr);
    theme->setTintColor(nullptr);
    EXPECT_EQ(theme->fillTopColor().get(), nullptr);
    EXPECT_EQ(theme->fillBottomColor().get(), nullptr);
    EXPECT_EQ(rgba(theme->innerStrokeColor().get()), rgba(0, 0, 0, 1));
    EXPECT_EQ(rgba(theme->outerStrokeColor().get()), rgba(0, 0, 0, 1));
    CGFloat lighter = double(0.2f);
    EXPECT_EQ(lighter, 0.20000000298023224);
    EXPECT_EQ(rgba(theme->glossShadowColor().get()), rgba(lighter, lighter, lighter, 1));
}

TEST(PopoverTheme, RadiusAndShadowOffsetGetters)
{
    AutoreleasePool pool;
    Ref<QLZPopoverTheme> theme = QLZPopoverTheme::theme();
    theme->setInnerCornerRadius(8);
    EXPECT_EQ(theme->innerCornerRadius(), 5u);
    theme->setBorderWidth(1);
    EXPECT_EQ(theme->innerCornerRadius(), 8u);

    theme->setOuterShadowOffset(CGSizeMake(10, -3));
    EXPECT_EQ(theme->outerShadowOffset(), CGSizeMake(0, -3));
    theme->setOuterShadowBlurRadius(4);
    EXPECT_EQ(theme->outerShadowOffset(), CGSizeMake(4, -3));
    theme->setOuterShadowOffset(CGSizeMake(2.5, 3.5));
    EXPECT_EQ(theme->outerShadowOffset(), CGSizeMake(2.5, 3.5));

    // Through the runtime, as a controller reads them.
    EXPECT_EQ(objc_msgSend<CGSize>(theme.ptr(), "outerShadowOffset"_sel), CGSizeMake(2.5, 3.5));
    EXPECT_EQ(objc_msgSend<NSUInteger>(theme.ptr(), "innerCornerRadius"_sel), 8u);
}

TEST(PopoverTheme, ObservableKeyPathsAndChangeAnnouncements)
{
    AutoreleasePool pool;
    Ref<QLZPopoverTheme> theme = QLZPopoverTheme::theme();
    Ref<NSArray> paths = theme->observableKeypaths();
    ASSERT_EQ(paths->count(), 21u);
    EXPECT_TRUE(static_cast<NSString*>(paths->objectAtIndex(0))->isEqualToString("tintColor"_ns));
    EXPECT_TRUE(static_cast<NSString*>(paths->objectAtIndex(20))->isEqualToString("overlayColor"_ns));
    for (NSString* left : { "usesRoundedArrow"_ns, "dimsBackgroundViewsTintColor"_ns, "minOuterCornerRadius"_ns })
        EXPECT_FALSE(paths->containsObject(left)) << left->string();

    // Every observable property announces its change, with its new value.
    Ref<KeyPathRecorder> recorder = adoptObject(new KeyPathRecorder);
    for (const auto& path : *paths)
        kvo::addObserver(theme.ptr(), recorder.ptr(), static_cast<NSString*>(path.get()), NSKeyValueObservingOptionNew, nullptr);
    objc_msgSend<void>(theme.ptr(), "setFillTopColor:"_sel, UIColor::redColor());
    objc_msgSend<void>(theme.ptr(), "setArrowHeight:"_sel, NSUInteger(20));
    theme->setViewContentInsets(UIEdgeInsetsMake(1, 2, 3, 4));
    theme->setGlossShadowOffset(CGSizeMake(0, 2));
    theme->setMinOuterCornerRadius(3);
    EXPECT_EQ(recorder->heard, (std::vector<std::string> { "fillTopColor", "arrowHeight", "viewContentInsets", "glossShadowOffset" }));
    EXPECT_EQ(theme->arrowHeight(), 20u);
    for (const auto& path : *paths)
        kvo::removeObserver(theme.ptr(), recorder.ptr(), static_cast<NSString*>(path.get()));
}
