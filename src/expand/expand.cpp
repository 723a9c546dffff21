#include "expand/expand.h"

#include "expand/fatal.h"
#include "expand/registry.h"

#include <cstring>

static_assert(piece_size < name_size, "a name fits its buffer");
static_assert(name_size <= slot_size, "a registry slot holds any name");

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
refuse_output_over_input(const char *name, const file_identity *input,
                         const char *output_name)
{
    file_identity output;
    if (identify_file_name(output_name, &output))
        refuse_output_as_input(name, input, &output);
}

void
refuse_output_as_input(const char *name, const file_identity *input,
                       const file_identity *output)
{
    if (is_same_regular_file(input, output))
        fatal("input file %s is the output file\n", name);
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

// Takes in the directive whose first piece, of n bytes, is at hand: answers
// the name of the file to expand, or nullptr once the note for a repeat is
// written. Kept out of line, so that its name buffer is off the stack while
// the file is expanded: 1024 levels must stay small.
[[gnu::noinline]] static const char *
take_directive(text_input *in, std::size_t n, text_output *out)
{
    char name[name_size];
    if (!get_include_file_name(in->buf + in->begin, n, name, sizeof name))
        return nullptr;
    skip_line(in, n);
    if (lookfor_include_file(name) == 1) {
        write_repeat_note(out, name);
        return nullptr;
    }
    return last_include_file();
}

// Replaces the line whose first piece, of n bytes, is a directive.
static void
expand_directive(text_input *in, std::size_t n, text_output *out)
{
    const char *name = take_directive(in, n, out);
    if (name == nullptr)
        return;
    lend_window(in);
    expand_include_directives(name, out);
    // End the included file's last line, so that it never runs into the
    // line after the directive.
    if (!out->ends_line)
        write_output(out, "\n", 1);
}

// Answers whether the byte at buf[at] starts a line.
static int
starts_line(const text_input *in, std::size_t at, int at_line_start)
{
    return at == in->begin ? at_line_start : in->buf[at - 1] == '\n';
}

// Copies ordinary text in runs as long as the window allows. A directive
// starts a line with '#', so only those bytes are looked at closely, and
// only the first piece of such a line is shown to the recogniser.
void
expand_text_input(text_input *in, text_output *out)
{
    int at_line_start = 1;
    std::size_t scan = in->begin;
    for (;;) {
        const char *hash = static_cast<const char *>(
            std::memchr(in->buf + scan, '#', in->end - scan));
        if (hash == nullptr) {
            write_output(out, in->buf + in->begin, in->end - in->begin);
            if (in->end > in->begin)
                at_line_start = in->buf[in->end - 1] == '\n';
            in->begin = in->end;
            if (!refill_text_input(in))
                return;
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
        write_output(out, in->buf + in->begin, at - in->begin);
        in->begin = at;
        at_line_start = 1;
        if (n == 0)
            (void)refill_text_input(in);
        else
            expand_directive(in, n, out);
        scan = in->begin;
    }
}

void
expand_include_directives(const char *file_name, text_output *out)
{
    text_input in;
    open_text_input(&in, file_name);
    refuse_output_as_input(file_name, &in.identity, &out->identity);
    expand_text_input(&in, out);
    close_text_input(&in);
}
