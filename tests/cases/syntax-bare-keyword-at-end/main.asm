before
#include