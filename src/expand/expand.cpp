#include "expand/expand.h"

#include "expand/fatal.h"
#include "expand/registry.h"

#include <cstring>

static_assert(name_size <= slot_size, "a registry slot holds any name");
static_assert(piece_size < input_size, "a whole piece fits the input");

// Only one level reads at a time, so every regular file is read through this
// one window; release_window hands it on to a nested level.
static char shared_window[window_size];

static const char keyword[] = "#include";
static constexpr std::size_t keyword_length = sizeof keyword - 1;

static int
begins_with_keyword(const char *piece, std::size_t n)
{
    return n >= keyword_length &&
           std::memcmp(piece, keyword, keyword_length) == 0;
}

int
get_include_file_name(const char *piece, std::size_t n, char *name,
                      std::size_t name_cap)
{
    if (!begins_with_keyword(piece, n))
        return 0;
    // The piece is judged up to its first NUL byte.
    const char *nul = static_cast<const char *>(std::memchr(piece, '\0', n));
    if (nul != nullptr)
        n = static_cast<std::size_t>(nul - piece);
    // The byte after the keyword is skipped unexamined.
    std::size_t open = keyword_length + 1;
    while (open < n && piece[open] != '"')
        ++open;
    std::size_t close = open + 1;
    while (close < n && piece[close] != '"')
        ++close;
    if (close >= n || close - open - 1 >= name_cap)
        fatal("incorrect syntax in #include directive\n");
    std::size_t length = close - open - 1;
    std::memcpy(name, piece + open + 1, length);
    name[length] = '\0';
    return 1;
}

void
refuse_output_file(const char *name, const struct stat *input,
                   const struct stat *output)
{
    if (S_ISREG(output->st_mode) && input->st_dev == output->st_dev &&
        input->st_ino == output->st_ino)
        fatal("input file %s is the output file\n", name);
}

// Opens the named file for reading, or ends the run.
static void
open_text_input(text_input *in, const char *file_name)
{
    std::FILE *stream = std::fopen(file_name, "r");
    if (stream == nullptr)
        fatal("error opening input file %s\n", file_name);
    start_text_input(in, stream, file_name);
}

// Points the input at the window it reads into: the shared one for a
// regular file, which can be read again, its own buffer for anything else.
static void
choose_window(text_input *in)
{
    if (S_ISREG(in->status.st_mode)) {
        in->buf = shared_window;
        in->size = sizeof shared_window;
    } else {
        in->buf = in->own;
        in->size = sizeof in->own;
    }
}

void
start_text_input(text_input *in, std::FILE *stream, const char *file_name)
{
    // Reads land straight in buf; a stream buffer would only copy them twice.
    (void)std::setvbuf(stream, nullptr, _IONBF, 0);
    in->stream = stream;
    in->file_name = file_name;
    int fd = fileno(stream);
    if (fd < 0 || fstat(fd, &in->status) != 0)
        in->status = {};
    choose_window(in);
    in->begin = 0;
    in->end = 0;
    in->read_size = in->size;
    in->at_eof = 0;
}

// Hands the shared window on to a nested level. The bytes not yet used move
// to the input's own buffer when they fit, and are otherwise left in the file
// to be read again when this level resumes.
static void
release_window(text_input *in)
{
    if (in->buf != shared_window)
        return;
    std::size_t unread = in->end - in->begin;
    if (unread <= sizeof in->own) {
        std::memcpy(in->own, in->buf + in->begin, unread);
        in->buf = in->own;
        in->size = sizeof in->own;
    } else {
        long back = static_cast<long>(unread);
        if (std::fseek(in->stream, -back, SEEK_CUR) != 0)
            fatal("error reading input file %s\n", in->file_name);
        // Start small again, so that dense directives are not paid for by
        // reading whole windows again.
        in->read_size = input_size;
        in->at_eof = 0;
        unread = 0;
    }
    in->begin = 0;
    in->end = unread;
}

std::size_t
measure_line_piece(const char *text, std::size_t n, int at_eof)
{
    std::size_t limit = n < piece_size ? n : piece_size;
    const void *line_feed = std::memchr(text, '\n', limit);
    if (line_feed != nullptr)
        return static_cast<std::size_t>(static_cast<const char *>(line_feed) -
                                        text) +
               1;
    if (limit == piece_size || at_eof)
        return limit;
    return 0;
}

