before
#include "./link.asm"
after
