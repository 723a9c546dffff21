#ifndef TEXTWELD_REPORT_REPORT_H
#define TEXTWELD_REPORT_REPORT_H

#include "expand/expand.h"
#include "expand/writer.h"
#include "sys/files.h"

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

// What the companions share: where a watched run stands, for their
// messages, their answers on standard output and error, and the
// comparison of what a run writes with a file.

// Where a run stands, for a companion program's messages: the directives
// being acted on, outermost first, as the run's events tell them.
struct run_position {
    const char *program_name;
    const char *file_name[max_open_inputs];
    std::uint64_t line[max_open_inputs];
    std::size_t depth;
};

// Readies a position outside any directive, for the program so named.
void start_run_position(run_position *at, const char *program_name);

// Follows a directive as the run begins and ends acting on it.
void follow_run(run_position *at, const run_event *event);

// Writes the message on standard error after where the run stands: the file
// and line of the innermost directive being acted on, whose file or line
// the message is about, or the program's name outside any directive.
void write_failure(void *position, const char *format, std::va_list args)
    __attribute__((format(printf, 2, 0)));

// Writes n bytes of text to standard output or standard error; ends the
// run if writing fails.
void write_standard_stream(std::FILE *stream, const char *text, std::size_t n);

// Writes number in decimal to standard output or standard error, with zeros
// before it up to width digits; ends the run if writing fails.
void write_standard_number(std::FILE *stream, std::uint64_t number,
                           std::size_t width);

// Writes what standard output or standard error holds back; ends the run if
// writing fails.
void flush_standard_stream(std::FILE *stream);

// What a run writes, compared with the output file as it is: buf, of cap
// bytes, holds the file's bytes [at, end) not yet compared; the line feeds
// written are counted, and ends_line tells whether what was written ends a
// line (1 while nothing is); differs, whether the text differs from the
// file.
struct output_comparison {
    const char *file_name;
    input_file file;
    char *buf;
    std::size_t cap;
    std::size_t at;
    std::size_t end;
    std::uint64_t n_line_feeds;
    int ends_line;
    int differs;
};

// Readies a comparison that reads the output into buf, of cap bytes, and
// the sink a run writes it through: textweld-where's.
void start_comparison(output_comparison *compared, char *buf, std::size_t cap,
                      text_sink *sink);

// Answers the number, counted from 1, of the first output line that begins
// after what the run wrote so far.
std::uint64_t next_output_line(const output_comparison *compared);

// Ends the comparison once the run has written all: the file differs too
// where it goes on past that. Closes the file.
void end_comparison(output_comparison *compared);

#endif
