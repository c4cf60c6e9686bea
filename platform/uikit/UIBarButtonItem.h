// UIBarButtonItem: an item of a navigation bar or toolbar. An item made with
// a custom view shows that view; -view (reachable by valueForKey: "view")
// answers the view that represents the item on screen.
#pragma once

#include "uikit/UIView.h"

class PLATFORM_EXPORT UIBarButtonItem : public NSObject {
    OBJC_CLASS(UIBarButtonItem)
public:
    static Ref<UIBarButtonItem> create(UIView* customView = nullptr);
    UIBarButtonItem* initWithCustomView(UIView* customView);

    UIView* customView() const noexcept { return m_customView.get(); }
    void setCustomView(UIView* view) { m_customView = view; }
    // The item's view: its custom view (items of other kinds have no view
    // until a bar shows them; the emulation's bars show none).
    UIView* view() const noexcept { return m_customView.get(); }

    NSString* title() const noexcept { return m_title.get(); }
    void setTitle(NSString* title);
    BOOL isEnabled() const noexcept { return m_enabled; }
    void setEnabled(BOOL enabled) { m_enabled = enabled; }

    ~UIBarButtonItem() override;

protected:
    UIBarButtonItem() = default;

private:
    RefPtr<UIView> m_customView;
    RefPtr<NSString> m_title;
    BOOL m_enabled = YES;
};
