#include "popover/QLZPopoverArea.h"

Class QLZPopoverArea::staticClass()
{
    static Class cls = ClassBuilder<QLZPopoverArea>("QLZPopoverArea", &OBJC_CLASS_NSObject)
                           .method<&QLZPopoverArea::value>("value")
                           .method<&QLZPopoverArea::arrowDirection>("arrowDirection")
                           .method<&QLZPopoverArea::setArrowDirection>("setArrowDirection:")
                           .method<&QLZPopoverArea::areaSize>("areaSize")
                           .method<&QLZPopoverArea::setAreaSize>("setAreaSize:")
                           .method<&QLZPopoverArea::description>("description")
                           .build();
    return cls;
}

QLZPopoverArea::~QLZPopoverArea() = default;

Ref<QLZPopoverArea> QLZPopoverArea::create()
{
    return adoptObject(new QLZPopoverArea);
}

Ref<NSString> QLZPopoverArea::description() const
{
    return NSString::stringWithFormat("%@ [ %f x %f ]", QLZPopoverArrowDirectionName(m_arrowDirection), m_areaSize.width, m_areaSize.height);
}
