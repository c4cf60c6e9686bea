#include "popover/QLZPopoverController.h"

#include "foundation/NSAssertionHandler.h"
#include "foundation/NSException.h"
#include "foundation/NSKeyValueCoding.h"
#include "foundation/NSKeyValueObserving.h"
#include "foundation/NSProcessInfo.h"
#include "uikit/UIAppearance.h"
#include "uikit/UIApplication.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIGestureRecognizer.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIViewAnimation.h"
#include "uikit/UIWindow.h"

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <utility>

namespace {

RefPtr<QLZPopoverTheme>& defaultThemeSlot()
{
    static RefPtr<QLZPopoverTheme>* theme = new RefPtr<QLZPopoverTheme>;
    return *theme;
}

UIAppearance* chromeAppearance()
{
    return UIAppearance::forClass(QLZPopoverBackgroundView::staticClass());
}

bool isNavigationController(NSObject* object)
{
    return object && class_isSubclassOf(object_getClass(object), UINavigationController::staticClass());
}

// The tap recognizers report to the chrome view without keeping it, and a
// recognizer can outlive the popover (a finger held on the overlay keeps
// it): the controller takes the chrome view back as their target before it
// lets the chrome view go.
void stopReportingTaps(std::initializer_list<UIView*> views, QLZPopoverBackgroundView* chrome)
{
    if (!chrome)
        return;
    for (UIView* view : views) {
        if (!view)
            continue;
        for (auto& recognizer : view->gestureRecognizers())
            recognizer->removeTarget(chrome, "tapOut"_sel);
    }
}

// What a presentation or dismissal does once its animation has ended,
// kept apart from the animation's completion so that it can be done sooner:
// a new presentation finishes every animation still running, so that
// popovers dismissed in quick succession do not pile up in the window. The
// completion holds only this; the controller is kept alive by rest.
struct PendingAnimation {
    const QLZPopoverController* controller;
    std::function<void()> rest;
};

// Oldest first.
std::vector<std::shared_ptr<PendingAnimation>>& pendingAnimations()
{
    static auto* pending = new std::vector<std::shared_ptr<PendingAnimation>>;
    return *pending;
}

void finish(const std::shared_ptr<PendingAnimation>& animation)
{
    if (!animation->rest)
        return;
    auto& pending = pendingAnimations();
    pending.erase(std::remove(pending.begin(), pending.end(), animation), pending.end());
    auto rest = std::exchange(animation->rest, nullptr);
    rest();
}

// Runs the animations, then rest when they end (or sooner, see above).
void animate(const QLZPopoverController* controller, double duration, UIViewAnimationBlock animations, std::function<void()> rest)
{
    auto animation = std::make_shared<PendingAnimation>(PendingAnimation { controller, std::move(rest) });
    pendingAnimations().push_back(animation);
    objc_msgSend<void>(UIView::staticClass(), "animateWithDuration:animations:completion:"_sel, duration, std::move(animations),
        UIViewAnimationCompletion([animation](BOOL) { finish(animation); }));
}

// Finishes the running animations of one controller, or of all.
void finishPendingAnimations(const QLZPopoverController* controller)
{
    for (auto pending = pendingAnimations(); const auto& animation : pending) {
        if (!controller || animation->controller == controller)
            finish(animation);
    }
}

} // namespace

