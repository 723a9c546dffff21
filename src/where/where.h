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

// Where a stretch of the output comes from: from output line first_line
// on, the lines of file_name from source_line on, one for one; or, for the
// note of a repeat, every line comes from the directive at source_line.
struct map_segment {
    std::uint64_t first_line;
    std::uint64_t source_line;
    const char *file_name;
    int is_note;
};

// What textweld-where learns from a run: where it stands, for a failure,
// and where each line of the output comes from. out is the comparison the
// run writes into; is_full tells that a stretch did not fit; a filter
// passes its input on when the map cannot be made.
struct line_map {
    run_position at;
    const text_output *out;
    int is_filter;
    int is_full;
    std::size_t n_segments;
    map_segment segments[max_map_segments];
};

// Readies the map of the output that out compares, which starts with the
// first line of input_name, for a filter or for queries.
void start_line_map(line_map *map, const char *input_name,
                    const text_output *out, int is_filter);

// Reports a failure as textweld-deps does, then, for a filter, passes its
// input on: a failure_handler whose context is the line_map.
void report_map_failure(void *map, const char *format, std::va_list args)
    __attribute__((format(printf, 2, 0)));

// Ends the run, saying why, unless the run wrote the output as it is and
// the map holds all of it.
void refuse_stale_map(const line_map *map, const char *input_name);

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

// Answers whether text is a positive decimal number that fits, storing it.
int read_line_number(const char *text, std::uint64_t *number);

// Prints "<file>:<line>" for each output line named by the n texts, or says
// on standard error that the output has no such line; answers whether all
// were answered.
int answer_queries(const line_map *map, char *const *texts, std::size_t n);

// Copies standard input to standard output, line by line as it arrives,
// with each reference to a line of output_name rewritten into the file and
// line it comes from; ends the run if reading or writing fails.
void filter_messages(const line_map *map, const char *output_name);

// Copies what is left of standard input to standard output, unchanged, as
// far as it can: for a filter that could not make its map.
void pass_messages_on();

#endif
