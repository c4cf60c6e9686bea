// The chrome's arithmetic: preferred size, body, content and arrow
// rectangles for each direction, and the arrow offset's clamp.
#include "PopoverTestSupport.h"

#include "popover/QLZPopoverChrome.h"

namespace {

// The default theme's values: arrow 25 x 13, corner radius 5, no border,
// no shadow.
QLZPopoverChrome defaultChrome(QLZPopoverArrowDirection direction = QLZPopoverArrowDirectionDown)
{
    QLZPopoverChrome chrome;
    chrome.arrowBase = 25;
    chrome.arrowHeight = 13;
    chrome.outerCornerRadius = 5;
    chrome.arrowDirection = direction;
    return chrome;
}

constexpr CGRect kBounds = CGRectMake(0, 0, 220, 113);

} // namespace

TEST(PopoverChromeGeometry, PreferredSizeMakesRoomForArrowBorderAndShadow)
{
    QLZPopoverChrome chrome = defaultChrome();
    CGSize content = CGSizeMake(220, 100);
    EXPECT_EQ(chrome.sizeThatFits(content), CGSizeMake(220, 113));
    chrome.arrowDirection = QLZPopoverArrowDirectionUp;
    EXPECT_EQ(chrome.sizeThatFits(content), CGSizeMake(220, 113));
    chrome.arrowDirection = QLZPopoverArrowDirectionLeft;
    EXPECT_EQ(chrome.sizeThatFits(content), CGSizeMake(233, 100));
    chrome.arrowDirection = QLZPopoverArrowDirectionRight;
    EXPECT_EQ(chrome.sizeThatFits(content), CGSizeMake(233, 100));
    chrome.arrowDirection = QLZPopoverArrowDirectionNone;
    EXPECT_EQ(chrome.sizeThatFits(content), CGSizeMake(220, 100));
    chrome.arrowDirection = 3;
    EXPECT_EQ(chrome.sizeThatFits(content), CGSizeMake(220, 100));

    // Border 2 and shadow 3: a navigation bar takes the top border's place.
    chrome = defaultChrome();
    chrome.borderWidth = 2;
    chrome.outerShadowBlurRadius = 3;
    EXPECT_EQ(chrome.sizeThatFits(CGSizeMake(200, 50)), CGSizeMake(210, 50 + 10 + 13));
    chrome.navigationBarHeight = 44;
    EXPECT_EQ(chrome.sizeThatFits(CGSizeMake(200, 50)), CGSizeMake(210, 50 + 8 + 13));
}

TEST(PopoverChromeGeometry, BodyContentAndArrowRectanglesForEachDirection)
{
    QLZPopoverChrome chrome = defaultChrome();
    EXPECT_EQ(chrome.outerRect(kBounds, QLZPopoverArrowDirectionDown), CGRectMake(0, 0, 220, 100));
    EXPECT_EQ(chrome.outerRect(kBounds, QLZPopoverArrowDirectionUp), CGRectMake(0, 13, 220, 100));
    EXPECT_EQ(chrome.outerRect(CGRectMake(0, 0, 233, 100), QLZPopoverArrowDirectionLeft), CGRectMake(13, 0, 220, 100));
    EXPECT_EQ(chrome.outerRect(CGRectMake(0, 0, 233, 100), QLZPopoverArrowDirectionRight), CGRectMake(0, 0, 220, 100));
    EXPECT_EQ(chrome.outerRect(kBounds, QLZPopoverArrowDirectionNone), kBounds);
    EXPECT_EQ(chrome.outerRect(kBounds, 42), kBounds);

    EXPECT_EQ(chrome.arrowRect(kBounds, QLZPopoverArrowDirectionDown), CGRectMake(97.5, 100, 25, 13));
    EXPECT_EQ(chrome.arrowRect(kBounds, QLZPopoverArrowDirectionUp), CGRectMake(97.5, 0, 25, 13));
    EXPECT_EQ(chrome.arrowRect(CGRectMake(0, 0, 233, 100), QLZPopoverArrowDirectionLeft), CGRectMake(0, 37.5, 13, 25));
    EXPECT_EQ(chrome.arrowRect(CGRectMake(0, 0, 233, 100), QLZPopoverArrowDirectionRight), CGRectMake(220, 37.5, 13, 25));
    EXPECT_EQ(chrome.arrowRect(kBounds, QLZPopoverArrowDirectionNone), CGRectMake(0, 0, 25, 13));
    chrome.arrowOffset = -20;
    EXPECT_EQ(chrome.arrowRect(kBounds, QLZPopoverArrowDirectionDown), CGRectMake(77.5, 100, 25, 13));
    EXPECT_EQ(chrome.arrowRect(CGRectMake(0, 0, 233, 100), QLZPopoverArrowDirectionRight), CGRectMake(220, 17.5, 13, 25));

    // Without an arrow height there is no arrow box at all.
    chrome.arrowHeight = 0;
    for (QLZPopoverArrowDirection direction : { QLZPopoverArrowDirectionUp, QLZPopoverArrowDirectionDown, QLZPopoverArrowDirectionLeft,
             QLZPopoverArrowDirectionRight, QLZPopoverArrowDirectionNone })
        EXPECT_EQ(chrome.arrowRect(kBounds, direction), CGRectZero) << direction;

    // Shadow margin and offset: the body is inset by the blur and moved
    // against the offset.
    chrome = defaultChrome();
    chrome.outerShadowBlurRadius = 4;
    chrome.outerShadowOffset = CGSizeMake(1, 2);
    EXPECT_EQ(chrome.outerRect(kBounds, QLZPopoverArrowDirectionUp), CGRectMake(3, 15, 212, 92));
    // A view too small for its margin has no body.
    EXPECT_TRUE(CGRectIsEmpty(chrome.outerRect(CGRectMake(0, 0, 5, 5), QLZPopoverArrowDirectionUp)));
}

