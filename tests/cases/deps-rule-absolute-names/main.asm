top
#include "inc/a.inc"
#include "./inc/b c.inc"