Class QLZPopoverController::staticClass()
{
    static Class cls = [] {
        Class built = ClassBuilder<QLZPopoverController>("QLZPopoverController", &OBJC_CLASS_NSObject)
                          .classMethod<&QLZPopoverController::defaultTheme>("defaultTheme")
                          .classMethod<&QLZPopoverController::setDefaultTheme>("setDefaultTheme:")
                          .method<&QLZPopoverController::init>("init")
                          .method<&QLZPopoverController::initWithContentViewController>("initWithContentViewController:")
                          .method<&QLZPopoverController::contentViewController>("contentViewController")
                          .method<&QLZPopoverController::presentPopoverFromRect>(
                              "presentPopoverFromRect:inView:permittedArrowDirections:animated:options:completion:")
                          .method<&QLZPopoverController::presentPopoverFromRectAnimated>(
                              "presentPopoverFromRect:inView:permittedArrowDirections:animated:")
                          .method<&QLZPopoverController::presentPopoverFromRectCompletion>(
                              "presentPopoverFromRect:inView:permittedArrowDirections:animated:completion:")
                          .method<&QLZPopoverController::presentPopoverFromRectOptions>(
                              "presentPopoverFromRect:inView:permittedArrowDirections:animated:options:")
                          .method<&QLZPopoverController::presentPopoverFromBarButtonItem>(
                              "presentPopoverFromBarButtonItem:permittedArrowDirections:animated:options:completion:")
                          .method<&QLZPopoverController::presentPopoverFromBarButtonItemAnimated>(
                              "presentPopoverFromBarButtonItem:permittedArrowDirections:animated:")
                          .method<&QLZPopoverController::presentPopoverFromBarButtonItemCompletion>(
                              "presentPopoverFromBarButtonItem:permittedArrowDirections:animated:completion:")
                          .method<&QLZPopoverController::presentPopoverFromBarButtonItemOptions>(
                              "presentPopoverFromBarButtonItem:permittedArrowDirections:animated:options:")
                          .method<&QLZPopoverController::presentPopoverAsDialog>("presentPopoverAsDialogAnimated:options:completion:")
                          .method<&QLZPopoverController::presentPopoverAsDialogAnimated>("presentPopoverAsDialogAnimated:")
                          .method<&QLZPopoverController::presentPopoverAsDialogCompletion>("presentPopoverAsDialogAnimated:completion:")
                          .method<&QLZPopoverController::presentPopoverAsDialogOptions>("presentPopoverAsDialogAnimated:options:")
                          .method<&QLZPopoverController::performWithoutAnimation>("performWithoutAnimation:")
                          .method<&QLZPopoverController::arrowDirectionForRect>(
                              "arrowDirectionForRect:inView:contentSize:arrowHeight:permittedArrowDirections:")
                          .method<&QLZPopoverController::sizeForRect>("sizeForRect:inView:arrowHeight:arrowDirection:")
                          .method<&QLZPopoverController::positionPopover>("positionPopover:")
                          .method<&QLZPopoverController::transformForArrowDirection>("transformForArrowDirection:")
                          .method<&QLZPopoverController::setPopoverNavigationBarBackgroundImage>("setPopoverNavigationBarBackgroundImage")
                          .method<&QLZPopoverController::dismissPopover>("dismissPopoverAnimated:options:completion:callDelegate:")
                          .method<&QLZPopoverController::dismissPopoverAnimated>("dismissPopoverAnimated:")
                          .method<&QLZPopoverController::dismissPopoverAnimatedCompletion>("dismissPopoverAnimated:completion:")
                          .method<&QLZPopoverController::dismissPopoverAnimatedOptions>("dismissPopoverAnimated:options:")
                          .method<&QLZPopoverController::dismissPopoverAnimatedOptionsCompletion>("dismissPopoverAnimated:options:completion:")
                          .method<&QLZPopoverController::popoverOverlayViewDidTouch>("popoverOverlayViewDidTouch:")
                          .method<&QLZPopoverController::popoverBackgroundViewDidTouchOutside>("popoverBackgroundViewDidTouchOutside:")
                          .method<&QLZPopoverController::theme>("theme")
                          .method<&QLZPopoverController::setTheme>("setTheme:")
                          .method<&QLZPopoverController::registerTheme>("registerTheme")
                          .method<&QLZPopoverController::unregisterTheme>("unregisterTheme")
                          .method<&QLZPopoverController::updateThemeUI>("updateThemeUI")
                          .method<&QLZPopoverController::beginThemeUpdates>("beginThemeUpdates")
                          .method<&QLZPopoverController::endThemeUpdates>("endThemeUpdates")
                          .method<&QLZPopoverController::observeValueForKeyPath>("observeValueForKeyPath:ofObject:change:context:")
                          .method<&QLZPopoverController::popoverContentSize>("popoverContentSize")
                          .method<&QLZPopoverController::topViewControllerContentSize>("topViewControllerContentSize")
                          .method<&QLZPopoverController::setPopoverContentSize>("setPopoverContentSize:")
                          .method<&QLZPopoverController::setPopoverContentSizeAnimated>("setPopoverContentSize:animated:")
                          .method<&QLZPopoverController::delegate>("delegate")
                          .method<&QLZPopoverController::setDelegate>("setDelegate:")
                          .method<&QLZPopoverController::passthroughViews>("passthroughViews")
                          .method<&QLZPopoverController::setPassthroughViews>("setPassthroughViews:")
                          .method<&QLZPopoverController::wantsDefaultContentAppearance>("wantsDefaultContentAppearance")
                          .method<&QLZPopoverController::setWantsDefaultContentAppearance>("setWantsDefaultContentAppearance:")
                          .method<&QLZPopoverController::isPopoverVisible>("isPopoverVisible")
                          .method<&QLZPopoverController::popoverLayoutMargins>("popoverLayoutMargins")
                          .method<&QLZPopoverController::setPopoverLayoutMargins>("setPopoverLayoutMargins:")
                          .method<&QLZPopoverController::animationDuration>("animationDuration")
                          .method<&QLZPopoverController::setAnimationDuration>("setAnimationDuration:")
                          .method<&QLZPopoverController::dismissOnTap>("dismissOnTap")
                          .method<&QLZPopoverController::setDismissOnTap>("setDismissOnTap:")
                          .method<&QLZPopoverController::dismissOnPassthroughViewTap>("dismissOnPassthroughViewTap")
                          .method<&QLZPopoverController::setDismissOnPassthroughViewTap>("setDismissOnPassthroughViewTap:")
                          .method<&QLZPopoverController::implicitAnimationsDisabled>("implicitAnimationsDisabled")
                          .method<&QLZPopoverController::setImplicitAnimationsDisabled>("setImplicitAnimationsDisabled:")
                          .method<&QLZPopoverController::dismissCompletionBlock>("dismissCompletionBlock")
                          .method<&QLZPopoverController::setDismissCompletionBlock>("setDismissCompletionBlock:")
                          .build();
        // The class's loading sets the default theme.
        load();
        return built;
    }();
    return cls;
}

