m
#include "a.inc"
after
