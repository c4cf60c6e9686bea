// The text face as cairo sets it, shared by measuring and the raster
// context. Internal to the graphics code.
#pragma once

#include "graphics/Text.h"

#include <cairo.h>

namespace graphics {

// Makes font the current font of cr, at its size in the current user space,
// with metrics that do not depend on the device scale.
void selectFont(cairo_t* cr, const Font& font);

} // namespace graphics
