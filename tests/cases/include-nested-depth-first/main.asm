m1
#include "a.inc"
m2
#include "b.inc"
m3