// Keeps the unread bytes and reads more behind them, ending the run on a read
// error; returns 0 once no unread byte is left.
static int
refill_text_input(text_input *in)
{
    std::size_t kept = in->end - in->begin;
    const char *unread = in->buf + in->begin;
    choose_window(in);
    std::memmove(in->buf, unread, kept);
    in->begin = 0;
    in->end = kept;
    if (!in->at_eof) {
        std::size_t room = in->size - kept;
        std::size_t wanted = in->read_size < room ? in->read_size : room;
        std::size_t got = std::fread(in->buf + kept, 1, wanted, in->stream);
        in->end += got;
        in->read_size =
            2 * in->read_size < in->size ? 2 * in->read_size : in->size;
        // fread stops short only at end of file or on an error.
        if (got < wanted) {
            if (std::ferror(in->stream))
                fatal("error reading input file %s\n", in->file_name);
            in->at_eof = 1;
        }
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

static void
write_output(const char *text, std::size_t n, std::FILE *out)
{
    if (n == 0)
        return;
    (void)std::fwrite(text, 1, n, out);
    if (std::ferror(out))
        fatal("error writing output file\n");
}

// Consumes the rest of a line whose first piece, of n bytes, is at hand.
static void
skip_line(text_input *in, std::size_t n)
{
    for (;;) {
        in->begin += n;
        if (in->buf[in->begin - 1] == '\n')
            return;
        n = next_line_piece(in);
        if (n == 0)
            return;
    }
}

static int expand_file(const char *file_name, std::FILE *out);

// Replaces the line whose first piece, of n bytes, is a directive.
static void
expand_directive(text_input *in, std::size_t n, std::FILE *out)
{
    char name[name_size];
    if (!get_include_file_name(in->buf + in->begin, n, name, sizeof name))
        return;
    skip_line(in, n);
    if (lookfor_include_file(name) == 0) {
        release_window(in);
        // An included file's last line is ended, so that it never runs
        // into the line that follows the directive.
        if (!expand_file(name, out))
            write_output("\n", 1, out);
        return;
    }
    (void)std::fprintf(out, "\n; multiple include of file %s suppressed\n",
                       name);
    if (std::ferror(out))
        fatal("error writing output file\n");
}

// Answers whether the byte at buf[at] starts a line.
static int
starts_line(const text_input *in, std::size_t at, int at_line_start)
{
    return at == in->begin ? at_line_start : in->buf[at - 1] == '\n';
}

// Copies ordinary text in runs as long as the window allows. A directive
// starts a line with '#', so only those bytes are looked at closely, and
// only the first piece of such a line is shown to the recogniser. Answers
// whether what it wrote ends a line, 1 when it wrote nothing.
static int
expand_text(text_input *in, std::FILE *out)
{
    int at_line_start = 1;
    std::size_t scan = in->begin;
    for (;;) {
        const char *hash = static_cast<const char *>(
            std::memchr(in->buf + scan, '#', in->end - scan));
        if (hash == nullptr) {
            write_output(in->buf + in->begin, in->end - in->begin, out);
            if (in->end > in->begin)
                at_line_start = in->buf[in->end - 1] == '\n';
            in->begin = in->end;
            if (!refill_text_input(in))
                return at_line_start;
            scan = in->begin;
            continue;
        }
        std::size_t at = static_cast<std::size_t>(hash - in->buf);
        std::size_t avail = in->end - at;
        scan = at + 1;
        if (!starts_line(in, at, at_line_start) ||
            (avail >= keyword_length && !begins_with_keyword(hash, avail)))
            continue;
        std::size_t n = measure_line_piece(hash, avail, in->at_eof);
        if (n != 0 && !begins_with_keyword(hash, n))
            continue;
        // Write what came first: a malformed directive ends the run.
        write_output(in->buf + in->begin, at - in->begin, out);
        in->begin = at;
        at_line_start = 1;
        if (n == 0)
            (void)refill_text_input(in);
        else
            expand_directive(in, n, out);
        scan = in->begin;
    }
}

// Expands the named file into out; answers whether what it wrote ends a
// line, 1 when it wrote nothing.
static int
expand_file(const char *file_name, std::FILE *out)
{
    text_input in;
    open_text_input(&in, file_name);
    struct stat output;
    if (fstat(fileno(out), &output) == 0)
        refuse_output_file(file_name, &in.status, &output);
    int ends_line = expand_text(&in, out);
    (void)std::fclose(in.stream);
    return ends_line;
}

void
expand_include_directives(const char *file_name, std::FILE *out)
{
    (void)expand_file(file_name, out);
}
