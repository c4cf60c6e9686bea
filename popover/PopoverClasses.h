// Registers the popover component's classes with the runtime. A module calls
// it first thing when it starts; the component's class-wide state (the
// default theme) is set up then, as when the classes are loaded.
#pragma once

void registerPopoverClasses();
