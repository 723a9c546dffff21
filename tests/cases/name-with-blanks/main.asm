#include "my defs.inc"
