// QLZPopoverController: shows a content view controller in a floating
// popover, from a rectangle in a view, from a bar button item, or as a
// free-standing dialog.
//
// Presenting puts two views into the anchor view's window: a full-window
// overlay (QLZPopoverOverlayView) that catches touches outside, and above it
// the chrome (QLZPopoverBackgroundView), which hosts the content and points
// its arrow at the anchor. The controller chooses the arrow's side, sizes
// the chrome to the content inside the screen margins, animates it in and
// out, dismisses it when the outside is tapped, follows changes of its theme
// and of the content's preferred size while shown, and removes both views
// when it is dismissed.
//
// Delegate methods (all optional, each asked with respondsToSelector:):
//   -popoverControllerDidPresentPopover:      after an entrance without a
//                                             completion callback
//   -popoverControllerShouldDismissPopover:   (BOOL) before a dismissal by
//                                             touch; NO keeps the popover
//   -popoverControllerDidDismissPopover:      after a dismissal by touch
//
// All controllers share one default theme (+defaultTheme); a change made
// through one controller's -theme is seen by all of them.
#pragma once

#include "popover/QLZPopoverArrowDirection.h"
#include "popover/QLZPopoverBackgroundView.h"
#include "popover/QLZPopoverOverlayView.h"
#include "popover/QLZPopoverTheme.h"

#include <functional>

class QLZPopoverController;
class UIBarButtonItem;

// Callbacks: run after an entrance or a dismissal; run after every
// dismissal, with the controller. Absent when empty. Pass exactly these
// types to objc_msgSend.
using QLZPopoverCompletionBlock = std::function<void()>;
using QLZPopoverDismissCompletionBlock = std::function<void(QLZPopoverController*)>;
using QLZPopoverActionsBlock = std::function<void()>;

class QLZPopoverController : public NSObject {
    OBJC_CLASS(QLZPopoverController)
public:
    static Ref<QLZPopoverController> create(NSObject* contentViewController = nullptr);
    QLZPopoverController* init();
    QLZPopoverController* initWithContentViewController(NSObject* contentViewController);

    NSObject* contentViewController() const noexcept { return m_viewController.get(); }

    // MARK: Presentation
    // The one real presentation; the shorter forms use FADE and no
    // completion where they have none.
    void presentPopoverFromRect(CGRect rect, UIView* view, QLZPopoverArrowDirection permittedArrowDirections, BOOL animated,
        QLZPopoverAnimationOptions options, QLZPopoverCompletionBlock completion);
    void presentPopoverFromRectAnimated(CGRect rect, UIView* view, QLZPopoverArrowDirection permittedArrowDirections, BOOL animated);
    void presentPopoverFromRectCompletion(CGRect rect, UIView* view, QLZPopoverArrowDirection permittedArrowDirections, BOOL animated,
        QLZPopoverCompletionBlock completion);
    void presentPopoverFromRectOptions(CGRect rect, UIView* view, QLZPopoverArrowDirection permittedArrowDirections, BOOL animated,
        QLZPopoverAnimationOptions options);
    // From the item's view, with only UP and DOWN permitted whatever is
    // asked for.
    void presentPopoverFromBarButtonItem(UIBarButtonItem* item, QLZPopoverArrowDirection permittedArrowDirections, BOOL animated,
        QLZPopoverAnimationOptions options, QLZPopoverCompletionBlock completion);
    void presentPopoverFromBarButtonItemAnimated(UIBarButtonItem* item, QLZPopoverArrowDirection permittedArrowDirections, BOOL animated);
    void presentPopoverFromBarButtonItemCompletion(UIBarButtonItem* item, QLZPopoverArrowDirection permittedArrowDirections, BOOL animated,
        QLZPopoverCompletionBlock completion);
    void presentPopoverFromBarButtonItemOptions(UIBarButtonItem* item, QLZPopoverArrowDirection permittedArrowDirections, BOOL animated,
        QLZPopoverAnimationOptions options);
    // Centred in the key window's root view, without an arrow.
    void presentPopoverAsDialog(BOOL animated, QLZPopoverAnimationOptions options, QLZPopoverCompletionBlock completion);
    void presentPopoverAsDialogAnimated(BOOL animated);
    void presentPopoverAsDialogCompletion(BOOL animated, QLZPopoverCompletionBlock completion);
    void presentPopoverAsDialogOptions(BOOL animated, QLZPopoverAnimationOptions options);