void QLZPopoverController::load()
{
    setDefaultTheme(QLZPopoverTheme::theme().ptr());
}

Ref<QLZPopoverController> QLZPopoverController::create(NSObject* contentViewController)
{
    auto controller = adoptObject(new QLZPopoverController);
    controller->initWithContentViewController(contentViewController);
    return controller;
}

QLZPopoverController* QLZPopoverController::init()
{
    m_ignoreOrientation = objc_respondsToSelector(NSProcessInfo::processInfo(), "operatingSystemVersion"_sel);
    m_popoverLayoutMargins = UIEdgeInsetsMake(10, 10, 10, 10);
    m_animationDuration = 0.25f;
    m_themeUpdatesEnabled = NO;
    setTheme(defaultTheme());

    // The chrome's appearance defaults win over whatever the shared theme
    // holds now.
    m_themeIsUpdating = YES;
    if (QLZPopoverTheme* theme = m_theme.get()) {
        UIAppearance* appearance = chromeAppearance();
#define QLZ_THEME_PROPERTY(Kind, name, Name, Flags) theme->set##Name(QLZThemeValue::Kind::read(appearance, #name));
#include "popover/QLZPopoverThemeProperties.def"
    }
    m_themeIsUpdating = NO;
    m_themeUpdatesEnabled = YES;
    m_popoverContentSize = CGSizeZero;
    return this;
}

