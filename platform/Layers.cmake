# The platform's frameworks, bottom up, and the ones each builds on. A
# framework includes its own headers and those of the frameworks below it
# (directly or through others), never one above: the build links each to
# what it lists here, and the layers test checks every include.
# List a framework only after everything it builds on.
set(PLATFORM_LAYERS device runtime foundation dispatch corefoundation graphics injection uikit avfoundation)

set(PLATFORM_LAYER_device "")
set(PLATFORM_LAYER_runtime device)
set(PLATFORM_LAYER_foundation runtime device)
set(PLATFORM_LAYER_dispatch runtime device)
set(PLATFORM_LAYER_corefoundation foundation dispatch)
set(PLATFORM_LAYER_graphics foundation)
set(PLATFORM_LAYER_injection foundation)
set(PLATFORM_LAYER_uikit graphics dispatch)
set(PLATFORM_LAYER_avfoundation foundation dispatch)
