#include "expand/expand.h"

#include "expand/fatal.h"
#include "expand/registry.h"

#include <cstring>

static_assert(piece_size < name_size, "a name fits its buffer");
static_assert(name_size <= slot_size, "a registry slot holds any name");

static int
begins_with_keyword(const char *piece, std::size_t n)
{
    return n >= include_keyword_length &&
           std::memcmp(piece, include_keyword, include_keyword_length) == 0;
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
    std::size_t open = include_keyword_length + 1;
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

// Takes in the piece of n bytes at hand if it is a directive, storing the
// name of the file to expand in file_name, or nullptr once the note for a
// repeat is written; answers whether it was one. Kept out of line, so that
// its name buffer is off the stack while the file is expanded: 1024 levels
// must stay small.
[[gnu::noinline]] static int
take_directive(text_input *in, const char *piece, std::size_t n,
               text_output *out, const char **file_name)
{
    char name[name_size];
    if (!get_include_file_name(piece, n, name, sizeof name))
        return 0;
    skip_line(in, n);
    *file_name = nullptr;
    if (lookfor_include_file(name) == 1)
        write_repeat_note(out, name);
    else
        *file_name = last_include_file();
    return 1;
}

// Answers whether the piece of n bytes at hand is a directive; if it is,
// replaces its line.
static int
expand_directive(text_input *in, const char *piece, std::size_t n,
                 text_output *out)
{
    const char *name;
    if (!take_directive(in, piece, n, out, &name))
        return 0;
    if (name != nullptr) {
        lend_window(in);
        expand_include_directives(name, out);
        // End the included file's last line, so that it never runs into
        // the line after the directive.
        end_output_line(out);
    }
    return 1;
}

static void
copy_text(text_input *in, const char *text, std::size_t n, text_output *out)
{
    write_output(out, text, n);
    consume_text(in, n);
}

// Copies text in runs as long as the window allows; only the first piece of
// a line that starts with '#' is shown to the recogniser.
void
expand_text_input(text_input *in, text_output *out)
{
    for (;;) {
        const char *text;
        std::size_t n = next_text_run(in, &text);
        if (n != 0) {
            copy_text(in, text, n, out);
            continue;
        }
        n = next_line_piece(in, &text);
        if (n == 0)
            return;
        if (!expand_directive(in, text, n, out))
            copy_text(in, text, n, out);
    }
}

void
open_top_level_input(text_input *in, const char *input_name,
                     const char *output_name)
{
    open_text_input(in, input_name);
    refuse_output_over_input(input_name, &in->identity, output_name);
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
