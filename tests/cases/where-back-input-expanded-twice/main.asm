line1
#include "a.inc"
line3