QLZPopoverController* QLZPopoverController::initWithContentViewController(NSObject* contentViewController)
{
    init();
    m_viewController = contentViewController;
    return this;
}

QLZPopoverController::~QLZPopoverController()
{
    stopReportingTaps({ m_overlayView.get(), m_backgroundView.get() }, m_backgroundView.get());
    if (m_backgroundView) {
        m_backgroundView->removeFromSuperview();
        m_backgroundView->setDelegate(nullptr);
    }
    if (m_overlayView) {
        m_overlayView->removeFromSuperview();
        m_overlayView->setDelegate(nullptr);
    }
    // Only the platform's own exceptions are expected here; anything else
    // cannot leave a destructor and ends the process.
    stopObservingContentSize();
    m_viewController = nullptr;
    unregisterTheme();
    m_barButtonItem = nullptr;
    m_passthroughViews = nullptr;
    m_inView = nullptr;
    m_overlayView = nullptr;
    m_backgroundView = nullptr;
    m_theme = nullptr;
}

// MARK: Presentation

void QLZPopoverController::presentPopoverFromRect(CGRect rect, UIView* view, QLZPopoverArrowDirection permittedArrowDirections, BOOL animated,
    QLZPopoverAnimationOptions options, QLZPopoverCompletionBlock completion)
{
    if (permittedArrowDirections == QLZPopoverArrowDirectionUnknown) {
        objc_msgSend<void>(NSAssertionHandler::currentHandler(), "handleFailureInMethod:object:file:lineNumber:description:"_sel,
            "presentPopoverFromRect:inView:permittedArrowDirections:animated:options:completion:"_sel, this, "../QLZPopoverController"_ns,
            NSInteger(1674), "QLZPopoverArrowDirection must not be UNKNOWN"_ns);
    }

    Ref<QLZPopoverController> protectedThis(*this);
    finishPendingAnimations(nullptr);
    m_rect = rect;
    m_inView = view;
    m_permittedArrowDirections = permittedArrowDirections;
    m_animated = animated;
    m_options = options;

    // A dialog: the key window's root view, with a small anchor at its
    // centre.
    if (!m_inView) {
        UIWindow* keyWindow = UIApplication::sharedApplication()->keyWindow();
        m_inView = keyWindow ? objc_msgSend<UIView*>(keyWindow->rootViewController(), "view"_sel) : nullptr;
        if (m_inView && CGRectIsEmpty(m_rect)) {
            CGRect bounds = m_inView->bounds();
            long width = static_cast<long>(bounds.size.width);
            long height = static_cast<long>(bounds.size.height);
            m_rect = CGRectMake(width / 2 - 5, height / 2 - 5, 10, 10);
        }
    }

    CGSize size = popoverContentSize();
    if (!m_overlayView) {
        UIWindow* window = m_inView ? m_inView->window() : nullptr;
        m_overlayView = QLZPopoverOverlayView::create(window ? window->bounds() : CGRectZero);
        m_overlayView->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        m_overlayView->setAutoresizesSubviews(NO);
        m_overlayView->setDelegate(this);
        m_overlayView->setPassthroughViews(m_passthroughViews.get());

        m_backgroundView = QLZPopoverBackgroundView::create(size);
        m_backgroundView->setAppearing(YES);
        m_backgroundView->setDelegate(this);
        m_backgroundView->setHidden(YES);

        auto outsideTap = UITapGestureRecognizer::create(m_backgroundView.get(), "tapOut"_sel);
        outsideTap->setCancelsTouchesInView(NO);
        m_overlayView->addGestureRecognizer(outsideTap.ptr());
        if (m_dismissOnTap) {
            auto tap = UITapGestureRecognizer::create(m_backgroundView.get(), "tapOut"_sel);
            tap->setCancelsTouchesInView(NO);
            m_backgroundView->addGestureRecognizer(tap.ptr());
        }

        if (window) {
            window->addSubview(m_backgroundView.get());
            window->insertSubviewBelowSubview(m_overlayView.get(), m_backgroundView.get());
        }
    }

    updateThemeUI();
    m_backgroundView->setHidden(NO);

    auto dim = [this, protectedThis] {
        if (m_backgroundView && m_backgroundView->dimsBackgroundViewsTintColor())
            setWindowTintAdjustmentMode(UIViewTintAdjustmentModeDimmed);
    };
    auto didAppear = [this, protectedThis, completion] {
        if (!m_isObserverAdded) {
            m_isObserverAdded = YES;
            startObservingContentSize();
        }
        if (m_backgroundView)
            m_backgroundView->setAppearing(NO);
        if (completion)
            completion();
        else if (objc_respondsToSelector(m_delegate, "popoverControllerDidPresentPopover:"_sel))
            objc_msgSend<void>(m_delegate, "popoverControllerDidPresentPopover:"_sel, this);
    };

    if (!animated) {
        dim();
        didAppear();
        return;
    }

    if (options & QLZPopoverAnimationOptionFade) {
        m_overlayView->setAlpha(0);
        m_backgroundView->setAlpha(0);
    }
    CGAffineTransform settled = m_backgroundView->transform();
    if (options & QLZPopoverAnimationOptionScale)
        m_backgroundView->setTransform(transformForArrowDirection(m_backgroundView->arrowDirection()));
    animate(
        this, m_animationDuration, [this, protectedThis, settled, dim] {
        if (m_overlayView)
            m_overlayView->setAlpha(1);
        if (m_backgroundView) {
            m_backgroundView->setAlpha(1);
            m_backgroundView->setTransform(settled);
        }
        dim(); }, std::move(didAppear));
}

