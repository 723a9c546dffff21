top
#include "a.inc"
