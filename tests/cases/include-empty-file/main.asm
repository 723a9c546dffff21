a
#include "empty.inc"
b
