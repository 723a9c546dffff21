#ifndef TEXTWELD_EXPAND_EXPAND_H
#define TEXTWELD_EXPAND_EXPAND_H

#include "expand/reader.h"
#include "expand/writer.h"
#include "sys/files.h"

#include <cstddef>

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

// Expands the named file into out, depth first; returns once all of it is
// written, and ends the run on any failure.
void expand_include_directives(const char *file_name, text_output *out);

// Opens the top-level input before the output is touched; ends the run if
// it cannot be opened, is a directory, or is the file output_name names.
void open_top_level_input(text_input *in, const char *input_name,
                          const char *output_name);

// Expands the file that in holds open into out, as above; the caller closes
// it.
void expand_text_input(text_input *in, text_output *out);

// Answers whether the n-byte piece is an include directive, storing its name
// terminated in name; ends the run on a malformed directive.
int get_include_file_name(const char *piece, std::size_t n, char *name,
                          std::size_t name_cap);

// Ends the run if the output would be created over the input, called name,
// that is about to be read: the file named output_name.
void refuse_output_over_input(const char *name, const file_identity *input,
                              const char *output_name);

// Ends the run if input, called name, is the output's file, being written.
void refuse_output_as_input(const char *name, const file_identity *input,
                            const file_identity *output);

#endif
