#include "report/report.h"

#include "expand/fatal.h"
#include "expand/reader.h"

#include <cstring>

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

[[noreturn]] static void
fail_comparing(const output_comparison *compared)
{
    fatal("error reading output file %s\n", compared->file_name);
}

static void
open_comparison(void *comparison, const char *name, file_identity *identity)
{
    output_comparison *compared = static_cast<output_comparison *>(comparison);
    compared->file_name = name;
    compared->file = open_input_file(name, identity);
    if (compared->file == no_input_file)
        fail_comparing(compared);
}

// Answers whether bytes of the compared file are at hand, reading more when
// none are; 0 at its end.
static int
refill_comparison(output_comparison *compared)
{
    if (compared->at < compared->end)
        return 1;
    std::size_t got =
        read_file_once(compared->file, compared->buf, compared->cap);
    if (got == read_failed)
        fail_comparing(compared);
    compared->at = 0;
    compared->end = got;
    return got != 0;
}

static void
compare_text(void *comparison, const char *text, std::size_t n)
{
    output_comparison *compared = static_cast<output_comparison *>(comparison);
    compared->n_line_feeds += count_line_feeds(text, n);
    compared->ends_line = text[n - 1] == '\n';
    while (n != 0 && !compared->differs) {
        if (!refill_comparison(compared)) {
            compared->differs = 1;
            return;
        }
        std::size_t at_hand = compared->end - compared->at;
        std::size_t length = n < at_hand ? n : at_hand;
        compared->differs =
            std::memcmp(text, compared->buf + compared->at, length) != 0;
        compared->at += length;
        text += length;
        n -= length;
    }
}

// The output file is only read: a run refused for reading it leaves it so.
static void
keep_compared(void *)
{
}

void
start_comparison(output_comparison *compared, char *buf, std::size_t cap,
                 text_sink *sink)
{
    *compared = {};
    compared->file = no_input_file;
    compared->buf = buf;
    compared->cap = cap;
    compared->ends_line = 1;
    *sink = {open_comparison, compare_text, keep_compared, compared};
}

std::uint64_t
next_output_line(const output_comparison *compared)
{
    return compared->n_line_feeds + (compared->ends_line ? 1 : 2);
}

void
end_comparison(output_comparison *compared)
{
    // The file may go on past what the run wrote.
    if (!compared->differs && refill_comparison(compared))
        compared->differs = 1;
    (void)close_file(compared->file);
}