void QLZPopoverController::presentPopoverFromRectAnimated(CGRect rect, UIView* view, QLZPopoverArrowDirection permittedArrowDirections, BOOL animated)
{
    presentPopoverFromRect(rect, view, permittedArrowDirections, animated, QLZPopoverAnimationOptionFade, nullptr);
}

void QLZPopoverController::presentPopoverFromRectCompletion(CGRect rect, UIView* view, QLZPopoverArrowDirection permittedArrowDirections,
    BOOL animated, QLZPopoverCompletionBlock completion)
{
    presentPopoverFromRect(rect, view, permittedArrowDirections, animated, QLZPopoverAnimationOptionFade, std::move(completion));
}

void QLZPopoverController::presentPopoverFromRectOptions(CGRect rect, UIView* view, QLZPopoverArrowDirection permittedArrowDirections,
    BOOL animated, QLZPopoverAnimationOptions options)
{
    presentPopoverFromRect(rect, view, permittedArrowDirections, animated, options, nullptr);
}

void QLZPopoverController::presentPopoverFromBarButtonItem(UIBarButtonItem* item, QLZPopoverArrowDirection, BOOL animated,
    QLZPopoverAnimationOptions options, QLZPopoverCompletionBlock completion)
{
    m_barButtonItem = item;
    auto* view = static_cast<UIView*>(kvc::valueForKey(item, "view"_ns));
    CGRect bounds = view ? view->bounds() : CGRectZero;
    presentPopoverFromRect(bounds, view, QLZPopoverArrowDirectionUp | QLZPopoverArrowDirectionDown, animated, options, std::move(completion));
}

void QLZPopoverController::presentPopoverFromBarButtonItemAnimated(UIBarButtonItem* item, QLZPopoverArrowDirection permittedArrowDirections,
    BOOL animated)
{
    presentPopoverFromBarButtonItem(item, permittedArrowDirections, animated, QLZPopoverAnimationOptionFade, nullptr);
}

void QLZPopoverController::presentPopoverFromBarButtonItemCompletion(UIBarButtonItem* item, QLZPopoverArrowDirection permittedArrowDirections,
    BOOL animated, QLZPopoverCompletionBlock completion)
{
    presentPopoverFromBarButtonItem(item, permittedArrowDirections, animated, QLZPopoverAnimationOptionFade, std::move(completion));
}

