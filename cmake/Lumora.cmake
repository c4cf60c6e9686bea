# Build helpers shared by the platform, the host and the system's libraries.

# The folder that mirrors the simulated device's system files (libraries at
# their install paths); the Camera simulator copies it into a device root.
# The extension is not among them: it comes in its package (package/), and
# what earlier builds copied of it into the image goes.
set(LUMORA_DEVICE_IMAGE ${CMAKE_BINARY_DIR}/device-image)
file(REMOVE_RECURSE ${LUMORA_DEVICE_IMAGE}/Library)

# The program that runs this build's own programs where the machine cannot
# (qemu-user on a device build): CTest starts tests through it, and the
# Camera and the tests start the build's programs (the Camera app, the
# settings editor) through it too, since the kernel does not know their
# format. Empty on the development build.
set(LUMORA_EMULATOR "")
if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
  list(GET CMAKE_CROSSCOMPILING_EMULATOR 0 LUMORA_EMULATOR)
endif()

# What the build is, decided once: a device of the era (ARM, which its
# package names iphoneos-arm) or the development host (which names its own
# architecture as dpkg does), with the ELF machine its libraries carry. No
# 64-bit device ever ran iOS 6, so a 64-bit ARM build has no iOS 6 module
# and its devices refuse that version; a 32-bit ARM build is the iOS 6
# device. The development build is a host, not a device, and keeps all four.
string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" lumora_processor)
set(LUMORA_HAS_IOS6 ON)
set(LUMORA_PACKAGE_ARCHITECTURE iphoneos-arm)
if(lumora_processor MATCHES "^(aarch64|arm64)$")
  set(LUMORA_HAS_IOS6 OFF)
  set(LUMORA_ELF_MACHINE b700)
elseif(lumora_processor MATCHES "^arm")
  set(LUMORA_ELF_MACHINE 2800)
else()
  set(LUMORA_ELF_MACHINE 3e00)
  find_program(LUMORA_DPKG dpkg REQUIRED)
  execute_process(COMMAND ${LUMORA_DPKG} --print-architecture OUTPUT_VARIABLE LUMORA_PACKAGE_ARCHITECTURE
    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endif()

# The generation modules this build makes: the one list of them.
set(LUMORA_GENERATION_MODULES LumoraiOS9 LumoraiOS8 LumoraiOS7)
if(LUMORA_HAS_IOS6)
  list(APPEND LUMORA_GENERATION_MODULES LumoraiOS6)
endif()

# Where the extension's files go on the device (install destinations,
# relative to the device's root).
set(LUMORA_LOADER_FOLDER "Library/MobileSubstrate/DynamicLibraries")
set(LUMORA_MODULE_FOLDER "Library/Application Support/Lumora")
# Folders and libraries are 0755 on the device, whatever the umask (and
# whatever CMake's platform rules say of shared libraries).
set(LUMORA_EXECUTABLE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${LUMORA_EXECUTABLE_PERMISSIONS})

# The Debian package a device installs (see package/), made and read by
# Debian's own dpkg-deb.
find_program(LUMORA_DPKG_DEB dpkg-deb REQUIRED)
set(LUMORA_PACKAGE_NAME com.qv.lumora)
set(LUMORA_PACKAGE_FILE_NAME ${LUMORA_PACKAGE_NAME}_${PROJECT_VERSION}_${LUMORA_PACKAGE_ARCHITECTURE}.deb)
set(LUMORA_PACKAGE_FILE ${CMAKE_BINARY_DIR}/${LUMORA_PACKAGE_FILE_NAME})
# The package's files at their device paths, staged from the install rules.
set(LUMORA_PACKAGE_ROOT ${CMAKE_BINARY_DIR}/package-root)

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
# its own copies of (lumora_common always), its exports and install path
# (in the package).
function(lumora_module name startup)
  add_library(${name} SHARED ${startup})
  foreach(objects IN LISTS ARGN ITEMS lumora_common)
    target_sources(${name} PRIVATE $<TARGET_OBJECTS:${objects}>)
    target_link_libraries(${name} PRIVATE ${objects})
  endforeach()
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".dylib")
  lumora_device_code(${name})
  lumora_exports(${name} ${CMAKE_CURRENT_SOURCE_DIR}/exports.map)
  install(TARGETS ${name} LIBRARY DESTINATION ${LUMORA_MODULE_FOLDER} PERMISSIONS ${LUMORA_EXECUTABLE_PERMISSIONS} COMPONENT lumora)
endfunction()
