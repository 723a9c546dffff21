.nolist
#include "platform.inc"
.list
    call bdos
