#include "my defs.inc"
#include "a#b.inc"
#include "cost$.inc"
