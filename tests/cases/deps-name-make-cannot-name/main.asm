#include "a;b.inc"
