#include "x.inc"
mid
#include "x.inc"
end
