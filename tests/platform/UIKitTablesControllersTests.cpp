// View controllers around a table: view loading, content sizes observed by a
// popover, navigation controllers and bar button items.
#include "foundation/NSException.h"
#include "foundation/NSKeyValueCoding.h"
#include "foundation/NSKeyValueObserving.h"
#include "foundation/NSStructValue.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UITableView.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int g_loads = 0;
int g_didLoads = 0;
UIView* g_loadedView = nullptr;

void customLoadView(id self, SEL)
{
    ++g_loads;
    auto view = UITableView::create(CGRectMake(0, 0, 220, 88));
    g_loadedView = view.ptr();
    objc_msgSend<void>(self, "setView:"_sel, view.ptr());
}

void countingViewDidLoad(id, SEL)
{
    ++g_didLoads;
}

// A view controller subclass as a module would define it at run time.
Class makeCustomControllerClass()
{
    Class made = objc_allocateClassPair(UIViewController::staticClass(), "TestCustomController", nullptr);
    class_addMethod(made, "loadView"_sel, imp_cast(customLoadView), "v@:");
    class_addMethod(made, "viewDidLoad"_sel, imp_cast(countingViewDidLoad), "v@:");
    objc_registerClassPair(made);
    return made;
}

Class customControllerClass()
{
    static Class cls = makeCustomControllerClass();
    return cls;
}

class SizeWatcher : public NSObject {
    OBJC_CLASS(SizeWatcher)
public:
    void observe(NSString* keyPath, id object, NSDictionary* change, void*)
    {
        keyPaths.push_back(keyPath->string());
        auto* value = static_cast<NSValue*>(change->objectForKey(NSKeyValueChangeNewKey));
        sizes.push_back(value ? value->get<CGSize>() : CGSizeMake(-1, -1));
    }
    std::vector<std::string> keyPaths;
    std::vector<CGSize> sizes;
};

Class SizeWatcher::staticClass()
{
    static Class cls = ClassBuilder<SizeWatcher>("TestSizeWatcher", &OBJC_CLASS_NSObject)
                           .method<&SizeWatcher::observe>("observeValueForKeyPath:ofObject:change:context:")
                           .build();
    return cls;
}

Ref<Object> make(Class cls)
{
    return adoptRef(*objc_msgSend<id>(reinterpret_cast<id>(cls), "new"_sel));
}

} // namespace

TEST(ViewController, LoadsItsViewOnceThroughLoadViewUnlessOneWasSet)
{
    AutoreleasePool pool;
    g_loads = g_didLoads = 0;
    auto controller = make(customControllerClass());
    EXPECT_FALSE(objc_msgSend<BOOL>(controller, "isViewLoaded"_sel));
    EXPECT_EQ(g_loads, 0);
    auto* view = objc_msgSend<UIView*>(controller, "view"_sel);
    EXPECT_EQ(view, g_loadedView);
    EXPECT_EQ(objc_msgSend<UIView*>(controller, "view"_sel), view);
    EXPECT_TRUE(objc_msgSend<BOOL>(controller, "isViewLoaded"_sel));
    EXPECT_EQ(g_loads, 1);
    EXPECT_EQ(g_didLoads, 1);

    // A view given with setView: is used as it is.
    auto other = make(customControllerClass());
    auto table = UITableView::create();
    objc_msgSend<void>(other, "setView:"_sel, table.ptr());
    EXPECT_TRUE(objc_msgSend<BOOL>(other, "isViewLoaded"_sel));
    EXPECT_EQ(objc_msgSend<UIView*>(other, "view"_sel), table.ptr());
    EXPECT_EQ(g_loads, 1);
    EXPECT_EQ(g_didLoads, 1);

    // The plain class makes a plain view.
    auto plain = UIViewController::create();
    UIView* made = plain->view();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(object_getClass(made), UIView::staticClass());
}

TEST(ViewController, ContentSizesAreObservableAndRemovalIsChecked)
{
    AutoreleasePool pool;
    auto controller = make(UIViewController::staticClass());
    EXPECT_EQ(objc_msgSend<CGSize>(controller, "preferredContentSize"_sel), CGSizeZero);
    EXPECT_EQ(objc_msgSend<CGSize>(controller, "contentSizeForViewInPopover"_sel), CGSizeZero);
    auto watcher = adoptObject(new SizeWatcher);
    for (NSString* key : { "preferredContentSize"_ns, "contentSizeForViewInPopover"_ns })
        objc_msgSend<void>(controller, "addObserver:forKeyPath:options:context:"_sel, watcher.ptr(), key, NSUInteger(NSKeyValueObservingOptionNew), static_cast<void*>(nullptr));

    objc_msgSend<void>(controller, "setPreferredContentSize:"_sel, CGSizeMake(220, 88));
    objc_msgSend<void>(controller, "setContentSizeForViewInPopover:"_sel, CGSizeMake(300, 44));
    kvc::setValueForKey(controller, NSValue::valueWith(CGSizeMake(220, 44)).ptr(), "preferredContentSize"_ns);
    ASSERT_EQ(watcher->sizes.size(), 3u);
    EXPECT_EQ(watcher->keyPaths[0], "preferredContentSize");
    EXPECT_EQ(watcher->sizes[0], CGSizeMake(220, 88));
    EXPECT_EQ(watcher->keyPaths[1], "contentSizeForViewInPopover");
    EXPECT_EQ(watcher->sizes[1], CGSizeMake(300, 44));
    EXPECT_EQ(watcher->sizes[2], CGSizeMake(220, 44));
    EXPECT_EQ(static_cast<NSValue*>(kvc::valueForKey(controller, "preferredContentSize"_ns))->get<CGSize>(), CGSizeMake(220, 44));

    objc_msgSend<void>(controller, "removeObserver:forKeyPath:"_sel, watcher.ptr(), "preferredContentSize"_ns);
    objc_msgSend<void>(controller, "setPreferredContentSize:"_sel, CGSizeMake(1, 1));
    EXPECT_EQ(watcher->sizes.size(), 3u);
    try {
        objc_msgSend<void>(controller, "removeObserver:forKeyPath:"_sel, watcher.ptr(), "preferredContentSize"_ns);
        ADD_FAILURE() << "a second removal did not raise";
    } catch (NSException* exception) {
        EXPECT_EQ(exception->name()->string(), "NSRangeException");
    }
    objc_msgSend<void>(controller, "removeObserver:forKeyPath:"_sel, watcher.ptr(), "contentSizeForViewInPopover"_ns);

    // The popover's other questions.
    EXPECT_FALSE(objc_msgSend<BOOL>(controller, "isModalInPopover"_sel));
    objc_msgSend<void>(controller, "setModalInPopover:"_sel, YES);
    EXPECT_TRUE(objc_msgSend<BOOL>(controller, "isModalInPopover"_sel));
    EXPECT_EQ(objc_msgSend<NSUInteger>(controller, "edgesForExtendedLayout"_sel), NSUInteger(UIRectEdgeAll));
}

