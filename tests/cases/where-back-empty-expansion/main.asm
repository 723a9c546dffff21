top
#include "empty.inc"
end
