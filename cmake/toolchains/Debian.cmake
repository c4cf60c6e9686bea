# What the device toolchains share: a Debian cross compiler for
# LUMORA_TRIPLET (gcc, or clang when CC/CXX name clang), the libraries of
# that architecture from multiarch, and qemu-user to run what is built.
# No binfmt registration is needed: CTest starts each test through the
# emulator, and the Camera starts its own children through it.
set(CMAKE_SYSTEM_NAME Linux)

if("$ENV{CXX}" MATCHES "clang")
  set(CMAKE_C_COMPILER clang)
  set(CMAKE_CXX_COMPILER clang++)
  set(CMAKE_C_COMPILER_TARGET ${LUMORA_TRIPLET})
  set(CMAKE_CXX_COMPILER_TARGET ${LUMORA_TRIPLET})
else()
  set(CMAKE_C_COMPILER ${LUMORA_TRIPLET}-gcc)
  set(CMAKE_CXX_COMPILER ${LUMORA_TRIPLET}-g++)
endif()

find_program(LUMORA_EMULATOR_PATH ${LUMORA_EMULATOR} REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${LUMORA_EMULATOR_PATH})

# Libraries and pkg-config files of the target architecture only; programs
# (python3, dpkg-deb, nm) from the build machine.
set(CMAKE_LIBRARY_ARCHITECTURE ${LUMORA_TRIPLET})
set(PKG_CONFIG_EXECUTABLE ${LUMORA_TRIPLET}-pkg-config CACHE FILEPATH "pkg-config for the target")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
