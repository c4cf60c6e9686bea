# The system's folders, bottom up, and the folders each builds on, as the
# platform's frameworks are listed in platform/Layers.cmake: a folder
# includes its own headers, the platform's and those of the folders below
# it. Nothing builds on host/: the modules reach the camera only by name,
# through the runtime. (tests/ and bench/ may include anything.)
set(SYSTEM_LAYERS platform popover common loader ios6 ios7 ios8 ios9 tools host)

set(SYSTEM_LAYER_platform "")
set(SYSTEM_LAYER_popover platform)
set(SYSTEM_LAYER_common popover)
set(SYSTEM_LAYER_loader platform)
set(SYSTEM_LAYER_ios6 common)
set(SYSTEM_LAYER_ios7 common)
set(SYSTEM_LAYER_ios8 common)
set(SYSTEM_LAYER_ios9 common)
set(SYSTEM_LAYER_tools common)
set(SYSTEM_LAYER_host tools)
