#ifndef TEXTWELD_EXPAND_EXPAND_H
#define TEXTWELD_EXPAND_EXPAND_H

#include "expand/reader.h"
#include "expand/writer.h"

#include <cstddef>
#include <cstdint>

// What a directive begins with, in the first column.
constexpr char include_keyword[] = "#include";
constexpr std::size_t include_keyword_length = sizeof include_keyword - 1;

// Room for an include name and its terminator; a name is shorter than the
// line piece that holds it.
constexpr std::size_t name_size = 1024;
// Descriptors a full chain of nested files needs: every input, the output
// and the standard streams; and as many again for descriptors a caller
// left open, which take the lowest numbers.
constexpr std::size_t max_open_files = 2 * (max_open_inputs + 1 + 3);

// What a run does at a directive, in this order: it begins acting on it;
// it takes in the file named, whose expansion follows, or notes a repeat,
// whose note follows; it has written all that replaces the directive.
enum class run_event_kind {
    directive_begins,
    file_taken_in,
    repeat_noted,
    directive_ends
};

// One thing a run does: the file that holds the directive, as the command
// line or a directive wrote its name, which lasts as long as the run; the
// directive's line there; and the name it gives, which lasts as long as the
// run when its file is taken in, only during the report when it is a
// repeat, and is nullptr while the directive begins and when it ends.
struct run_event {
    run_event_kind kind;
    const char *file_name;
    std::uint64_t line;
    const char *name;
};

// Who is told what a run does: report is called with context for each
// event, as it happens.
struct run_watcher {
    void (*report)(void *context, const run_event *event);
    void *context;
};

// Expands input_name into sink, as textweld does: opens the input, then
// the output for output_name, refuses an output that is the input, and
// expands the input depth first, telling watcher (nullptr: nobody). Ends
// the run on any failure; a run refused because it reads the output has
// the sink drop it first.
void run_expansion(const char *input_name, const char *output_name,
                   const text_sink *sink, const run_watcher *watcher);

// Expands the named file into out, telling watcher, as above; returns once
// all of it is written, and ends the run on any failure.
void expand_include_directives(const char *file_name, run_output *out,
                               const run_watcher *watcher);

// Answers whether the n-byte piece is an include directive, storing its name
// terminated in name; ends the run on a malformed directive.
int get_include_file_name(const char *piece, std::size_t n, char *name,
                          std::size_t name_cap);

#endif
