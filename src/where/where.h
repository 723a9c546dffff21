#ifndef TEXTWELD_WHERE_WHERE_H
#define TEXTWELD_WHERE_WHERE_H

#include "expand/expand.h"
#include "expand/position.h"
#include "expand/writer.h"

#include <cstdarg>
#include <cstddef>
#include <cstdint>

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

// What a failure while the map is made does after its message: nothing
// more, pass the filter's input on unchanged, or run the wrapped command
// with its streams unchanged.
enum class map_failure_step { none, pass_input_on, run_command };

// What textweld-where learns from a run: where it stands, for a failure,
// and where each line of the output comes from. out is the comparison the
// run writes into; is_full tells that a stretch did not fit; command is
// the wrapped command, for a failure's step.
struct line_map {
    run_position at;
    const text_output *out;
    map_failure_step on_failure;
    char *const *command;
    int is_full;
    std::size_t n_segments;
    map_segment segments[max_map_segments];
};

// Readies the map of the output that out compares, which starts with the
// first line of input_name, with what a failure does after its message.
void start_line_map(line_map *map, const char *input_name,
                    const text_output *out, map_failure_step on_failure,
                    char *const *command);

// Reports a failure as textweld-deps does, then takes the map's failure
// step: a failure_handler whose context is the line_map.
void report_map_failure(void *map, const char *format, std::va_list args)
    __attribute__((format(printf, 2, 0)));

// Ends the run, saying why, unless the run wrote the output as it is and
// the map holds all of it; from then on a failure only reports.
void refuse_stale_map(line_map *map, const char *input_name);

// Tells the line_map what the run does: a run_watcher's report.
void watch_for_map(void *map, const run_event *event);

// Answers the number of lines the output holds; a last line without a line
// feed counts.
std::uint64_t count_output_lines(const text_output *out);

// Answers the segment that holds the output line, which must be at least 1
// and at most count_output_lines.
const map_segment *find_segment(const line_map *map, std::uint64_t line);

// Answers the source line that the output line, in segment, comes from.
std::uint64_t source_line_of(const map_segment *segment, std::uint64_t line);

// Answers how many decimal digits stand at text, at most n, storing their
// value; 0 when there are none or the value does not fit.
std::size_t read_digits(const char *text, std::size_t n, std::uint64_t *value);

// Answers whether text is a positive decimal number that fits, storing it.
int read_line_number(const char *text, std::uint64_t *number);

// Prints "<file>:<line>" for each output line named by the n texts, or says
// on standard error that the output has no such line; answers whether all
// were answered.
int answer_queries(const line_map *map, char *const *texts, std::size_t n);

// The output's name as messages write it, made to be found in a message
// line in time that grows with the line's length alone: border[k] is the
// length of the longest proper prefix of the name's first k + 1 bytes that
// also ends them. A name longer than a message line is never found.
struct name_pattern {
    const char *name;
    std::size_t length;
    std::uint32_t border[message_line_size];
};

// Readies the pattern of name.
void start_name_pattern(name_pattern *pattern, const char *name);

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

// A look through one message line for references, from at on. boundary
// tells whether a name may begin at text[at]; name_starts has bit i set
// where the name's bytes stand from text[i] on.
struct reference_scan {
    const name_pattern *pattern;
    std::uint64_t n_lines;
    const char *text;
    std::size_t n;
    std::size_t at;
    int boundary;
    std::uint64_t name_starts[message_line_size / 64 + 1];
};

// Readies a look through the n bytes of text, at most message_line_size,
// for references to lines 1 to n_lines of the output named by pattern.
void start_reference_scan(reference_scan *scan, const name_pattern *pattern,
                          std::uint64_t n_lines, const char *text,
                          std::size_t n);

// Answers whether another reference follows, storing it.
int next_reference(reference_scan *scan, reference *found);

// Copies standard input to standard output, line by line as it arrives,
// with each reference to a line of output_name rewritten into the file and
// line it comes from; ends the run if reading or writing fails.
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