void QLZPopoverController::presentPopoverFromBarButtonItemOptions(UIBarButtonItem* item, QLZPopoverArrowDirection permittedArrowDirections,
    BOOL animated, QLZPopoverAnimationOptions options)
{
    presentPopoverFromBarButtonItem(item, permittedArrowDirections, animated, options, nullptr);
}

void QLZPopoverController::presentPopoverAsDialog(BOOL animated, QLZPopoverAnimationOptions options, QLZPopoverCompletionBlock completion)
{
    presentPopoverFromRect(CGRectZero, nullptr, QLZPopoverArrowDirectionNone, animated, options, std::move(completion));
}

void QLZPopoverController::presentPopoverAsDialogAnimated(BOOL animated)
{
    presentPopoverAsDialog(animated, QLZPopoverAnimationOptionFade, nullptr);
}

void QLZPopoverController::presentPopoverAsDialogCompletion(BOOL animated, QLZPopoverCompletionBlock completion)
{
    presentPopoverAsDialog(animated, QLZPopoverAnimationOptionFade, std::move(completion));
}

void QLZPopoverController::presentPopoverAsDialogOptions(BOOL animated, QLZPopoverAnimationOptions options)
{
    presentPopoverAsDialog(animated, options, nullptr);
}

void QLZPopoverController::performWithoutAnimation(QLZPopoverActionsBlock actions)
{
    if (!actions)
        return;
    m_implicitAnimationsDisabled = YES;
    actions();
    m_implicitAnimationsDisabled = NO;
}

void QLZPopoverController::setWindowTintAdjustmentMode(NSInteger mode)
{
    UIWindow* window = m_inView ? m_inView->window() : nullptr;
    if (!objc_respondsToSelector(window, "setTintAdjustmentMode:"_sel))
        return;
    for (const auto& subview : std::vector<Ref<UIView>>(window->subviews())) {
        if (subview.ptr() != m_backgroundView.get())
            subview->setTintAdjustmentMode(mode);
    }
}

// MARK: Content size observation

NSString* QLZPopoverController::contentSizeKey() const
{
    if (objc_respondsToSelector(m_viewController.get(), "preferredContentSize"_sel))
        return "preferredContentSize"_ns;
    return "contentSizeForViewInPopover"_ns;
}

void QLZPopoverController::startObservingContentSize()
{
    objc_msgSend<void>(m_viewController.get(), "addObserver:forKeyPath:options:context:"_sel, this, contentSizeKey(), NSUInteger(0),
        static_cast<void*>(nullptr));
}

void QLZPopoverController::stopObservingContentSize()
{
    if (!m_isObserverAdded)
        return;
    m_isObserverAdded = NO;
    try {
        objc_msgSend<void>(m_viewController.get(), "removeObserver:forKeyPath:"_sel, this, contentSizeKey());
    } catch (NSException*) {
        // The observation is gone already: nothing left to stop.
    }
}

// MARK: Dismissal

