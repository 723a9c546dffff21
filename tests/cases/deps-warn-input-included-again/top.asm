#ifndef T
#define T
  #include "x"
#include "b.asm"
#endif
