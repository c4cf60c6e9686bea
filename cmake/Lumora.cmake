# Build helpers shared by the platform, the host and the system's libraries.

# The folder that mirrors the simulated device's system files (libraries at
# their install paths); the Camera simulator copies it into a device root.
set(LUMORA_DEVICE_IMAGE ${CMAKE_BINARY_DIR}/device-image)

# Code that runs on the simulated device calls the device's C library for
# dlopen() and system(): the linker redirects both to the platform's
# implementations (__wrap_dlopen, __wrap_system), which work on device paths
# and on the device's processes.
function(lumora_device_code target)
  target_link_libraries(${target} PRIVATE platform)
  target_link_options(${target} PRIVATE -Wl,--wrap=dlopen -Wl,--wrap=system)
endfunction()

# Copies a built library into the device image at its install path.
function(lumora_install_on_device target device_path)
  cmake_path(GET device_path PARENT_PATH device_folder)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory "${LUMORA_DEVICE_IMAGE}${device_folder}"
    COMMAND ${CMAKE_COMMAND} -E copy "$<TARGET_FILE:${target}>" "${LUMORA_DEVICE_IMAGE}${device_path}"
    VERBATIM)
endfunction()

# Exports exactly the symbols a linker version script lists.
function(lumora_exports target map)
  target_link_options(${target} PRIVATE "-Wl,--version-script=${map}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${map})
endfunction()

# A generation module: its start-up source, the object libraries it carries
# its own copies of (lumora_common always), its exports and install path.
function(lumora_module name startup)
  add_library(${name} SHARED ${startup})
  foreach(objects IN LISTS ARGN ITEMS lumora_common)
    target_sources(${name} PRIVATE $<TARGET_OBJECTS:${objects}>)
    target_link_libraries(${name} PRIVATE ${objects})
  endforeach()
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".dylib")
  lumora_device_code(${name})
  lumora_exports(${name} ${CMAKE_CURRENT_SOURCE_DIR}/exports.map)
  lumora_install_on_device(${name} "/Library/Application Support/Lumora/${name}.dylib")
endfunction()