void QLZPopoverController::dismissPopover(BOOL animated, QLZPopoverAnimationOptions options, QLZPopoverCompletionBlock completion, BOOL callDelegate)
{
    Ref<QLZPopoverController> protectedThis(*this);
    // An animation of this popover still running is superseded.
    finishPendingAnimations(this);
    double duration = m_animationDuration;
    auto restoreTint = [this, protectedThis] { setWindowTintAdjustmentMode(UIViewTintAdjustmentModeAutomatic); };
    auto afterDismiss = [this, protectedThis, completion, callDelegate] {
        RefPtr<QLZPopoverBackgroundView> backgroundView = std::move(m_backgroundView);
        RefPtr<QLZPopoverOverlayView> overlayView = std::move(m_overlayView);
        stopReportingTaps({ overlayView.get(), backgroundView.get() }, backgroundView.get());
        if (backgroundView)
            backgroundView->removeFromSuperview();
        if (overlayView)
            overlayView->removeFromSuperview();
        if (completion)
            completion();
        else if (callDelegate && objc_respondsToSelector(m_delegate, "popoverControllerDidDismissPopover:"_sel))
            objc_msgSend<void>(m_delegate, "popoverControllerDidDismissPopover:"_sel, this);
        if (QLZPopoverDismissCompletionBlock block = m_dismissCompletionBlock)
            block(this);
    };

    stopObservingContentSize();

    if (!animated || m_implicitAnimationsDisabled) {
        restoreTint();
        afterDismiss();
        return;
    }
    animate(
        this, duration, [this, protectedThis, options, restoreTint] {
        if (m_backgroundView) {
            if (options & QLZPopoverAnimationOptionFade)
                m_backgroundView->setAlpha(0);
            if (options & QLZPopoverAnimationOptionScale)
                m_backgroundView->setTransform(transformForArrowDirection(m_backgroundView->arrowDirection()));
        }
        if (m_overlayView)
            m_overlayView->setAlpha(0);
        restoreTint(); }, std::move(afterDismiss));
}

void QLZPopoverController::dismissPopoverAnimated(BOOL animated)
{
    dismissPopover(animated, m_options, nullptr, NO);
}

void QLZPopoverController::dismissPopoverAnimatedCompletion(BOOL animated, QLZPopoverCompletionBlock completion)
{
    dismissPopover(animated, m_options, std::move(completion), NO);
}

void QLZPopoverController::dismissPopoverAnimatedOptions(BOOL animated, QLZPopoverAnimationOptions options)
{
    dismissPopover(animated, options, nullptr, NO);
}

void QLZPopoverController::dismissPopoverAnimatedOptionsCompletion(BOOL animated, QLZPopoverAnimationOptions options,
    QLZPopoverCompletionBlock completion)
{
    dismissPopover(animated, options, std::move(completion), NO);
}

void QLZPopoverController::popoverOverlayViewDidTouch(QLZPopoverOverlayView*)
{
    if (objc_msgSend<BOOL>(m_viewController.get(), "isModalInPopover"_sel))
        return;
    if (objc_respondsToSelector(m_delegate, "popoverControllerShouldDismissPopover:"_sel)
        && !objc_msgSend<BOOL>(m_delegate, "popoverControllerShouldDismissPopover:"_sel, this))
        return;
    dismissPopover(m_animated, m_options, nullptr, YES);
}

void QLZPopoverController::popoverBackgroundViewDidTouchOutside(QLZPopoverBackgroundView*)
{
    popoverOverlayViewDidTouch(nullptr);
}

// MARK: Theme

QLZPopoverTheme* QLZPopoverController::defaultTheme()
{
    return defaultThemeSlot().get();
}

void QLZPopoverController::setDefaultTheme(QLZPopoverTheme* theme)
{
    defaultThemeSlot() = theme;
    Ref<QLZPopoverTheme> values = theme ? Ref<QLZPopoverTheme>(*theme) : QLZPopoverTheme::create();
    UIAppearance* appearance = chromeAppearance();
#define QLZ_THEME_PROPERTY(Kind, name, Name, Flags) QLZThemeValue::Kind::write(appearance, #name, values->name());
#include "popover/QLZPopoverThemeProperties.def"
}

void QLZPopoverController::setTheme(QLZPopoverTheme* theme)
{
    unregisterTheme();
    m_theme = theme;
    registerTheme();
    updateThemeUI();
    m_themeIsUpdating = NO;
}

void QLZPopoverController::registerTheme()
{
    if (!m_theme)
        return;
    Ref<NSArray> keyPaths = m_theme->observableKeypaths();
    for (const auto& keyPath : *keyPaths) {
        objc_msgSend<void>(m_theme.get(), "addObserver:forKeyPath:options:context:"_sel, this, keyPath.get(),
            NSUInteger(NSKeyValueObservingOptionNew), static_cast<void*>(nullptr));
    }
}

