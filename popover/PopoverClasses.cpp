#include "popover/PopoverClasses.h"

#include "popover/QLZPopoverArea.h"
#include "popover/QLZPopoverTheme.h"

void registerPopoverClasses()
{
    QLZPopoverTheme::staticClass();
    QLZPopoverArea::staticClass();
}
