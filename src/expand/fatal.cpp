#include "expand/fatal.h"

#include <cstdio>
#include <cstdlib>

static failure_handler diverted_handler;
static void *diverted_context;
// Where messages are printed: standard output until a file the run reads
// turns out to be standard output's.
static std::FILE *message_stream;

void
divert_failures(failure_handler handler, void *context)
{
    diverted_handler = handler;
    diverted_context = context;
}

void
keep_messages_out_of(const file_identity *input)
{
    // Asked once: standard output stays what it is.
    static int is_asked;
    static file_identity written;
    if (!is_asked && !identify_input_file(standard_output, &written))
        written = {};
    is_asked = 1;
    if (is_same_regular_file(input, &written))
        message_stream = stderr;
}

void
fatal(const char *format, ...)
{
    std::va_list args;
    va_start(args, format);
    if (diverted_handler != nullptr)
        diverted_handler(diverted_context, format, args);
    else
        (void)std::vfprintf(message_stream != nullptr ? message_stream : stdout,
                            format, args);
    va_end(args);
    std::exit(1);
}
