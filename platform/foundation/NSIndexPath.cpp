#include "foundation/NSIndexPath.h"

#include <algorithm>

Class NSIndexPath::staticClass()
{
    static Class cls = ClassBuilder<NSIndexPath>("NSIndexPath", &OBJC_CLASS_NSObject)
                           .classMethod<&NSIndexPath::indexPathWithIndex>("indexPathWithIndex:")
                           .classMethod<&NSIndexPath::indexPathForRow>("indexPathForRow:inSection:")
                           .classMethod<&NSIndexPath::indexPathForRow>("indexPathForItem:inSection:")
                           .method<&NSIndexPath::length>("length")
                           .method<&NSIndexPath::indexAtPosition>("indexAtPosition:")
                           .method<&NSIndexPath::section>("section")
                           .method<&NSIndexPath::row>("row")
                           .method<&NSIndexPath::row>("item")
                           .method<&NSIndexPath::indexPathByAddingIndex>("indexPathByAddingIndex:")
                           .method<&NSIndexPath::compare>("compare:")
                           .method<&NSIndexPath::description>("description")
                           .build();
    return cls;
}

NSIndexPath::~NSIndexPath() = default;

Ref<NSIndexPath> NSIndexPath::indexPathWithIndexes(std::vector<NSUInteger> indexes)
{
    auto path = adoptObject(new NSIndexPath);
    path->m_indexes = std::move(indexes);
    return path;
}

Ref<NSIndexPath> NSIndexPath::indexPathForRow(NSInteger row, NSInteger section)
{
    return indexPathWithIndexes({ static_cast<NSUInteger>(section), static_cast<NSUInteger>(row) });
}

NSUInteger NSIndexPath::indexAtPosition(NSUInteger position) const noexcept
{
    return position < m_indexes.size() ? m_indexes[position] : NSNotFound;
}

Ref<NSIndexPath> NSIndexPath::indexPathByAddingIndex(NSUInteger index) const
{
    auto indexes = m_indexes;
    indexes.push_back(index);
    return indexPathWithIndexes(std::move(indexes));
}

NSInteger NSIndexPath::compare(const NSIndexPath* other) const noexcept
{
    if (!other)
        return 1;
    auto order = std::lexicographical_compare_three_way(m_indexes.begin(), m_indexes.end(), other->m_indexes.begin(), other->m_indexes.end());
    return order < 0 ? -1 : order > 0 ? 1
                                      : 0;
}

Ref<NSString> NSIndexPath::description() const
{
    std::string path;
    for (size_t i = 0; i < m_indexes.size(); ++i) {
        if (i)
            path += " - ";
        path += std::to_string(m_indexes[i]);
    }
    return NSString::stringWithFormat("<NSIndexPath: %p> {length = %zu, path = %s}", static_cast<const void*>(this), m_indexes.size(), path.c_str());
}

bool NSIndexPath::isEqual(const Object* other) const noexcept
{
    if (this == other)
        return true;
    if (!other || !class_isSubclassOf(other->isa(), staticClass()))
        return false;
    return m_indexes == static_cast<const NSIndexPath*>(other)->m_indexes;
}

NSUInteger NSIndexPath::hash() const noexcept
{
    NSUInteger value = m_indexes.size();
    for (NSUInteger index : m_indexes)
        value = value * 31 + index;
    return value;
}
