before
#include "sub"
after
