# Debian's cross compiler for s390x; the tests run under qemu-user.
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(textweld_triplet s390x-linux-gnu)
set(textweld_qemu qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
