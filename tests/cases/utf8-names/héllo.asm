x
#include "naïve.inc"
#include "naïve.inc"