TEST(NavigationController, StacksControllersUnderA44PointBar)
{
    AutoreleasePool pool;
    auto root = UIViewController::create();
    id made = objc_msgSend<id>(reinterpret_cast<id>(UINavigationController::staticClass()), "alloc"_sel);
    made = objc_msgSend<id>(made, "initWithRootViewController:"_sel, root.ptr());
    auto navigation = adoptRef(*static_cast<UINavigationController*>(made));

    EXPECT_EQ(objc_msgSend<UIViewController*>(navigation, "topViewController"_sel), root.ptr());
    EXPECT_EQ(objc_msgSend<NSArray*>(navigation, "viewControllers"_sel)->count(), 1u);
    EXPECT_EQ(objc_msgSend<UINavigationController*>(root, "navigationController"_sel), navigation.ptr());
    auto* bar = objc_msgSend<UINavigationBar*>(navigation, "navigationBar"_sel);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->frame().size.height, 44);

    // The content starts below the bar unless it extends under it.
    root->setEdgesForExtendedLayout(UIRectEdgeNone);
    UIView* container = navigation->view();
    container->setFrame(CGRectMake(0, 0, 220, 300));
    navigation->layoutContent();
    EXPECT_EQ(bar->superview(), container);
    EXPECT_EQ(bar->frame(), CGRectMake(0, 0, 220, 44));
    EXPECT_EQ(root->view()->superview(), container);
    EXPECT_EQ(root->view()->frame(), CGRectMake(0, 44, 220, 256));
    objc_msgSend<void>(navigation, "setNavigationBarHidden:"_sel, YES);
    EXPECT_TRUE(objc_msgSend<BOOL>(navigation, "isNavigationBarHidden"_sel));
    EXPECT_TRUE(bar->isHidden());
    EXPECT_EQ(root->view()->frame(), CGRectMake(0, 0, 220, 300));

    auto pushed = UIViewController::create();
    objc_msgSend<void>(navigation, "pushViewController:animated:"_sel, pushed.ptr(), NO);
    EXPECT_EQ(navigation->topViewController(), pushed.ptr());
    EXPECT_EQ(pushed->view()->superview(), container);
    EXPECT_EQ(root->view()->superview(), nullptr);
    EXPECT_EQ(objc_msgSend<UIViewController*>(navigation, "popViewControllerAnimated:"_sel, NO), pushed.ptr());
    EXPECT_EQ(pushed->navigationController(), nullptr);
    EXPECT_EQ(objc_msgSend<UIViewController*>(navigation, "popViewControllerAnimated:"_sel, NO), nullptr);

    // Children do not keep a freed container.
    navigation = UINavigationController::create(pushed.ptr());
    EXPECT_EQ(pushed->navigationController(), navigation.ptr());
    navigation = UINavigationController::create(nullptr);
    EXPECT_EQ(pushed->navigationController(), nullptr);
}

TEST(BarButtonItem, ItsCustomViewIsReachableByKey)
{
    AutoreleasePool pool;
    auto view = UIView::create(CGRectMake(0, 0, 30, 30));
    id made = objc_msgSend<id>(reinterpret_cast<id>(UIBarButtonItem::staticClass()), "alloc"_sel);
    made = objc_msgSend<id>(made, "initWithCustomView:"_sel, view.ptr());
    auto item = adoptRef(*made);
    EXPECT_EQ(kvc::valueForKey(item, "view"_ns), view.ptr());
    EXPECT_EQ(objc_msgSend<UIView*>(item, "customView"_sel), view.ptr());
}

TEST(Label, KeepsACopyOfItsTextAndDefaultsToBlack)
{
    AutoreleasePool pool;
    auto label = UILabel::create(CGRectMake(0, 0, 100, 20));
    EXPECT_FALSE(label->isUserInteractionEnabled());
    EXPECT_TRUE(label->textColor()->isEqual(UIColor::blackColor()));
    auto text = NSString::create("Torch mode");
    objc_msgSend<void>(label, "setText:"_sel, text.ptr());
    EXPECT_EQ(objc_msgSend<NSString*>(label, "text"_sel)->string(), "Torch mode");
    objc_msgSend<void>(label, "setTextColor:"_sel, UIColor::whiteColor());
    EXPECT_EQ(label->textColor(), UIColor::whiteColor());
    objc_msgSend<void>(label, "setTextColor:"_sel, nullptr);
    EXPECT_TRUE(label->textColor()->isEqual(UIColor::blackColor()));
}
