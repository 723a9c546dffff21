before
#include "out.asm"
after
