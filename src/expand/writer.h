#ifndef TEXTWELD_EXPAND_WRITER_H
#define TEXTWELD_EXPAND_WRITER_H

#include "sys/files.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Where a run's text goes: into the output file, nowhere (a sink that
// stands for the file), or into a comparison with the file as it is.
enum class output_kind { file, sink, comparison };

// The output of a run. Only the writer moves its cursors. A file goes
// through its stream, buffered in buf, and replaces the old file as it is
// closed; a comparison reads the file into buf
// and holds buf[compared_at, compared_end) not yet compared, counts the
// line feeds written and notes whether the text differs from the file.
// ends_line tells whether what was written so far ends a line (1 while
// nothing is written).
struct text_output {
    output_kind kind;
    const char *file_name;
    output_file file;
    input_file compared;
    char *buf;
    std::size_t cap;
    std::size_t compared_at;
    std::size_t compared_end;
    file_identity identity;
    std::uint64_t n_line_feeds;
    int ends_line;
    int differs;
};

// Readies an output of the kind given, with cap bytes of buf, before it is
// opened; a sink needs no buffer.
void ready_text_output(text_output *out, output_kind kind, char *buf,
                       std::size_t cap);

// Opens the output for the named file: opens or creates a file, leaving the
// old one's bytes for now; opens a comparison's file for reading; takes a
// sink's identity, if the file exists. Ends the run if a file or a comparison's
// file cannot be opened.
void open_text_output(text_output *out, const char *file_name);

// Empties an output file written in place, once it is known not to be an
// input; ends the run if it cannot.
void start_text_output(text_output *out);

// Leaves the file that had the output's name before the run as it was: for
// a run refused because it would read that file.
void keep_old_text_output(text_output *out);

// Writes a file's last bytes, closes it and puts it in place, or ends a
// comparison; ends the run if any of it failed. On a fatal error, the
// process exit does it instead.
void close_text_output(text_output *out);

// Writes n bytes of text; ends the run if writing fails.
void write_output(text_output *out, const char *text, std::size_t n);

// Writes a line feed unless what was written so far ends a line.
void end_output_line(text_output *out);

// Writes the note that stands for a repeated directive naming name.
void write_repeat_note(text_output *out, const char *name);

// Writes n bytes of text to standard output or standard error, for a
// companion's answers; ends the run if writing fails.
void write_standard_stream(std::FILE *stream, const char *text, std::size_t n);

// Writes number in decimal to standard output or standard error, with zeros
// before it up to width digits; ends the run if writing fails.
void write_standard_number(std::FILE *stream, std::uint64_t number,
                           std::size_t width);

// Writes what standard output or standard error holds back; ends the run if
// writing fails.
void flush_standard_stream(std::FILE *stream);

// Answers the number, counted from 1, of the first output line that begins
// after what was written so far; a comparison only counts lines.
std::uint64_t next_output_line(const text_output *out);

#endif
