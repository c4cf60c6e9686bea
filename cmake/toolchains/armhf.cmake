# 32-bit ARM (Debian armhf), the width of every iOS 6 device: Debian's
# cross compiler and its multiarch libraries; tests run under qemu-arm.
set(LUMORA_TRIPLET arm-linux-gnueabihf)
set(LUMORA_EMULATOR qemu-arm)
set(CMAKE_SYSTEM_PROCESSOR arm)
include(${CMAKE_CURRENT_LIST_DIR}/Debian.cmake)
