#include "x.inc"
