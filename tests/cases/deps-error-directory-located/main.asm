a
#include "sub"
