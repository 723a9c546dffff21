; main
#include "defs.inc"
end
