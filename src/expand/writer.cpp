#include "expand/writer.h"

#include "expand/fatal.h"
#include "expand/reader.h"

#include <cstring>

[[noreturn]] static void
fail_writing()
{
    fatal("error writing output file\n");
}

void
ready_text_output(text_output *out, output_kind kind, char *buf,
                  std::size_t cap)
{
    *out = {};
    out->kind = kind;
    out->compared = no_input_file;
    out->buf = buf;
    out->cap = cap;
    out->ends_line = 1;
}

[[noreturn]] static void
fail_comparing(const text_output *out)
{
    fatal("error reading output file %s\n", out->file_name);
}

void
open_text_output(text_output *out, const char *file_name)
{
    out->file_name = file_name;
    switch (out->kind) {
    case output_kind::file:
        if (!open_output_file(file_name, &out->file, &out->identity))
            fatal("error opening output file\n");
        (void)std::setvbuf(out->file.stream, out->buf, _IOFBF, out->cap);
        return;
    case output_kind::sink:
        if (!identify_file_name(file_name, &out->identity))
            out->identity = {};
        return;
    case output_kind::comparison:
        out->compared = open_input_file(file_name, &out->identity);
        if (out->compared == no_input_file)
            fail_comparing(out);
        return;
    }
}

void
start_text_output(text_output *out)
{
    if (out->kind == output_kind::file &&
        !empty_output_file(&out->file, &out->identity))
        fatal("error opening output file\n");
}

void
keep_old_text_output(text_output *out)
{
    if (out->kind == output_kind::file)
        keep_old_output(&out->file);
}

// Answers whether bytes of the compared file are at hand, reading more when
// none are; 0 at its end.
static int
refill_comparison(text_output *out)
{
    if (out->compared_at < out->compared_end)
        return 1;
    std::size_t got = read_file(out->compared, out->buf, out->cap);
    if (got == read_failed)
        fail_comparing(out);
    out->compared_at = 0;
    out->compared_end = got;
    return got != 0;
}

static void
compare_with_file(text_output *out, const char *text, std::size_t n)
{
    out->n_line_feeds += count_line_feeds(text, n);
    while (n != 0 && !out->differs) {
        if (!refill_comparison(out)) {
            out->differs = 1;
            return;
        }
        std::size_t at_hand = out->compared_end - out->compared_at;
        std::size_t length = n < at_hand ? n : at_hand;
        out->differs =
            std::memcmp(text, out->buf + out->compared_at, length) != 0;
        out->compared_at += length;
        text += length;
        n -= length;
    }
}

void
close_text_output(text_output *out)
{
    switch (out->kind) {
    case output_kind::file:
        if (!close_output_file(&out->file))
            fail_writing();
        return;
    case output_kind::sink:
        return;
    case output_kind::comparison:
        // The file may go on past what the run wrote.
        if (!out->differs && refill_comparison(out))
            out->differs = 1;
        close_input_file(out->compared);
        return;
    }
}

static void
write_to_file(text_output *out, const char *text, std::size_t n)
{
    // A run as large as the buffer goes out from where it lies: the stream
    // would copy part of it into its buffer first.
    if (n >= out->cap) {
        if (std::fflush(out->file.stream) != 0 ||
            write_file(&out->file, text, n) != n)
            fail_writing();
        return;
    }
    if (std::fwrite(text, 1, n, out->file.stream) != n)
        fail_writing();
}

void
write_output(text_output *out, const char *text, std::size_t n)
{
    if (n == 0)
        return;
    out->ends_line = text[n - 1] == '\n';
    switch (out->kind) {
    case output_kind::file:
        write_to_file(out, text, n);
        return;
    case output_kind::sink:
        return;
    case output_kind::comparison:
        compare_with_file(out, text, n);
        return;
    }
}

void
end_output_line(text_output *out)
{
    if (!out->ends_line)
        write_output(out, "\n", 1);
}

void
write_repeat_note(text_output *out, const char *name)
{
    static const char before[] = "\n; multiple include of file ";
    static const char after[] = " suppressed\n";
    write_output(out, before, sizeof before - 1);
    write_output(out, name, std::strlen(name));
    write_output(out, after, sizeof after - 1);
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

std::uint64_t
next_output_line(const text_output *out)
{
    return out->n_line_feeds + (out->ends_line ? 1 : 2);
}
