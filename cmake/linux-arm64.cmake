# Debian's cross compiler for arm64; the tests run under qemu-user.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(textweld_triplet aarch64-linux-gnu)
set(textweld_qemu qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
