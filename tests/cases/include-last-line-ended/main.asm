#include "x.inc"
next
