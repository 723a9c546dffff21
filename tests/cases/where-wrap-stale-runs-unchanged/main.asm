start:
#include "io.inc"
    bad one
