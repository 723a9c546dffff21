a
#include "/dev/null"
b
