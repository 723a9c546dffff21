// A fatal error that the fuzz targets catch: the message is dropped and the
// call unwinds to the target, which judges whether it was due.
#include "expand/fatal.h"

#include "fuzz/fatal_error.h"

void
fatal(const char *format, ...)
{
    throw fatal_error{format};
}
