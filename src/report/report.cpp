#include "report/report.h"

#include "expand/fatal.h"

void
start_run_position(run_position *at, const char *program_name)
{
    at->program_name = program_name;
    at->depth = 0;
}

void
follow_run(run_position *at, const run_event *event)
{
    if (event->kind == run_event_kind::directive_begins &&
        at->depth < max_open_inputs) {
        at->file_name[at->depth] = event->file_name;
        at->line[at->depth] = event->line;
        ++at->depth;
    } else if (event->kind == run_event_kind::directive_ends && at->depth > 0) {
        --at->depth;
    }
}

void
write_failure(void *position, const char *format, std::va_list args)
{
    const run_position *at = static_cast<const run_position *>(position);
    if (at->depth == 0)
        (void)std::fprintf(stderr, "%s: ", at->program_name);
    else
        (void)std::fprintf(
            stderr, "%s:%llu: ", at->file_name[at->depth - 1],
            static_cast<unsigned long long>(at->line[at->depth - 1]));
    (void)std::vfprintf(stderr, format, args);
}

[[noreturn]] static void
fail_writing_stream(const std::FILE *stream)
{
    if (stream == stderr)
        fatal("error writing standard error\n");
    fatal("error writing standard output\n");
}

void
write_standard_stream(std::FILE *stream, const char *text, std::size_t n)
{
    if (std::fwrite(text, 1, n, stream) != n)
        fail_writing_stream(stream);
}

void
write_standard_number(std::FILE *stream, std::uint64_t number,
                      std::size_t width)
{
    // Most digits written: a 64-bit number has at most 20.
    char digits[20];
    std::size_t at = sizeof digits;
    do {
        digits[--at] = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number != 0);
    while (at > 0 && sizeof digits - at < width)
        digits[--at] = '0';
    write_standard_stream(stream, digits + at, sizeof digits - at);
}

void
flush_standard_stream(std::FILE *stream)
{
    if (std::fflush(stream) != 0 || std::ferror(stream))
        fail_writing_stream(stream);
}
