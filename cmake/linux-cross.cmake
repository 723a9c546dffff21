# What the Linux cross builds share: Debian's cross compiler for the triplet
# a file beside this one names, with its processor and its qemu-user, which
# runs the tests. That file sets textweld_triplet, CMAKE_SYSTEM_PROCESSOR
# and textweld_qemu, then includes this one.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${textweld_triplet}-gcc)
set(CMAKE_CXX_COMPILER ${textweld_triplet}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${textweld_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The cross glibc throughout: a multiarch one of another build, installed
# for dpkg-shlibdeps, would be found first and not fit its loader.
set(CMAKE_CROSSCOMPILING_EMULATOR ${textweld_qemu} -L /usr/${textweld_triplet}
  -E LD_LIBRARY_PATH=/usr/${textweld_triplet}/lib)
