#include "expand/reader.h"

#include "expand/fatal.h"
#include "expand/reader_testing.h"

#include <cstring>

// Only one file reads at a time, so every file reads into this one window,
// from where the files it is nested in leave off. While a nested file
// reads, each enclosing file keeps its unread bytes below it: a pipe always,
// at most one read of its own; regular files only while what all of them
// keep stays within kept_bytes_budget, else they read those bytes again.
// The window therefore holds the largest read and everything kept by the
// deepest nesting.
constexpr std::size_t window_size =
    file_read_size + kept_bytes_budget + max_open_inputs * stream_read_size;

static_assert(piece_size < stream_read_size, "a whole piece fits any input");
static_assert(stream_read_size <= file_read_size, "a file reads the most");

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

// Reads the open file, whose identity is known, from its start.
static void
begin_text_input(text_input *in, input_file file, const file_identity *identity,
                 const char *file_name, int counts_lines)
{
    in->file = file;
    in->file_name = file_name;
    in->identity = *identity;
    in->buf = window + window_used;
    in->cap = in->identity.is_regular ? file_read_size : stream_read_size;
    in->begin = 0;
    in->end = 0;
    in->offset = 0;
    in->read_size = in->cap;
    in->line = 1;
    in->at_eof = 0;
    in->at_line_start = 1;
    in->counts_lines = counts_lines;
}

void
open_text_input(text_input *in, const char *file_name, int counts_lines)
{
    file_identity identity;
    input_file file = open_input_file(file_name, &identity);
    // A directory is refused before any byte is read, with the message that
    // reading it gives.
    if (file == no_input_file && identity.is_directory)
        fail_reading(file_name);
    if (file == no_input_file)
        fatal("error opening input file %s\n", file_name);
    keep_messages_out_of(&identity);
    begin_text_input(in, file, &identity, file_name, counts_lines);
}

void
start_text_input(text_input *in, input_file file, const char *file_name,
                 int counts_lines)
{
    file_identity identity;
    if (!identify_input_file(file, &identity))
        identity = {};
    begin_text_input(in, file, &identity, file_name, counts_lines);
}

void
close_text_input(text_input *in)
{
    (void)close_file(in->file);
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

// A pipe or a device is read until it gives what is wanted or ends.
static std::size_t
read_stream(text_input *in, std::size_t wanted)
{
    std::size_t got = 0;
    for (std::size_t n = 1; got < wanted && n != 0; got += n) {
        n = read_file_once(in->file, in->buf + in->end + got, wanted - got);
        if (n == read_failed)
            fail_reading(in->file_name);
    }
    in->offset += got;
    in->at_eof = got < wanted;
    return got;
}

// Keeps the unread bytes and reads more behind them; answers 0 once no
// unread byte is left. Ends the run on a read error.
static int
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
next_line_piece(text_input *in, const char **piece)
{
    for (;;) {
        std::size_t n = measure_line_piece(in->buf + in->begin,
                                           in->end - in->begin, in->at_eof);
        if (n != 0 || !refill_text_input(in)) {
            *piece = in->buf + in->begin;
            return n;
        }
    }
}

// Answers whether the byte at buf[at], at hand, starts a line.
static int
starts_line(const text_input *in, std::size_t at)
{
    return at == in->begin ? in->at_line_start : in->buf[at - 1] == '\n';
}

std::size_t
next_text_run(text_input *in, const char **text)
{
    if (in->begin == in->end)
        (void)refill_text_input(in);
    *text = in->buf + in->begin;
    std::size_t at = in->begin;
    for (;;) {
        const void *hash = std::memchr(in->buf + at, '#', in->end - at);
        if (hash == nullptr)
            return in->end - in->begin;
        at =
            static_cast<std::size_t>(static_cast<const char *>(hash) - in->buf);
        if (starts_line(in, at))
            return at - in->begin;
        ++at;
    }
}

std::uint64_t
count_line_feeds(const char *text, std::size_t n)
{
    // memchr runs several times faster than a loop over every byte.
    std::uint64_t n_line_feeds = 0;
    const char *end = text + n;
    for (const void *line_feed;
         (line_feed = std::memchr(
              text, '\n', static_cast<std::size_t>(end - text))) != nullptr;
         text = static_cast<const char *>(line_feed) + 1)
        ++n_line_feeds;
    return n_line_feeds;
}

void
consume_text(text_input *in, std::size_t n)
{
    if (n == 0)
        return;
    if (in->counts_lines)
        in->line += count_line_feeds(in->buf + in->begin, n);
    in->begin += n;
    in->at_line_start = in->buf[in->begin - 1] == '\n';
}

void
skip_line(text_input *in, std::size_t n)
{
    const char *piece;
    for (; n != 0; n = next_line_piece(in, &piece)) {
        consume_text(in, n);
        if (in->at_line_start)
            return;
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
