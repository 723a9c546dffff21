#include "empty.inc"
first line
