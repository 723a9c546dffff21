before
#include"x.inc"
after