    // Runs the actions with implicit animations disabled.
    void performWithoutAnimation(QLZPopoverActionsBlock actions);

    // MARK: Placement
    // The side of the anchor the popover goes to: the first permitted side,
    // in the order DOWN, UP, LEFT, RIGHT, NONE, whose free space is at least
    // as wide as the content.
    QLZPopoverArrowDirection arrowDirectionForRect(CGRect rect, UIView* view, CGSize contentSize, float arrowHeight,
        QLZPopoverArrowDirection permittedArrowDirections);
    // The free space on one side of the anchor (zero or negative when there
    // is none).
    CGSize sizeForRect(CGRect rect, UIView* view, float arrowHeight, QLZPopoverArrowDirection direction);
    // The layout pass: sizes and places the chrome next to its anchor.
    void positionPopover(BOOL animated);
    // The chrome shrunk into its arrow's tip, where the entrance starts and
    // the exit ends.
    CGAffineTransform transformForArrowDirection(QLZPopoverArrowDirection direction);
    void setPopoverNavigationBarBackgroundImage();

    // MARK: Dismissal
    // The one real dismissal; the shorter forms reuse the presentation's
    // options, have no completion, and do not call the delegate.
    void dismissPopover(BOOL animated, QLZPopoverAnimationOptions options, QLZPopoverCompletionBlock completion, BOOL callDelegate);
    void dismissPopoverAnimated(BOOL animated);
    void dismissPopoverAnimatedCompletion(BOOL animated, QLZPopoverCompletionBlock completion);
    void dismissPopoverAnimatedOptions(BOOL animated, QLZPopoverAnimationOptions options);
    void dismissPopoverAnimatedOptionsCompletion(BOOL animated, QLZPopoverAnimationOptions options, QLZPopoverCompletionBlock completion);
    // A touch outside: dismisses unless the content is modal or the
    // delegate declines.
    void popoverOverlayViewDidTouch(QLZPopoverOverlayView* overlayView);
    void popoverBackgroundViewDidTouchOutside(QLZPopoverBackgroundView* backgroundView);

    // MARK: Theme
    static QLZPopoverTheme* defaultTheme();
    // Also makes the theme's values the chrome's appearance defaults, which
    // every new controller copies into its theme.
    static void setDefaultTheme(QLZPopoverTheme* theme);
    QLZPopoverTheme* theme() const noexcept { return m_theme.get(); }
    void setTheme(QLZPopoverTheme* theme);
    void registerTheme();
    void unregisterTheme();
    // Copies the theme into the views and lays the popover out again.
    void updateThemeUI();
    // Theme changes between these two are applied once, at the end.
    void beginThemeUpdates();
    void endThemeUpdates();
    void observeValueForKeyPath(NSString* keyPath, id object, NSDictionary* change, void* context);

    // MARK: Content size
    // The size set with -setPopoverContentSize:, else the content's own.
    CGSize popoverContentSize();
    CGSize topViewControllerContentSize();
    void setPopoverContentSize(CGSize size);
    void setPopoverContentSizeAnimated(CGSize size, BOOL animated);