void QLZPopoverController::unregisterTheme()
{
    if (!m_theme)
        return;
    Ref<NSArray> keyPaths = m_theme->observableKeypaths();
    try {
        for (const auto& keyPath : *keyPaths)
            objc_msgSend<void>(m_theme.get(), "removeObserver:forKeyPath:"_sel, this, keyPath.get());
    } catch (NSException*) {
        // Not (or no longer) observing: the rest is not registered either.
    }
}

void QLZPopoverController::updateThemeUI()
{
    if (!m_theme || !m_themeUpdatesEnabled || m_themeIsUpdating)
        return;
    Ref<QLZPopoverController> protectedThis(*this);
    QLZPopoverTheme* theme = m_theme.get();
    if (QLZPopoverBackgroundView* chrome = m_backgroundView.get()) {
        // The overlay's colour goes to the overlay view (below).
#define QLZ_THEME_PROPERTY(Kind, name, Name, Flags) \
    if constexpr (((Flags)&QLZThemeOverlay) == 0)   \
        chrome->set##Name(QLZThemeValue::Kind::toView(theme->name()));
#include "popover/QLZPopoverThemeProperties.def"
        chrome->setNeedsDisplay();
    }
    if (m_overlayView)
        m_overlayView->setBackgroundColor(theme->overlayColor().get());
    positionPopover(NO);
    setPopoverNavigationBarBackgroundImage();
}

void QLZPopoverController::beginThemeUpdates()
{
    m_themeIsUpdating = YES;
}

void QLZPopoverController::endThemeUpdates()
{
    m_themeIsUpdating = NO;
    updateThemeUI();
}

void QLZPopoverController::observeValueForKeyPath(NSString* keyPath, id object, NSDictionary*, void*)
{
    if (object && object == m_viewController.get()) {
        if (keyPath && (keyPath->isEqualToString("preferredContentSize"_ns) || keyPath->isEqualToString("contentSizeForViewInPopover"_ns)))
            setPopoverContentSize(topViewControllerContentSize());
        return;
    }
    if (object && object == m_theme.get())
        updateThemeUI();
}

// MARK: Content size

CGSize QLZPopoverController::popoverContentSize()
{
    if (m_popoverContentSize != CGSizeZero)
        return m_popoverContentSize;
    return topViewControllerContentSize();
}

CGSize QLZPopoverController::topViewControllerContentSize()
{
    NSObject* content = m_viewController.get();
    if (isNavigationController(content))
        content = static_cast<UINavigationController*>(content)->topViewController();
    CGSize size = CGSizeZero;
    if (objc_respondsToSelector(content, "preferredContentSize"_sel))
        size = objc_msgSend<CGSize>(content, "preferredContentSize"_sel);
    if (size == CGSizeZero)
        size = objc_msgSend<CGSize>(content, "contentSizeForViewInPopover"_sel);
    if (size == CGSizeZero) {
        // As tall as the screen in the current orientation.
        UIApplication* application = UIApplication::sharedApplication();
        UIWindow* keyWindow = application->keyWindow();
        CGRect bounds = keyWindow ? keyWindow->bounds() : CGRectZero;
        UIInterfaceOrientation orientation = application->statusBarOrientation();
        bool landscape = orientation == UIInterfaceOrientationLandscapeRight || orientation == UIInterfaceOrientationLandscapeLeft;
        size = CGSizeMake(320, landscape ? bounds.size.width : bounds.size.height);
    }
    return size;
}

void QLZPopoverController::setPopoverContentSize(CGSize size)
{
    m_popoverContentSize = size;
    positionPopover(YES);
}

void QLZPopoverController::setPopoverContentSizeAnimated(CGSize size, BOOL animated)
{
    m_popoverContentSize = size;
    positionPopover(animated);
}

void QLZPopoverController::setPassthroughViews(NSArray* views)
{
    m_passthroughViews = views ? views->copy().ptr() : nullptr;
}
