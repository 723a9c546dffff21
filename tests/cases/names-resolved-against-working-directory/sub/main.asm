#include "b.inc"
