#include "sub\b.inc"
#include "sub/b.inc"
#include "sub\b.inc"
