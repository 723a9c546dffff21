#include "top.asm"
