# What the Windows cross builds share: Debian's MinGW-w64 compilers for the
# processor a file beside this one names, the -posix flavour, whose C++
# runtime links statically with its threads; Wine runs the tests. That file
# sets CMAKE_SYSTEM_PROCESSOR, then includes this one.
set(CMAKE_SYSTEM_NAME Windows)
set(textweld_triplet ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${textweld_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${textweld_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${textweld_triplet}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${textweld_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