TEST(PopoverChromeGeometry, ContentAreaInsideBorderAndInsets)
{
    QLZPopoverChrome chrome = defaultChrome();
    EXPECT_EQ(chrome.innerRect(kBounds, QLZPopoverArrowDirectionDown), chrome.outerRect(kBounds, QLZPopoverArrowDirectionDown));

    // A one-point border: one in, then one out again.
    chrome.borderWidth = 1;
    EXPECT_EQ(chrome.innerRect(kBounds, QLZPopoverArrowDirectionDown), CGRectMake(0, 0, 220, 100));
    // Under a shown navigation bar the top border is left out...
    chrome.navigationBarHeight = 44;
    EXPECT_EQ(chrome.innerRect(kBounds, QLZPopoverArrowDirectionDown), CGRectMake(0, -1, 220, 101));
    // ...unless the content keeps its default look.
    chrome.wantsDefaultContentAppearance = true;
    EXPECT_EQ(chrome.innerRect(kBounds, QLZPopoverArrowDirectionDown), CGRectMake(0, 0, 220, 100));

    chrome = defaultChrome(QLZPopoverArrowDirectionUp);
    chrome.borderWidth = 3;
    chrome.viewContentInsets = UIEdgeInsetsMake(1, 2, 3, 4);
    // Body (0, 13, 220, 100); border 3 on each side; insets; grown by 1.
    EXPECT_EQ(chrome.innerRect(kBounds, QLZPopoverArrowDirectionUp), CGRectMake(0 + 3 + 2 - 1, 13 + 3 + 1 - 1, 220 - 6 - 6 + 2, 100 - 6 - 4 + 2));
}

TEST(PopoverChromeGeometry, ArrowOffsetKeepsClearOfTheBodysEnds)
{
    QLZPopoverChrome chrome = defaultChrome();
    // The track is the body inset by 12.5 + 0.5 + min(0, 5) = 13: 194 wide.
    EXPECT_EQ(chrome.clampedArrowOffset(150, kBounds), 97.0f);
    EXPECT_EQ(chrome.clampedArrowOffset(-150, kBounds), -97.0f);
    EXPECT_EQ(chrome.clampedArrowOffset(40, kBounds), 40.0f);
    EXPECT_EQ(chrome.clampedArrowOffset(97, kBounds), 97.0f);

    // The smaller of the two corner radii joins the margin: 13 + 3.
    chrome.minOuterCornerRadius = 3;
    EXPECT_EQ(chrome.clampedArrowOffset(150, kBounds), 94.0f);

    // Sideways arrows are limited by the body's height: 100 - 2 * 16.
    chrome.arrowDirection = QLZPopoverArrowDirectionRight;
    EXPECT_EQ(chrome.clampedArrowOffset(-150, CGRectMake(0, 0, 233, 100)), -34.0f);
    // No arrow: nothing to limit.
    chrome.arrowDirection = QLZPopoverArrowDirectionNone;
    EXPECT_EQ(chrome.clampedArrowOffset(150, kBounds), 150.0f);

    // The requested offset moves with the shadow's offset; only the upper
    // limit applies, so a sum below zero flips the sign.
    chrome = defaultChrome();
    chrome.outerShadowOffset = CGSizeMake(2, 3);
    EXPECT_EQ(chrome.clampedArrowOffset(10, kBounds), 12.0f);
    EXPECT_EQ(chrome.clampedArrowOffset(-10, kBounds), -8.0f);
    EXPECT_EQ(chrome.clampedArrowOffset(-1, kBounds), 1.0f);

    // A centred arrow follows the shadow's offset unclamped.
    EXPECT_EQ(chrome.clampedArrowOffset(0, kBounds), 2.0f);
    chrome.arrowDirection = QLZPopoverArrowDirectionUp;
    EXPECT_EQ(chrome.clampedArrowOffset(0, kBounds), 2.0f);
    chrome.arrowDirection = QLZPopoverArrowDirectionLeft;
    EXPECT_EQ(chrome.clampedArrowOffset(0, kBounds), 3.0f);
    chrome.arrowDirection = QLZPopoverArrowDirectionRight;
    EXPECT_EQ(chrome.clampedArrowOffset(0, kBounds), 3.0f);
    chrome.arrowDirection = QLZPopoverArrowDirectionNone;
    EXPECT_EQ(chrome.clampedArrowOffset(0, kBounds), 0.0f);
    chrome.outerShadowOffset = CGSizeMake(500, 0);
    chrome.arrowDirection = QLZPopoverArrowDirectionDown;
    EXPECT_EQ(chrome.clampedArrowOffset(0, kBounds), 500.0f);
}
