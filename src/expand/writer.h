#ifndef TEXTWELD_EXPAND_WRITER_H
#define TEXTWELD_EXPAND_WRITER_H

#include "sys/files.h"

#include <cstddef>
#include <cstdio>

// The output of a run: its stream, buffered in cap bytes (nullptr: what is
// written is dropped), the identity of the file it writes, and whether what
// was written so far ends a line (1 while nothing is written).
struct text_output {
    std::FILE *stream;
    std::size_t cap;
    file_identity identity;
    int ends_line;
};

// Creates or truncates the named file for output through buf; ends the run
// if it cannot.
void open_text_output(text_output *out, const char *file_name, char *buf,
                      std::size_t cap);

// Readies an output that drops what is written, standing for the named
// file, which it never creates: only its identity is taken, if it exists.
void open_discarding_output(text_output *out, const char *file_name);

// Writes the output's last bytes and closes it; ends the run if any write
// failed. On a fatal error, the process exit writes them instead.
void close_text_output(text_output *out);

// Writes n bytes of text; ends the run if writing fails.
void write_output(text_output *out, const char *text, std::size_t n);

// Writes a line feed unless what was written so far ends a line.
void end_output_line(text_output *out);

// Writes the note that stands for a repeated directive naming name.
void write_repeat_note(text_output *out, const char *name);

#endif
