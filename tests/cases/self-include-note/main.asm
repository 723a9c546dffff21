#include "a.inc"
