a
#include "x.inc"
#include "out.asm"
