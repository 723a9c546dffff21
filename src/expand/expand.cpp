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

[[noreturn]] static void
fail_as_output(const char *name)
{
    fatal("input file %s is the output file\n", name);
}

// Ends the run if the input just opened is the output's file, which the
// sink leaves as it was.
static void
refuse_output_as_input(const text_input *in, run_output *out)
{
    if (!is_same_regular_file(&in->identity, &out->identity))
        return;
    drop_output(out);
    fail_as_output(in->file_name);
}

static void
report(const run_watcher *watcher, run_event_kind kind, const text_input *in,
       std::uint64_t line, const char *name)
{
    if (watcher == nullptr)
        return;
    const run_event event = {kind, in->file_name, line, name};
    watcher->report(watcher->context, &event);
}

// What a piece at a line start that begins with '#' turns out to be: text,
// a repeated directive, whose note is written, or a directive naming a new
// file, with the registry's copy of its name.
struct directive {
    enum { text, repeat, new_file } kind;
    const char *file_name;
};

// Takes in the piece of n bytes at hand, on line, if it is a directive.
// Kept out of line, so that its name buffer is off the stack while the file
// is expanded: 1024 levels must stay small.
[[gnu::noinline]] static directive
take_directive(text_input *in, const char *piece, std::size_t n,
               std::uint64_t line, run_output *out, const run_watcher *watcher)
{
    if (!begins_with_keyword(piece, n))
        return {directive::text, nullptr};
    report(watcher, run_event_kind::directive_begins, in, line, nullptr);
    char name[name_size];
    (void)get_include_file_name(piece, n, name, sizeof name);
    skip_line(in, n);
    if (lookfor_include_file(name) == 0) {
        const char *file_name = last_include_file();
        report(watcher, run_event_kind::file_taken_in, in, line, file_name);
        return {directive::new_file, file_name};
    }
    report(watcher, run_event_kind::repeat_noted, in, line, name);
    write_repeat_note(out, name);
    return {directive::repeat, nullptr};
}

// Answers whether the piece of n bytes at hand is a directive; if it is,
// replaces its line.
static int
expand_directive(text_input *in, const char *piece, std::size_t n,
                 run_output *out, const run_watcher *watcher)
{
    const std::uint64_t line = in->line;
    directive taken = take_directive(in, piece, n, line, out, watcher);
    if (taken.kind == directive::text)
        return 0;
    if (taken.kind == directive::new_file) {
        lend_window(in);
        expand_include_directives(taken.file_name, out, watcher);
        // End the included file's last line, so that it never runs into
        // the line after the directive.
        end_output_line(out);
    }
    report(watcher, run_event_kind::directive_ends, in, line, nullptr);
    return 1;
}

static void
copy_text(text_input *in, const char *text, std::size_t n, run_output *out)
{
    write_output(out, text, n);
    consume_text(in, n);
}

// Copies text in runs as long as the window allows; only the first piece of
// a line that starts with '#' is shown to the recogniser.
static void
expand_text_input(text_input *in, run_output *out, const run_watcher *watcher)
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
        if (!expand_directive(in, text, n, out, watcher))
            copy_text(in, text, n, out);
    }
}

void
expand_include_directives(const char *file_name, run_output *out,
                          const run_watcher *watcher)
{
    text_input in;
    open_text_input(&in, file_name, watcher != nullptr);
    refuse_output_as_input(&in, out);
    expand_text_input(&in, out, watcher);
    close_text_input(&in);
}

void
run_expansion(const char *input_name, const char *output_name,
              const text_sink *sink, const run_watcher *watcher)
{
    // Open the input first: a run that cannot read it, such as one given
    // its two names swapped, leaves the output's path as it was.
    text_input in;
    open_text_input(&in, input_name, watcher != nullptr);
    // Refuse by name first, so that an output that is the input and cannot
    // be written says so; then by the file opened, which no failing or
    // changing name can hide.
    file_identity named_output;
    if (identify_file_name(output_name, &named_output) &&
        is_same_regular_file(&in.identity, &named_output))
        fail_as_output(input_name);
    run_output out;
    open_run_output(&out, sink, output_name);
    refuse_output_as_input(&in, &out);
    expand_text_input(&in, &out, watcher);
    close_text_input(&in);
}
