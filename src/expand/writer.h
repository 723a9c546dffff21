#ifndef TEXTWELD_EXPAND_WRITER_H
#define TEXTWELD_EXPAND_WRITER_H

#include "sys/files.h"

#include <cstddef>

// Where a run's text goes, as its caller says: open is called once the
// input is open, with the output's name, and stores the identity of the
// file the run must not read (all zero where there is none); write with
// each stretch of text, in order; drop when the run is refused because it
// would read that file, just before the run ends.
struct text_sink {
    void (*open)(void *context, const char *name, file_identity *identity);
    void (*write)(void *context, const char *text, std::size_t n);
    void (*drop)(void *context);
    void *context;
};

// The output of a run. Only the writer moves it: the sink, the identity
// of the file the run must not read, and whether what was written so far
// ends a line (1 while nothing is).
struct run_output {
    const text_sink *sink;
    file_identity identity;
    int ends_line;
};

// Opens the output of a run into sink for the named file.
void open_run_output(run_output *out, const text_sink *sink, const char *name);

// Writes n bytes of text.
void write_output(run_output *out, const char *text, std::size_t n);

// Writes a line feed unless what was written so far ends a line.
void end_output_line(run_output *out);

// Writes the note that stands for a repeated directive naming name.
void write_repeat_note(run_output *out, const char *name);

// Has the sink leave the file the run must not read as it was.
void drop_output(run_output *out);

#endif
