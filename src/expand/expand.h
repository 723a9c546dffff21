#ifndef TEXTWELD_EXPAND_EXPAND_H
#define TEXTWELD_EXPAND_EXPAND_H

#include "sys/files.h"

#include <cstddef>
#include <cstdio>

// Room for an include name and its terminator; a name is shorter than the
// line piece that holds it.
constexpr std::size_t name_size = 1024;

// The output of a run: its stream, the file it writes, and whether what was
// written so far ends a line (1 while nothing is written).
struct text_output {
    std::FILE *stream;
    file_identity file;
    int ends_line;
};

// Expands the named file into out, depth first; returns once all of it is
// written, and ends the run on any failure.
void expand_include_directives(const char *file_name, text_output *out);

// Answers whether the n-byte piece is an include directive, storing its name
// terminated in name; ends the run on a malformed directive.
int get_include_file_name(const char *piece, std::size_t n, char *name,
                          std::size_t name_cap);

// Ends the run if input, called name, is the output's regular file.
void refuse_output_file(const char *name, const file_identity *input,
                        const file_identity *output);

#endif
