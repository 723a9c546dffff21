start:
#include "a.inc"
    rjmp start
