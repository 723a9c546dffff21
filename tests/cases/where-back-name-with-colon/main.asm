top
#include "a:b.inc"
