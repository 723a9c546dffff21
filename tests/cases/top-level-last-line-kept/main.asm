#include "x.inc"
end