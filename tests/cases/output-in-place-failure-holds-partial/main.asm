before
#include "a.inc"
after
