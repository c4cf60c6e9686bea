// UILabel: a view that shows a line of text. The emulation keeps the text and
// its attributes; the renderer (UIRendering.h) draws the text.
#pragma once

#include "uikit/UIView.h"

class PLATFORM_EXPORT UILabel : public UIView {
    OBJC_CLASS(UILabel)
public:
    static Ref<UILabel> create(CGRect frame = CGRectZero);

    NSString* text() const noexcept { return m_text.get(); }
    void setText(NSString* text);
    // Black unless set; setting nil restores black, as on the device.
    UIColor* textColor() const noexcept { return m_textColor.get(); }
    void setTextColor(UIColor* color);
    // NSTextAlignment: left 0, centre 1, right 2.
    NSInteger textAlignment() const noexcept { return m_textAlignment; }
    void setTextAlignment(NSInteger alignment) { m_textAlignment = alignment; }
    NSInteger numberOfLines() const noexcept { return m_numberOfLines; }
    void setNumberOfLines(NSInteger lines) { m_numberOfLines = lines; }

    ~UILabel() override;

protected:
    // Labels do not take touches unless told to.
    UILabel();

private:
    RefPtr<NSString> m_text;
    RefPtr<UIColor> m_textColor;
    NSInteger m_textAlignment = 0;
    NSInteger m_numberOfLines = 1;
};
