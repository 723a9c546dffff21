#include "expand/fatal.h"

#include <cstdio>
#include <cstdlib>

static failure_handler diverted_handler;
static void *diverted_context;

void
divert_failures(failure_handler handler, void *context)
{
    diverted_handler = handler;
    diverted_context = context;
}

void
fatal(const char *format, ...)
{
    std::va_list args;
    va_start(args, format);
    if (diverted_handler != nullptr)
        diverted_handler(diverted_context, format, args);
    else
        (void)std::vprintf(format, args);
    va_end(args);
    std::exit(1);
}
