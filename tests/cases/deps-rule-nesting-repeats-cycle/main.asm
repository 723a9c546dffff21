m1
#include "a.inc"
#include "b.inc"
m2
