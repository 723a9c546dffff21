first
#include "x.inc"