start
#include "defs.inc"
end
