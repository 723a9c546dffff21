m1
#include "a.inc"
m3
#include "a.inc"
#include "e.inc"
m6