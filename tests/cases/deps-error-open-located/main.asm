start
#include "lib/uart.inc"
