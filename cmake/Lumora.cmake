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
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory "${LUMORA_DEVICE_IMAGE}${device_path}/.."
    COMMAND ${CMAKE_COMMAND} -E copy "$<TARGET_FILE:${target}>" "${LUMORA_DEVICE_IMAGE}${device_path}"
    VERBATIM)
endfunction()
