#ifndef TEXTWELD_WHERE_WHERE_H
#define TEXTWELD_WHERE_WHERE_H

#include "expand/expand.h"
#include "expand/registry.h"
#include "expand/writer.h"
#include "report/report.h"
#include "sys/files.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Stretches of the output the map can hold: a run makes at most two for
// each directive, and one for the input.
constexpr std::size_t max_map_segments = 1 << 20;
// Most bytes of one message line looked at together; a longer line passes
// on in parts, each rewritten on its own.
constexpr std::size_t message_line_size = 64 * 1024;

// Where a stretch of the output comes from: from output line first_line
// on, the lines of file_name from source_line on, one for one; or, for the
// note of a repeat, every line comes from the directive at source_line.
struct map_segment {
    std::uint64_t first_line;
    std::uint64_t source_line;
    const char *file_name;
    int is_note;
};

// A directive that took a file in: the file and line that hold it, the
// name it took in, and the output lines [first_line, end_line) that its
// expansion fills.
struct map_expansion {
    const char *file_name;
    std::uint64_t line;
    const char *name;
    std::uint64_t first_line;
    std::uint64_t end_line;
};

// What textweld-where learns from a run: where it stands, for a failure,
// where each line of the output comes from, and each file taken in.
// is_full tells that a stretch did not fit; identities, once is_identified,
// hold those of the input and of each file taken in, for the way back.
struct line_map {
    run_position at;
    output_comparison *compared;
    const char *input_name;
    int is_full;
    int is_identified;
    file_identity identities[max_include_files + 1];
    std::size_t n_expansions;
    map_expansion expansions[max_include_files];
    std::size_t n_segments;
    map_segment segments[max_map_segments];
};

// Readies the map of the output that compared reads, which starts with the
// first line of input_name.
void start_line_map(line_map *map, const char *input_name,
                    output_comparison *compared);

// Tells the line_map what the run does: a run_watcher's report.
void watch_for_map(void *map, const run_event *event);

// Ends the run, saying why, unless the run wrote the output as it is and
// the map holds all of it.
void refuse_stale_map(line_map *map);

// Answers the number of lines the output holds; a last line without a line
// feed counts.
std::uint64_t count_output_lines(const line_map *map);

// Answers the segment that holds the output line, which must be at least 1
// and at most count_output_lines.
const map_segment *find_segment(const line_map *map, std::uint64_t line);

// Answers the source line that the output line, in segment, comes from.
std::uint64_t source_line_of(const map_segment *segment, std::uint64_t line);

// Answers how many decimal digits stand at text, at most n, storing their
// value, or UINT64_MAX where it does not fit.
std::size_t read_digits(const char *text, std::size_t n, std::uint64_t *value);

// Answers each of the n questions: a line of the output, printed as the
// <file>:<line> it comes from, or a <file>:<line> of a source, printed as
// each <output>:<line> it became; says on standard error why one cannot be
// answered. Answers whether all were.
int answer_questions(line_map *map, char *const *texts, std::size_t n);

// A reference to a line of the output in a message line: where the name
// stands, without its quotes, where the number's digits stand, and the
// line they name.
struct reference {
    std::size_t name_at;
    std::size_t name_end;
    std::size_t number_at;
    std::size_t number_end;
    std::uint64_t line;
};

// A look through n bytes of a message line for references to lines 1 to
// n_lines of the output named name, from at on. boundary tells whether a
// reference may begin at text[at].
struct reference_scan {
    const char *name;
    std::size_t name_length;
    std::uint64_t n_lines;
    const char *text;
    std::size_t n;
    std::size_t at;
    int boundary;
};

// Readies a look through the n bytes of text, at most message_line_size.
void start_reference_scan(reference_scan *scan, const char *name,
                          std::uint64_t n_lines, const char *text,
                          std::size_t n);

// Answers whether another reference follows, storing it.
int next_reference(reference_scan *scan, reference *found);

// Writes the n bytes of a message line to the stream, with each reference
// to a line of output_name rewritten into the file and line it comes from.
void rewrite_line(const line_map *map, const char *output_name, std::FILE *to,
                  const char *text, std::size_t n);

// Copies standard input to standard output, line by line as it arrives,
// with each reference rewritten; ends the run if reading or writing fails.
void filter_messages(const line_map *map, const char *output_name);

// Copies what is left of standard input to standard output, unchanged, as
// far as it can: for a filter that could not make its map.
void pass_messages_on();

// Runs the command, rewriting its standard output and standard error onto
// this program's, line by line as they arrive, as filter_messages does;
// answers its status as a shell tells it, or 127 when it cannot start.
int wrap_command(const line_map *map, const char *output_name,
                 char *const *command);

// Runs the command with this program's streams, for a wrapper that could
// not make its map; answers its status as wrap_command does.
int run_command_unchanged(char *const *command);

#endif
