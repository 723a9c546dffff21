// The fatal error of a whole run in a child process: like the product's, but
// it ends the child without the fuzzer's exit handlers.
#include "expand/fatal.h"

#include <cstdarg>
#include <cstdio>
#include <unistd.h>

void
fatal(const char *format, ...)
{
    std::va_list args;
    va_start(args, format);
    (void)std::vprintf(format, args);
    va_end(args);
    (void)std::fflush(nullptr);
    _exit(1);
}
