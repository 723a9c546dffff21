#include "expand/expand.h"

#include "expand/fatal.h"
#include "expand/registry.h"

#include <cstring>

static_assert(name_size <= slot_size, "a registry slot holds any name");
static_assert(piece_size < input_size, "a whole piece fits the input");

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
    std::size_t i = keyword_length + 1;
    while (i < n && piece[i] != '"')
        ++i;
    if (i >= n)
        fatal("incorrect syntax in #include directive\n");
    ++i;
    std::size_t length = 0;
    while (i < n && piece[i] != '"' && length + 1 < name_cap)
        name[length++] = piece[i++];
    if (i >= n || piece[i] != '"')
        fatal("incorrect syntax in #include directive\n");
    name[length] = '\0';
    return 1;
}

void
refuse_output_file(const char *name, const struct stat *output)
{
    struct stat named;
    if (!S_ISREG(output->st_mode) || stat(name, &named) != 0)
        return;
    if (named.st_dev == output->st_dev && named.st_ino == output->st_ino)
        fatal("input file %s is the output file\n", name);
}

void
open_text_input(text_input *in, const char *file_name)
{
    in->stream = std::fopen(file_name, "r");
    if (in->stream == nullptr)
        fatal("error opening input file %s\n", file_name);
    // Reads land straight in buf; a stream buffer would only copy them twice.
    (void)std::setvbuf(in->stream, nullptr, _IONBF, 0);
    in->file_name = file_name;
    in->begin = 0;
    in->end = 0;
    in->at_eof = 0;
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

int
refill_text_input(text_input *in)
{
    std::size_t kept = in->end - in->begin;
    std::memmove(in->buf, in->buf + in->begin, kept);
    in->begin = 0;
    in->end = kept;
    if (!in->at_eof) {
        std::size_t room = sizeof in->buf - kept;
        in->end += std::fread(in->buf + kept, 1, room, in->stream);
        // fread stops short only at end of file or on an error.
        if (in->end < sizeof in->buf) {
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

// Replaces the line whose first piece, of n bytes, is a directive.
static void
expand_directive(text_input *in, std::size_t n, std::FILE *out)
{
    char name[name_size];
    if (!get_include_file_name(in->buf + in->begin, n, name, sizeof name))
        return;
    skip_line(in, n);
    if (lookfor_include_file(name) == 0) {
        expand_include_directives(name, out);
        return;
    }
    (void)std::fprintf(out, "\n; multiple include of file %s suppressed\n",
                       name);
    if (std::ferror(out))
        fatal("error writing output file\n");
}

// Copies ordinary text in runs as long as the buffer allows; only the first
// piece of a line is shown to the recogniser.
static void
expand_text(text_input *in, std::FILE *out)
{
    std::size_t run = in->begin;
    int at_line_start = 1;
    for (;;) {
        const char *piece = in->buf + in->begin;
        std::size_t n =
            measure_line_piece(piece, in->end - in->begin, in->at_eof);
        if (n == 0) {
            write_output(in->buf + run, in->begin - run, out);
            if (!refill_text_input(in))
                return;
            run = in->begin;
        } else if (at_line_start && begins_with_keyword(piece, n)) {
            // Write what came first: a malformed directive ends the run.
            write_output(in->buf + run, in->begin - run, out);
            expand_directive(in, n, out);
            run = in->begin;
        } else {
            at_line_start = piece[n - 1] == '\n';
            in->begin += n;
        }
    }
}

void
expand_include_directives(const char *file_name, std::FILE *out)
{
    struct stat output;
    if (fstat(fileno(out), &output) == 0)
        refuse_output_file(file_name, &output);
    text_input in;
    open_text_input(&in, file_name);
    expand_text(&in, out);
    (void)std::fclose(in.stream);
}
