#include "a.inc"
end
