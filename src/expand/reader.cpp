#include "expand/reader.h"

#include "expand/fatal.h"

#include <cstring>

// A regular file's reads, what enclosing regular files keep, and every
// enclosing pipe's kept bytes.
constexpr std::size_t window_size =
    file_read_size + kept_bytes_budget + max_open_inputs * stream_read_size;

static_assert(piece_size < stream_read_size, "a whole piece fits any input");

// Only one file reads at a time, so every file reads into this one window,
// from where the files it is nested in leave off.
static char window[window_size];
static std::size_t window_used;

static std::size_t
smaller(std::size_t a, std::size_t b)
{
    return a < b ? a : b;
}

[[noreturn]] static void
fail_reading(const char *file_name)
{
    fatal("error reading input file %s\n", file_name);
}

void
open_text_input(text_input *in, const char *file_name)
{
    input_file file = open_input_file(file_name);
    // A directory is refused before any byte is read, with the message that
    // reading it gives, whether or not the platform opens it.
    if (file == no_input_file && is_unopenable_directory(file_name))
        fail_reading(file_name);
    if (file == no_input_file)
        fatal("error opening input file %s\n", file_name);
    start_text_input(in, file, file_name);
    if (in->identity.is_directory)
        fail_reading(file_name);
}

void
start_text_input(text_input *in, input_file file, const char *file_name)
{
    in->file = file;
    in->file_name = file_name;
    if (!identify_input_file(file, &in->identity))
        in->identity = {};
    in->buf = window + window_used;
    in->cap = in->identity.is_regular ? file_read_size : stream_read_size;
    in->begin = 0;
    in->end = 0;
    in->offset = 0;
    in->read_size = in->cap;
    in->at_eof = 0;
}

void
close_text_input(text_input *in)
{
    close_input_file(in->file);
    window_used = static_cast<std::size_t>(in->buf - window);
}

std::size_t
measure_line_piece(const char *text, std::size_t n, int at_eof)
{
    std::size_t limit = smaller(n, piece_size);
    const void *line_feed = std::memchr(text, '\n', limit);
    if (line_feed != nullptr)
        return static_cast<std::size_t>(static_cast<const char *>(line_feed) -
                                        text) +
               1;
    if (limit == piece_size || at_eof)
        return limit;
    return 0;
}

// A regular file is read where it was left, up to the size it had when it
// was opened; a size of 0 may be a file that only tells its size by being
// read, so it is read until a read comes back short.
static std::size_t
read_regular_file(text_input *in, std::size_t wanted)
{
    std::uint64_t size = in->identity.size;
    if (size > in->offset && size - in->offset < wanted)
        wanted = static_cast<std::size_t>(size - in->offset);
    std::size_t got =
        read_file_at(in->file, in->offset, in->buf + in->end, wanted);
    if (got == read_failed)
        fail_reading(in->file_name);
    in->offset += got;
    in->at_eof = got < wanted || in->offset == size;
    return got;
}

static std::size_t
read_stream(text_input *in, std::size_t wanted)
{
    std::size_t got = read_file(in->file, in->buf + in->end, wanted);
    if (got == read_failed)
        fail_reading(in->file_name);
    in->at_eof = got < wanted;
    return got;
}

int
refill_text_input(text_input *in)
{
    std::size_t kept = in->end - in->begin;
    std::memmove(in->buf, in->buf + in->begin, kept);
    in->begin = 0;
    in->end = kept;
    if (!in->at_eof) {
        std::size_t wanted = smaller(in->read_size, in->cap - kept);
        in->end += in->identity.is_regular ? read_regular_file(in, wanted)
                                           : read_stream(in, wanted);
        in->read_size = smaller(2 * in->read_size, in->cap);
    }
    return in->begin < in->end;
}

std::size_t
next_line_piece(text_input *in)
{
    for (;;) {
        std::size_t n = measure_line_piece(in->buf + in->begin,
                                           in->end - in->begin, in->at_eof);
        if (n != 0 || !refill_text_input(in))
            return n;
    }
}

void
lend_window(text_input *in)
{
    std::size_t base = static_cast<std::size_t>(in->buf - window);
    std::size_t unread = in->end - in->begin;
    if (!in->identity.is_regular || base + unread <= kept_bytes_budget) {
        std::memmove(in->buf, in->buf + in->begin, unread);
    } else {
        in->offset -= unread;
        in->at_eof = in->at_eof && unread == 0;
        // Start small again, so that dense directives are not paid for by
        // reading whole windows again.
        in->read_size = stream_read_size;
        unread = 0;
    }
    in->begin = 0;
    in->end = unread;
    window_used = base + unread;
}
