before
#include
after
