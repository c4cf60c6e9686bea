// NSIndexPath: a path of indexes; table views use two (section, row).
#pragma once

#include "foundation/NSString.h"

#include <vector>

class PLATFORM_EXPORT NSIndexPath : public NSObject {
    OBJC_CLASS(NSIndexPath)
public:
    static Ref<NSIndexPath> indexPathWithIndexes(std::vector<NSUInteger> indexes);
    static Ref<NSIndexPath> indexPathWithIndex(NSUInteger index) { return indexPathWithIndexes({ index }); }
    // UIKit's table form: section first, then row.
    static Ref<NSIndexPath> indexPathForRow(NSInteger row, NSInteger section);

    NSUInteger length() const noexcept { return m_indexes.size(); }
    // NSNotFound past the end, as on the device.
    NSUInteger indexAtPosition(NSUInteger position) const noexcept;
    NSInteger section() const noexcept { return static_cast<NSInteger>(indexAtPosition(0)); }
    NSInteger row() const noexcept { return static_cast<NSInteger>(indexAtPosition(1)); }
    Ref<NSIndexPath> indexPathByAddingIndex(NSUInteger index) const;
    // NSOrderedAscending (-1), NSOrderedSame (0) or NSOrderedDescending (1).
    NSInteger compare(const NSIndexPath* other) const noexcept;
    Ref<NSString> description() const;

    bool isEqual(const Object* other) const noexcept override;
    NSUInteger hash() const noexcept override;
    ~NSIndexPath() override;

private:
    NSIndexPath() = default;
    std::vector<NSUInteger> m_indexes;
};
