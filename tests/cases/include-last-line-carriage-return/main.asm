a
#include "x.inc"
b
