// One candidate placement of a popover: a side of the anchor and the free
// space on that side.
#pragma once

#include "foundation/NSString.h"
#include "graphics/CGGeometry.h"
#include "popover/QLZPopoverArrowDirection.h"

class QLZPopoverArea : public NSObject {
    OBJC_CLASS(QLZPopoverArea)
public:
    static Ref<QLZPopoverArea> create();

    // The candidate's rank; candidates are walked from the highest. Nothing
    // assigns it, so candidates keep the order in which they were made.
    float value() const noexcept { return m_value; }

    QLZPopoverArrowDirection arrowDirection() const noexcept { return m_arrowDirection; }
    void setArrowDirection(QLZPopoverArrowDirection direction) noexcept { m_arrowDirection = direction; }
    // The free space on that side; zero or negative when there is none.
    CGSize areaSize() const noexcept { return m_areaSize; }
    void setAreaSize(CGSize size) noexcept { m_areaSize = size; }

    // "DOWN [ 300.000000 x 120.000000 ]".
    Ref<NSString> description() const;

    ~QLZPopoverArea() override;

private:
    QLZPopoverArea() = default;

    float m_value = 0;
    QLZPopoverArrowDirection m_arrowDirection = 0;
    CGSize m_areaSize;
};
