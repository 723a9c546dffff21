#include "expand/fatal.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

void
fatal(const char *format, ...)
{
    std::va_list args;
    va_start(args, format);
    (void)std::vprintf(format, args);
    va_end(args);
    std::exit(1);
}
