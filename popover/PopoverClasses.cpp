#include "popover/PopoverClasses.h"

#include "popover/QLZPopoverArea.h"
#include "popover/QLZPopoverBackgroundView.h"
#include "popover/QLZPopoverController.h"
#include "popover/QLZPopoverOverlayView.h"
#include "popover/QLZPopoverTheme.h"

void registerPopoverClasses()
{
    QLZPopoverTheme::staticClass();
    QLZPopoverArea::staticClass();
    QLZPopoverOverlayView::staticClass();
    QLZPopoverBackgroundView::staticClass();
    QLZPopoverBackgroundInnerView::staticClass();
    QLZPopoverController::staticClass();
}
