before
#include ""
after
