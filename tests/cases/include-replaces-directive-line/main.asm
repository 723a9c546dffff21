start
#include "defs.inc" ; the definitions
end
