# 64-bit ARM (Debian arm64), the width of the iPhone 5s and later: Debian's
# cross compiler and its multiarch libraries; tests run under qemu-aarch64.
set(LUMORA_TRIPLET aarch64-linux-gnu)
set(LUMORA_EMULATOR qemu-aarch64)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/Debian.cmake)