    // MARK: Properties
    // Unowned.
    NSObject* delegate() const noexcept { return m_delegate; }
    void setDelegate(NSObject* delegate) noexcept { m_delegate = delegate; }
    NSArray* passthroughViews() const noexcept { return m_passthroughViews.get(); }
    // Stores a copy; an overlay already shown keeps the views it had.
    void setPassthroughViews(NSArray* views);
    BOOL wantsDefaultContentAppearance() const noexcept { return m_wantsDefaultContentAppearance; }
    void setWantsDefaultContentAppearance(BOOL wants) noexcept { m_wantsDefaultContentAppearance = wants; }
    BOOL isPopoverVisible() const noexcept { return m_popoverVisible; }
    UIEdgeInsets popoverLayoutMargins() const noexcept { return m_popoverLayoutMargins; }
    void setPopoverLayoutMargins(UIEdgeInsets margins) noexcept { m_popoverLayoutMargins = margins; }
    float animationDuration() const noexcept { return m_animationDuration; }
    void setAnimationDuration(float duration) noexcept { m_animationDuration = duration; }
    // A tap on the popover itself dismisses it too; set before presenting.
    BOOL dismissOnTap() const noexcept { return m_dismissOnTap; }
    void setDismissOnTap(BOOL dismiss) noexcept { m_dismissOnTap = dismiss; }
    BOOL dismissOnPassthroughViewTap() const noexcept { return m_dismissOnPassthroughViewTap; }
    void setDismissOnPassthroughViewTap(BOOL dismiss) noexcept { m_dismissOnPassthroughViewTap = dismiss; }
    BOOL implicitAnimationsDisabled() const noexcept { return m_implicitAnimationsDisabled; }
    void setImplicitAnimationsDisabled(BOOL disabled) noexcept { m_implicitAnimationsDisabled = disabled; }
    QLZPopoverDismissCompletionBlock dismissCompletionBlock() const { return m_dismissCompletionBlock; }
    void setDismissCompletionBlock(QLZPopoverDismissCompletionBlock block) { m_dismissCompletionBlock = std::move(block); }

    // The views of a shown popover (null when none is shown).
    QLZPopoverOverlayView* overlayView() const noexcept { return m_overlayView.get(); }
    QLZPopoverBackgroundView* backgroundView() const noexcept { return m_backgroundView.get(); }
    QLZPopoverArrowDirection permittedArrowDirections() const noexcept { return m_permittedArrowDirections; }

    ~QLZPopoverController() override;

    // Sets the default theme, as when the class is loaded.
    static void load();

private:
    QLZPopoverController() = default;

    // The key under which the content announces its preferred size.
    NSString* contentSizeKey() const;
    void startObservingContentSize();
    void stopObservingContentSize();
    // Tint adjustment of every view in the window but the chrome.
    void setWindowTintAdjustmentMode(NSInteger mode);

    RefPtr<NSObject> m_viewController;
    CGRect m_rect;
    RefPtr<UIView> m_inView;
    RefPtr<QLZPopoverOverlayView> m_overlayView;
    RefPtr<QLZPopoverBackgroundView> m_backgroundView;
    QLZPopoverArrowDirection m_permittedArrowDirections = 0;
    BOOL m_animated = NO;
    BOOL m_isObserverAdded = NO;
    BOOL m_ignoreOrientation = NO;
    RefPtr<UIBarButtonItem> m_barButtonItem;
    QLZPopoverAnimationOptions m_options = 0;
    BOOL m_themeUpdatesEnabled = NO;
    BOOL m_themeIsUpdating = NO;
    BOOL m_wantsDefaultContentAppearance = NO;
    BOOL m_popoverVisible = NO;
    BOOL m_dismissOnTap = NO;
    BOOL m_dismissOnPassthroughViewTap = NO;
    BOOL m_implicitAnimationsDisabled = NO;
    float m_animationDuration = 0;
    NSObject* m_delegate = nullptr;
    RefPtr<NSArray> m_passthroughViews;
    // Kept alive while observed: a theme freed under its observer would
    // leave the controller pointing at nothing.
    RefPtr<QLZPopoverTheme> m_theme;
    QLZPopoverDismissCompletionBlock m_dismissCompletionBlock;
    CGSize m_popoverContentSize;
    UIEdgeInsets m_popoverLayoutMargins;
};
