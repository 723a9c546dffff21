# Debian's cross compiler for armhf; the tests run under qemu-user.
set(CMAKE_SYSTEM_PROCESSOR arm)
set(textweld_triplet arm-linux-gnueabihf)
set(textweld_qemu qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
