#include "x.inc"
#include "x.inc"
